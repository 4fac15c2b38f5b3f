#pragma once

#include "RunUntil.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal window the code under test opens: polls until one is up, then hands
// it to act (which fills it in and closes it). The poll lives on the event loop that the
// modal window itself runs.
inline void WhenModal(std::function<void(QWidget*)> act, int attempts = 500)
{
    QTimer::singleShot(10, [act = std::move(act), attempts]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
            return;
        }
        if (attempts > 0)
            WhenModal(std::move(act), attempts - 1);
    });
}

// Runs a real event loop, one that sleeps when it has nothing to do (so idle hooks fire),
// until done() holds or a guard of attempts times 10 ms passes. True when done() held.
inline bool RunLoopUntil(const std::function<bool()>& done, int attempts = 500)
{
    return RunUntil(done, attempts * 10);
}
