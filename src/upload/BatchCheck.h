#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>

class TbcsNNTP;

// Asks the server whether articles are there: each becomes due a delay after it was taken
// (servers pass an article on to where it is read after a moment), and the articles due are
// asked for with pipelined STAT, as many as are due at once; those not found are asked for
// again the same delay later, for as many rounds as set.
//
// A check is opened and articles join it as the server takes them (Add), while the rest of
// the batch is still being posted; Finish says no more will join, and Done follows once
// every article has had its answer. Start does all three for a list known at once. While
// articles may still join, a failed connection does not end the check: it waits until Finish
// and asks again then, so that a check beside posting never stops the posting.
class TBatchCheck : public QObject
{
    Q_OBJECT
public:
    explicit TBatchCheck(TbcsNNTP& client, QObject* parent = nullptr);

    // Every one of messageIds is asked for delaySeconds from now; Done follows.
    void Start(const QStringList& messageIds, int delaySeconds, int rounds);
    // A check that articles join as they are taken.
    void Open(int delaySeconds, int rounds);
    // The server took the article now: it is asked for the delay later.
    void Add(const QString& messageId);
    // No more articles join: Done (or Refused) follows once those that joined are answered.
    void Finish();
    // Ends the check without a word.
    void Stop();
    bool Running() const { return m_running; }
    // Whether articles may still join.
    bool TakesArticles() const { return m_running && m_open; }

signals:
    // found: the articles the server has; missing: those it did not have in the last round.
    // A check stopped by a failure or a cancel says why in error; what it did not get to ask
    // is in neither list.
    void Done(const QStringList& found, const QStringList& missing, const QString& error);
    // The server cannot check articles at all (it does not know STAT): text names the server
    // and its answer. What was found before is in found.
    void Refused(const QStringList& found, const QString& text);
    // The connection failed while articles could still join: the check goes on after Finish.
    void Paused(const QString& error);

private:
    struct TDue
    {
        QString MessageId;
        qint64 Due = 0; // ms on the monotonic clock
        int Round = 1;
    };

    // Asks for the articles due, or waits for the next one, or ends the check.
    void ask();
    void schedule(qint64 ms);
    void checked(const QString& messageId, bool present);
    void roundDone();
    void stopped(const QString& error);
    void refused(const QString& text);
    static qint64 now();

    TbcsNNTP& m_client;
    QTimer m_timer;
    std::deque<TDue> m_due; // in the order they fall due
    QList<TDue> m_asked;    // the articles asked for now, in order
    qsizetype m_answered = 0;
    QStringList m_found;
    QStringList m_missing;
    QString m_refusal;
    qint64 m_delay = 0; // ms
    int m_rounds = 1;
    bool m_running = false;
    bool m_open = false;
    bool m_asking = false;
    bool m_held = false; // the connection failed while articles could still join
};
