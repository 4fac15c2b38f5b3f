#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class TLogger;

// A word to the desktop when a batch ends: a notification through the freedesktop
// Notifications service on the session bus, with the batch's result and, once its NZB file is
// written, an action that opens the NZB file's folder. Calls never block the program; without
// the service nothing is shown and the reason is logged once.
class TDesktopNotifier : public QObject
{
    Q_OBJECT
public:
    // Opens a folder in the desktop's file manager; true when it could be started.
    using TOpener = std::function<bool(const QString& folder)>;

    explicit TDesktopNotifier(TLogger& logger,
                              const QDBusConnection& bus = QDBusConnection::sessionBus(),
                              QObject* parent = nullptr);

    void SetOpener(TOpener opener) { m_opener = std::move(opener); }

    // The batch is through and its NZB file was written to path.
    void BatchDone(const QString& nzbPath);
    // The queue stopped for reason; its tasks were kept.
    void BatchStopped(const QString& reason);

signals:
    // The service took a notification (its id).
    void Shown(quint32 id);

private slots:
    void actionInvoked(quint32 id, const QString& key);

private:
    void notify(const QString& summary, const QString& body, const QString& folder);

    TLogger& m_logger;
    QDBusConnection m_bus;
    TOpener m_opener;
    QHash<quint32, QString> m_folders; // the folder each notification's action opens
    bool m_failureLogged = false;
};
