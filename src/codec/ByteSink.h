#pragma once

#include <QtGlobal>

// Takes the bytes of a file as the code that reads it for another purpose reads them, so
// that a second consumer need not read the file again.
class TByteSink
{
public:
    virtual ~TByteSink() = default;
    // size bytes of the file from offset were read; data is valid only during the call.
    virtual void Read(qint64 offset, const char* data, qint64 size) = 0;
    // The reader lets go of the file: no more bytes come.
    virtual void End() = 0;
};
