#pragma once

#include <QString>
#include <QtGlobal>

// The stored form of a password: its length-prefixed bytes read as 16-bit words, each
// offset and written as five decimal digits. Not encryption; it keeps the password from
// being read at a glance in the settings file.
namespace PasswordScrambler {

// tickCount fills the buffer of an empty password with its decimal digits.
QString Scramble(const QString& password, quint64 tickCount);
// A stored text that is not all five-digit groups is taken as the password itself.
QString Unscramble(const QString& stored);

} // namespace PasswordScrambler
