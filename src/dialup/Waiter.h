#pragma once

#include <QObject>

#include <functional>

// Where the dial-up component waits (after a forced hang-up, before minimising the dial
// window) it asks a waiter, so tests can run the wait at once or hold it.
class TWaiter
{
public:
    virtual ~TWaiter() = default;

    // Runs `then` after `ms` milliseconds, unless `context` is destroyed first.
    virtual void After(int ms, QObject* context, std::function<void()> then);

    static TWaiter& System();
};
