#include "cli/CheckCommand.h"

#include "base/ProfileSettings.h"
#include "base/SignalPipe.h"
#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskRunner.h"
#include "upload/CheckServer.h"
#include "upload/EntryCheck.h"

#include <QCoreApplication>

#include <optional>

TCheckCommand::TCheckCommand(const ProfileSettings& settings, TTaskRunner& runner, TbcsNNTP& client,
                             TSignalPipe& signalPipe, TTerminalView& view,
                             const TTerminal& terminal, QString journalFolder, QString nzbFolder)
    : m_settings(settings), m_runner(runner), m_client(client), m_signals(signalPipe), m_view(view),
      m_terminal(terminal), m_journalFolder(std::move(journalFolder)),
      m_nzbFolder(std::move(nzbFolder))
{
}

int TCheckCommand::fail(const QString& text)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    return ExitFailed;
}

int TCheckCommand::Run(const TCliRequest& request)
{
    TEntryCheckRequest check{request.Arguments.value(0), m_journalFolder, m_nzbFolder, 0, {}};
    const bool bodies = request.Has(QStringLiteral("bodies"));
    if (bodies) {
        const QString value = request.Value(QStringLiteral("bodies"));
        bool ok = false;
        check.BodiesPercent = QString(value).remove(u'%').toInt(&ok);
        if (!ok || check.BodiesPercent < 1 || check.BodiesPercent > 100)
            return fail(
                QStringLiteral("--bodies takes a per cent from 1% to 100%, not \"%1\"").arg(value));
    }
    if (request.Has(QStringLiteral("delay"))) {
        bool ok = false;
        check.DelaySeconds = request.Value(QStringLiteral("delay")).toInt(&ok);
        if (!ok || *check.DelaySeconds < 0 || *check.DelaySeconds > 86400)
            return fail(QStringLiteral("--delay takes seconds from 0 to 86400, not \"%1\"")
                            .arg(request.Value(QStringLiteral("delay"))));
    }
    const TCheckServerOption named{request.Value(QStringLiteral("check-server")),
                                   request.Has(QStringLiteral("check-tls")) ? TTlsMode::Implicit
                                                                            : TTlsMode::None};
    const TCheckServer server = CheckServer::Of(m_settings, m_runner.ConnectionOverride(), named);
    // Another server gets a connection of its own; the posting client stays as it is.
    TbcsNNTP own;
    TbcsNNTP& client = server.Separate ? own : m_client;
    if (server.Separate)
        client.TakeSetup(m_client);
    CheckServer::SetUp(client, server);
    TEntryCheck entryCheck(client);
    connect(&entryCheck, &TEntryCheck::Progress, this,
            [this](const QString& text) { m_view.Note(QStringLiteral("quorvel-cli: ") + text); });
    connect(&m_signals, &TSignalPipe::Interrupted, &entryCheck, &TEntryCheck::Abort);
    std::optional<int> status;
    connect(&entryCheck, &TEntryCheck::Finished, this, [&](const TEntryCheckOutcome& outcome) {
        status = report(check.EntryOrNzb, outcome, bodies);
        QCoreApplication::exit(*status);
    });
    entryCheck.Start(check, server);
    // The client's own time-outs end a server that does not answer. A check that could not
    // start has ended already.
    if (!status)
        QCoreApplication::exec();
    return status.value_or(ExitFailed);
}

int TCheckCommand::report(const QString& what, const TEntryCheckOutcome& outcome, bool bodies)
{
    for (const QString& unusable : outcome.Unusable)
        m_view.ShowWarning(unusable);
    if (outcome.Interrupted)
        return ExitInterrupted;
    if (!outcome.Error.isEmpty() && outcome.Articles == 0 && outcome.Unusable.isEmpty())
        return fail(outcome.Error);
    if (!outcome.Error.isEmpty())
        return fail(QStringLiteral("cannot check %1: %2").arg(what, outcome.Error));
    m_terminal.Out((outcome.Damaged + outcome.Missing).join(u'\n') +
                   (outcome.Damaged.isEmpty() && outcome.Missing.isEmpty() ? "" : "\n"));
    QString summary = QStringLiteral("quorvel-cli: %1 of %2 article(s) missing")
                          .arg(outcome.Missing.size())
                          .arg(outcome.Articles);
    if (!outcome.Unusable.isEmpty())
        summary +=
            QStringLiteral("; %1 unusable Message-ID(s) not checked").arg(outcome.Unusable.size());
    m_view.Note(summary);
    if (bodies)
        m_view.Note(QStringLiteral("quorvel-cli: %1 article body(ies) damaged")
                        .arg(outcome.Damaged.size()));
    const bool whole =
        outcome.Missing.isEmpty() && outcome.Unusable.isEmpty() && outcome.Damaged.isEmpty();
    return whole ? ExitOk : ExitFailed;
}
