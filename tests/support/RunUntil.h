#pragma once

#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

// Runs the event loop the way the program does - blocking when idle, so the idle hook runs -
// until the condition holds or ms have passed; whether it holds in the end.
inline bool RunUntil(const std::function<bool()>& condition, int ms)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}
