#pragma once

#include <QObject>

struct ProfileSettings;
class TbcsNNTP;
class TTaskRunner;
class TSignalPipe;
struct TCliRequest;
struct TEntryCheckOutcome;
class TTerminal;
class TTerminalView;

// 'check ENTRY|FILE.nzb': asks the check server (or the profile's server) for every article of
// a history entry or an NZB file (TEntryCheck) and prints each one missing, with the subject
// and part it belongs to. A Message-ID that cannot be asked for is named with its file and
// segment, and the rest are checked. Exit status 0 when all are there, 1 when one is missing
// or unusable or the check failed, 130 when interrupted.
class TCheckCommand : public QObject
{
    Q_OBJECT
public:
    // Ctrl+C (signalPipe) cancels the check. client is the profile's posting client.
    TCheckCommand(const ProfileSettings& settings, TTaskRunner& runner, TbcsNNTP& client,
                  TSignalPipe& signalPipe, TTerminalView& view, const TTerminal& terminal,
                  QString journalFolder, QString nzbFolder);

    int Run(const TCliRequest& request);

private:
    int fail(const QString& text);
    int report(const QString& what, const TEntryCheckOutcome& outcome, bool bodies);

    const ProfileSettings& m_settings;
    TTaskRunner& m_runner;
    TbcsNNTP& m_client;
    TSignalPipe& m_signals;
    TTerminalView& m_view;
    const TTerminal& m_terminal;
    QString m_journalFolder;
    QString m_nzbFolder;
};
