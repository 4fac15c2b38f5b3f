#pragma once

#include <QDBusConnection>
#include <QString>

// The batch's progress on the program's entry in the desktop's task bar or dock, where the
// desktop offers it: the Unity launcher entry signal (com.canonical.Unity.LauncherEntry
// Update), which KDE Plasma, the GNOME docks and others follow. A broadcast: where no one
// listens, or without a session bus, nothing happens.
class TLauncherEntry
{
public:
    explicit TLauncherEntry(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                            const QString& desktopId = QStringLiteral("io.github.quorvel.Quorvel"));

    // The bar at percent (0..100); sent only when the whole per cent changes.
    void Show(int percent);
    // No bar: the queue is through or stopped.
    void Hide();

private:
    void send(double progress, bool visible);

    QDBusConnection m_bus;
    QString m_uri;
    int m_shown = -1; // the per cent last sent, -1 for none
};
