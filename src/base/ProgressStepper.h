#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

class TView;

// Steps the main window's progress bar through a long loop, but redraws it only every few
// tens of milliseconds: per-item redraws would cost more than the work itself.
class TProgressStepper
{
public:
    TProgressStepper(TView& view, qint64 maximum, int intervalMs = 40);

    void Step(qint64 by = 1);
    // Puts the bar back to 0.
    void Finish();

private:
    TView& m_view;
    qint64 m_maximum;
    qint64 m_position = 0;
    int m_intervalMs;
    int m_shown = -1;
    QElapsedTimer m_sinceShown;
};
