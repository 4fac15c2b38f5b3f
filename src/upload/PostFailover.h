#pragma once

#include "base/ServerEntry.h"

#include <QString>
#include <QStringList>

#include <optional>

struct TAppState;
class TTaskRunner;

// Moves posting to the profile's next post server (TServerList::PostOrder: by priority, lower
// first) once the server posting fails for a reason a retry there cannot mend. The runner then
// sets every upload's client up for that server (TTaskRunner::SetPostServer); the batch goes on
// from its journal, so the articles taken before are not posted again. Servers of the same
// priority are tried one after another, in the list's order.
class TPostFailover
{
public:
    TPostFailover(TTaskRunner& runner, const TAppState& state) : m_runner(runner), m_state(state) {}

    // A batch begins, or the queue stopped: posting goes to the tasks' own server again.
    void Reset();
    // The upload to taskServer (the address its task names) failed for reason: posting moves to
    // the next post server not tried yet. Returns "Switched from A to B: reason", empty when no
    // server is left or taskServer is none of the profile's post servers (the failure stands).
    QString Switch(const QString& taskServer, const QString& reason);
    // How the messages name a server: its name, or host:port for the profile's own unnamed one.
    static QString Shown(const TServerEntry& server);

private:
    TTaskRunner& m_runner;
    const TAppState& m_state;
    QString m_from;                       // the tasks' own server
    std::optional<TServerEntry> m_server; // the server posting now, once switched
    QStringList m_tried;                  // the addresses that failed
};
