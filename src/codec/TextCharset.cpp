#include "codec/TextCharset.h"

namespace {

// Length of the valid UTF-8 sequence at line[i], or 0 (overlong forms, surrogates and
// code points above U+10FFFF are not valid).
int SequenceLength(QByteArrayView line, qsizetype i)
{
    const auto at = [&](qsizetype k) { return uchar(line[k]); };
    const uchar lead = at(i);
    int length = 0;
    uchar low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > line.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (int k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    }
    return length;
}

bool IsCharsetName(const QString& name)
{
    if (name.isEmpty() || name.size() > 40)
        return false;
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && !QStringLiteral("-_.:+").contains(c))
            return false;
    }
    return true;
}

} // namespace

void TTextCharset::AddLine(QByteArrayView line)
{
    for (qsizetype i = 0; i < line.size();) {
        if (uchar(line[i]) < 0x80) {
            ++i;
            continue;
        }
        m_eightBit = true;
        if (!m_utf8)
            return; // nothing more to learn from this text
        const int length = SequenceLength(line, i);
        if (length == 0) {
            m_utf8 = false;
            return;
        }
        i += length;
    }
}

void TTextCharset::Merge(const TTextCharset& other)
{
    m_eightBit = m_eightBit || other.m_eightBit;
    m_utf8 = m_utf8 && other.m_utf8;
}

QString TTextCharset::Name(const QString& fallback) const
{
    if (!m_eightBit)
        return {};
    if (m_utf8)
        return QStringLiteral("UTF-8");
    return IsCharsetName(fallback) ? fallback : QStringLiteral("ISO-8859-1");
}
