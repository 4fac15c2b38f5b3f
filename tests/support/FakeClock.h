#pragma once

#include "base/Clock.h"

// A clock that stands still until the test moves it.
class TFakeClock : public TClock
{
public:
    QDateTime Current = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    quint64 Ticks = 4242;

    QDateTime Now() const override { return Current; }
    quint64 TickCount() const override { return Ticks; }
};
