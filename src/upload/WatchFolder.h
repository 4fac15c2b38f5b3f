#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// A file or a folder standing directly in a watched folder, as it was when last looked at.
struct TWatchItem
{
    QString Path; // absolute
    QString Name;
    bool IsFolder = false;
    QStringList Files; // the regular files to post: the file itself, or a folder's, sorted
    QString Signature; // changes whenever a size, a time or the set of files changes
};

// Looks at a watched folder from time to time and tells which items have stopped changing:
// their size and modification time (for a folder, of everything in it) stayed the same for
// the settle time. Hidden names (a copy tool's temporary files) and the folder that posted
// items move to are left alone; so is a folder with no file in it yet.
class TWatchFolder
{
public:
    static constexpr const char* PostedFolderName = "posted";

    TWatchFolder(const QString& folder, qint64 settleMs);

    // Looks at the folder at nowMs (a steady clock) and fills settled with the items that
    // have not changed for the settle time, in name order. Returns why the folder could not
    // be read, empty when it could.
    QString Scan(qint64 nowMs, QList<TWatchItem>* settled);
    // The item as it is now; an empty Signature when it is gone or holds no file.
    static TWatchItem Describe(const QString& path);
    // Moves a posted item into the posted folder, under a free name; returns the reason of
    // a failure, empty on success, with the new place in movedTo.
    QString MoveToPosted(const TWatchItem& item, QString* movedTo) const;

    const QString& Folder() const { return m_folder; }

private:
    struct TSeen
    {
        QString Signature;
        qint64 Since = 0;
    };

    QString m_folder;
    qint64 m_settleMs;
    QHash<QString, TSeen> m_seen; // by path
};
