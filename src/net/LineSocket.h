#pragma once

#include "net/LineSocketBase.h"

// The line socket of a text client: writes lines with its line type's terminator.
class TLineSocket : public TLineSocketBase
{
    Q_OBJECT

public:
    explicit TLineSocket(TSockCtrl* owner);

    using TLineSocketBase::WriteLine;
    // The terminator is appended only with lsoAddLineChars.
    bool WriteLine(const QByteArray& text);
};
