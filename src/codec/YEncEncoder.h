#pragma once

#include "codec/YEnc.h"

#include <QByteArray>
#include <QByteArrayView>

// Encodes the data lines of one part (or of a file in one piece), fed in slices of any size,
// with the CRC-32 of the bytes in the same pass. Uses the processor's vector instructions
// where it has them.
class TYEncEncoder
{
public:
    explicit TYEncEncoder(QByteArrayView eol = "\r\n", int lineLength = YEnc::LineLength);

    // Room Encode needs for size bytes: the worst case plus what the vector code writes
    // past its output.
    static qint64 MaxEncodedSize(qint64 size, int eolLength = 2, int lineLength = YEnc::LineLength);

    // Encodes the next size bytes into out (room for MaxEncodedSize(size)) and returns the
    // characters written. last marks the part's final slice (it may be empty): the last line
    // is ended. A slice's last byte is held back until the next call, since only then is it
    // known whether it ends the part.
    qint64 Encode(const uchar* data, qint64 size, char* out, bool last);

    quint32 Crc() const { return m_crc; }
    qint64 Size() const { return m_size; }
    qint64 Lines() const { return m_lines; }
    // Starts the next part.
    void Reset();

private:
    QByteArray m_eol;
    int m_lineLength;
    int m_column = 0;
    int m_held = -1;
    quint32 m_crc = 0;
    qint64 m_size = 0;
    qint64 m_lines = 0;
};
