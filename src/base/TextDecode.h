#pragma once

#include <QByteArray>
#include <QString>

// Text whose encoding nobody stated (a file edited elsewhere, a name from a server): read
// as UTF-8, and as Latin-1 when it is not valid UTF-8, so that no byte is replaced.
QString Utf8OrLatin1(const QByteArray& bytes);
