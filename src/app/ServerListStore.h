#pragma once

#include "base/ServerEntry.h"

#include <QList>
#include <QStringList>
#include <QString>

#include <functional>

class TSecretStore;
class TSettingsStore;
class TView;
struct ProfileSettings;

// Keeps a profile's further servers (and the password of its own server's proxy) beside the
// settings table, in the profile's key: "Servers" holds how many there are, "Server<N><Field>"
// their values. A profile with one server and no proxy login writes none of these keys, so
// its file is what it was before there were further servers, and an older build reads it.
// Passwords go to the desktop's keyring under "<profile>/<server>" (a profile name holds no
// '/'), else scrambled in the file, as the profile's own password is kept.
class TServerListStore
{
public:
    using TScramble = std::function<QString(const QString&)>;

    TServerListStore(TSettingsStore& store, TSecretStore& keyring, TView& view);

    // Reads the further servers and the proxy password into settings. A password found
    // scrambled in the file moves into the keyring where one answers: true when one did and
    // the file is to be saved without it.
    bool Read(const QString& key, const QString& profile, ProfileSettings& settings);
    // Writes them when they differ from before (the values last read or written); a server
    // no longer listed leaves the file and the keyring.
    void Write(const QString& key, const QString& profile, const ProfileSettings& settings,
               const ProfileSettings& before, const TScramble& scramble);
    // The names of a profile's servers as the file lists them, its own first (the Tab of the
    // terminal's completion: no keyring asked, nothing written).
    static QStringList Names(const TSettingsStore& store, const QString& key);
    // Forgets the keyring's passwords of a deleted profile's servers.
    void Forget(const QString& profile, const ProfileSettings& settings);

private:
    QString readSecret(const QString& key, const QString& name, const QString& account);
    void writeSecret(const QString& key, const QString& name, const QString& account,
                     const QString& value, const TScramble& scramble);
    void forgetSecret(const QString& account);
    void readEntry(const QString& key, int n, TServerEntry& e, const QString& profile);
    void writeEntry(const QString& key, int n, const TServerEntry& e, const QString& profile,
                    const TScramble& scramble);

    TSettingsStore& m_store;
    TSecretStore& m_keyring;
    TView& m_view;
    bool m_moved = false; // a password left the file for the keyring in this Read
};
