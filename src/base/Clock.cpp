#include "base/Clock.h"

#include <QElapsedTimer>

QDateTime TClock::Now() const
{
    return QDateTime::currentDateTime();
}

quint64 TClock::TickCount() const
{
    // Milliseconds since the system started, like the desktop tick counter.
    QElapsedTimer t;
    t.start();
    return quint64(t.msecsSinceReference());
}

TClock& TClock::System()
{
    static TClock clock;
    return clock;
}
