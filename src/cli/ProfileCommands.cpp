#include "cli/ProfileCommands.h"

#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "base/AppState.h"
#include "base/PasswordScrambler.h"
#include "cli/CliRequest.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "base/SettingFields.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"

TProfileCommands::TProfileCommands(TQuorvelApp& app, TTerminalView& view, const TTerminal& terminal)
    : m_app(app), m_view(view), m_terminal(terminal)
{
}

int TProfileCommands::Run(const TCliRequest& request)
{
    const QString sub = request.Command.section(u' ', 1);
    const QStringList& args = request.Arguments;
    if (sub == QLatin1String("show"))
        return show();
    if (sub == QLatin1String("list"))
        return list();
    if (sub == QLatin1String("set"))
        return set(args.value(0), args.value(1));
    if (sub == QLatin1String("set-password"))
        return setPassword(request.Has(QStringLiteral("dialup")));
    if (sub == QLatin1String("create"))
        return create(args.value(0));
    if (sub == QLatin1String("delete"))
        return remove(args.value(0));
    return fail(QStringLiteral("unknown profile command '%1'").arg(sub));
}

int TProfileCommands::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TProfileCommands::usage(const QString& command, const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    m_view.Note(TCommandLine::TryHelp(command));
    return ExitUsage;
}

int TProfileCommands::existingIndex(const QString& name) const
{
    const QStringList& names = m_app.Profiles().Names();
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TProfileCommands::show()
{
    const ProfileSettings& s = m_app.State().Settings;
    QString text = QStringLiteral("Profile: %1\n").arg(m_app.State().ProfileName);
    for (const TSettingField& f : SettingFields())
        text += QStringLiteral("%1 = %2\n").arg(f.Name, f.Text(s));
    m_terminal.Out(text);
    return ExitOk;
}

int TProfileCommands::list()
{
    const QString current = m_app.State().ProfileName;
    QString text;
    for (const QString& name : m_app.Profiles().Names())
        text += (name.compare(current, Qt::CaseInsensitive) == 0 ? QStringLiteral("* ")
                                                                 : QStringLiteral("  ")) +
                name + u'\n';
    m_terminal.Out(text);
    return ExitOk;
}

int TProfileCommands::set(const QString& key, const QString& value)
{
    const QString command = QStringLiteral("profile set");
    const TSettingField* field = FindSettingField(key);
    if (!field)
        return usage(command,
                     QStringLiteral("no setting named '%1' ('profile show' lists them)").arg(key));
    if (field->Secret)
        return usage(command, QStringLiteral("%1 is set with 'profile set-password%2'")
                                  .arg(field->Name, field->Name == QLatin1String("RASPassword")
                                                        ? QStringLiteral(" --dialup")
                                                        : QString()));
    ProfileSettings& s = m_app.State().Settings;
    // Checked on the way in: a value the setting does not take changes nothing.
    const QString error = field->Assign(s, value);
    if (!error.isEmpty())
        return usage(command, error);
    // The window keeps these two in its Subject field and folder tree, and stores them
    // from there.
    if (field->Name == QLatin1String("LastSubject"))
        m_view.SetSubjectText(s.LastSubject);
    else if (field->Name == QLatin1String("LastDir"))
        m_view.SetFolderPath(s.LastDir);
    const bool loginOnly =
        field->Name == QLatin1String("UserID") || field->Name == QLatin1String("RememberPassword");
    if (loginOnly && !s.LoginRequired)
        m_view.Note(QStringLiteral("quorvel-cli: note: %1 is kept only while LoginRequired is 1")
                        .arg(field->Name));
    return ExitOk;
}

int TProfileCommands::setPassword(bool dialUp)
{
    ProfileSettings& s = m_app.State().Settings;
    const QString caption =
        dialUp ? QStringLiteral("Dial-up login") : QStringLiteral("News server login");
    const std::optional<TLoginAnswer> answer =
        m_view.AskLogin(caption, dialUp ? s.RASUserName : s.UserID, QString());
    if (!answer)
        return fail(QStringLiteral("no password given; nothing changed"));
    if (!PasswordScrambler::Fits(answer->Password))
        return fail(PasswordScrambler::TooLongText() + QStringLiteral(" Nothing changed."));
    if (dialUp) {
        s.RASUserName = answer->UserName;
        s.RASPassword = answer->Password;
        return ExitOk;
    }
    // A stored password means the server wants a login, and it is kept only when remembered.
    s.UserID = answer->UserName;
    s.Password = answer->Password;
    if (!s.LoginRequired || !s.RememberPassword)
        m_view.Note(QStringLiteral("quorvel-cli: LoginRequired and RememberPassword set to 1"));
    s.LoginRequired = true;
    s.RememberPassword = true;
    return ExitOk;
}

int TProfileCommands::create(const QString& name)
{
    if (const QString problem = ProfileNameProblem(name); !problem.isEmpty())
        return usage(QStringLiteral("profile create"), problem);
    if (existingIndex(name) >= 0)
        return fail(QStringLiteral("a profile named '%1' exists already").arg(name));
    m_app.Profiles().NewProfile(name);
    return ExitOk;
}

int TProfileCommands::remove(const QString& name)
{
    const int index = existingIndex(name);
    if (index < 0)
        return fail(QStringLiteral("no profile named '%1'").arg(name));
    const QString stored = m_app.Profiles().Names().at(index);
    if (stored.compare(m_app.State().ProfileName, Qt::CaseInsensitive) != 0)
        m_app.ProfilesComboBoxChange(stored);
    if (m_app.Profiles().ConfirmDelete())
        m_app.Profiles().DeleteProfile();
    if (existingIndex(stored) >= 0 && stored != QLatin1String("Default"))
        return fail(QStringLiteral("profile '%1' not deleted").arg(stored));
    return m_view.QuestionRefused() ? int(ExitFailed) : int(ExitOk);
}
