#include "dialup/UnavailableBackend.h"

TRasFailure TUnavailableBackend::Failure()
{
    return {RasError::NotAvailable, QStringLiteral("NetworkManager is not available")};
}

void TUnavailableBackend::ListEntries(EntriesDone done)
{
    done(Failure(), {});
}

void TUnavailableBackend::ReadParams(const TRasEntry&, ParamsDone done)
{
    done(Failure(), {});
}

void TUnavailableBackend::StoreParams(const TRasEntry&, const TRasEntryParams&, bool, Done done)
{
    done(Failure());
}

void TUnavailableBackend::ListActive(ActiveDone done)
{
    done(Failure(), {});
}

void TUnavailableBackend::Activate(const TRasEntry&, ActivateDone done)
{
    done(Failure(), 0, 0);
}

void TUnavailableBackend::Deactivate(quint32, Done done)
{
    done(Failure());
}
