#include "base/CommandState.h"

void TCommandState::SetBusy(bool busy)
{
    emit BusyChanged(busy);
}

void TCommandState::SetActionEnabled(TViewAction action, bool enabled)
{
    emit ActionEnabledChanged(action, enabled);
}
