#include "cli/RepairCommand.h"

#include <QCoreApplication>

#include "app/QuorvelApp.h"
#include "base/AppState.h"
#include "base/SignalPipe.h"
#include "cli/CliRequest.h"
#include "cli/ExitStatus.h"
#include "cli/TerminalView.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskRunner.h"
#include "upload/BatchAccount.h"
#include "upload/BatchRepair.h"
#include "upload/CheckServer.h"
#include "upload/UploadPoster.h"

namespace {

int statusOf(const TRepairOutcome& outcome)
{
    if (outcome.Interrupted)
        return ExitInterrupted;
    if (!outcome.Error.isEmpty())
        return outcome.Reposted > 0 ? ExitPartly : ExitFailed;
    return outcome.Reposted == outcome.Missing ? ExitOk : ExitFailed;
}

} // namespace

int RepairCommand::Run(TQuorvelApp& app, TSignalPipe& signalPipe, TTerminalView& view,
                       const TCliRequest& request)
{
    const ProfileSettings& s = app.State().Settings;
    TTaskRunner& runner = app.Runner();
    // The profile's server, as the session reaches it (--tls, --user and the rest).
    runner.ConfigureClient(
        {s.Host, {s.LoginRequired, s.UserID, s.Password}, s.Timeout, s.PostTimeout});
    app.Nntp().SetTls(runner.ConnectionOverride().Tls(
        {TlsModeFromText(s.Security), s.TrustedAuthorities, s.TrustedFingerprint}));
    const TCheckServer server = CheckServer::Of(
        s, runner.ConnectionOverride(),
        {request.Value(QStringLiteral("check-server")),
         request.Has(QStringLiteral("check-tls")) ? TTlsMode::Implicit : TTlsMode::None});
    TbcsNNTP own;
    if (server.Separate) {
        own.TakeSetup(app.Nntp());
        CheckServer::SetUp(own, server);
    }
    TBatchRepair repair(app.Nntp(), server.Separate ? own : app.Nntp());
    QObject::connect(&repair, &TBatchRepair::Progress, &repair, [&view](const QString& text) {
        view.Note(QStringLiteral("quorvel-cli: ") + text);
    });
    QObject::connect(&signalPipe, &TSignalPipe::Interrupted, &repair, &TBatchRepair::Abort);
    TRepairOutcome outcome;
    bool finished = false;
    QObject::connect(&repair, &TBatchRepair::Finished, &repair, [&](const TRepairOutcome& o) {
        outcome = o;
        finished = true;
        QCoreApplication::exit();
    });
    repair.Start({request.Arguments.value(0), request.Value(QStringLiteral("source")),
                  app.State().DataFile(QStringLiteral("journals")),
                  app.UploadPoster().Account().NzbFolder(), s.MessageIdDomain, s.Organization,
                  s.ReplyTo});
    // A repair that could not start has ended already.
    if (!finished)
        QCoreApplication::exec();
    if (!outcome.Error.isEmpty())
        view.Note(QStringLiteral("quorvel-cli: cannot repair %1: %2")
                      .arg(request.Arguments.value(0), outcome.Error));
    // A repair that stopped before asking the server has nothing to count.
    if (outcome.Error.isEmpty() || outcome.Missing > 0)
        view.Note(QStringLiteral("quorvel-cli: %1 of %2 missing article(s) posted again")
                      .arg(outcome.Reposted)
                      .arg(outcome.Missing));
    return statusOf(outcome);
}
