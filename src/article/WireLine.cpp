#include "article/WireLine.h"

#include <cstring>

namespace {

bool hasLineBreak(const char* text, qsizetype size)
{
    return size > 0 &&
           (std::memchr(text, '\r', size_t(size)) || std::memchr(text, '\n', size_t(size)));
}

void blankLineBreaks(char* text, qsizetype size)
{
    for (char* c = text; c < text + size; ++c)
        if (*c == '\r' || *c == '\n')
            *c = ' ';
}

qsizetype trimmedSize(QByteArrayView line)
{
    qsizetype end = line.size();
    while (end > 0 && quint8(line.at(end - 1)) <= ' ')
        --end;
    return end;
}

} // namespace

namespace WireLine {

bool IsClean(QByteArrayView line)
{
    return trimmedSize(line) == line.size() && !hasLineBreak(line.data(), line.size());
}

void Append(QByteArray& out, QByteArrayView line)
{
    const qsizetype end = trimmedSize(line);
    const qsizetype start = out.size();
    // Within the reserved capacity this only moves the end: no allocation per line.
    out.resize(start + end + 2);
    char* to = out.data() + start;
    if (end > 0) // an empty view may carry no data pointer at all
        std::memcpy(to, line.data(), size_t(end));
    if (hasLineBreak(to, end))
        blankLineBreaks(to, end);
    to[end] = '\r';
    to[end + 1] = '\n';
}

void StuffDot(QByteArray& line)
{
    if (NeedsDot(line))
        line.prepend('.');
}

QString StuffDot(const QString& line)
{
    return line.startsWith(QLatin1Char('.')) ? QLatin1Char('.') + line : line;
}

QByteArray OneLine(QByteArray line)
{
    if (hasLineBreak(line.constData(), line.size()))
        blankLineBreaks(line.data(), line.size());
    return line;
}

} // namespace WireLine
