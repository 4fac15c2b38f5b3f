#include "cli/QueueRun.h"

#include "cli/ExitStatus.h"
#include "base/SignalPipe.h"
#include "cli/TerminalView.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskRunner.h"

#include <QCoreApplication>

namespace {
// How long a polite QUIT may take before the program leaves anyway.
constexpr int QuitGraceMs = 5000;
} // namespace

TQueueRun::TQueueRun(TTerminalView& view, TSignalPipe& signalPipe, TTaskRunner& runner,
                     TbcsNNTP& client, const TTaskFile& taskFile, QObject* parent)
    : QObject(parent), m_view(view), m_runner(runner), m_client(client), m_taskFile(taskFile)
{
    connect(&client, &TbcsNNTP::OnDisconnected, this, &TQueueRun::Disconnected);
    connect(&runner, &TTaskRunner::TasksHeld, this, &TQueueRun::TasksHeld, Qt::QueuedConnection);
    // Queued: the view reports from inside the core's handlers, which must finish first.
    connect(&view, &TTerminalView::QueueEmptied, this, &TQueueRun::queueEmptied,
            Qt::QueuedConnection);
    connect(&view, &TTerminalView::Refused, this, &TQueueRun::questionRefused,
            Qt::QueuedConnection);
    connect(&view, &TTerminalView::CloseRequested, this, [this] {
        m_aborted = true;
        if (m_running && !m_finishing)
            finish();
    });
    connect(&signalPipe, &TSignalPipe::Interrupted, this, &TQueueRun::interrupted);
    m_quitGrace.setSingleShot(true);
    connect(&m_quitGrace, &QTimer::timeout, this, [this] { QCoreApplication::exit(outcome()); });
}

int TQueueRun::Exec()
{
    m_queued = m_view.TaskCount();
    if (m_queued == 0)
        return m_view.QuestionRefused() ? ExitFailed : ExitOk;
    m_running = true;
    // Releases a queue held by Auto Start being off.
    if (!m_runner.AutoStart())
        m_runner.StartTasks();
    const int status = QCoreApplication::exec();
    m_running = false;
    return status;
}

int TQueueRun::outcome() const
{
    if (m_interrupted)
        return ExitInterrupted;
    if (m_saveFailed)
        return ExitFailed;
    if (m_aborted || m_view.BatchCut())
        return m_posted ? ExitPartly : ExitFailed;
    if (m_writeFailed)
        return ExitFailed;
    return m_missing > 0 ? ExitMissing : ExitOk;
}

void TQueueRun::queueEmptied()
{
    if (!m_running || m_finishing || m_held || m_view.TaskCount() > 0)
        return;
    finish();
}

void TQueueRun::SetHeld(bool held)
{
    m_held = held;
    if (!held)
        queueEmptied();
}

// Refusals that the same request meets again: posting not allowed (440), the article
// refused (441), a login missing or wrong (480, 481, 482), a command not permitted (502).
bool TQueueRun::retryCannotHelp(int replyCode)
{
    return replyCode == 440 || replyCode == 441 || (replyCode >= 480 && replyCode <= 482) ||
           replyCode == 502;
}

void TQueueRun::finish()
{
    m_finishing = true;
    const int status = outcome();
    emit Finishing(status);
    const QString taskFile = m_taskFile.FileName();
    if (status == ExitOk)
        m_view.Note(QStringLiteral("quorvel-cli: done: %1 task(s) ended well").arg(m_queued));
    else if (status == ExitMissing)
        m_view.Note(QStringLiteral("quorvel-cli: the tasks ran, but %1 article(s) are still "
                                   "missing on the server (named above)")
                        .arg(m_missing));
    else if (m_saveFailed)
        m_view.Note(QStringLiteral("quorvel-cli: the run did not complete, and the remaining "
                                   "tasks could not be saved to %1: they are lost when the "
                                   "program ends")
                        .arg(taskFile));
    else if (m_writeFailed && !m_aborted && !m_view.BatchCut())
        m_view.Note(QStringLiteral("quorvel-cli: the tasks ran, but the journal or an NZB file "
                                   "could not be written (named above)"));
    else if (retryCannotHelp(m_client.ReplyCode()))
        m_view.Note(QStringLiteral("quorvel-cli: the run did not complete; the remaining tasks "
                                   "are kept in %1. The server's refusal stands: change what it "
                                   "refused (the login, the article's size, the group) before "
                                   "'quorvel-cli tasks run'")
                        .arg(taskFile));
    else
        m_view.Note(QStringLiteral("quorvel-cli: the run did not complete; the remaining tasks "
                                   "are kept in %1 ('quorvel-cli tasks run' resumes them)")
                        .arg(taskFile));
    if (m_client.Connected()) {
        m_quitGrace.start(QuitGraceMs);
        m_client.Quit(); // politely
        if (m_client.Connected())
            return; // Disconnected() follows
        m_quitGrace.stop();
    }
    QCoreApplication::exit(status);
}

void TQueueRun::Disconnected()
{
    if (m_finishing && m_quitGrace.isActive()) {
        m_quitGrace.stop();
        QCoreApplication::exit(outcome());
    }
}

void TQueueRun::TasksHeld()
{
    m_saveFailed = true;
    if (m_running && !m_finishing)
        finish();
}

void TQueueRun::interrupted()
{
    if (!m_running)
        return;
    if (m_interrupted || m_finishing) {
        m_interrupted = true;
        m_view.Note(QStringLiteral("quorvel-cli: interrupted again: leaving now"));
        QCoreApplication::exit(outcome());
        return;
    }
    m_interrupted = true;
    abortRun(QStringLiteral("interrupted"));
}

void TQueueRun::questionRefused()
{
    if (m_running && !m_finishing)
        abortRun(QStringLiteral("a question needs an answer and nobody can give it"));
}

void TQueueRun::abortRun(const QString& reason)
{
    m_aborted = true;
    m_view.Note(QStringLiteral("quorvel-cli: %1: cancelling all tasks").arg(reason));
    m_runner.Abort(); // cancels every task, without a question
    // The abort empties the list, and the emptied queue finishes the run; a list that was
    // empty already has nothing left to report.
    if (m_view.TaskCount() == 0 && !m_finishing)
        finish();
}
