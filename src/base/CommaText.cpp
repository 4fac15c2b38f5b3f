#include "base/CommaText.h"

namespace {

bool needsQuotes(const QString& value)
{
    for (QChar c : value) {
        if (c.unicode() <= 32 || c == u'"' || c == u',')
            return true;
    }
    return false;
}

QString quoted(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += u'"';
    for (QChar c : value) {
        if (c == u'"')
            out += u'"';
        out += c;
    }
    out += u'"';
    return out;
}

bool isSkippable(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

namespace CommaText {

QString Write(const QStringList& values)
{
    QStringList parts;
    parts.reserve(values.size());
    for (const QString& v : values)
        parts << (needsQuotes(v) ? quoted(v) : v);
    // An empty last value (a lone one too) would vanish: it is written as a quoted pair.
    if (!values.isEmpty() && values.last().isEmpty())
        parts.last() = QStringLiteral("\"\"");
    return parts.join(u',');
}

QStringList Read(const QString& text)
{
    QStringList values;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isSkippable(text[i]))
        ++i;
    while (i < n) {
        QString value;
        if (text[i] == u'"') {
            ++i;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        value += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
        } else {
            const qsizetype start = i;
            while (i < n && text[i].unicode() > 32 && text[i] != u',')
                ++i;
            value = text.mid(start, i - start);
        }
        values << value;
        while (i < n && isSkippable(text[i]))
            ++i;
        if (i < n && text[i] == u',') {
            ++i;
            while (i < n && isSkippable(text[i]))
                ++i;
        } else if (i < n && text[i].unicode() == 0) {
            break; // an unquoted NUL ends the text rather than looping on it
        }
    }
    return values;
}

} // namespace CommaText
