#pragma once

#include "app/SecretStore.h"
#include "tasks/TaskLogin.h"

#include <QString>

class TSettingsStore;
class TView;
struct ProfileSettings;
struct TSettingField;

// Where a profile's two passwords (news server, dial-up) are kept: in the desktop's keyring
// when one answers, the settings file then holding none; else scrambled in the settings file.
// A password never leaves the file before the keyring holds it.
class TProfilePasswords
{
public:
    TProfilePasswords(TSecretStore& keyring, TSettingsStore& store, TView& view);

    // After the profile's settings are read from its group key: the keyring's passwords are
    // taken, and one still in the file moves into the keyring. The news server password only
    // when it is remembered. True when a password moved: the store is to be saved.
    bool Take(const QString& profile, const QString& key, ProfileSettings& settings);
    // Keeps the password of a secret field in the keyring (forgets it there when empty).
    // True when the file is to hold none; false without a keyring or when the keyring failed
    // (the user is told): the file keeps it scrambled then.
    bool Keep(const QString& profile, const TSettingField& field, const QString& password);
    // Forgets both passwords of a deleted profile.
    void Forget(const QString& profile);

    // What the keyring holds for the profile last read or saved.
    const TKeyringPasswords& Held() const { return m_held; }

private:
    bool takeOne(const QString& profile, TSecretStore::TKind kind, QString& value);
    void warn(const QString& error, const QString& consequence);

    TSecretStore& m_keyring;
    TSettingsStore& m_store;
    TView& m_view;
    TKeyringPasswords m_held;
};
