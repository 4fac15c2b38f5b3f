#pragma once

#include "base/SyncPacer.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// Tasks that have left the head of a running queue since the task file was last written
// whole, recorded in a small file beside it (NAME.ended) instead of writing the whole queue
// again for each task: its first line names the task file it belongs to by a digest of its
// bytes, each further line the number (from 0, in file order) of one of its tasks that has
// ended. A task file written whole since makes an older record meaningless, so it is read
// only beside the very bytes it names. A line cut short by a kill is not read: that task
// simply counts as not ended.
class TEndedTasks
{
public:
    // The numbers of the tasks that have ended, when the record belongs to these bytes of
    // the task file; empty otherwise.
    static QSet<int> Read(const QString& taskFileName, const QByteArray& taskFileBytes);

    // The task file was written whole with these bytes (or removed: empty): from now on
    // records refer to it, and an older record goes. Returns why it could not go, if so.
    QString Rebase(const QString& taskFileName, const QByteArray& taskFileBytes);
    // Records that the task of that number has ended: written before it returns (a kill
    // loses nothing), forced to disk at most every two seconds (TSyncPacer): an upload that
    // ended and runs again after a power loss finds its articles in its batch's journal.
    // Returns why not, empty on success.
    QString Record(const QString& taskFileName, int taskNumber);

private:
    static QString recordName(const QString& taskFileName);
    static QByteArray header(const QByteArray& taskFileBytes);

    QByteArray m_header;  // empty: no task file to refer to
    bool m_begun = false; // the record file holds m_header
    TSyncPacer m_pacer;
};
