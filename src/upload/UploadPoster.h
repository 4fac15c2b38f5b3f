#pragma once

#include "tasks/Task.h"
#include "tasks/TaskList.h"
#include "upload/BatchCheck.h"
#include "upload/BatchProgress.h"
#include "upload/MultiPartPoster.h"
#include "upload/RecoveryFiles.h"
#include "upload/PostFailover.h"
#include "upload/PostRetry.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct TAppState;
struct TTask;
class TbcsNNTP;
class TLogger;
class TBatchAccount;
class TMultiPartPoster;
class TNewsArticle;
class TTaskRunner;
class TView;

// Runs upload tasks: the runner hands it the head upload task, which it posts either as a
// series of parts (MaxLines of 1 or more) or as one article that the news client composes
// from the attached file. It handles the client's posted, refused and progress events, and
// asks for the include text that the next batch of uploads puts before the file. Every
// article goes with a Message-ID of its own, recorded in its batch's account. A task that asks
// for recovery files has them made first and posts them after its file (TRecoveryFiles).
class TUploadPoster : public QObject, private TUploadFailure, private TRecoveryTarget
{
    Q_OBJECT
public:
    // Registers PostFile as the runner's action for upload tasks and listens to the client.
    TUploadPoster(TNewsArticle& article, TbcsNNTP& client, TTaskList& list, TTaskRunner& runner,
                  TView& view, TLogger& logger, TAppState& state,
                  const TClock& clock = TClock::System(), QObject* parent = nullptr);
    ~TUploadPoster() override;

    // The include text last typed, in comma-text form (one item per line); empty for none.
    QString PendingIncludeText;

    void PostFile(const TTask& task);
    // Asks for the include text unless its lines are given.
    void DoIncludeText(const std::optional<QStringList>& given = std::nullopt);

    void NNTPPosted();
    void NNTPPostFailed(const QString& reason);
    void NNTPProgress(int percent);

    TMultiPartPoster& MultiPart() { return *m_multiPart; }
    TBatchAccount& Account() { return *m_account; }
    TRecoveryFiles& Recovery() { return *m_recovery; }
    TPostRetry& Retry() { return m_retry; }

signals:
    // The server took the whole upload (its one article, or the last part of its series):
    // the groups it went to have one more post.
    void UploadAccepted(const QStringList& groups);
    // A file of an upload (its own, or a recovery file) starts posting.
    void FileStarted(const QString& path);
    // The server took part of parts of the file.
    void PartAccepted(const QString& path, qint64 part, qint64 parts);
    // The server took the whole file, in parts articles.
    void FileDone(const QString& path, qint64 parts);
    // The batch's progress moved: a part was taken, or the next one started.
    void BatchProgressChanged(const TBatchProgressState& state);

private:
    void postSingleArticle(const TTask& task);
    // The single article was sent before without an answer seen: posted only if the server
    // does not have it.
    void singleChecked(const QStringList& found, const QString& error);
    // The server's answer to the article: accepted, or not.
    void answered(bool accepted);
    // The upload ends (completed: its whole file was taken) or stops.
    void endPosting(bool completed);
    void FailTask(const QString& text) override;
    void PostTaskFile(const TTask& fileTask) override;
    void FileEnded() override;
    void AlreadyPosted() override;
    void PartTaken(qint64 part, qint64 done, qint64 total) override;
    void PartRefused(int code, const QString& reason) override;
    void SeriesPosted() override;
    void AheadPartTaken(const QString& path, qint64 size, qint64 done, qint64 total) override;
    void TakenBefore(const QString& reason) override;
    bool LastFileOfTask() const override;
    void AheadDropped(const QString& text) override;
    std::shared_ptr<TByteSink> FileSink() override { return m_recovery->FileSink(); }
    // The task has ended well: on to the next unless the batch's check holds it.
    void nextTask();
    // Counts the finished post in its groups, once per file.
    void countPost();
    // The batch's progress: a batch starts with the first upload after an idle queue and
    // counts the files of every upload queued then; it ends when its last upload ends or the
    // queue stops.
    void beginProgress(const TTask& task);
    void fileProgress(const QString& path);
    // The server took part of parts; done of them are on it now.
    void partProgress(qint64 part, qint64 done, qint64 parts);
    // The part being posted, when it is a new one.
    void batchPart();
    void endProgress();
    // The upload stopped for text: the queue is saved, and the user told what failed, what
    // failure the retries began with, and where the tasks are kept.
    void showFailure(const QString& text);
    // Posting moves to the profile's next post server after reason: logged and shown.
    bool switchServer(const QString& reason);
    // The server refused the article: the task stops and the queue is saved.
    void refused(const QString& reason, int code);
    // A refusal as a duplicate, and whether the server has the article (STAT).
    void duplicateChecked(const QString& reason, const QStringList& found, const QString& error);

    TNewsArticle& m_article;
    TbcsNNTP& m_client;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TView& m_view;
    TLogger& m_logger;
    TAppState& m_state;
    std::unique_ptr<TBatchAccount> m_account;
    std::unique_ptr<TMultiPartPoster> m_multiPart;
    std::unique_ptr<TRecoveryFiles> m_recovery;
    bool m_fileCompleted = false; // the file last posted went whole
    TPostRetry m_retry;
    TPostFailover m_failover;
    TBatchCheck m_duplicateCheck;
    TBatchCheck m_singleCheck;
    TTask m_singleTask; // the task whose article is asked for
    QString m_duplicateReason;
    TTaskList::TTaskId m_checkedId = 0; // held at the head while its batch is checked
    TBatchProgress m_progress;
    QStringList m_countedFiles; // the files the batch's total holds
    QString m_filePath;         // the file being posted and its size
    qint64 m_fileSize = 0;
    qint64 m_fileDone = 0;              // of it, in parts the server took
    QHash<QString, qint64> m_aheadDone; // of the files behind it, taken while it was posted
};
