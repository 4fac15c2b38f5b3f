#pragma once

#include <QString>
#include <QStringList>

// Where a decoder writes the file a begin line names. The name comes from a stranger's post,
// so the file goes into the folder given and never through a symbolic link, never over one of
// the input files, and over an existing file only when the user said so; otherwise under the
// first free name "name (1).ext", "name (2).ext", ... as a browser saves a download.
struct TDecodedPath
{
    QString Path;   // where the file goes
    QString Wanted; // the folder plus the name the begin line gives

    bool Renamed() const { return Path != Wanted; }

    // Raises EUUCode when no free name is left.
    static TDecodedPath Choose(const QString& folder, const QString& name,
                               const QStringList& inputs, bool overwrite);
};
