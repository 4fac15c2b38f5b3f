#pragma once

#include "net/TlsChannel.h"

#include <QList>
#include <QMetaObject>
#include <QTimer>
#include <memory>
#include <optional>

class TCertificateTrust;
class TQueueControl;
class THistoryControl;
class TLauncherEntry;
class TDesktopNotifier;
class TMainForm;
class TQuorvelApp;

// Connects the main window to the application object: the group pane's rows, the dial-up
// entries of the setup dialog, and every command (a signal of the window) to its operation,
// one line each. The connections end with the wiring.
class TProgramWiring
{
public:
    TProgramWiring(TMainForm& form, TQuorvelApp& logic);
    ~TProgramWiring();
    TCertificateTrust& CertificateTrust() { return *m_trust; }
    TQueueControl& QueueControl() { return *m_queue; }
    TDesktopNotifier& Notifier() { return *m_notifier; }
    THistoryControl& HistoryControl() { return *m_history; }
    // The history view lists the batches as the journals and NZB files say now.
    void ShowHistory();
    // The queue panel lists the tasks the task file keeps, and offers them, while nothing is
    // queued.
    void ShowKeptTasks();

private:
    void WireApp();
    void WireTasks();
    void WireGroups();
    void WireCertificateTrust();
    void WireQueue();
    void WireHistory();
    void queueDone(const QString& error);
    void askTrust();
    template <typename Signal, typename Operation> void Wire(Signal signal, Operation operation);

    TMainForm& m_form;
    TQuorvelApp& m_logic;
    QList<QMetaObject::Connection> m_connections;
    std::unique_ptr<TCertificateTrust> m_trust;
    std::unique_ptr<TQueueControl> m_queue;
    std::unique_ptr<TDesktopNotifier> m_notifier;
    std::unique_ptr<THistoryControl> m_history;
    std::unique_ptr<TLauncherEntry> m_launcher;
    // A certificate waiting to be shown to the user.
    struct TPendingTrust
    {
        TCertificateInfo Certificate;
        QString Server;
        QString Reason;
    };
    std::optional<TPendingTrust> m_pendingTrust;
    QTimer m_trustTimer;
};
