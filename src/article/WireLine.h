#pragma once

#include <QByteArray>
#include <QByteArrayView>

// How a body line goes on the wire: trailing blanks and control characters removed, inner
// line breaks as blanks (one would split the line, and a "." after it would end the article
// early), then CR LF.
namespace WireLine {

// True when the line goes out exactly as it is, followed by CR LF.
bool IsClean(QByteArrayView line);
// Appends the line as it goes out, with its CR LF.
void Append(QByteArray& out, QByteArrayView line);
// The same rule for a header line or a command: line breaks as blanks.
QByteArray OneLine(QByteArray line);

} // namespace WireLine
