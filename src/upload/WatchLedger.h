#pragma once

#include "upload/WatchFolder.h"

#include <QList>
#include <QString>

// What a folder watch has done with the items it saw, kept in the data folder so that a new
// run knows it: the items posted and left in place (remembered by path and signature, so a
// file replaced by another of the same name is posted again), and the items whose post has
// begun and not ended well (their rest is in the task file; the next run resumes it instead
// of posting them again).
class TWatchLedger
{
public:
    explicit TWatchLedger(const QString& fileName);

    // Reads the file; a missing file is an empty ledger. Returns why it could not be read.
    QString Load();
    bool IsPosted(const TWatchItem& item) const;
    bool IsPending(const TWatchItem& item) const;

    // Each change is saved at once; they return why the file could not be written (the
    // change is then undone), empty on success.
    QString SetPending(const TWatchItem& item);
    // The pending items, with the path and signature they had when their post began.
    QList<TWatchItem> PendingItems() const;
    // The post of item has ended well: it is remembered when remember is set, else it
    // leaves the ledger.
    QString Posted(const TWatchItem& item, bool remember);
    // Nothing of item was queued: it leaves the ledger.
    QString Forget(const TWatchItem& item) { return Posted(item, false); }

    const QString& FileName() const { return m_fileName; }

private:
    struct TEntry
    {
        bool Pending = false;
        QString Path;
        QString Signature;
    };

    bool contains(const TWatchItem& item, bool pending) const;
    QString save(const QList<TEntry>& entries);

    QString m_fileName;
    QList<TEntry> m_entries;
};
