#pragma once

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>

// How long a test's guard lasts: ms, four times that under AddressSanitizer, which slows
// everything down. A guard only ends a wait that would otherwise hang: a test never asserts
// how long something took.
inline int GuardMs(int ms)
{
#if defined(__SANITIZE_ADDRESS__)
    return ms * 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return ms * 4;
#else
    return ms;
#endif
#else
    return ms;
#endif
}

// Runs the event loop the way the program does - blocking when idle, so the idle hook runs -
// until the condition holds or the guard of ms (GuardMs) has passed; whether it holds in the
// end. The condition is checked each time the loop is about to block (after the program's
// idle step), and every 20 ms for what changes outside the loop (a file, another process).
inline bool RunUntil(const std::function<bool()>& condition, int ms = 5000)
{
    if (condition())
        return true;
    QEventLoop loop;
    const auto check = [&] {
        if (condition())
            loop.quit();
    };
    const auto idle = QObject::connect(QAbstractEventDispatcher::instance(),
                                       &QAbstractEventDispatcher::aboutToBlock, &loop, check);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(20);
    QTimer::singleShot(GuardMs(ms), &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(idle);
    return condition();
}

// Waits for the definite end after which a test expects nothing more - every connection
// closed, the process gone - and then for the event loop to fall idle twice: everything
// already posted has been handled, the program's idle step has had its turn and found
// nothing to start, and what that turn started has been handled in its turn. A task
// wrongly run on, or a series wrongly continued, has acted by then, for the test's checks
// to see. True when both came about within the guard.
inline bool NothingMoreAfter(const std::function<bool()>& ended, int ms = 5000)
{
    if (!RunUntil(ended, ms))
        return false;
    int idleTurns = 0;
    QObject counter;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &counter, [&] { ++idleTurns; });
    return RunUntil([&] { return idleTurns >= 2; }, ms);
}
