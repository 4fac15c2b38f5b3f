#include <QCoreApplication> // the guarded application template needs its base declared

#include "app/Profiles.h"
#include "app/ServerListStore.h"
#include "base/AppState.h"
#include "base/CommaText.h"
#include "base/GuardedApplication.h"
#include "base/SettingsStore.h"
#include "cli/CliSession.h"
#include "cli/CommandLine.h"
#include "cli/Completion.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "codec/LocalFile.h"

#include <QFileInfo>

#include <csignal>
#include <optional>

namespace {

// "--complete INDEX WORD...": the bash completion's question, answered one candidate a line.
// Not in the help: it is for the completion script, not for people.
int complete(const QStringList& args, const TTerminal& terminal)
{
    // Pressing Tab must not start a settings file; with none there is only Default.
    QStringList profiles{QStringLiteral("Default")};
    std::optional<TSettingsStore> store; // only read: a store saves nothing it did not change
    if (QFileInfo::exists(TSettingsStore::DefaultFileName())) {
        store.emplace();
        profiles = CommaText::Read(store->ReadString(TProfiles::CommonKey(),
                                                     QStringLiteral("Profiles"), profiles.first()));
    }
    const auto servers = [&store](const QString& profile) {
        return store ? TServerListStore::Names(*store, profile) : QStringList();
    };
    const QStringList words = args.mid(1);
    const int index = args.value(0).toInt();
    const QStringList candidates = TCompletion(profiles, servers).Candidates(words, index);
    terminal.Out(candidates.isEmpty() ? QString() : candidates.join(u'\n') + u'\n');
    return ExitOk;
}

} // namespace

int main(int argc, char* argv[])
{
    // A reader that goes away (quorvel-cli ... | head) must not kill a running upload.
    std::signal(SIGPIPE, SIG_IGN);
    TGuardedApplication<QCoreApplication> app(argc, argv);
    // The same names as the window, so both find the same per-user folders.
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    QCoreApplication::setOrganizationName(QStringLiteral("Brindlecove Software"));

    const TTerminal terminal;
    // From the bytes, not QCoreApplication::arguments(): a file name that is not UTF-8 must
    // come through as it is to be opened (see TLocalFile).
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << TLocalFile::FromBytes(QByteArray(argv[i]));
    if (arguments.value(0) == QLatin1String("--complete"))
        return complete(arguments.mid(1), terminal);
    const TParseOutcome parsed = TCommandLine::Parse(arguments);
    switch (parsed.What) {
    case TParseOutcome::Help:
        terminal.Out(TCommandLine::Help(parsed.Request.Command));
        return ExitOk;
    case TParseOutcome::Version:
        terminal.Out(QStringLiteral("quorvel-cli %1\n").arg(BuildVersionText()));
        return ExitOk;
    case TParseOutcome::Error:
        terminal.Err(QStringLiteral("quorvel-cli: %1\n%2\n")
                         .arg(parsed.ErrorText, TCommandLine::TryHelp(parsed.Request.Command)));
        return ExitUsage;
    case TParseOutcome::Run:
        break;
    }
    TCliSession session(parsed.Request, terminal);
    app.SetExceptionHandler([&session](const QString& message) { session.OnException(message); });
    return session.Run();
}
