#pragma once

#include "base/ProfileSettings.h"

#include <QString>
#include <QStringList>
#include <functional>

class TClock;
class TSettingsStore;
class TView;
struct TAppState;

// The named profiles: loading and saving one profile's settings, the list of profile names,
// and switching, creating and deleting profiles.
class TProfiles
{
public:
    // What the rest of the program does around a change of profile.
    struct Hooks
    {
        std::function<void()> CreateNewsrcIfMissing; // while the settings are read
        std::function<void()> ProfileLoaded;         // groups read and shown, caption renewed
    };

    TProfiles(TAppState& state, TSettingsStore& store, TView& view, const TClock& clock);

    void SetHooks(Hooks hooks) { m_hooks = std::move(hooks); }

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

    // The profile's name as stored when one is stored under name regardless of case,
    // else name itself.
    QString StoredName(const QString& name) const;

    // The drop-down list's entries, as shown.
    const QStringList& Names() const { return m_names; }
    int SelectedIndex() const;

    static QString CommonKey() { return QStringLiteral("Common"); }

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
    Hooks m_hooks;
    // The profile's values as last read or written, in their stored form.
    ProfileSettings m_asStored;
    QStringList m_names;
    QString m_lastSyncError;
};
