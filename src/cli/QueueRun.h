#pragma once

#include <QObject>
#include <QTimer>

class TbcsNNTP;
class TSignalPipe;
class TTaskFile;
class TTaskRunner;
class TTerminalView;

// Runs the queued tasks to their end on the application's event loop and turns the outcome
// into the exit status: 0 when every task ended well, 3 when the run was cut short after the
// server had taken some articles and 1 when before (either way the core saved what was left
// to the task file) or when the journal or an NZB file could not be written, 4 when the tasks
// ran but articles are still missing on the server after the last check, 130 after Ctrl+C, which
// aborts like the window's Abort button. A question that nobody can answer while tasks run also
// aborts, since nothing else would ever move the queue on.
class TQueueRun : public QObject
{
    Q_OBJECT
public:
    // Listens to the client's disconnect and the runner's held tasks itself.
    TQueueRun(TTerminalView& view, TSignalPipe& signalPipe, TTaskRunner& runner, TbcsNNTP& client,
              const TTaskFile& taskFile, QObject* parent = nullptr);

    // Returns when the queue has run out.
    int Exec();
    // The news server connection has closed.
    void Disconnected();
    // The tasks left could not be saved to the task file: the run ends here, failed.
    void TasksHeld();
    // Work that outlasts the queue (the check after a batch) runs: an emptied queue waits
    // for it.
    void SetHeld(bool held);
    // The server took an article of the run.
    void Posted() { m_posted = true; }
    // The journal or an NZB file could not be written: the run does not end well.
    void WriteFailed() { m_writeFailed = true; }
    // A batch ended with articles still missing on the server.
    void BatchEnded(int missing) { m_missing += missing; }

signals:
    // The run ends with that exit status; the connection may still be closing.
    void Finishing(int status);

private:
    static bool retryCannotHelp(int replyCode);
    void queueEmptied();
    void interrupted();
    void questionRefused();
    void abortRun(const QString& reason);
    void finish();
    int outcome() const;

    TTerminalView& m_view;
    TTaskRunner& m_runner;
    TbcsNNTP& m_client;
    const TTaskFile& m_taskFile;
    QTimer m_quitGrace;
    bool m_running = false;
    bool m_finishing = false;
    bool m_interrupted = false;
    bool m_aborted = false;
    bool m_saveFailed = false;
    bool m_held = false;
    bool m_posted = false;
    bool m_writeFailed = false;
    int m_missing = 0;
    int m_queued = 0;
};
