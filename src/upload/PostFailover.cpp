#include "upload/PostFailover.h"

#include "base/AppState.h"
#include "base/ServerList.h"
#include "tasks/TaskRunner.h"

namespace {

bool sameAddress(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

void TPostFailover::Reset()
{
    m_from.clear();
    m_server.reset();
    m_tried.clear();
    m_runner.SetPostServer(QString(), std::nullopt);
}

QString TPostFailover::Shown(const TServerEntry& server)
{
    if (!server.Name.isEmpty() && server.Name != server.Host)
        return server.Name;
    const QString host = server.Host.contains(u':') ? u'[' + server.Host + u']' : server.Host;
    return host + u':' + QString::number(server.EffectivePort());
}

QString TPostFailover::Switch(const QString& taskServer, const QString& reason)
{
    if (m_from.isEmpty())
        m_from = taskServer;
    const QList<TServerEntry> order = TServerList::FromProfile(m_state.Settings).PostOrder();
    // The server that failed, named as the profile names it.
    std::optional<TServerEntry> failed = m_server;
    for (const TServerEntry& e : order)
        if (!failed && sameAddress(e.Address(), taskServer))
            failed = e;
    // A task for a server the profile does not post to (queued before its server changed)
    // fails as it always has.
    if (!failed)
        return QString();
    m_tried << failed->Address() << taskServer;
    for (const TServerEntry& next : order) {
        if (m_tried.contains(next.Address(), Qt::CaseInsensitive))
            continue;
        m_server = next;
        m_runner.SetPostServer(m_from, next);
        return QStringLiteral("Switched from %1 to %2: %3")
            .arg(Shown(*failed), Shown(next), reason);
    }
    return QString();
}
