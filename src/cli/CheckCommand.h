#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QEventLoop;

struct ProfileSettings;
class TbcsNNTP;
class TTaskRunner;
class TSignalPipe;
struct TCliRequest;
class TTerminal;
class TTerminalView;

// 'check FILE.nzb': asks the profile's news server for every article an NZB file lists
// (STAT, several at once) and prints each one missing, with the subject and part it belongs
// to. A Message-ID that cannot be asked for is named with its file and segment, and the rest
// are checked. Exit status 0 when all are there, 1 when one is missing or unusable or the
// check failed. The server is reached as the profile and the run's connection options say.
class TCheckCommand : public QObject
{
    Q_OBJECT
public:
    // Ctrl+C (signalPipe) cancels the check.
    TCheckCommand(const ProfileSettings& settings, TTaskRunner& runner, TbcsNNTP& client,
                  TSignalPipe& signalPipe, TTerminalView& view, const TTerminal& terminal);

    int Run(const TCliRequest& request);

private:
    int fail(const QString& text);
    // The Message-IDs with their angle brackets, and what each is, as the file lists them.
    QString readNzb(const QString& path);
    void addSegment(int fileNo, const QString& subject, int segment, const QString& messageId);
    // Asks for them all; empty, or why the server could not be asked.
    QString ask();
    // Fetches the bodies of percent of the articles found and names those damaged; empty,
    // or why they could not be fetched.
    QString checkBodies(int percent);
    // Starts the client's work and runs loop until it quits, the client fails or the user
    // interrupts; empty, or why the work did not end.
    QString await(QEventLoop& loop, const std::function<void()>& start);

    const ProfileSettings& m_settings;
    TTaskRunner& m_runner;
    TbcsNNTP& m_client;
    TSignalPipe& m_signals;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
    QStringList m_ids;
    QStringList m_what;                // "subject, part n", one for each id
    QHash<QString, qsizetype> m_index; // where each id stands in m_ids
    QList<qsizetype> m_missing;
    QStringList m_unusable; // why each unusable segment cannot be asked for
    QStringList m_damaged;  // "id  what  damaged: reason"
};
