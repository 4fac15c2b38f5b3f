#pragma once

#include "upload/UploadJournal.h"

#include <QObject>
#include <QString>

struct TAppState;
struct TTask;
class TLogger;
class TTaskList;

// Keeps the account of a batch of uploads (the tasks one Post queued): gives every article
// its Message-ID, records each in the batch's journal as it is sent and answered, and when
// the batch's last upload has gone, writes the NZB file of the articles the server took. A
// task without a batch (from a task file older than batches) posts with Message-IDs but
// unrecorded.
class TBatchAccount : public QObject
{
    Q_OBJECT
public:
    TBatchAccount(TAppState& state, TTaskList& list, TLogger& logger, QObject* parent = nullptr);

    // A new batch's id: the time it was queued and random letters, fit for a file name.
    static QString NewBatchId();
    // Where a batch's journal is kept: "journals/<batch>.journal" in the data folder.
    QString JournalPath(const QString& batch) const;
    QString NzbFolder() const;

    // The task starts posting: its batch's journal is opened and read.
    void BeginTask(const TTask& task);
    // The Message-ID of the task's article part: the one it went with before when it
    // was sent without an answer seen (a server that took it refuses it as a duplicate
    // rather than posting it twice), else a new one.
    QString MessageIdFor(int part) const;
    // The article goes out now: its file bytes begin..end (0 when not its own) and its size.
    void Sent(int part, int total, qint64 begin, qint64 end, qint64 bytes, const QString& messageId,
              const QString& subject);
    // The server's answer to the article last sent: accepted for 240.
    void Answered(bool accepted);
    // The task ends: the journal goes to disk; when it completed and no task of its batch is
    // left behind it, the batch's NZB file is written.
    void EndTask(bool completed);

signals:
    // The NZB file of a batch was written there.
    void NzbWritten(const QString& path);

private:
    bool batchLeftBehindHead() const;
    void writeNzb();
    void record(const TJournalArticle& article);
    void fail(const QString& text);

    TAppState& m_state;
    TTaskList& m_list;
    TLogger& m_logger;
    TUploadJournal m_journal;
    QString m_batch;
    QString m_file;
    QString m_groups;
    QString m_poster;
    QString m_nzbName;
    QList<TJournalArticle> m_known; // the task's file's articles the journal held
    TJournalArticle m_current;
};
