#pragma once

#include "upload/UploadHistory.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

struct TAppState;
class TBatchCheck;
class TBatchRepair;
struct TRepairOutcome;
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

// What the history view does to a batch: Check again asks the check server (the profile's, else
// its posting server) for every article of its journal (STAT, through TBatchCheck) and records
// each as checked or missing there, so that the entry's state and counts follow; Repair posts
// the missing ones again (TBatchRepair). Each works over news clients of its own, so the queue
// goes on meanwhile. One at a time; a batch still in the queue is left alone.
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
    QString refusal(const QString& batch) const;
    QString journalOf(const QString& batch) const;
    void checkDone(const QStringList& found, const QStringList& missing, const QString& error);
    void repairDone(const TRepairOutcome& outcome);
    void finish(const THistoryResult& result);

    TAppState& m_state;
    const TTaskList& m_list;
    const TBatchAccount& m_account;
    QString m_batch; // the batch being checked or repaired
    std::unique_ptr<TbcsNNTP> m_client;
    std::unique_ptr<TBatchCheck> m_check;
    int m_checked = 0;
    int m_asked = 0;
    bool m_stopping = false;                 // Abort was given for the check under way
    std::unique_ptr<TbcsNNTP> m_checkClient; // a repair's check server, when another
    std::unique_ptr<TBatchRepair> m_repair;
};
