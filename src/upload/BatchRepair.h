#pragma once

#include "upload/UploadJournal.h"
#include "upload/UploadRepair.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class TbcsNNTP;

// What to repair and how: the batch (a history entry's name or its NZB file), where its files
// are now when they moved, and the folders and Message-ID domain the profile sets. The news
// client comes set up for the server by the caller.
struct TRepairRequest
{
    QString EntryOrNzb;
    QString SourceFolder; // empty: where the files were posted from
    QString JournalFolder;
    QString NzbFolder;
    QString MessageIdDomain;
};

// How a repair ended.
struct TRepairOutcome
{
    int Articles = 0; // the batch's articles
    int Missing = 0;  // of them not on the server
    int Reposted = 0; // posted again and found on the server
    QString Error;    // why it stopped, empty when it did not
    bool Interrupted = false;
};

// Repairs a batch: asks the server for every article (STAT), posts each missing one again
// from its source file under a new Message-ID, checks it, and rewrites the NZB file. Every
// article is recorded in the batch's journal before it is sent, under its new Message-ID, so
// that a repair killed on the way and run again asks for it and posts only what the server
// still lacks. Nothing is posted when a source file has changed since the post.
class TBatchRepair : public QObject
{
    Q_OBJECT
public:
    explicit TBatchRepair(TbcsNNTP& client, QObject* parent = nullptr);

    TRepairOutcome Run(const TRepairRequest& request);
    // Stops the repair after the article being sent.
    void Abort();

signals:
    void Progress(const QString& text);

private:
    // The articles of ids the server does not have; false when asking failed.
    bool missingOf(const QStringList& ids, QStringList& missing);
    // The outcome with error, unless an earlier one is there.
    TRepairOutcome fail(const QString& error);
    QString sourcesChanged(const QList<TJournalArticle>& lost) const;
    bool repost(const TJournalArticle& lost);
    // Starts the client and runs until one of its outcomes; false on an error (in m_outcome).
    bool waitForClient(const std::function<void()>& start);

    TbcsNNTP& m_client;
    TRepairRequest m_request;
    TRepairTarget m_target;
    TUploadJournal m_journal;
    TRepairOutcome m_outcome;
    bool m_abort = false;
};
