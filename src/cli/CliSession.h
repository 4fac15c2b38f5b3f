#pragma once

#include "cli/CliRequest.h"

#include <QObject>
#include <QSet>
#include <memory>
#include <optional>

class TQuorvelApp;
class TSettingsStore;
struct TServerEntry;
class TSignalPipe;
class TTerminal;
class TTerminalView;

// One run of the command-line program: starts the application object as the window
// does (profile, settings, profile list, groups), runs one command, and shuts down as
// the window's close does, so settings, profile list and logs end up the same.
class TCliSession : public QObject
{
    Q_OBJECT
public:
    TCliSession(const TCliRequest& request, const TTerminal& terminal, QObject* parent = nullptr);
    ~TCliSession() override;

    int Run();
    // An exception escaped an event handler.
    void OnException(const QString& message);

private:
    std::optional<QString> storedProfileName() const;
    int dispatch();
    // The command queues tasks: it needs the data folder's queue to itself.
    bool usesQueue() const;
    int post();
    int check();
    int history();
    int repair();
    int groups();
    int tasks();
    int runQueue();
    void shutdown();
    // A listed server's connections for this run; the profile's are kept aside.
    void useServerConnections(const TServerEntry& server);

    TCliRequest m_request;
    const TTerminal& m_terminal;
    std::unique_ptr<TSettingsStore> m_store;
    std::unique_ptr<TTerminalView> m_view;
    std::unique_ptr<TQuorvelApp> m_app;
    std::unique_ptr<TSignalPipe> m_signals;
    bool m_unexpectedError = false;
    std::optional<int> m_profileConnections; // the profile's, while a server's are used
    // The servers already warned about a password in clear text.
    QSet<QString> m_warnedClearText;
};
