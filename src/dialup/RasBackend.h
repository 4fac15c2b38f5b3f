#pragma once

#include "dialup/RasTypes.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <memory>

// The service behind the dial-up component. Every call answers through its callback, later,
// on the event loop; a backend never blocks for the length of a network operation.
class TRasBackend : public QObject
{
    Q_OBJECT
public:
    using EntriesDone = std::function<void(const TRasFailure&, const QList<TRasEntry>&)>;
    using ParamsDone = std::function<void(const TRasFailure&, const TRasEntryParams&)>;
    using ActiveDone = std::function<void(const TRasFailure&, const QList<TRasActive>&)>;
    using ActivateDone = std::function<void(const TRasFailure&, quint32 handle, int state)>;
    using Done = std::function<void(const TRasFailure&)>;

    using QObject::QObject;
    ~TRasBackend() override = default;

    virtual bool Available() const = 0;
    virtual void ListEntries(EntriesDone done) = 0;
    virtual void ReadParams(const TRasEntry& entry, ParamsDone done) = 0;
    // Stores a new user name and password for the entry; `keepPassword` false keeps the
    // password out of permanent storage.
    virtual void StoreParams(const TRasEntry& entry, const TRasEntryParams& params,
                             bool keepPassword, Done done) = 0;
    virtual void ListActive(ActiveDone done) = 0;
    virtual void Activate(const TRasEntry& entry, ActivateDone done) = 0;
    virtual void Deactivate(quint32 handle, Done done) = 0;

    // NetworkManager on `bus` when it has an owner there, else the unavailable backend.
    static std::unique_ptr<TRasBackend> Create(const QDBusConnection& bus, int callTimeoutMs);

signals:
    // An open or opening connection changed state (NetworkManager's state and reason).
    void StateChanged(quint32 handle, int state, int reason);
    // The service left; calls fail from now on.
    void ServiceLost();
};
