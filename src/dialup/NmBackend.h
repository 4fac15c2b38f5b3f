#pragma once

#include "dialup/RasBackend.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QHash>
#include <QMap>
#include <QVariantMap>

class QDBusError;
class QDBusMessage;

// NetworkManager over D-Bus: its connection profiles are the entries, activating a profile
// dials, deactivating hangs up. Every call is asynchronous, never starts a service and has
// an explicit time-out, so a stuck NetworkManager gives an error instead of a hang.
class TNmBackend : public TRasBackend
{
    Q_OBJECT
public:
    using Settings = QMap<QString, QVariantMap>;

    TNmBackend(const QDBusConnection& bus, int callTimeoutMs, QObject* parent = nullptr);

    // Whether NetworkManager owns its name on `bus` (asks the bus daemon, which answers at once).
    static bool HasOwner(const QDBusConnection& bus, int timeoutMs);

    bool Available() const override { return true; }
    void ListEntries(EntriesDone done) override;
    void ReadParams(const TRasEntry& entry, ParamsDone done) override;
    void StoreParams(const TRasEntry& entry, const TRasEntryParams& params, bool keepPassword,
                     Done done) override;
    void ListActive(ActiveDone done) override;
    void Activate(const TRasEntry& entry, ActivateDone done) override;
    void Deactivate(quint32 handle, Done done) override;

private slots:
    void OnStateChangedMessage(const QDBusMessage& message);

private:
    using Reply = std::function<void(const QDBusMessage&)>;

    void Call(const QString& path, const QString& iface, const QString& method,
              const QVariantList& args, Reply ok, Done fail);
    void GetProperty(const QString& path, const QString& iface, const QString& name,
                     std::function<void(const QVariant&)> ok, Done fail);
    void GetSettings(const QString& path, std::function<void(const Settings&)> ok, Done fail);
    void ReadPassword(const QString& path, const QString& setting,
                      std::function<void(const QString&)> ok, Done fail);
    // Writes the user name and password into setting key, with the setting's other
    // secrets; a password not to be kept is removed from the disk and held in memory.
    void writeCredentials(const QString& path, const QString& key, Settings settings,
                          const QVariantMap& secrets, const TRasEntryParams& params,
                          bool keepPassword, Done done);
    static void SetPassword(QVariantMap& credentials, const QString& key, const QString& password);
    quint32 HandleOf(const QString& path);

    static TRasFailure FailureOf(const QDBusError& error);

    QDBusConnection m_bus;
    int m_timeoutMs;
    QDBusServiceWatcher m_watcher;
    QHash<QString, quint32> m_handles;
    QHash<quint32, QString> m_paths;
    quint32 m_nextHandle = 1;
};
