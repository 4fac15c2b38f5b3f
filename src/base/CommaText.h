#pragma once

#include <QString>
#include <QStringList>

// The comma-separated text form shared by the profile list, task file lines and the
// list-valued task fields. Values holding blanks, control characters, commas or quotes
// are quoted; everything else is written as it is.
namespace CommaText {

QString Write(const QStringList& values);
QStringList Read(const QString& text);

} // namespace CommaText
