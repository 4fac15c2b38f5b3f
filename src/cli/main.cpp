#include <QCoreApplication> // the guarded application template needs its base declared

#include "base/AppState.h"
#include "base/GuardedApplication.h"
#include "cli/CliSession.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "codec/LocalFile.h"

#include <csignal>

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
