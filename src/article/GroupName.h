#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// A newsgroup name is kept as the bytes the server sent (UTF-8 or not), held in a QString
// one character per byte. The newsrc record and the Newsgroups header carry those bytes
// unchanged; only what a person sees is decoded: as UTF-8, else as Latin-1.
namespace GroupName {

QString FromBytes(const QByteArray& bytes);
// The bytes again. A character past one byte (text that did not come from FromBytes)
// goes as UTF-8 rather than being lost.
QByteArray ToBytes(QStringView name);
// What the window and the terminal show.
QString Shown(QStringView name);
// A name a person typed, in the form the names are kept in.
QString FromTyped(const QString& typed);
// ASCII letters in lower case; other bytes stay, so a UTF-8 name keeps its bytes.
QString ToLower(QStringView name);
// A name can be stored and sent: not empty, and no NUL, control character or blank.
bool IsUsable(const QByteArray& bytes);

} // namespace GroupName
