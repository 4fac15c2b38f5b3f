#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

struct ProfileSettings;
class TbcsNNTP;
class TSignalPipe;
struct TCliRequest;
class TTerminal;
class TTerminalView;

// 'check FILE.nzb': asks the profile's news server for every article an NZB file lists
// (STAT, several at once) and prints each one missing, with the subject and part it belongs
// to. Exit status 0 when all are there, 1 when one is missing or the check failed.
class TCheckCommand : public QObject
{
    Q_OBJECT
public:
    // Ctrl+C (signalPipe) cancels the check.
    TCheckCommand(const ProfileSettings& settings, TbcsNNTP& client, TSignalPipe& signalPipe,
                  TTerminalView& view, const TTerminal& terminal);

    int Run(const TCliRequest& request);

private:
    int fail(const QString& text);
    // The Message-IDs with their angle brackets, and what each is, as the file lists them.
    QString readNzb(const QString& path);
    // Asks for them all; empty, or why the server could not be asked.
    QString ask();
    // Fetches the bodies of percent of the articles found and names those damaged; empty,
    // or why they could not be fetched.
    QString checkBodies(int percent);

    const ProfileSettings& m_settings;
    TbcsNNTP& m_client;
    TSignalPipe& m_signals;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
    QStringList m_ids;
    QStringList m_what; // "subject, part n", one for each id
    QStringList m_missing;
    QStringList m_damaged; // "id  what  damaged: reason"
};
