#include "ui/LatestShown.h"

TLatestShown::TLatestShown(std::function<void(const QString&)> show, QObject* parent)
    : QObject(parent), m_show(std::move(show))
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TLatestShown::due);
}

void TLatestShown::Set(const QString& text)
{
    if (m_timer.isActive()) {
        m_pending = text;
        return;
    }
    m_pending.reset();
    m_show(text);
    m_timer.start();
}

void TLatestShown::due()
{
    if (!m_pending)
        return;
    const QString text = *m_pending;
    m_pending.reset();
    m_show(text);
    m_timer.start();
}
