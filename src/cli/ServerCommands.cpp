#include "cli/ServerCommands.h"

#include "base/PasswordScrambler.h"
#include "base/ProfileSettings.h"
#include "base/ServerList.h"
#include "base/SignalPipe.h"
#include "cli/CliRequest.h"
#include "cli/CommandLine.h"
#include "cli/CommandSpec.h"
#include "cli/ConnectionOptions.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "net/ServerProbe.h"
#include "net/bcsNNTP.h"

#include <QEventLoop>

namespace {

bool isNumber(const QString& text, int lowest, int highest, int* value)
{
    bool ok = false;
    *value = text.trimmed().toInt(&ok);
    return ok && *value >= lowest && *value <= highest;
}

QString numberError(const QString& field, int lowest, int highest, const QString& value)
{
    return QStringLiteral("%1 takes a whole number from %2 to %3, not '%4'")
        .arg(field)
        .arg(lowest)
        .arg(highest)
        .arg(value);
}

// The options "server set NAME FIELD VALUE" takes as fields: those that carry a value.
bool isField(const QString& name)
{
    const TCommandSpec* command = nullptr;
    for (const TCommandSpec& c : CommandSpecs())
        if (c.Name == QLatin1String("server set"))
            command = &c;
    const TOptionSpec* option = command ? command->FindOption(name) : nullptr;
    return option && !option->ValueName.isEmpty();
}

} // namespace

TServerCommands::TServerCommands(ProfileSettings& settings, TTerminalView& view,
                                 const TTerminal& terminal, TSignalPipe& signalPipe)
    : m_settings(settings), m_view(view), m_terminal(terminal), m_signals(signalPipe)
{
}

int TServerCommands::Run(const TCliRequest& request)
{
    const QString sub = request.Command.section(u' ', 1);
    const QString name = request.Arguments.value(0);
    if (sub == QLatin1String("list"))
        return list();
    if (sub == QLatin1String("add"))
        return add(request);
    if (sub == QLatin1String("set"))
        return set(request);
    if (sub == QLatin1String("remove"))
        return remove(name);
    if (sub == QLatin1String("test"))
        return test(name);
    return fail(QStringLiteral("unknown server command '%1'").arg(sub));
}

int TServerCommands::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TServerCommands::usage(const QString& command, const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    m_view.Note(TCommandLine::TryHelp(command));
    return ExitUsage;
}

int TServerCommands::list()
{
    const TServerList servers = TServerList::FromProfile(m_settings);
    QString text;
    for (const TServerEntry& e : servers.Entries()) {
        const QString role =
            e.Posts()
                ? QStringLiteral("%1 (priority %2)").arg(ServerRoleText(e.Role)).arg(e.Priority)
                : ServerRoleText(e.Role);
        QString line = QStringLiteral("%1\t%2:%3\t%4\t%5")
                           .arg(e.Name, e.Host)
                           .arg(e.EffectivePort())
                           .arg(e.Security, role);
        if (!e.ProxyHost.isEmpty())
            line += QStringLiteral("\tproxy %1:%2").arg(e.ProxyHost).arg(e.ProxyPort);
        text += line + u'\n';
    }
    m_terminal.Out(text);
    return ExitOk;
}

QString TServerCommands::applyField(const QString& field, const QString& value, TServerEntry& e)
{
    int n = 0;
    if (field == QLatin1String("name")) {
        e.Name = value;
    } else if (field == QLatin1String("host")) {
        const int port = e.Port;
        if (!e.SetAddress(value))
            return QStringLiteral("host: '%1' is not a host name or host:port").arg(value);
        if (e.Port == 0)
            e.Port = port;
    } else if (field == QLatin1String("port")) {
        if (!isNumber(value, 0, 65535, &n))
            return numberError(field, 0, 65535, value);
        e.Port = n;
    } else if (field == QLatin1String("security")) {
        const QString v = value.toLower();
        if (v != QLatin1String("none") && v != QLatin1String("tls") &&
            v != QLatin1String("starttls"))
            return QStringLiteral("security takes none, tls or starttls, not '%1'").arg(value);
        e.Security = v;
    } else if (field == QLatin1String("trusted-authorities")) {
        e.TrustedAuthorities = value;
    } else if (field == QLatin1String("trust-fingerprint")) {
        std::optional<QString> fingerprint;
        if (!value.isEmpty())
            if (const QString error = ReadFingerprint(value, fingerprint); !error.isEmpty())
                return error.mid(2);
        e.TrustedFingerprint = fingerprint.value_or(QString());
    } else if (field == QLatin1String("user")) {
        e.UserID = value;
        e.LoginRequired = !value.isEmpty();
        if (value.isEmpty())
            e.Password.clear();
    } else if (field == QLatin1String("connections")) {
        if (!isNumber(value, 1, 32, &n))
            return numberError(field, 1, 32, value);
        e.Connections = n;
    } else if (field == QLatin1String("role")) {
        const std::optional<TServerRole> role = ServerRoleFromText(value);
        if (!role)
            return QStringLiteral("role takes post, check or both, not '%1'").arg(value);
        e.Role = *role;
    } else if (field == QLatin1String("priority")) {
        if (!isNumber(value, 0, 999, &n))
            return numberError(field, 0, 999, value);
        e.Priority = n;
    } else if (field == QLatin1String("proxy")) {
        TServerEntry proxy;
        if (!value.isEmpty() && (!proxy.SetAddress(value) || proxy.Port == 0))
            return QStringLiteral("proxy takes HOST:PORT, not '%1'").arg(value);
        e.ProxyHost = proxy.Host;
        e.ProxyPort = value.isEmpty() ? 1080 : proxy.Port;
    } else if (field == QLatin1String("proxy-user")) {
        e.ProxyUser = value;
    } else {
        return QStringLiteral("no server field named '%1' (fields are the options that take a "
                              "value: host, port, role, ...)")
            .arg(field);
    }
    return QString();
}

QString TServerCommands::apply(const TCliRequest& request, TServerEntry& e)
{
    if (request.Has(QStringLiteral("tls")) && request.Has(QStringLiteral("starttls")))
        return QStringLiteral("--tls and --starttls exclude each other");
    if (request.Has(QStringLiteral("tls")))
        e.Security = QStringLiteral("tls");
    if (request.Has(QStringLiteral("starttls")))
        e.Security = QStringLiteral("starttls");
    for (auto it = request.Options.cbegin(); it != request.Options.cend(); ++it) {
        if (!isField(it.key()))
            continue;
        if (const QString error = applyField(it.key(), it.value(), e); !error.isEmpty())
            return QStringLiteral("--") + error;
    }
    if (request.Arguments.size() == 2)
        return QStringLiteral("a field needs its value: server set NAME FIELD VALUE");
    if (request.Arguments.size() == 3)
        return applyField(request.Arguments[1].toLower(), request.Arguments[2], e);
    return QString();
}

QString TServerCommands::askPasswords(const TCliRequest& request, TServerEntry& e)
{
    if (request.Has(QStringLiteral("password"))) {
        if (e.UserID.isEmpty())
            return QStringLiteral("--password needs a user: give --user NAME");
        const std::optional<TLoginAnswer> answer =
            m_view.AskLogin(QStringLiteral("News server login"), e.UserID, QString());
        if (!answer)
            return QStringLiteral("no password given; nothing changed");
        e.Password = answer->Password;
    }
    if (request.Has(QStringLiteral("proxy-password"))) {
        if (e.ProxyUser.isEmpty())
            return QStringLiteral("--proxy-password needs a user: give --proxy-user NAME");
        const std::optional<TLoginAnswer> answer =
            m_view.AskLogin(QStringLiteral("Proxy login"), e.ProxyUser, QString());
        if (!answer)
            return QStringLiteral("no proxy password given; nothing changed");
        e.ProxyPassword = answer->Password;
    }
    for (const QString* p : {&e.Password, &e.ProxyPassword})
        if (!PasswordScrambler::Fits(*p))
            return PasswordScrambler::TooLongText() + QStringLiteral(" Nothing changed.");
    return QString();
}

int TServerCommands::store(const TServerList& list)
{
    list.ToProfile(m_settings);
    // A password given for the profile's own server is kept, as "profile set-password" keeps
    // it (a profile holds one only while it is remembered).
    if (m_settings.LoginRequired && !m_settings.Password.isEmpty())
        m_settings.RememberPassword = true;
    return ExitOk;
}

int TServerCommands::add(const TCliRequest& request)
{
    const QString command = QStringLiteral("server add");
    if (!request.Has(QStringLiteral("host")))
        return usage(command, QStringLiteral("'server add' needs --host HOST"));
    if (request.Has(QStringLiteral("name")))
        return usage(command, QStringLiteral("the new server's name is the argument, not --name"));
    TServerEntry e;
    e.Name = request.Arguments.value(0);
    if (const QString error = apply(request, e); !error.isEmpty())
        return usage(command, error);
    if (const QString error = askPasswords(request, e); !error.isEmpty())
        return fail(error);
    TServerList list = TServerList::FromProfile(m_settings);
    if (const QString error = list.Add(e); !error.isEmpty())
        return fail(error);
    return store(list);
}

int TServerCommands::set(const TCliRequest& request)
{
    const QString name = request.Arguments.value(0);
    TServerList list = TServerList::FromProfile(m_settings);
    const TServerEntry* found = list.Find(name);
    if (!found)
        return fail(
            QStringLiteral("there is no server named \"%1\" ('server list' lists them)").arg(name));
    TServerEntry e = *found;
    if (const QString error = apply(request, e); !error.isEmpty())
        return usage(QStringLiteral("server set"), error);
    if (const QString error = askPasswords(request, e); !error.isEmpty())
        return fail(error);
    if (const QString error = list.Replace(name, e); !error.isEmpty())
        return fail(error);
    return store(list);
}

int TServerCommands::remove(const QString& name)
{
    TServerList list = TServerList::FromProfile(m_settings);
    if (const QString error = list.Remove(name); !error.isEmpty())
        return fail(error);
    return store(list);
}

int TServerCommands::test(const QString& name)
{
    const TServerList list = TServerList::FromProfile(m_settings);
    const TServerEntry* found = name.isEmpty() ? &list.Entries().first() : list.Find(name);
    if (!found)
        return fail(
            QStringLiteral("there is no server named \"%1\" ('server list' lists them)").arg(name));
    TServerEntry server = *found;
    if (server.LoginRequired && server.Password.isEmpty()) {
        const std::optional<TLoginAnswer> answer =
            m_view.AskLogin(QStringLiteral("News server login"), server.UserID, QString());
        if (!answer)
            return fail(QStringLiteral("no password for %1: nothing was tested").arg(server.Name));
        server.Password = answer->Password;
    }
    TServerProbe probe;
    TProbeResult result;
    bool done = false;
    QEventLoop loop;
    QObject::connect(&probe, &TServerProbe::Finished, &loop, [&](const TProbeResult& r) {
        result = r;
        done = true;
        loop.quit();
    });
    QObject::connect(&m_signals, &TSignalPipe::Interrupted, &loop,
                     [&] { probe.Client().Cancel(); });
    QObject::connect(&probe.Client(), &TbcsNNTP::OnCanceled, &loop, [&] {
        result.Error = QStringLiteral("interrupted");
        done = true;
        loop.quit();
    });
    probe.Start(server, m_settings.Timeout);
    // The client's own time-outs end a server that does not answer.
    if (!done)
        loop.exec();
    m_terminal.Out(result.Lines().join(u'\n') + u'\n');
    return result.Passed() ? ExitOk : ExitFailed;
}
