#pragma once

#include <QObject>
#include <QString>

class QSystemTrayIcon;
class QWidget;

// A tray icon while work is queued, where the desktop has a tray: its tooltip says what is
// happening now, a click brings the window back. Gone when the queue is through, and never
// shown when the user turned it off (View > Tray Icon While Posting).
class TTrayStatus : public QObject
{
    Q_OBJECT
public:
    explicit TTrayStatus(QWidget& window);

    void SetEnabled(bool enabled);
    bool Enabled() const { return m_enabled; }
    void SetWorking(bool working);
    void SetText(const QString& text);
    bool Visible() const;

private:
    void update();

    QWidget& m_window;
    QSystemTrayIcon* m_icon = nullptr;
    bool m_enabled = true;
    bool m_working = false;
};
