#pragma once

#include "upload/BatchCheck.h"
#include "upload/FileAccount.h"
#include "upload/UploadJournal.h"

#include "tasks/Task.h"

#include <QHash>
#include <QSet>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

struct TAppState;
struct TConnectionOverride;
struct TTask;
class TLogger;
class TTaskList;
class TbcsNNTP;
class TView;

// Keeps the account of a batch of uploads (the tasks one Post queued): gives every article
// its Message-ID, records each in the batch's journal as it is sent and answered, checks that
// the server has them (CheckAfterPost) and, when the batch's last upload has gone and the
// check is through, writes the NZB file of the articles that are there. The check runs beside
// the posting, over a connection of its own to the server CheckServer::Of chooses: each
// article is asked for once the check's delay has passed since the server took it. Articles the
// check does not find go again under new Message-IDs (the server's history may remember the old
// ones): their uploads are queued again and post only what is missing, for up to CheckRounds
// rounds. A task without a batch (from a task file older than batches) posts with Message-IDs but
// unrecorded.
//
// While the check runs the runner stays busy, so that the tasks after the batch (the
// Disconnect task above all) wait for it. The session log ends the batch with one line:
// posted, checked, re-posted, missing.
class TBatchAccount : public QObject
{
    Q_OBJECT
public:
    // client is the posting client: the check's own connection to the posting server is set
    // up as it is; session is how this run reaches the servers.
    TBatchAccount(TAppState& state, TTaskList& list, TLogger& logger, TView& view, TbcsNNTP& client,
                  const TConnectionOverride& session, QObject* parent = nullptr);
    ~TBatchAccount() override;

    // A new batch's id: the time it was queued and random letters, fit for a file name.
    static QString NewBatchId();
    // Where a batch's journal is kept: "journals/<batch>.journal" in the data folder.
    QString JournalPath(const QString& batch) const;
    QString NzbFolder() const;

    // The task starts posting: its batch's journal is opened and read. A file that is not what
    // the journal recorded when it started posting (it changed since) starts afresh, with a
    // warning: what was recorded of it before is left out.
    void BeginTask(const TTask& task);
    // An account for a task of the batch behind the head, whose file starts posting while the
    // head's last parts are on their way; none for a task of another batch, or when the
    // journal cannot be read.
    std::unique_ptr<TFileAccount> OpenAhead(const TTask& task);
    // The task that began goes on with the account opened ahead for it, and what it recorded
    // meanwhile.
    void TakeFile(std::unique_ptr<TFileAccount> account);
    // The account of the file being posted now.
    TFileAccount& Current() { return *m_fileAccount; }
    // What was recorded goes to disk now.
    void Flush();
    // A further file of the task starts posting (a recovery file): its articles are recorded
    // under its own path, in the task's batch.
    void BeginFile(const QString& path);
    // The file being posted now (the task's own, or one of its recovery files).
    const QString& File() const { return m_fileAccount->File(); }
    // The journal showed the file's last part answered before this run began: an earlier
    // run or round took the whole file.
    bool TakenWholeBefore() const { return m_fileAccount->TakenWholeBefore(); }
    // The Message-ID of the task's article part: the one it went with before when it
    // was sent without an answer seen (a server that took it refuses it as a duplicate
    // rather than posting it twice), else a new one.
    QString MessageIdFor(int part) const { return m_fileAccount->MessageIdFor(part); }
    // The task's file makes total parts: what the journal holds of another count (the file
    // or the part size changed since) is not taken for this upload.
    void SetTotal(int total);
    // Whether the task's article part is on the server already, from an earlier run.
    bool Taken(int part) const { return m_fileAccount->Taken(part); }
    // The Message-IDs of the task's articles sent in an earlier run without an answer seen.
    QStringList Unanswered() const { return m_fileAccount->Unanswered(); }
    // Those of them that the server has (STAT 223): taken.
    void Confirmed(const QStringList& messageIds) { m_fileAccount->Confirmed(messageIds); }
    // The article goes out now: its file bytes begin..end (0 when not its own) and its size.
    void Sent(int part, int total, qint64 begin, qint64 end, qint64 bytes, const QString& messageId,
              const QString& subject)
    {
        m_fileAccount->Sent(part, total, begin, end, bytes, messageId, subject);
    }
    // The server's answer to the article last sent: accepted for 240.
    void Answered(bool accepted) { m_fileAccount->Answered(accepted); }
    // The server's answer to the task's article part, one of several on their way at once.
    void Answered(int part, bool accepted) { m_fileAccount->Answered(part, accepted); }
    // Whether the refusal (code, text) of the article last sent says the server has it
    // already, and the article went with the Message-ID it had been sent with before: 435,
    // 437, or 441 naming a duplicate.
    bool RefusedAsDuplicate(int code, const QString& text) const
    {
        return m_fileAccount->RefusedAsDuplicate(code, text);
    }
    // The article last sent.
    QString CurrentMessageId() const { return m_fileAccount->CurrentMessageId(); }
    // The article last sent was refused as a duplicate, yet the server does not have it: it
    // is missing, and goes under a new Message-ID when the task runs again.
    void Missing() { m_fileAccount->Missing(); }
    // The task ends: the journal goes to disk (a completed task's with the next records, within
    // two seconds; a stopped one's at once); when it completed and no task of its batch is
    // left behind it, the batch is through: checked first when the profile says so, then
    // its NZB file is written.
    void EndTask(bool completed);
    // The task has ended well: a check the batch waits for starts, and true is returned: the
    // task stays at the head of the list until CheckEnded.
    bool AfterTask();
    // A check runs, beside the posting or after it: once the batch is through the tasks behind
    // it wait, and a front end that ends with its queue waits for CheckEnded.
    bool Checking() const { return m_check.Running(); }
    // The check found articles missing and queued their uploads again, before the task it
    // held: that task runs again rather than leaving the list.
    bool RepostDue() const { return m_repostDue; }
    // The queue stopped (aborted, cleared, held): a check beside the posting ends without a
    // word (the next run checks the batch's articles), one the batch waits for ends as a
    // cancel does.
    void QueueStopped();
    // The client the check asks over.
    TbcsNNTP& CheckClient() { return *m_checkClient; }

signals:
    // The NZB file of a batch was written there.
    void NzbWritten(const QString& path);
    // The batch is through: its NZB file (empty when none was written), and how many of its
    // articles are still missing after the last check round (they are not in the NZB file).
    void BatchEnded(const QString& nzb, int missing);
    // The journal or the NZB file could not be written (shown to the user already): what
    // failed, naming the file and the reason.
    void WriteFailed(const QString& text);
    void CheckStarted();
    // The check the batch waited for failed (its connection was lost, the server answered
    // what it should not): reported as a failed connection of the task is, before CheckEnded.
    void CheckFailed(const QString& text, int replyCode);
    void CheckEnded();

private:
    // The file of task (none for a recovery file) starts posting: its account takes what the
    // journal holds of it.
    void beginFile(const QString& path, const TTask* task);
    // Records the file as it is now, unless the journal has it so already.
    void startFile(const QString& path, const QStringList& groups, const TTask* task,
                   bool ahead = false);
    // The file's identity; one opened ahead was identified moments before its turn and, when
    // its size and time are unchanged, is not read again then.
    std::optional<TFileIdentity> identityOf(const QString& path, bool ahead, QString* error);
    static QString journalTask(TTask task);
    std::unique_ptr<TFileAccount> newFile(const QString& path, const QString& groups,
                                          const QString& poster, QList<TJournalArticle> known);
    // The batch's upload of file to groups, as this run queued it or the journal recorded it;
    // login is what it posts with.
    std::optional<TTask> batchTask(const QString& file, const QStringList& groups,
                                   const QString& login) const;
    bool batchLeftBehindHead() const;
    void batchThrough();
    // A journal record of an article: one the server took joins the check.
    void articleRecorded(const TJournalArticle& article);
    // The article joins the batch's check, which opens with its first article.
    void checkLater(const QString& messageId);
    void openCheck();
    void endCheck();
    void checked(const QStringList& found, const QStringList& missing, const QString& error);
    // The server cannot check: the batch ends with what it accepted, and a warning.
    void checkRefused(const QStringList& found, const QString& text);
    // The batch ends: its NZB file lists the articles on the server (found by the check, or
    // accepted when nothing was checked); complete unless articles are missing.
    void endBatch(bool verified);
    // The articles still missing, by file: "FILE (parts 2, 5)".
    QString missingText() const;
    // Queues again the uploads of the batch that have articles missing, before the head task
    // (which runs again by itself); false when none can go again.
    bool requeue(const QStringList& missing);
    void logLastLine();
    void setState(const QStringList& ids, TArticleState state);
    void closeBatch();
    // Writes the batch's NZB file; returns its path (empty when none was written).
    QString writeNzb(bool verified, bool complete);
    template <typename Record> void record(const Record& entry);
    void fail(const QString& text);

    TAppState& m_state;
    TTaskList& m_list;
    TLogger& m_logger;
    TView& m_view;
    TbcsNNTP& m_client; // the posting client: whose server takes the articles sent
    TUploadJournal m_journal;
    const TConnectionOverride& m_session;
    std::unique_ptr<TbcsNNTP> m_checkClient;
    // The check asks a server of its own; else it follows the server posting, also after a
    // switch to another one.
    bool m_checkSeparate = false;
    TBatchCheck m_check;
    QSet<QString> m_joined;                 // the articles that joined the check
    bool m_checkStopped = false;            // the queue stopped it
    QList<TJournalArticle> m_batchArticles; // the batch's articles while it is checked
    QStringList m_checkIds;                 // those to ask for
    bool m_checkDue = false;
    // The batch's uploads run so far, to post again from, by file and groups.
    QHash<QString, TTask> m_batchTasks;
    QHash<QString, TFileIdentity> m_aheadIdentities; // of the files opened ahead, till their turn
    int m_repostRounds = 0;
    int m_reposted = 0;
    bool m_repostDue = false;
    QString m_batch;
    QString m_groups;
    QString m_poster;
    QString m_nzbName;
    QStringList m_failures; // what failed to be written in this batch, shown once each
    std::unique_ptr<TFileAccount> m_fileAccount; // the file being posted now
};
