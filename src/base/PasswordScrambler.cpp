#include "base/PasswordScrambler.h"

#include "base/TextDecode.h"

#include <QByteArray>

namespace {

constexpr int kOffset = 21379;
constexpr int kMaxLength = 255;

// UTF-8, so that any character survives; an ASCII password gives the same bytes as ever.
QByteArray toBytes(const QString& text)
{
    return text.toUtf8();
}

// Passwords stored before UTF-8 was used hold Latin-1 bytes, which are rarely valid UTF-8.
QString fromBytes(const QByteArray& bytes)
{
    return Utf8OrLatin1(bytes);
}

} // namespace

namespace PasswordScrambler {

bool Fits(const QString& password)
{
    return toBytes(password).size() <= kMaxLength;
}

QString TooLongText()
{
    return QStringLiteral("The password is longer than the %1 bytes (in UTF-8) that can be "
                          "stored.")
        .arg(kMaxLength);
}

QString Scramble(const QString& password, quint64 tickCount)
{
    if (!Fits(password))
        return QString();
    const QByteArray chars = toBytes(password);
    const int n = int(chars.size());

    QByteArray buf;
    buf.append(char(n));
    if (n == 0) {
        buf.append(QByteArray::number(tickCount));
    } else if (n < 10) {
        QByteArray filled = chars;
        while (filled.size() < 10)
            filled += filled;
        buf.append(filled);
    } else {
        buf.append(chars);
    }

    int w = (n + 1 + 1) / 2 * 2;
    if (w < 10)
        w = 10;
    while (buf.size() < w)
        buf.append('\0');

    QString out;
    out.reserve(w / 2 * 5);
    for (int i = 0; i < w; i += 2) {
        const int word = quint8(buf[i]) | (quint8(buf[i + 1]) << 8);
        out += QStringLiteral("%1").arg(word + kOffset, 5, 10, QLatin1Char('0'));
    }
    return out;
}

QString Unscramble(const QString& stored)
{
    // The reader's buffer starts as a length of 35 followed by 35 blanks.
    QByteArray buf(36, ' ');
    buf[0] = char(35);
    int pos = 0;
    for (qsizetype i = 0; i < stored.size(); i += 5, pos += 2) {
        bool ok = false;
        const int value = stored.mid(i, 5).toInt(&ok);
        if (!ok)
            return stored;
        const int word = (value - kOffset) & 0xFFFF;
        if (buf.size() < pos + 2)
            buf.resize(pos + 2, ' ');
        buf[pos] = char(word & 0xFF);
        buf[pos + 1] = char(word >> 8);
    }
    const int n = quint8(buf[0]);
    return fromBytes(buf.mid(1, n));
}

} // namespace PasswordScrambler
