#include "ScriptedResolver.h"

#include <QTimer>

int TScriptedResolver::Start(const QString& name)
{
    const int handle = m_next++;
    Asked << name;
    if (Stalling.contains(name))
        return handle;
    const QStringList addresses = Addresses.value(name).split(',', Qt::SkipEmptyParts);
    const int code = addresses.isEmpty() ? FailureCode : 0;
    QTimer::singleShot(0, this,
                       [this, handle, code, addresses] { emit Finished(handle, code, addresses); });
    return handle;
}
