#include "ui/TrayStatus.h"

#include "ui/ProgramIcon.h"

#include <QSystemTrayIcon>
#include <QWidget>

TTrayStatus::TTrayStatus(QWidget& window) : QObject(&window), m_window(window) {}

void TTrayStatus::SetEnabled(bool enabled)
{
    m_enabled = enabled;
    update();
}

void TTrayStatus::SetWorking(bool working)
{
    // Asked at every idle moment: the desktop is asked about its tray only on a change.
    if (working == m_working)
        return;
    m_working = working;
    update();
}

void TTrayStatus::SetText(const QString& text)
{
    if (m_icon)
        m_icon->setToolTip(QStringLiteral("Quorvel: ") + text);
}

bool TTrayStatus::Visible() const
{
    return m_icon && m_icon->isVisible();
}

void TTrayStatus::update()
{
    const bool wanted = m_enabled && m_working && QSystemTrayIcon::isSystemTrayAvailable();
    if (wanted && !m_icon) {
        m_icon = new QSystemTrayIcon(ProgramIcon(), this);
        connect(m_icon, &QSystemTrayIcon::activated, this, [this] {
            m_window.showNormal();
            m_window.raise();
            m_window.activateWindow();
        });
    }
    if (m_icon)
        m_icon->setVisible(wanted);
}
