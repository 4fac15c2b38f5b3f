#include "dialup/RasBackend.h"

#include "dialup/NmBackend.h"
#include "dialup/UnavailableBackend.h"

std::unique_ptr<TRasBackend> TRasBackend::Create(const QDBusConnection& bus, int callTimeoutMs)
{
    if (TNmBackend::HasOwner(bus, callTimeoutMs))
        return std::make_unique<TNmBackend>(bus, callTimeoutMs);
    return std::make_unique<TUnavailableBackend>();
}
