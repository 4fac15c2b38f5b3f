#include "base/ServerList.h"

#include "base/ProfileSettings.h"

#include <algorithm>

TServerList TServerList::FromProfile(const ProfileSettings& s)
{
    TServerEntry first;
    // A host the client would not take either is kept as typed, so that storing the list
    // back changes nothing.
    if (!first.SetAddress(s.Host)) {
        first.Host = s.Host;
        first.Port = 0;
    }
    first.Name = s.ServerName.isEmpty() ? first.Host : s.ServerName;
    first.Security = s.Security;
    first.TrustedAuthorities = s.TrustedAuthorities;
    first.TrustedFingerprint = s.TrustedFingerprint;
    first.LoginRequired = s.LoginRequired;
    first.UserID = s.UserID;
    first.Password = s.Password;
    first.Connections = s.Connections;
    first.Role = ServerRoleFromText(s.ServerRole).value_or(TServerRole::Post);
    first.Priority = s.ServerPriority;
    first.ProxyHost = s.ProxyHost;
    first.ProxyPort = s.ProxyPort;
    first.ProxyUser = s.ProxyUser;
    first.ProxyPassword = s.ProxyPassword;
    QList<TServerEntry> all{first};
    all += s.FurtherServers;
    return TServerList(all);
}

void TServerList::ToProfile(ProfileSettings& s) const
{
    if (m_entries.isEmpty())
        return;
    const TServerEntry& first = m_entries.first();
    // A host given with its port keeps the form it had ("news.example.com:563").
    s.Host = first.Address();
    s.ServerName = first.Name == first.Host ? QString() : first.Name;
    s.Security = first.Security;
    s.TrustedAuthorities = first.TrustedAuthorities;
    s.TrustedFingerprint = first.TrustedFingerprint;
    s.LoginRequired = first.LoginRequired;
    s.UserID = first.UserID;
    s.Password = first.Password;
    s.Connections = qint16(first.Connections);
    s.ServerRole = ServerRoleText(first.Role);
    s.ServerPriority = qint16(first.Priority);
    s.ProxyHost = first.ProxyHost;
    s.ProxyPort = first.ProxyPort;
    s.ProxyUser = first.ProxyUser;
    s.ProxyPassword = first.ProxyPassword;
    s.FurtherServers = m_entries.mid(1);
}

int TServerList::IndexOf(const QString& name) const
{
    for (int i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const TServerEntry* TServerList::Find(const QString& name) const
{
    const int index = IndexOf(name);
    return index < 0 ? nullptr : &m_entries[index];
}

QString TServerList::nameProblem(const QString& name, int except) const
{
    if (const QString problem = ServerNameProblem(name); !problem.isEmpty())
        return problem;
    const int index = IndexOf(name);
    if (index >= 0 && index != except)
        return QStringLiteral("there is already a server named \"%1\"").arg(m_entries[index].Name);
    return QString();
}

QString TServerList::Add(const TServerEntry& entry)
{
    if (const QString problem = nameProblem(entry.Name, -1); !problem.isEmpty())
        return problem;
    if (entry.Host.trimmed().isEmpty())
        return QStringLiteral("server \"%1\" needs a host").arg(entry.Name);
    m_entries << entry;
    return QString();
}

QString TServerList::Replace(const QString& name, const TServerEntry& entry)
{
    const int index = IndexOf(name);
    if (index < 0)
        return QStringLiteral("there is no server named \"%1\"").arg(name);
    if (const QString problem = nameProblem(entry.Name, index); !problem.isEmpty())
        return problem;
    if (entry.Host.trimmed().isEmpty())
        return QStringLiteral("server \"%1\" needs a host").arg(entry.Name);
    m_entries[index] = entry;
    return QString();
}

QString TServerList::Remove(const QString& name)
{
    const int index = IndexOf(name);
    if (index < 0)
        return QStringLiteral("there is no server named \"%1\"").arg(name);
    if (m_entries.size() == 1)
        return QStringLiteral("\"%1\" is the profile's only server; change it rather than "
                              "remove it")
            .arg(m_entries[index].Name);
    m_entries.removeAt(index);
    return QString();
}

QString TServerList::Move(const QString& name, int delta)
{
    const int index = IndexOf(name);
    if (index < 0)
        return QStringLiteral("there is no server named \"%1\"").arg(name);
    const int to = index + delta;
    if (to < 0 || to >= m_entries.size())
        return QStringLiteral("\"%1\" cannot move further").arg(m_entries[index].Name);
    m_entries.move(index, to);
    return QString();
}

QList<TServerEntry> TServerList::PostOrder() const
{
    QList<TServerEntry> posting;
    for (const TServerEntry& e : m_entries)
        if (e.Posts())
            posting << e;
    std::stable_sort(
        posting.begin(), posting.end(),
        [](const TServerEntry& a, const TServerEntry& b) { return a.Priority < b.Priority; });
    return posting;
}

const TServerEntry* TServerList::CheckServer() const
{
    for (const TServerEntry& e : m_entries)
        if (e.Role == TServerRole::Check)
            return &e;
    for (const TServerEntry& e : m_entries)
        if (e.Role == TServerRole::Both)
            return &e;
    return nullptr;
}
