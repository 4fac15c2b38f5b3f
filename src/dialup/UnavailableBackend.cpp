#include "dialup/UnavailableBackend.h"

#include <QMetaObject>

TRasFailure TUnavailableBackend::Failure()
{
    return {RasError::NotAvailable, QStringLiteral("NetworkManager is not available")};
}

// Answers come on the event loop, as from a real service, so callers see one order.
void TUnavailableBackend::Later(std::function<void()> answer)
{
    QMetaObject::invokeMethod(this, std::move(answer), Qt::QueuedConnection);
}

void TUnavailableBackend::ListEntries(EntriesDone done)
{
    Later([done] { done(Failure(), {}); });
}

void TUnavailableBackend::ReadParams(const TRasEntry&, ParamsDone done)
{
    Later([done] { done(Failure(), {}); });
}

void TUnavailableBackend::StoreParams(const TRasEntry&, const TRasEntryParams&, bool, Done done)
{
    Later([done] { done(Failure()); });
}

void TUnavailableBackend::ListActive(ActiveDone done)
{
    Later([done] { done(Failure(), {}); });
}

void TUnavailableBackend::Activate(const TRasEntry&, ActivateDone done)
{
    Later([done] { done(Failure(), 0, NmState::Unknown); });
}

void TUnavailableBackend::Deactivate(quint32, Done done)
{
    Later([done] { done(Failure()); });
}
