#pragma once

#include <QString>
#include <QtGlobal>

// The stored form of a password: its length-prefixed UTF-8 bytes read as 16-bit words, each
// offset and written as five decimal digits. Not encryption; it keeps the password from
// being read at a glance in the settings file.
namespace PasswordScrambler {

// The stored form holds a password of up to 255 bytes in UTF-8.
bool Fits(const QString& password);
QString TooLongText();
// tickCount fills the buffer of an empty password with its decimal digits. A password that
// does not fit gives an empty text: it is never stored cut short.
QString Scramble(const QString& password, quint64 tickCount);
// A stored text that is not all five-digit groups is taken as the password itself.
QString Unscramble(const QString& stored);

} // namespace PasswordScrambler
