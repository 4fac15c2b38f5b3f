#pragma once

#include "article/NewsArticle.h"
#include "upload/NzbFile.h"
#include "upload/UploadJournal.h"
#include "upload/UploadRepair.h"

#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class TbcsNNTP;

// What to repair and how: the batch (a history entry's name or an NZB file), where its files
// are now when they moved (for an NZB file no journal knows, where they are; by default its
// own folder), the folders and Message-ID domain the profile sets, and the profile's
// Organization and Reply-To lines for the articles posted again.
struct TRepairRequest
{
    QString EntryOrNzb;
    QString SourceFolder; // empty: where the files were posted from
    QString JournalFolder;
    QString NzbFolder;
    QString MessageIdDomain;
    QString Organization;
    QString ReplyTo;
};

// How a repair ended.
struct TRepairOutcome
{
    int Articles = 0; // the batch's articles
    int Missing = 0;  // of them not on the server
    int Reposted = 0; // posted again and found on the server
    QString Journal;  // the batch's journal (one made for an NZB file no journal knew)
    QString Error;    // why it stopped, empty when it did not
    bool Interrupted = false;
};

// Repairs a batch: asks the check server for every article (STAT), reads, through the posting
// server, the yEnc lines of the lost articles where it still has them and of one article left
// of each of their files, and refuses a source file whose bytes differ from a part's CRC-32
// (or whose size and hash differ from those recorded); then posts each missing one again from
// its source file under a new Message-ID through the posting server, checks it there, and
// rewrites the NZB file. An NZB file no journal knows gets a journal made from its articles,
// their byte ranges and file names read from the yEnc lines of articles left on the server.
// Every article is recorded in the batch's journal before it is sent, under its new
// Message-ID, so that a repair killed on the way and run again asks for it and posts only what
// the server still lacks. It runs on the event loop and ends with Finished.
class TBatchRepair : public QObject
{
    Q_OBJECT
public:
    // post and check come set up by the caller; they are one client when the batch is checked
    // where it was posted.
    TBatchRepair(TbcsNNTP& post, TbcsNNTP& check, QObject* parent = nullptr);

    void Start(const TRepairRequest& request);
    // Stops the repair after the article being sent; Finished follows.
    void Abort();

signals:
    void Progress(const QString& text);
    void Finished(const TRepairOutcome& outcome);

private:
    void listen(TbcsNNTP& client);
    // Starts an operation of client; then runs when it ended well, else the repair ends.
    void run(TbcsNNTP& client, const std::function<void()>& start, std::function<void()> then);
    void failed(const QString& error);
    void finish(const QString& error = QString());

    bool openNzb(const QString& path);
    void statAll(const QStringList& ids);
    void afterStat();
    void afterBodies();
    // A file of which an article is gone and that was posted uuencoded; empty when none.
    QString uuencodedLost(const QSet<QString>& gone) const;
    // The journal of an NZB file no journal knew, from the yEnc lines read; false on failure.
    bool deriveJournal();
    QString sourcesChanged() const;
    void repostNext();
    void reposted(TJournalArticle fresh);
    void rewrite();

    TbcsNNTP& m_post;
    TbcsNNTP& m_check;
    TRepairRequest m_request;
    TRepairTarget m_target;
    TUploadJournal m_journal;
    TRepairOutcome m_outcome;
    QList<TNzbFile> m_nzbFiles; // of an NZB file no journal knew
    QStringList m_ids;
    QStringList m_missingNow; // of the last STAT
    QHash<QString, QByteArrayList> m_bodies;
    QList<TJournalArticle> m_lost;
    qsizetype m_next = 0;
    TNewsArticle m_article;
    TNewsArticle* m_before = nullptr; // the posting client's article before the repair
    TbcsNNTP* m_busy = nullptr;       // the client whose operation runs
    std::function<void()> m_then;
    bool m_abort = false;
};
