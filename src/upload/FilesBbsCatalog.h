#pragma once

#include <QList>
#include <QString>

// A file catalog "files.bbs": one file per line, its name followed by a description that
// serves as the subject of its upload. Lines that start with a blank or a control character
// continue the description above and are skipped, as are empty lines. Names may hold
// blanks: the longest leading part of the line that names an existing file wins, looked up
// in the catalog's folder first and then as written.
class TFilesBbsCatalog
{
public:
    struct TEntry
    {
        QString File;
        QString Description;
    };

    // The entries of the catalog in its order, skipping lines that name no existing file.
    // False with *error set when the catalog cannot be read.
    static bool Read(const QString& catalogPath, QList<TEntry>& entries, QString* error);

    // One line of a catalog in folder (with its trailing separator); false when the line
    // names no existing file or is a continuation line.
    static bool ParseLine(const QString& line, const QString& folder, TEntry& entry);
};
