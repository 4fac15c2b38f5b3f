#include "article/GroupName.h"

#include "base/TextDecode.h"

namespace GroupName {

QString FromBytes(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QByteArray ToBytes(QStringView name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    for (const QChar c : name) {
        if (c.unicode() < 0x100)
            bytes += char(c.unicode());
        else
            bytes += QString(c).toUtf8();
    }
    return bytes;
}

QString Shown(QStringView name)
{
    return Utf8OrLatin1(ToBytes(name));
}

QString FromTyped(const QString& typed)
{
    return FromBytes(typed.toUtf8());
}

QString ToLower(QStringView name)
{
    QString lower = name.toString();
    for (QChar& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    return lower;
}

bool IsUsable(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return false;
    for (const char c : bytes)
        if (quint8(c) <= ' ' || quint8(c) == 0x7F)
            return false;
    return true;
}

} // namespace GroupName
