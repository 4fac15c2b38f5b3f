#include "app/LauncherEntry.h"

#include <QDBusMessage>
#include <QVariantMap>

TLauncherEntry::TLauncherEntry(const QDBusConnection& bus, const QString& desktopId)
    : m_bus(bus), m_uri(QStringLiteral("application://%1.desktop").arg(desktopId))
{
}

void TLauncherEntry::Show(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_shown)
        return;
    m_shown = percent;
    send(percent / 100.0, true);
}

void TLauncherEntry::Hide()
{
    if (m_shown < 0)
        return;
    m_shown = -1;
    send(0.0, false);
}

void TLauncherEntry::send(double progress, bool visible)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/io/github/quorvel/Quorvel/LauncherEntry"),
        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("progress"), progress},
                                 {QStringLiteral("progress-visible"), visible}};
    signal << m_uri << properties;
    m_bus.send(signal);
}
