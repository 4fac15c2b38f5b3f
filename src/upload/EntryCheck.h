#pragma once

#include "upload/CheckServer.h"
#include "upload/JournalContent.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <optional>

class TbcsNNTP;

// What to check: a history entry (its journal's name) or an NZB file, and how.
struct TEntryCheckRequest
{
    QString EntryOrNzb;
    QString JournalFolder;
    QString NzbFolder;
    int BodiesPercent = 0;           // also fetch this share of the articles found; 0: none
    std::optional<int> DelaySeconds; // instead of the server's
};

// What a check found.
struct TEntryCheckOutcome
{
    int Articles = 0;     // asked for
    QStringList Missing;  // "<id>  subject, part n", each not on the server
    QStringList Unusable; // why each Message-ID that cannot be asked for was left out
    QStringList Damaged;  // "<id>  subject, part n  damaged: reason"
    QString Journal;      // the journal the findings went to; empty for an NZB file without one
    QString Error;        // why the check did not end; empty when it did
    bool Interrupted = false;
};

// Checks a posted batch again: asks the check server for every article (STAT, several at
// once), no sooner than the server's delay after the post, again for those not found while
// rounds are left, and with a body share fetches that many of those found (BODY) and checks
// their yEnc size and CRC-32. The findings of a batch with a journal are recorded in it (each
// article checked or missing, and the check itself), so the history follows the last check.
// It runs on the event loop and ends with Finished.
class TEntryCheck : public QObject
{
    Q_OBJECT
public:
    // client is set up for the server to check on by the caller (CheckServer::SetUp).
    explicit TEntryCheck(TbcsNNTP& client, QObject* parent = nullptr);

    void Start(const TEntryCheckRequest& request, const TCheckServer& server);
    // Stops the check; Finished follows with Interrupted.
    void Abort();

signals:
    void Progress(const QString& text);
    void Finished(const TEntryCheckOutcome& outcome);

private:
    enum class TStep
    {
        Idle,
        Waiting,
        Asking,
        Fetching,
    };

    QString readEntry(const QString& journal);
    QString readNzb(const QString& path);
    void addSegment(int fileNo, const QString& subject, int part, const QString& messageId);
    // Waits for the next round's time, then asks for what is not found yet.
    void nextRound();
    void ask();
    void asked();
    void fetchBodies();
    void finish(const QString& error = QString());
    QString recordFindings();
    void failed(const QString& error);

    TbcsNNTP& m_client;
    TEntryCheckRequest m_request;
    TCheckServer m_server;
    TEntryCheckOutcome m_outcome;
    TStep m_step = TStep::Idle;
    QTimer m_wait;
    qint64 m_posted = 0; // Unix time of the post's last article
    int m_round = 0;
    QStringList m_ids;
    QStringList m_what;                // "subject, part n", one for each id
    QHash<QString, qsizetype> m_index; // where each id stands in m_ids
    QStringList m_asking;              // this round's
    QList<qsizetype> m_missing;
};
