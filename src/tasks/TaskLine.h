#pragma once

#include "tasks/Task.h"

#include <QString>
#include <QStringList>
#include <optional>

// One task as a line of the task file: sixteen comma-text fields (kind, Text1..Text10,
// Timeout, PostTimeout, MaxLines, Flag1, Flag2), a seventeenth (Text11) and an eighteenth
// (Text12) when the task has them, and the splitting of the file's task
// part into such lines.
namespace TaskLine {

constexpr int FieldCount = 16;

QString Write(const TTask& task);

// Reads one line; on a damaged line returns nothing and says why in *error.
std::optional<TTask> Read(const QString& line, QString* error);

struct TRecord
{
    QString Text;
    int FirstLine = 0; // 1-based line of the file where the record starts
};

struct TSplitError
{
    int Line = 0;
    QString Text;
};

// Splits text into records at CR LF, LF or CR, except inside a quoted value, so a value
// that holds a line break stays in its record. The first record's line number is
// firstLine. An unterminated quote returns nothing and says where in *error.
std::optional<QList<TRecord>> Split(const QString& text, int firstLine, TSplitError* error);

} // namespace TaskLine
