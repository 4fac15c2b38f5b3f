#include "app/ServerListStore.h"

#include "app/SecretStore.h"
#include "base/PasswordScrambler.h"
#include "base/ProfileSettings.h"
#include "base/ServerList.h"
#include "base/SettingFields.h"
#include "base/SettingsStore.h"
#include "base/View.h"

namespace {

using TKind = TSecretStore::TKind;

const QString CountName = QStringLiteral("Servers");
const QString ProxyPasswordName = QStringLiteral("ProxyPassword");

QString valueName(int n, const char* field)
{
    return QStringLiteral("Server%1%2").arg(n).arg(QLatin1String(field));
}

// The keyring account of a server's password: the profile's name holds no '/', so no
// server's account is a profile's.
QString account(const QString& profile, const QString& server, bool proxy)
{
    return profile + u'/' + server + (proxy ? QStringLiteral("/proxy") : QString());
}

const char* const EntryFields[] = {
    "Name",          "Host",      "Security",  "TrustedAuthorities", "TrustedFingerprint",
    "LoginRequired", "UserID",    "Password",  "Connections",        "Role",
    "Priority",      "ProxyHost", "ProxyPort", "ProxyUser",          "ProxyPassword",
};

} // namespace

TServerListStore::TServerListStore(TSettingsStore& store, TSecretStore& keyring, TView& view)
    : m_store(store), m_keyring(keyring), m_view(view)
{
}

bool TServerListStore::Read(const QString& key, const QString& profile, ProfileSettings& s)
{
    m_moved = false;
    s.ProxyPassword = readSecret(key, ProxyPasswordName, account(profile, QString(), true));
    s.FurtherServers.clear();
    const int count = m_store.ReadInteger(key, CountName, 0);
    for (int n = 1; n <= count; ++n) {
        TServerEntry e;
        readEntry(key, n, e, profile);
        // A server without a name or host cannot be told apart or reached: left out, and
        // left out of the file at the next save.
        if (ServerNameProblem(e.Name).isEmpty() && !e.Host.isEmpty())
            s.FurtherServers << e;
    }
    return m_moved;
}

void TServerListStore::readEntry(const QString& key, int n, TServerEntry& e, const QString& profile)
{
    auto str = [&](const char* f, const QString& def = QString()) {
        return m_store.ReadString(key, valueName(n, f), def);
    };
    auto num = [&](const char* f, int def) {
        return m_store.ReadInteger(key, valueName(n, f), def);
    };
    e.Name = str("Name");
    if (!e.SetAddress(str("Host")))
        e.Host.clear();
    e.Security = str("Security", QStringLiteral("none"));
    e.TrustedAuthorities = str("TrustedAuthorities");
    e.TrustedFingerprint = str("TrustedFingerprint");
    e.LoginRequired = m_store.ReadBool(key, valueName(n, "LoginRequired"), false);
    e.UserID = str("UserID");
    e.Password = readSecret(key, valueName(n, "Password"), account(profile, e.Name, false));
    e.Connections = qBound(1, num("Connections", 1), 32);
    e.Role = ServerRoleFromText(str("Role")).value_or(TServerRole::Post);
    e.Priority = qBound(0, num("Priority", 0), 999);
    e.ProxyHost = str("ProxyHost");
    e.ProxyPort = qBound(1, num("ProxyPort", 1080), 65535);
    e.ProxyUser = str("ProxyUser");
    e.ProxyPassword =
        readSecret(key, valueName(n, "ProxyPassword"), account(profile, e.Name, true));
}

void TServerListStore::Write(const QString& key, const QString& profile, const ProfileSettings& s,
                             const ProfileSettings& before, const TScramble& scramble)
{
    if (s.ProxyPassword != before.ProxyPassword)
        writeSecret(key, ProxyPasswordName, account(profile, QString(), true), s.ProxyPassword,
                    scramble);
    if (s.FurtherServers == before.FurtherServers)
        return;
    // Written anew as a whole: the numbering follows the list's order.
    const int oldCount = m_store.ReadInteger(key, CountName, 0);
    for (int n = 1; n <= oldCount; ++n)
        for (const char* field : EntryFields)
            m_store.DeleteValue(key, valueName(n, field));
    for (const TServerEntry& old : before.FurtherServers) {
        const bool kept = std::any_of(s.FurtherServers.begin(), s.FurtherServers.end(),
                                      [&](const TServerEntry& e) { return e.Name == old.Name; });
        if (!kept) {
            forgetSecret(account(profile, old.Name, false));
            forgetSecret(account(profile, old.Name, true));
        }
    }
    if (s.FurtherServers.isEmpty()) {
        m_store.DeleteValue(key, CountName);
        return;
    }
    m_store.WriteInteger(key, CountName, int(s.FurtherServers.size()));
    for (int n = 1; n <= s.FurtherServers.size(); ++n)
        writeEntry(key, n, s.FurtherServers[n - 1], profile, scramble);
}

void TServerListStore::writeEntry(const QString& key, int n, const TServerEntry& e,
                                  const QString& profile, const TScramble& scramble)
{
    auto str = [&](const char* f, const QString& v) {
        m_store.WriteString(key, valueName(n, f), v);
    };
    auto num = [&](const char* f, int v) { m_store.WriteInteger(key, valueName(n, f), v); };
    str("Name", e.Name);
    str("Host", e.Address());
    str("Security", e.Security);
    str("TrustedAuthorities", e.TrustedAuthorities);
    str("TrustedFingerprint", e.TrustedFingerprint);
    m_store.WriteBool(key, valueName(n, "LoginRequired"), e.LoginRequired);
    str("UserID", e.UserID);
    writeSecret(key, valueName(n, "Password"), account(profile, e.Name, false), e.Password,
                scramble);
    num("Connections", e.Connections);
    str("Role", ServerRoleText(e.Role));
    num("Priority", e.Priority);
    str("ProxyHost", e.ProxyHost);
    num("ProxyPort", e.ProxyPort);
    str("ProxyUser", e.ProxyUser);
    writeSecret(key, valueName(n, "ProxyPassword"), account(profile, e.Name, true), e.ProxyPassword,
                scramble);
}

QStringList TServerListStore::Names(const TSettingsStore& store, const QString& key)
{
    ProfileSettings s;
    const ProfileSettings def;
    for (const char* field : {"Host", "ServerName"})
        FindSettingField(QLatin1String(field))->Read(store, key, s, def);
    QStringList names{TServerList::FromProfile(s).Entries().first().Name};
    const int count = store.ReadInteger(key, CountName, 0);
    for (int n = 1; n <= count; ++n)
        if (const QString name = store.ReadString(key, valueName(n, "Name"), QString());
            !name.isEmpty())
            names << name;
    return names;
}

void TServerListStore::Forget(const QString& profile, const ProfileSettings& s)
{
    forgetSecret(account(profile, QString(), true));
    for (const TServerEntry& e : s.FurtherServers) {
        forgetSecret(account(profile, e.Name, false));
        forgetSecret(account(profile, e.Name, true));
    }
}

QString TServerListStore::readSecret(const QString& key, const QString& name,
                                     const QString& accountName)
{
    const QString stored = m_store.ReadString(key, name, QString());
    if (!m_keyring.Available())
        return stored.isEmpty() ? QString() : PasswordScrambler::Unscramble(stored);
    QString error;
    if (!stored.isEmpty()) {
        // Left scrambled by a run without a keyring: it moves there, and leaves the file only
        // once the keyring took it.
        const QString password = PasswordScrambler::Unscramble(stored);
        if (m_keyring.Write(accountName, TKind::NewsServer, password, &error)) {
            m_store.DeleteValue(key, name);
            m_moved = true;
        } else {
            m_view.ShowWarning(
                QStringLiteral("%1. The password of %2 is kept scrambled in the "
                               "settings file.")
                    .arg(error.isEmpty() ? QStringLiteral("Keyring: no answer") : error,
                         accountName));
        }
        return password;
    }
    const std::optional<QString> held = m_keyring.Read(accountName, TKind::NewsServer, &error);
    if (!error.isEmpty())
        m_view.ShowWarning(QStringLiteral("%1. The password of %2 is asked for when it is needed.")
                               .arg(error, accountName));
    return held.value_or(QString());
}

void TServerListStore::writeSecret(const QString& key, const QString& name,
                                   const QString& accountName, const QString& value,
                                   const TScramble& scramble)
{
    QString error;
    if (m_keyring.Available()) {
        const bool kept = value.isEmpty()
                              ? m_keyring.Remove(accountName, TKind::NewsServer, &error)
                              : m_keyring.Write(accountName, TKind::NewsServer, value, &error);
        if (kept) {
            m_store.DeleteValue(key, name);
            return;
        }
        m_view.ShowWarning(
            QStringLiteral("%1. The password of %2 is kept scrambled in the "
                           "settings file.")
                .arg(error.isEmpty() ? QStringLiteral("Keyring: no answer") : error, accountName));
    }
    if (value.isEmpty())
        m_store.DeleteValue(key, name);
    else
        m_store.WriteString(key, name, scramble(value));
}

void TServerListStore::forgetSecret(const QString& accountName)
{
    if (!m_keyring.Available())
        return;
    QString error;
    if (!m_keyring.Remove(accountName, TKind::NewsServer, &error))
        m_view.ShowWarning(QStringLiteral("%1. The password of %2 is left in the keyring.")
                               .arg(error, accountName));
}
