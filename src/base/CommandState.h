#pragma once

#include "base/View.h"

#include <QObject>

// The busy cursor and the commands the operations switch on and off (Abort, Disconnect,
// Find Again, Clear). The operations set them here; the window follows the signals, and a
// front end without such controls has nothing to follow.
class TCommandState : public QObject
{
    Q_OBJECT
public:
    void SetBusy(bool busy);
    void SetActionEnabled(TViewAction action, bool enabled);

signals:
    void BusyChanged(bool busy);
    void ActionEnabledChanged(TViewAction action, bool enabled);
};
