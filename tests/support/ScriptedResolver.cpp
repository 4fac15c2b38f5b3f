#include "ScriptedResolver.h"

#include <QTimer>

int TScriptedResolver::Start(const QString& name)
{
    const int handle = m_next++;
    Asked << name;
    if (Stalling.contains(name))
        return handle;
    const QString address = Addresses.value(name);
    const int code = address.isEmpty() ? FailureCode : 0;
    QTimer::singleShot(0, this,
                       [this, handle, code, address] { emit Finished(handle, code, address); });
    return handle;
}
