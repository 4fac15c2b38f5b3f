#include "app/ProfilePasswords.h"

#include "base/ProfileSettings.h"
#include "base/SettingFields.h"
#include "base/SettingsStore.h"
#include "base/View.h"

namespace {

using TKind = TSecretStore::TKind;

TKind kindOf(const TSettingField& field)
{
    return field.Is(&ProfileSettings::RASPassword) ? TKind::DialUp : TKind::NewsServer;
}

QString& heldOf(TKeyringPasswords& held, TKind kind)
{
    return kind == TKind::DialUp ? held.DialUp : held.NewsServer;
}

} // namespace

TProfilePasswords::TProfilePasswords(TSecretStore& keyring, TSettingsStore& store, TView& view)
    : m_keyring(keyring), m_store(store), m_view(view)
{
}

bool TProfilePasswords::Take(const QString& profile, const QString& key, ProfileSettings& s)
{
    m_held = {};
    if (!m_keyring.Available())
        return false;
    const bool movedNews = s.RememberPassword && takeOne(profile, TKind::NewsServer, s.Password);
    const bool movedDialUp = takeOne(profile, TKind::DialUp, s.RASPassword);
    if (movedNews)
        m_store.WriteString(key, QStringLiteral("Password"), QString());
    if (movedDialUp)
        m_store.WriteString(key, QStringLiteral("RASPassword"), QString());
    return movedNews || movedDialUp;
}

// Returns true when a password read from the file is now in the keyring and is to leave it.
bool TProfilePasswords::takeOne(const QString& profile, TKind kind, QString& value)
{
    QString error;
    if (!value.isEmpty()) {
        if (!m_keyring.Write(profile, kind, value, &error)) {
            warn(error, QStringLiteral("kept scrambled in the settings file"));
            return false;
        }
        heldOf(m_held, kind) = value;
        return true;
    }
    const std::optional<QString> stored = m_keyring.Read(profile, kind, &error);
    if (!error.isEmpty())
        warn(error, QStringLiteral("not read; it is asked for when it is needed"));
    if (stored) {
        value = *stored;
        heldOf(m_held, kind) = *stored;
    }
    return false;
}

bool TProfilePasswords::Keep(const QString& profile, const TSettingField& field,
                             const QString& password)
{
    const TKind kind = kindOf(field);
    heldOf(m_held, kind).clear();
    if (!m_keyring.Available())
        return false;
    QString error;
    const bool kept = password.isEmpty() ? m_keyring.Remove(profile, kind, &error)
                                         : m_keyring.Write(profile, kind, password, &error);
    if (!kept) {
        warn(error, QStringLiteral("kept scrambled in the settings file"));
        return false;
    }
    heldOf(m_held, kind) = password;
    return true;
}

void TProfilePasswords::Forget(const QString& profile)
{
    m_held = {};
    if (!m_keyring.Available())
        return;
    for (TKind kind : {TKind::NewsServer, TKind::DialUp}) {
        QString error;
        if (!m_keyring.Remove(profile, kind, &error))
            warn(error, QStringLiteral("left in the keyring"));
    }
}

void TProfilePasswords::warn(const QString& error, const QString& consequence)
{
    const QString why = error.isEmpty() ? QStringLiteral("Keyring: no answer") : error;
    m_view.ShowWarning(QStringLiteral("%1. The password is %2.").arg(why, consequence));
}
