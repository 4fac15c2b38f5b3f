#include "base/TextDecode.h"

#include <QStringDecoder>

QString Utf8OrLatin1(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}
