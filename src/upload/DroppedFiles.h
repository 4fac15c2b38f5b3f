#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What files and folders dropped on the window (or chosen with "Add files…" and "Add folder…")
// post: each folder as one batch with every file under it, the paths in its subfolders kept
// relative to it; loose files as one batch for each folder they are in.
struct TDroppedBatch
{
    QString Folder;    // the folder the files' paths are relative to
    QStringList Files; // relative to Folder, in name order, subfolders' files with their path
    QString Name;      // the folder's own name for a dropped folder; empty for loose files
};

struct TDroppedFiles
{
    QList<TDroppedBatch> Batches;
    QStringList Errors; // one line for each path that cannot be posted, naming it
};

TDroppedFiles CollectDropped(const QStringList& paths);
