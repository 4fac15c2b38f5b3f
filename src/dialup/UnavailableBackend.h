#pragma once

#include "dialup/RasBackend.h"

// Stands in when there is no system bus or no NetworkManager on it: every call fails
// straight away with the same text, so nothing waits for a service that is not there.
class TUnavailableBackend : public TRasBackend
{
    Q_OBJECT
public:
    using TRasBackend::TRasBackend;

    bool Available() const override { return false; }
    void ListEntries(EntriesDone done) override;
    void ReadParams(const TRasEntry& entry, ParamsDone done) override;
    void StoreParams(const TRasEntry& entry, const TRasEntryParams& params, bool keepPassword,
                     Done done) override;
    void ListActive(ActiveDone done) override;
    void Activate(const TRasEntry& entry, ActivateDone done) override;
    void Deactivate(quint32 handle, Done done) override;

    static TRasFailure Failure();

private:
    void Later(std::function<void()> answer);
};
