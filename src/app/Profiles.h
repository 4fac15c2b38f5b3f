#pragma once

#include "app/ProfilePasswords.h"
#include "app/ServerListStore.h"
#include "base/ProfileSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TClock;
class TSecretStore;
class TSettingsStore;
class TView;
struct TAppState;

// What the rest of the program does around a change of profile; the application object
// answers.
class TProfileOwner
{
public:
    virtual ~TProfileOwner() = default;

    // While the settings are read: the profile's newsrc file exists afterwards.
    virtual void CreateNewsrcIfMissing() = 0;
    // The profile is loaded: its groups are read and shown, the caption renewed.
    virtual void ProfileLoaded() = 0;
};

// The named profiles: loading and saving one profile's settings, the list of profile names,
// and switching, creating and deleting profiles.
class TProfiles : public QObject
{
    Q_OBJECT
public:
    TProfiles(TAppState& state, TSettingsStore& store, TSecretStore& keyring, TView& view,
              const TClock& clock, TProfileOwner& owner, QObject* parent = nullptr);

    void ReadVariables();
    void SaveVariables();
    void ReadProfiles();
    void SaveProfiles();

    void ProfilesComboBoxChange(const QString& name);
    void NewProfileClick();
    void DeleteProfileClick();
    // What the two commands do once the user has answered: makes the named profile the
    // current one (opening its setup), asks whether to delete the current profile, deletes it
    // and returns to "Default".
    void NewProfile(const QString& name);
    bool ConfirmDelete();
    void DeleteProfile();

    // Makes name current, e.g. for a task file written under another profile: adds it to the
    // list when missing (regardless of case) and loads it without saving the one left.
    void SwitchWithoutSaving(const QString& name);
    // Makes the profile a queued task came from current before the task runs, storing the
    // one left first. A profile that is no longer stored is not made up from defaults (its
    // tasks would reach the server otherwise than it said): returns why, empty on success.
    QString SwitchForTask(const QString& name);

    // The profile's name as stored when one is stored under name regardless of case,
    // else name itself.
    QString StoredName(const QString& name) const;

    // The drop-down list's entries, as shown.
    const QStringList& Names() const { return m_names; }
    int SelectedIndex() const;

    static QString CommonKey() { return QStringLiteral("Common"); }

    // The current profile's passwords that the desktop's keyring holds.
    const TKeyringPasswords& KeyringPasswords() const { return m_passwords.Held(); }

signals:
    // The drop-down list of profiles, as shown, and the entry selected (-1: none).
    void NamesShown(const QStringList& names, int selected);

private:
    static ProfileSettings storedForm(ProfileSettings settings);
    void saveLeavingProfile();
    void loadCurrentProfile();
    void showNames();
    void sync();

    TAppState& m_state;
    TSettingsStore& m_store;
    TView& m_view;
    const TClock& m_clock;
    TProfileOwner& m_owner;
    TProfilePasswords m_passwords;
    TServerListStore m_servers;
    // The profile's values as last read or written, in their stored form.
    ProfileSettings m_asStored;
    QStringList m_names;
    QString m_lastSyncError;
};
