#include "net/LineSocket.h"

TLineSocket::TLineSocket(TSockCtrl* owner) : TLineSocketBase(owner) {}

bool TLineSocket::WriteLine(const QByteArray& text)
{
    return WriteLine(text,
                     (LineOptions() & lsoAddLineChars) ? LineTerminator(LineType()) : QByteArray());
}
