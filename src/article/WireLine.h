#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How a body line goes on the wire: trailing blanks and control characters removed, inner
// line breaks as blanks (one would split the line, and a "." after it would end the article
// early), then CR LF.
namespace WireLine {

// True when the line goes out exactly as it is, followed by CR LF.
bool IsClean(QByteArrayView line);
// Appends the line as it goes out, with its CR LF.
void Append(QByteArray& out, QByteArrayView line);
// The dot rule of a body: a line that begins with "." gets one more in front, so that no
// line reads as the end of the article.
inline bool NeedsDot(QByteArrayView line)
{
    return line.startsWith('.');
}
void StuffDot(QByteArray& line);
QString StuffDot(const QString& line);
// The same rule for a header line or a command: line breaks as blanks.
QByteArray OneLine(QByteArray line);

} // namespace WireLine
