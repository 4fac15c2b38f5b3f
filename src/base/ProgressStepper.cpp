#include "base/ProgressStepper.h"

#include "base/View.h"

TProgressStepper::TProgressStepper(TView& view, qint64 maximum, int intervalMs)
    : m_view(view), m_maximum(maximum), m_intervalMs(intervalMs)
{
    m_sinceShown.start();
}

void TProgressStepper::Step(qint64 by)
{
    m_position += by;
    if (m_maximum <= 0 || m_sinceShown.elapsed() < m_intervalMs)
        return;
    const int percent = int(qMin<qint64>(100, m_position * 100 / m_maximum));
    if (percent != m_shown) {
        m_view.SetProgress(percent);
        m_shown = percent;
    }
    m_sinceShown.restart();
}

void TProgressStepper::Finish()
{
    m_view.SetProgress(0);
}
