#pragma once

#include "cli/CliRequest.h"
#include "upload/WatchFolder.h"
#include "upload/WatchLedger.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class TQuorvelApp;
class TSignalPipe;
class TTerminalView;

// "watch FOLDER": posts each file or folder that lands in the folder once it has settled,
// one item a batch, through the same operation as "post" and the same queue run; then moves
// it into FOLDER/posted or remembers it in the data folder (WatchPosted, or --posted). A
// failed item is reported and left for the next run, which resumes its rest from the task
// file; the watch goes on with the next item. Ctrl+C or SIGTERM ends it with the queue saved.
class TWatchCommand : public QObject
{
    Q_OBJECT
public:
    // runQueue runs the queued tasks to their end and returns the exit status, as for "post".
    TWatchCommand(TQuorvelApp& app, TTerminalView& view, TSignalPipe& signalPipe,
                  std::function<int()> runQueue, QObject* parent = nullptr);
    ~TWatchCommand() override;

    // Returns when interrupted (ExitInterrupted) or when the watch cannot go on.
    int Run(const TCliRequest& request);

private:
    int fail(const QString& text, int status);
    QString readOptions(const TCliRequest& request);
    // The tasks an earlier run left: run first, so that nothing is posted twice.
    int resumeLeftovers();
    // Turns the event loop until items have settled (true) or a signal came (false).
    bool waitForItems();
    void scan();
    int postItem(const TWatchItem& item);
    QString finishItem(const TWatchItem& item);

    TQuorvelApp& m_app;
    TTerminalView& m_view;
    TSignalPipe& m_signals;
    std::function<int()> m_runQueue;
    TCliRequest m_post; // the "post" request each item's files go into
    bool m_remember = false;
    double m_settleSeconds = 30;
    std::unique_ptr<TWatchFolder> m_folder;
    std::unique_ptr<TWatchLedger> m_ledger;
    QHash<QString, QString> m_failed; // path -> signature: tried again once it changes
    QList<TWatchItem> m_ready;
    QTimer m_poll;
    bool m_waiting = false;
    QString m_scanError;
};
