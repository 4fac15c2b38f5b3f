#include "cli/WatchCommand.h"

#include "app/QuorvelApp.h"
#include "base/AppState.h"
#include "base/Clock.h"
#include "base/SignalPipe.h"
#include "cli/CommandLine.h"
#include "cli/ExitStatus.h"
#include "cli/GroupSelection.h"
#include "cli/PostCommand.h"
#include "cli/TerminalView.h"
#include "tasks/TaskFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

constexpr double DefaultSettleSeconds = 30;
// How often the folder is looked at: a few times within the settle time, at most each second.
constexpr qint64 LongestPollMs = 1000;
constexpr qint64 ShortestPollMs = 50;

} // namespace

TWatchCommand::TWatchCommand(TQuorvelApp& app, TTerminalView& view, TSignalPipe& signalPipe,
                             std::function<int()> runQueue, QObject* parent)
    : QObject(parent), m_app(app), m_view(view), m_signals(signalPipe),
      m_runQueue(std::move(runQueue))
{
    connect(&m_poll, &QTimer::timeout, this, &TWatchCommand::scan);
    connect(&m_signals, &TSignalPipe::Interrupted, this, [this] {
        // While a queue runs, the queue run answers the signal (it saves the queue).
        if (m_waiting)
            QCoreApplication::exit(ExitInterrupted);
    });
}

TWatchCommand::~TWatchCommand() = default;

int TWatchCommand::fail(const QString& text, int status)
{
    m_view.Note(QStringLiteral("quorvel-cli: ") + text);
    if (status == ExitUsage)
        m_view.Note(TCommandLine::TryHelp(QStringLiteral("watch")));
    return status;
}

QString TWatchCommand::readOptions(const TCliRequest& request)
{
    double& settle = m_settleSeconds;
    if (request.Has(QStringLiteral("settle"))) {
        bool number = false;
        settle = request.Value(QStringLiteral("settle")).toDouble(&number);
        if (!number || settle < 0 || settle > 86400)
            return QStringLiteral("--settle takes a number of seconds from 0 to 86400, not '%1'")
                .arg(request.Value(QStringLiteral("settle")));
    }
    QString posted = m_app.State().Settings.WatchPosted.toLower();
    if (request.Has(QStringLiteral("posted")))
        posted = request.Value(QStringLiteral("posted")).toLower();
    if (posted != QLatin1String("move") && posted != QLatin1String("remember"))
        return QStringLiteral("--posted takes move or remember, not '%1'").arg(posted);
    m_remember = posted == QLatin1String("remember");
    const qint64 settleMs = qint64(settle * 1000);
    m_folder = std::make_unique<TWatchFolder>(request.Arguments.first(), settleMs);
    m_poll.setInterval(int(qBound(ShortestPollMs, settleMs / 4, LongestPollMs)));

    m_post = request;
    m_post.Command = QStringLiteral("post");
    m_post.Options.remove(QStringLiteral("settle"));
    m_post.Options.remove(QStringLiteral("posted"));
    return QString();
}

int TWatchCommand::Run(const TCliRequest& request)
{
    if (const QString usage = readOptions(request); !usage.isEmpty())
        return fail(usage, ExitUsage);
    const QFileInfo folder(request.Arguments.first());
    if (!folder.isDir())
        return fail(QStringLiteral("%1: no such folder").arg(request.Arguments.first()),
                    ExitFailed);
    // The session took the data folder's queue lock before this ran, so the leftover tasks
    // read below are ours alone for as long as the watch runs.
    m_ledger =
        std::make_unique<TWatchLedger>(m_app.State().DataFile(QStringLiteral("qvwatch.txt")));
    if (const QString error = m_ledger->Load(); !error.isEmpty())
        return fail(error, ExitFailed);
    if (const int resumed = resumeLeftovers(); resumed == ExitInterrupted)
        return resumed;
    m_view.Note(QStringLiteral("Watching %1: posting what stays unchanged for %2 s; posted "
                               "items are %3")
                    .arg(m_folder->Folder())
                    .arg(m_settleSeconds)
                    .arg(m_remember ? QStringLiteral("remembered in %1").arg(m_ledger->FileName())
                                    : QStringLiteral("moved to %1/%2")
                                          .arg(m_folder->Folder(),
                                               QLatin1String(TWatchFolder::PostedFolderName))));
    while (waitForItems()) {
        const QList<TWatchItem> ready = m_ready;
        for (const TWatchItem& item : ready) {
            if (postItem(item) == ExitInterrupted)
                return ExitInterrupted;
        }
    }
    return m_scanError.isEmpty() ? ExitInterrupted : fail(m_scanError, ExitFailed);
}

int TWatchCommand::resumeLeftovers()
{
    const QList<TWatchItem> pending = m_ledger->PendingItems();
    if (m_app.TaskFile().SavedTaskCount() > 0) {
        m_view.Note(
            QStringLiteral("Resuming the tasks left in %1").arg(m_app.TaskFile().FileName()));
        m_app.TaskFile().ReadTasks();
        const int status = m_runQueue();
        if (status != ExitOk) {
            if (status != ExitInterrupted)
                m_view.Note(QStringLiteral("quorvel-cli: the tasks left by an earlier run did "
                                           "not complete; their items are not posted again"));
            return status;
        }
    }
    // The queue is through: what was pending is posted.
    for (const TWatchItem& item : pending)
        if (const QString error = finishItem(item); !error.isEmpty())
            m_view.Note(QStringLiteral("quorvel-cli: ") + error);
    return ExitOk;
}

bool TWatchCommand::waitForItems()
{
    m_ready.clear();
    m_waiting = true;
    m_poll.start();
    QTimer::singleShot(0, this, &TWatchCommand::scan);
    const int status = QCoreApplication::exec();
    m_poll.stop();
    m_waiting = false;
    return status == ExitOk && !m_ready.isEmpty();
}

void TWatchCommand::scan()
{
    if (!m_waiting || !m_ready.isEmpty())
        return;
    QList<TWatchItem> settled;
    m_scanError = m_folder->Scan(qint64(TClock::System().TickCount()), &settled);
    if (!m_scanError.isEmpty()) {
        QCoreApplication::exit(ExitFailed);
        return;
    }
    for (const TWatchItem& item : std::as_const(settled)) {
        if (m_ledger->IsPosted(item) || m_ledger->IsPending(item) ||
            m_failed.value(item.Path) == item.Signature)
            continue;
        m_ready << item;
    }
    if (!m_ready.isEmpty())
        QCoreApplication::exit(ExitOk);
}

int TWatchCommand::postItem(const TWatchItem& item)
{
    // It may have changed since it was seen settled: then it waits for the next round.
    if (TWatchFolder::Describe(item.Path).Signature != item.Signature)
        return ExitOk;
    m_view.Note(QStringLiteral("Posting %1 (%2 file(s))").arg(item.Path).arg(item.Files.size()));
    TCliRequest request = m_post;
    request.Arguments = item.Files;
    if (!request.Has(QStringLiteral("subject")))
        request.Options.insert(QStringLiteral("subject"), item.Name);
    TGroupSelection groups(m_app.Newsrc());
    TPostCommand post(m_app.State(), m_view, m_app.UploadTasks(), groups);
    if (const QString error = m_ledger->SetPending(item); !error.isEmpty()) {
        m_failed.insert(item.Path, item.Signature);
        return fail(error, ExitFailed);
    }
    int status = post.Queue(request);
    if (status != ExitOk) {
        // Nothing of it was queued: the next run has nothing of it to resume.
        m_ledger->Forget(item);
        m_failed.insert(item.Path, item.Signature);
        m_view.Note(QStringLiteral("quorvel-cli: %1 was not posted; going on with the next item")
                        .arg(item.Path));
        return status;
    }
    status = m_runQueue();
    if (status == ExitInterrupted)
        return status; // pending: the next run resumes its rest from the task file
    if (status != ExitOk) {
        m_failed.insert(item.Path, item.Signature);
        m_view.Note(QStringLiteral("quorvel-cli: %1 was not posted; what is left of it waits in "
                                   "%2 ('quorvel-cli tasks run' or the next watch resumes it). "
                                   "Going on with the next item.")
                        .arg(item.Path, m_app.TaskFile().FileName()));
        return status;
    }
    if (const QString error = finishItem(item); !error.isEmpty())
        m_view.Note(QStringLiteral("quorvel-cli: ") + error);
    return ExitOk;
}

QString TWatchCommand::finishItem(const TWatchItem& item)
{
    QString movedTo;
    if (!m_remember && QFileInfo::exists(item.Path)) {
        if (const QString error = m_folder->MoveToPosted(item, &movedTo); !error.isEmpty()) {
            // Left in place, it is remembered instead, so it is not posted again.
            m_ledger->Posted(item, true);
            return error + QStringLiteral("; it is remembered as posted instead");
        }
    }
    if (const QString error = m_ledger->Posted(item, m_remember); !error.isEmpty())
        return error;
    m_view.Note(movedTo.isEmpty()
                    ? QStringLiteral("Posted %1").arg(item.Path)
                    : QStringLiteral("Posted %1, moved to %2").arg(item.Path, movedTo));
    return QString();
}
