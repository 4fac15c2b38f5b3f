#include "app/DesktopNotifier.h"

#include "base/Logger.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QProcess>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
const QString OpenFolderKey = QStringLiteral("open-folder");
constexpr int ShownMs = 10000;

} // namespace

TDesktopNotifier::TDesktopNotifier(TLogger& logger, const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_logger(logger), m_bus(bus), m_opener([](const QString& folder) {
          return QProcess::startDetached(QStringLiteral("xdg-open"), {folder});
      })
{
    if (m_bus.isConnected())
        m_bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this,
                      SLOT(actionInvoked(quint32, QString)));
}

void TDesktopNotifier::BatchDone(const QString& nzbPath)
{
    notify(QStringLiteral("Upload finished"),
           QStringLiteral("Every file of %1 was posted. NZB file: %2")
               .arg(QFileInfo(nzbPath).completeBaseName(), nzbPath),
           QFileInfo(nzbPath).absolutePath());
}

void TDesktopNotifier::BatchStopped(const QString& reason)
{
    notify(QStringLiteral("Upload stopped"),
           QStringLiteral("%1\nThe tasks left were kept: Resume in the queue panel goes on.")
               .arg(reason),
           QString());
}

void TDesktopNotifier::notify(const QString& summary, const QString& body, const QString& folder)
{
    if (!m_bus.isConnected()) {
        if (!std::exchange(m_failureLogged, true))
            m_logger.LogIt(QStringLiteral("Info: No desktop notification: no session bus"));
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    QStringList actions;
    if (!folder.isEmpty())
        actions << OpenFolderKey << QStringLiteral("Open folder");
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), folder.isEmpty()
                                                 ? QStringLiteral("transfer.error")
                                                 : QStringLiteral("transfer.complete"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("quorvel"));
    call << QStringLiteral("Quorvel") << quint32(0) << QStringLiteral("quorvel") << summary << body
         << actions << hints << qint32(ShownMs);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, folder](QDBusPendingCallWatcher*) {
                watcher->deleteLater();
                const QDBusPendingReply<quint32> reply = *watcher;
                if (reply.isError()) {
                    if (!std::exchange(m_failureLogged, true))
                        m_logger.LogIt(QStringLiteral("Info: No desktop notification: %1")
                                           .arg(reply.error().message()));
                    return;
                }
                if (!folder.isEmpty())
                    m_folders.insert(reply.value(), folder);
                emit Shown(reply.value());
            });
}

void TDesktopNotifier::actionInvoked(quint32 id, const QString& key)
{
    const QString folder = m_folders.value(id);
    if (key != OpenFolderKey || folder.isEmpty())
        return;
    if (!m_opener(folder))
        m_logger.LogIt(QStringLiteral("Error: The folder %1 could not be opened").arg(folder));
}
