#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// One task as the task view shows it: the caption with the task's values as child lines, and
// beside the caption what a reader scans the list for. File and Groups are empty for tasks
// that have none.
struct TTaskRow
{
    QString Caption;
    QStringList Children;
    QString File; // the file's name, without its folder
    QString Groups;
    QString Server;
    qint64 Bytes = 0; // the file's size; 0 for tasks that post no file
};
