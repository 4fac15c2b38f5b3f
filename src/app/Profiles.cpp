#include "app/Profiles.h"

#include "base/AppState.h"
#include "base/Clock.h"
#include "base/CommaText.h"
#include "base/PasswordScrambler.h"
#include "base/SettingsStore.h"
#include "base/View.h"

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

TProfiles::TProfiles(TAppState& state, TSettingsStore& store, TView& view, const TClock& clock)
    : m_state(state), m_store(store), m_view(view), m_clock(clock)
{
}

void TProfiles::ReadVariables()
{
    m_state.CurrentProcName = QStringLiteral("ReadVariables");
    const QString key = m_state.ProfileKey;
    const ProfileSettings def;
    ProfileSettings& s = m_state.Settings;
    auto str = [&](const char* name, const QString& d) {
        return m_store.ReadString(key, QLatin1String(name), d);
    };
    auto flag = [&](const char* name, bool d) {
        return m_store.ReadBool(key, QLatin1String(name), d);
    };
    auto num = [&](const char* name, int d) {
        return m_store.ReadInteger(key, QLatin1String(name), d);
    };

    s.EmailAddress = str("EmailAddress", def.EmailAddress);
    s.FullName = str("FullName", def.FullName);
    s.Organization = str("Organization", def.Organization);
    s.ReplyTo = str("ReplyTo", def.ReplyTo);
    s.LoginRequired = flag("LoginRequired", def.LoginRequired);
    s.UserID = str("UserID", def.UserID);
    s.RememberPassword = flag("RememberPassword", def.RememberPassword);
    s.Password.clear();
    if (s.RememberPassword) {
        const QString stored = str("Password", QString());
        if (!stored.isEmpty())
            s.Password = PasswordScrambler::Unscramble(stored);
    }
    s.Host = str("Host", def.Host);
    s.Timeout = qint16(num("Timeout", def.Timeout));
    s.PostTimeout = qint16(num("PostTimeout", def.PostTimeout));
    s.DisconnectWhenDone = flag("DisconnectWhenDone", def.DisconnectWhenDone);
    if (m_hooks.CreateNewsrcIfMissing)
        m_hooks.CreateNewsrcIfMissing();
    s.Template = str("Template", def.Template);
    s.LastSubject = str("LastSubject", def.LastSubject);
    s.IncludeText = flag("IncludeText", def.IncludeText);
    s.SigFile = str("SigFile", def.SigFile);
    s.LastDir = str("LastDir", m_state.ProgramDir);
    s.CrossPost = flag("CrossPost", def.CrossPost);
    s.MaxLines = num("MaxLines", def.MaxLines);
    s.LastUpdate = str("LastUpdate", def.LastUpdate);
    s.AutoStart = flag("AutoStart", def.AutoStart);
    s.RASOpenBefore = flag("RASOpenBefore", def.RASOpenBefore);
    s.RASUseAnotherConnection = flag("RASUseAnotherConnection", def.RASUseAnotherConnection);
    s.RASConnection = str("RASConnection", def.RASConnection);
    s.RASUserName = str("RASUserName", def.RASUserName);
    const QString ras = str("RASPassword", QString());
    s.RASPassword = ras.isEmpty() ? QString() : PasswordScrambler::Unscramble(ras);
    s.RASCloseConnectionAfter = flag("RASCloseConnectionAfter", def.RASCloseConnectionAfter);
    s.SaveRasPassword = flag("SaveRasPassword", def.SaveRasPassword);
}

void TProfiles::SaveVariables()
{
    m_state.CurrentProcName = QStringLiteral("SaveVariables");
    const QString key = m_state.ProfileKey;
    const ProfileSettings& s = m_state.Settings;
    auto str = [&](const char* name, const QString& v) {
        m_store.WriteString(key, QLatin1String(name), v);
    };
    auto flag = [&](const char* name, bool v) { m_store.WriteBool(key, QLatin1String(name), v); };
    auto num = [&](const char* name, int v) { m_store.WriteInteger(key, QLatin1String(name), v); };
    auto scrambled = [&](const QString& p) {
        // Never stored cut short: it would fail at the next login with no clue why.
        if (!PasswordScrambler::Fits(p))
            m_view.ShowWarning(PasswordScrambler::TooLongText() +
                               QStringLiteral(" It is used in this session but not saved."));
        return PasswordScrambler::Scramble(p, m_clock.TickCount());
    };

    str("EmailAddress", s.EmailAddress);
    str("FullName", s.FullName);
    str("Organization", s.Organization);
    str("ReplyTo", s.ReplyTo);
    flag("LoginRequired", s.LoginRequired);
    flag("RememberPassword", s.RememberPassword);
    if (s.LoginRequired) {
        str("UserID", s.UserID);
        str("Password", s.RememberPassword ? scrambled(s.Password) : QString());
    } else {
        str("UserID", QString());
        str("Password", QString());
        flag("RememberPassword", false);
    }
    str("Host", s.Host);
    num("Timeout", s.Timeout);
    num("PostTimeout", s.PostTimeout);
    flag("DisconnectWhenDone", s.DisconnectWhenDone);
    str("Template", s.Template);
    str("LastSubject", m_view.SubjectText());
    flag("IncludeText", s.IncludeText);
    str("SigFile", s.SigFile);
    str("LastDir", m_view.FolderPath());
    flag("CrossPost", s.CrossPost);
    num("MaxLines", s.MaxLines);
    flag("AutoStart", s.AutoStart);
    str("LastUpdate", s.LastUpdate);
    flag("RASOpenBefore", s.RASOpenBefore);
    flag("RASUseAnotherConnection", s.RASUseAnotherConnection);
    str("RASUserName", s.RASUserName);
    str("RASConnection", s.RASConnection);
    // Kept scrambled whatever SaveRasPassword says; the dial-up login decides whether to ask.
    str("RASPassword", scrambled(s.RASPassword));
    flag("RASCloseConnectionAfter", s.RASCloseConnectionAfter);
    flag("SaveRasPassword", s.SaveRasPassword);
    sync();
}

void TProfiles::ReadProfiles()
{
    m_state.CurrentProcName = QStringLiteral("ReadProfiles");
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
    m_state.CurrentProcName = QStringLiteral("SaveProfiles");
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
    m_view.ShowProfiles(m_names, index < 0 && !m_names.isEmpty() ? 0 : index);
}

void TProfiles::saveLeavingProfile()
{
    SaveVariables();
    m_view.SetBusy(true);
    m_store.WriteString(m_state.ProfileKey, QStringLiteral("LastSubject"), m_view.SubjectText());
    m_store.WriteString(m_state.ProfileKey, QStringLiteral("LastDir"), m_view.FolderPath());
}

void TProfiles::loadCurrentProfile()
{
    ReadVariables();
    if (m_hooks.ProfileLoaded)
        m_hooks.ProfileLoaded();
    m_view.SetSubjectText(m_state.Settings.LastSubject);
    m_view.SetFolderPath(m_state.Settings.LastDir);
    m_view.SetBusy(false);
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
    m_state.CurrentProcName = QStringLiteral("ProfilesComboBoxChange");
    saveLeavingProfile();
    m_state.SetProfile(StoredName(name));
    loadCurrentProfile();
}

void TProfiles::NewProfileClick()
{
    m_state.CurrentProcName = QStringLiteral("NewProfileClick");
    const std::optional<QString> name =
        m_view.InputBox(QStringLiteral("New Profile"), QStringLiteral("Enter new profile name"),
                        m_state.ProfileName);
    if (!name)
        return;
    if (name->compare(m_state.ProfileName, Qt::CaseInsensitive) == 0)
        return;
    if (const QString problem = ProfileNameProblem(*name); !problem.isEmpty()) {
        m_view.ShowWarning(QStringLiteral("No profile was created: %1.").arg(problem));
        return;
    }
    // A name that differs from a listed one only by case is that profile.
    if (indexOfNoCase(m_names, *name) >= 0) {
        ProfilesComboBoxChange(*name);
        return;
    }
    m_view.SetBusy(true);
    saveLeavingProfile();
    m_state.SetProfile(*name);
    m_names << *name;
    showNames();
    loadCurrentProfile();
    m_view.OpenSetup();
}

void TProfiles::DeleteProfileClick()
{
    m_state.CurrentProcName = QStringLiteral("DeleteProfileClick");
    const QString question = QStringLiteral("Are you sure that you want to delete your %1 profile?")
                                 .arg(m_state.ProfileName);
    if (!m_view.AskYesNo(question))
        return;
    const int index = indexOfNoCase(m_names, m_state.ProfileName);
    if (index >= 0)
        m_names.removeAt(index);
    m_store.DeleteKey(m_state.ProfileKey);
    sync();
    m_state.SetProfile(QStringLiteral("Default"));
    // No entry is selected when "Default" itself was deleted from the list.
    m_view.ShowProfiles(m_names, m_names.indexOf(QStringLiteral("Default")));
    loadCurrentProfile();
}

void TProfiles::SwitchWithoutSaving(const QString& name)
{
    m_view.SetBusy(true);
    const QString stored = StoredName(name);
    m_state.SetProfile(stored);
    if (indexOfNoCase(m_names, stored) < 0)
        m_names << stored;
    showNames();
    loadCurrentProfile();
}
