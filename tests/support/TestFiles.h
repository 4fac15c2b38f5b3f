#pragma once

#include <QByteArray>
#include <QString>

// Files as the tests make and read them.
namespace TestFiles {

// size bytes from a generator seeded with seed: the same bytes for the same seed.
QByteArray Random(qint64 size, quint32 seed);
// Writes the file whole, replacing what it held and making its folder when missing; false
// when any of that failed.
bool Write(const QString& path, const QByteArray& bytes);
// What the file holds, or ifUnreadable when it cannot be read (so that a comparison shows a
// missing file as such).
QByteArray Read(const QString& path, const QByteArray& ifUnreadable = {});

} // namespace TestFiles
