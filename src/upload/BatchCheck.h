#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class TbcsNNTP;

// Asks the server whether a batch's articles are there once the batch is through: after a
// delay (servers pass an article on to where it is read after a moment) every Message-ID is
// asked for with STAT; those not found are asked for again after the same delay, for as
// many rounds as set.
class TBatchCheck : public QObject
{
    Q_OBJECT
public:
    explicit TBatchCheck(TbcsNNTP& client, QObject* parent = nullptr);

    void Start(const QStringList& messageIds, int delaySeconds, int rounds);
    bool Running() const { return m_running; }

signals:
    // found: the articles the server has; missing: those it did not have in the last round.
    // A check stopped by a failure or a cancel says why in error; what it did not get to ask
    // is in neither list.
    void Done(const QStringList& found, const QStringList& missing, const QString& error);
    // The server cannot check articles at all (it does not know STAT): text names the server
    // and its answer. What was found before is in found.
    void Refused(const QStringList& found, const QString& text);

private:
    void ask();
    void checked(const QString& messageId, bool present);
    void roundDone();
    void stopped(const QString& error);

    TbcsNNTP& m_client;
    QTimer m_delay;
    QStringList m_asked;
    QStringList m_found;
    QStringList m_missing;
    int m_roundsLeft = 0;
    bool m_running = false;
};
