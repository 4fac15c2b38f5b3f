#pragma once

#include <QString>
#include <QStringView>

// Text from outside (a server's reply, a name from a file) made safe for a terminal: every
// control character except line feed and tab is shown as \xHH, so that no escape sequence
// reaches the terminal to retitle it, clear it or move the cursor. It sits at the bottom
// of the layers because both terminal programs, quorvel-cli and quorvel-uucode, need it.
QString PrintableText(QStringView text);
