#include "dialup/Waiter.h"

#include <QTimer>

void TWaiter::After(int ms, QObject* context, std::function<void()> then)
{
    QTimer::singleShot(ms, context, std::move(then));
}

TWaiter& TWaiter::System()
{
    static TWaiter waiter;
    return waiter;
}
