#include "app/Profiles.h"

#include "base/AppState.h"
#include "base/Clock.h"
#include "base/CommaText.h"
#include "base/PasswordScrambler.h"
#include "base/SettingFields.h"
#include "base/SettingsStore.h"
#include "base/View.h"

#include <QDir>

#include <algorithm>

namespace {

int indexOfNoCase(const QStringList& names, const QString& name)
{
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

} // namespace

TProfiles::TProfiles(TAppState& state, TSettingsStore& store, TSecretStore& keyring, TView& view,
                     const TClock& clock, TProfileOwner& owner, QObject* parent)
    : QObject(parent), m_state(state), m_store(store), m_view(view), m_clock(clock), m_owner(owner),
      m_passwords(keyring, store, view), m_servers(store, keyring, view)
{
}

void TProfiles::ReadVariables()
{
    m_state.SetCurrentProcName(QStringLiteral("ReadVariables"));
    // A profile the store does not hold yet starts as every new profile does.
    ProfileSettings def =
        m_store.KeyExists(m_state.ProfileKey) ? ProfileSettings() : NewProfileSettings();
    // A profile that never used a folder starts in the home folder, where the files are.
    def.LastDir = QDir::homePath();
    ProfileSettings& s = m_state.Settings;
    for (const TSettingField& field : SettingFields())
        field.Read(m_store, m_state.ProfileKey, s, def);
    // The password is kept only where the user asked for it to be remembered.
    if (!s.RememberPassword)
        s.Password.clear();
    bool moved = m_passwords.Take(m_state.ProfileName, m_state.ProfileKey, s);
    moved |= m_servers.Read(m_state.ProfileKey, m_state.ProfileName, s);
    m_asStored = storedForm(s);
    // A password moved into the keyring leaves the file now.
    if (moved)
        sync();
    m_owner.CreateNewsrcIfMissing();
}

ProfileSettings TProfiles::storedForm(ProfileSettings s)
{
    // Without a login there is no user or password to keep.
    if (!s.LoginRequired) {
        s.UserID.clear();
        s.RememberPassword = false;
    }
    if (!s.RememberPassword)
        s.Password.clear();
    return s;
}

void TProfiles::SaveVariables()
{
    m_state.SetCurrentProcName(QStringLiteral("SaveVariables"));
    ProfileSettings current = m_state.Settings;
    current.LastSubject = m_view.SubjectText();
    current.LastDir = m_view.FolderPath();
    const ProfileSettings s = storedForm(current);
    const bool keepPassword = s.RememberPassword;
    // The dial-up password is kept scrambled whatever SaveRasPassword says; the dial-up login
    // decides whether to ask.
    auto scrambled = [&](const QString& p) {
        // Never stored cut short: it would fail at the next login with no clue why.
        if (!PasswordScrambler::Fits(p))
            m_view.ShowWarning(PasswordScrambler::TooLongText() +
                               QStringLiteral(" It is used in this session but not saved."));
        return PasswordScrambler::Scramble(p, m_clock.TickCount());
    };
    // In the keyring when one takes it, the file holding none; else scrambled in the file.
    auto forFile = [&](const TSettingField& field, const QString& p) {
        const bool forgotten = field.Is(&ProfileSettings::Password) && !keepPassword;
        const QString kept = forgotten ? QString() : p;
        if (m_passwords.Keep(m_state.ProfileName, field, kept) || forgotten)
            return QString();
        return scrambled(kept);
    };
    // Only what this run changed is written: a value another program (the terminal) saved
    // meanwhile stays. A profile the store does not hold yet is written whole.
    const bool whole = !m_store.KeyExists(m_state.ProfileKey);
    for (const TSettingField& field : SettingFields()) {
        if (!whole && field.Same(s, m_asStored))
            continue;
        field.Write(m_store, m_state.ProfileKey, s,
                    [&](const QString& p) { return forFile(field, p); });
    }
    m_servers.Write(m_state.ProfileKey, m_state.ProfileName, s,
                    whole ? ProfileSettings() : m_asStored, scrambled);
    m_asStored = s;
    sync();
}

void TProfiles::ReadProfiles()
{
    m_state.SetCurrentProcName(QStringLiteral("ReadProfiles"));
    QStringList sorted;
    auto addUnique = [&sorted](const QString& name) {
        if (indexOfNoCase(sorted, name) < 0)
            sorted << name;
    };
    const QString stored =
        m_store.ReadString(CommonKey(), QStringLiteral("Profiles"), QStringLiteral("Default"));
    for (const QString& name : CommaText::Read(stored))
        addUnique(name);
    addUnique(m_state.ProfileName);
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    m_names = sorted;
    showNames();
}

void TProfiles::SaveProfiles()
{
    m_state.SetCurrentProcName(QStringLiteral("SaveProfiles"));
    m_store.WriteString(CommonKey(), QStringLiteral("Profiles"), CommaText::Write(m_names));
    sync();
}

void TProfiles::sync()
{
    // Told once per failure rather than at every one of the saves that follow.
    const QString error = m_store.Sync();
    if (!error.isEmpty() && error != m_lastSyncError)
        m_view.ShowWarning(error);
    m_lastSyncError = error;
}

int TProfiles::SelectedIndex() const
{
    return indexOfNoCase(m_names, m_state.ProfileName);
}

void TProfiles::showNames()
{
    const int index = SelectedIndex();
    emit NamesShown(m_names, index < 0 && !m_names.isEmpty() ? 0 : index);
}

void TProfiles::saveLeavingProfile()
{
    SaveVariables();
    m_state.Commands.SetBusy(true);
    m_store.WriteString(m_state.ProfileKey, QStringLiteral("LastSubject"), m_view.SubjectText());
    m_store.WriteString(m_state.ProfileKey, QStringLiteral("LastDir"), m_view.FolderPath());
}

void TProfiles::loadCurrentProfile()
{
    ReadVariables();
    m_owner.ProfileLoaded();
    m_view.SetSubjectText(m_state.Settings.LastSubject);
    m_view.SetFolderPath(m_state.Settings.LastDir);
    m_state.Commands.SetBusy(false);
}

QString TProfiles::StoredName(const QString& name) const
{
    // The settings file keys groups by case: "work" must reach the profile "Work".
    const QStringList stored = CommaText::Read(
        m_store.ReadString(CommonKey(), QStringLiteral("Profiles"), QStringLiteral("Default")));
    for (const QStringList* list : {&m_names, &stored}) {
        const int index = indexOfNoCase(*list, name);
        if (index >= 0)
            return list->at(index);
    }
    return name;
}

void TProfiles::ProfilesComboBoxChange(const QString& name)
{
    m_state.SetCurrentProcName(QStringLiteral("ProfilesComboBoxChange"));
    saveLeavingProfile();
    m_state.SetProfile(StoredName(name));
    loadCurrentProfile();
}

void TProfiles::NewProfileClick()
{
    m_state.SetCurrentProcName(QStringLiteral("NewProfileClick"));
    const std::optional<QString> name =
        m_view.InputBox(QStringLiteral("New Profile"), QStringLiteral("Enter new profile name"),
                        m_state.ProfileName);
    if (name)
        NewProfile(*name);
}

void TProfiles::NewProfile(const QString& name)
{
    if (name.compare(m_state.ProfileName, Qt::CaseInsensitive) == 0)
        return;
    if (const QString problem = ProfileNameProblem(name); !problem.isEmpty()) {
        m_view.ShowWarning(QStringLiteral("No profile was created: %1.").arg(problem));
        return;
    }
    // A name that differs from a listed one only by case is that profile.
    if (indexOfNoCase(m_names, name) >= 0) {
        ProfilesComboBoxChange(name);
        return;
    }
    m_state.Commands.SetBusy(true);
    saveLeavingProfile();
    m_state.SetProfile(name);
    m_names << name;
    showNames();
    loadCurrentProfile();
    m_view.OpenSetup();
}

void TProfiles::DeleteProfileClick()
{
    m_state.SetCurrentProcName(QStringLiteral("DeleteProfileClick"));
    if (ConfirmDelete())
        DeleteProfile();
}

bool TProfiles::ConfirmDelete()
{
    return m_view.AskYesNo(QStringLiteral("Are you sure that you want to delete your %1 profile?")
                               .arg(m_state.ProfileName));
}

void TProfiles::DeleteProfile()
{
    const int index = indexOfNoCase(m_names, m_state.ProfileName);
    if (index >= 0)
        m_names.removeAt(index);
    m_store.DeleteKey(m_state.ProfileKey);
    m_passwords.Forget(m_state.ProfileName);
    m_servers.Forget(m_state.ProfileName, m_state.Settings);
    sync();
    m_state.SetProfile(QStringLiteral("Default"));
    // No entry is selected when "Default" itself was deleted from the list.
    emit NamesShown(m_names, m_names.indexOf(QStringLiteral("Default")));
    loadCurrentProfile();
}

QString TProfiles::SwitchForTask(const QString& name)
{
    const QString stored = StoredName(name);
    if (indexOfNoCase(m_names, stored) < 0 && !m_store.KeyExists(stored))
        return QStringLiteral("there is no such profile any more");
    saveLeavingProfile();
    SwitchWithoutSaving(stored);
    return QString();
}

void TProfiles::SwitchWithoutSaving(const QString& name)
{
    m_state.Commands.SetBusy(true);
    const QString stored = StoredName(name);
    m_state.SetProfile(stored);
    if (indexOfNoCase(m_names, stored) < 0)
        m_names << stored;
    showNames();
    loadCurrentProfile();
}
