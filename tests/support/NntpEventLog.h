#pragma once

#include <QObject>
#include <QStringList>

class TbcsNNTP;

// Records every signal of an NNTP client as one line ("status 5", "error <text>",
// "progress 33", "posted", ...) in the order they were raised, so a test can check both
// what happened and in which order. Log lines are kept apart in LogLines.
class TNntpEventLog : public QObject
{
    Q_OBJECT

public:
    explicit TNntpEventLog(TbcsNNTP& client, QObject* parent = nullptr);

    QStringList Events;
    QStringList LogLines;
    QStringList Groups;

    // Whether an event line starting with prefix was recorded.
    bool Has(const QString& prefix) const;
    // The events without the given kinds (e.g. "group"), for order checks.
    QStringList Without(const QStringList& prefixes) const;
    // Waits on the event loop until an event starting with one of the prefixes arrives.
    bool WaitFor(const QStringList& prefixes, int timeoutMs = 10000);
    // Events since the last call (for tests that run several operations).
    QStringList Take();

private:
    qsizetype m_taken = 0;
};
