#pragma once

#include "net/TlsChannel.h"
#include "upload/UploadHistory.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

struct TAppState;
class QThread;
class TBatchCheck;
class TBatchRepair;
class TbcsNNTP;
class TBatchAccount;
class TTaskList;

// How one Check again or Repair of a history entry ended.
struct THistoryResult
{
    QString Batch;
    bool Repair = false;
    int Articles = 0;     // the batch's articles asked for
    int Missing = 0;      // of them not on the server
    int Reposted = 0;     // posted again and found (Repair)
    QString Error;        // why it stopped; empty when it ended well
    bool Stopped = false; // Abort ended it
};

// What the history view does to a batch: Check again asks the server for every article of its
// journal (STAT, through TBatchCheck) and records each as checked or missing there, so that the
// entry's state and counts follow; Repair posts the missing ones again (TBatchRepair, on a
// thread of its own, as it waits for its client in a loop of its own). Each works over a news
// client of its own, set up for the profile's server, so the queue goes on meanwhile. One at a
// time; a batch still in the queue is left alone.
class THistoryControl : public QObject
{
    Q_OBJECT
public:
    THistoryControl(TAppState& state, const TTaskList& list, const TBatchAccount& account,
                    QObject* parent = nullptr);
    ~THistoryControl() override;

    // Every batch, the oldest first; the journals that cannot be read are named in errors.
    QList<THistoryEntry> Entries(QStringList* errors) const;
    bool Busy() const { return !m_batch.isEmpty(); }
    // Empty when begun (Finished follows), else why not.
    QString CheckAgain(const QString& batch);
    // sourceFolder: where the files are now when they moved; empty: where they were posted.
    QString Repair(const QString& batch, const QString& sourceFolder);
    // Stops the check or repair under way; Finished follows with "interrupted".
    void Abort();

signals:
    // total 0: a step without a count (text says what).
    void Progress(const QString& batch, int done, int total, const QString& text);
    void Finished(const THistoryResult& result);

private:
    struct TServer
    {
        QString Host;
        bool Login = false;
        QString User;
        QString Password;
        int Timeout = 0;
        int PostTimeout = 0;
        TTlsConfig Tls;
    };

    QString refusal(const QString& batch) const;
    QString journalOf(const QString& batch) const;
    // A file of the batch posted uuencoded; empty when there is none.
    QString uuencodedFile(const QString& batch) const;
    TServer server() const;
    static void setUp(TbcsNNTP& client, const TServer& server);
    void checkDone(const QStringList& found, const QStringList& missing, const QString& error);
    void repairDone(const THistoryResult& result);
    void finish(const THistoryResult& result);

    TAppState& m_state;
    const TTaskList& m_list;
    const TBatchAccount& m_account;
    QString m_batch; // the batch being checked or repaired
    std::unique_ptr<TbcsNNTP> m_client;
    std::unique_ptr<TBatchCheck> m_check;
    int m_checked = 0;
    int m_asked = 0;
    bool m_stopping = false; // Abort was given for the check under way
    QThread* m_thread = nullptr;
    QMutex m_repairLock;
    TBatchRepair* m_repair = nullptr; // lives on m_thread while it runs
};
