#include "dialup/NmBackend.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

#include <memory>
#include <optional>

namespace {
const QString NmService = QStringLiteral("org.freedesktop.NetworkManager");
const QString NmPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString NmIface = QStringLiteral("org.freedesktop.NetworkManager");
const QString SettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString SettingsIface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString ProfileIface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString ActiveIface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString PropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");

// Update2 flags: write the profile to disk, or keep the change in memory only so a
// password the user does not want kept never reaches the disk.
constexpr uint UpdateToDisk = 0x1;
constexpr uint UpdateInMemory = 0x2;

QList<QDBusObjectPath> PathsOf(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QList<QDBusObjectPath>>(value);
    return value.value<QList<QDBusObjectPath>>();
}

QVariantMap MapOf(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<QVariantMap>(value);
    return value.toMap();
}

// The setting that holds the user name, password and number for a profile kind:
// PPPoE, DSL, mobile broadband (also over Bluetooth) and VPN keep them; others keep none.
QString CredentialSetting(const TNmBackend::Settings& settings, const QString& kind)
{
    static const QStringList dialKinds{"pppoe", "adsl", "gsm", "cdma", "vpn"};
    if (dialKinds.contains(kind) && settings.contains(kind))
        return kind;
    for (const QString& key : dialKinds)
        if (settings.contains(key))
            return key;
    return {};
}

QString UserKey(const QString& setting)
{
    return setting == "vpn" ? QStringLiteral("user-name") : QStringLiteral("username");
}

bool IsBusFailure(const TRasFailure& failure)
{
    return failure.Code == RasError::NoAnswer || failure.Code == RasError::ServiceGone;
}

// Makes one call per path side by side and hands the answers over in path order. An item
// whose call fails is left out (its object went away meanwhile), unless the service
// itself stopped answering: then the whole list fails.
template <typename T>
void GatherEach(const QList<QDBusObjectPath>& paths,
                const std::function<void(const QString&, std::function<void(const T&)>,
                                         TRasBackend::Done)>& call,
                std::function<void(const TRasFailure&, const QList<T>&)> done)
{
    if (paths.isEmpty())
        return done({}, {});
    struct TState
    {
        QList<std::optional<T>> Items;
        qsizetype Left = 0;
        TRasFailure Failure;
    };
    auto state = std::make_shared<TState>();
    state->Items.resize(paths.size());
    state->Left = paths.size();
    auto finishOne = [state, done] {
        if (--state->Left > 0)
            return;
        QList<T> items;
        for (const auto& item : state->Items)
            if (item && !state->Failure.Failed())
                items << *item;
        done(state->Failure, items);
    };
    for (qsizetype i = 0; i < paths.size(); ++i) {
        call(
            paths[i].path(),
            [state, finishOne, i](const T& item) {
                state->Items[i] = item;
                finishOne();
            },
            [state, finishOne](const TRasFailure& failure) {
                if (IsBusFailure(failure))
                    state->Failure = failure;
                finishOne();
            });
    }
}
} // namespace

TNmBackend::TNmBackend(const QDBusConnection& bus, int callTimeoutMs, QObject* parent)
    : TRasBackend(parent), m_bus(bus), m_timeoutMs(callTimeoutMs),
      m_watcher(NmService, bus, QDBusServiceWatcher::WatchForUnregistration)
{
    qDBusRegisterMetaType<Settings>();
    qDBusRegisterMetaType<QMap<QString, QString>>();
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &TRasBackend::ServiceLost);
    // Every active connection's signal: the path tells whose it is.
    m_bus.connect(NmService, QString(), ActiveIface, QStringLiteral("StateChanged"), this,
                  SLOT(OnStateChangedMessage(QDBusMessage)));
}

bool TNmBackend::HasOwner(const QDBusConnection& bus, int timeoutMs)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage msg = QDBusMessage::createMethodCall(
        "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner");
    msg << NmService;
    msg.setAutoStartService(false);
    const QDBusMessage reply = QDBusConnection(bus).call(msg, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toBool();
}

void TNmBackend::Call(const QString& path, const QString& iface, const QString& method,
                      const QVariantList& args, Reply ok, Done fail)
{
    QDBusMessage msg = QDBusMessage::createMethodCall(NmService, path, iface, method);
    msg.setArguments(args);
    msg.setAutoStartService(false);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(msg, m_timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [ok = std::move(ok), fail = std::move(fail)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                if (reply.type() == QDBusMessage::ErrorMessage)
                    fail(FailureOf(QDBusError(reply)));
                else
                    ok(reply);
            });
}

void TNmBackend::GetProperty(const QString& path, const QString& iface, const QString& name,
                             std::function<void(const QVariant&)> ok, Done fail)
{
    Call(
        path, PropertiesIface, "Get", {iface, name},
        [ok = std::move(ok)](const QDBusMessage& reply) {
            ok(reply.arguments().value(0).value<QDBusVariant>().variant());
        },
        std::move(fail));
}

void TNmBackend::GetSettings(const QString& path, std::function<void(const Settings&)> ok,
                             Done fail)
{
    Call(
        path, ProfileIface, "GetSettings", {},
        [ok = std::move(ok)](const QDBusMessage& reply) {
            ok(qdbus_cast<Settings>(reply.arguments().value(0)));
        },
        std::move(fail));
}

void TNmBackend::ListEntries(EntriesDone done)
{
    auto readOne = [this](const QString& path, std::function<void(const TRasEntry&)> ok,
                          Done fail) {
        GetSettings(
            path,
            [ok, path](const Settings& settings) {
                const QVariantMap c = settings.value("connection");
                ok(TRasEntry{c.value("id").toString(), c.value("type").toString(), path});
            },
            fail);
    };
    Call(
        SettingsPath, SettingsIface, "ListConnections", {},
        [done, readOne](const QDBusMessage& reply) {
            GatherEach<TRasEntry>(PathsOf(reply.arguments().value(0)), readOne, done);
        },
        [done](const TRasFailure& failure) { done(failure, {}); });
}

void TNmBackend::ReadPassword(const QString& path, const QString& setting,
                              std::function<void(const QString&)> ok, Done fail)
{
    Call(
        path, ProfileIface, "GetSecrets", {setting},
        [ok, setting](const QDBusMessage& reply) {
            const QVariantMap secrets =
                qdbus_cast<Settings>(reply.arguments().value(0)).value(setting);
            if (setting == "vpn") {
                const QVariant inner = secrets.value("secrets");
                QMap<QString, QString> vpn;
                if (inner.canConvert<QDBusArgument>())
                    vpn = qdbus_cast<QMap<QString, QString>>(inner);
                ok(vpn.value("password"));
                return;
            }
            ok(secrets.value("password").toString());
        },
        [ok, fail](const TRasFailure& failure) {
            // NetworkManager refuses secrets it does not hold (kept by an agent, or none):
            // that is an empty password, not a failed read.
            if (IsBusFailure(failure))
                fail(failure);
            else
                ok(QString());
        });
}

void TNmBackend::ReadParams(const TRasEntry& entry, ParamsDone done)
{
    const QString path = entry.Path;
    const QString kind = entry.Kind;
    GetSettings(
        path,
        [this, done, path, kind](const Settings& settings) {
            const QString key = CredentialSetting(settings, kind);
            if (key.isEmpty()) {
                done({}, {});
                return;
            }
            const QVariantMap s = settings.value(key);
            TRasEntryParams params{s.value(UserKey(key)).toString(), QString(),
                                   s.value("number").toString()};
            ReadPassword(
                path, key,
                [done, params](const QString& password) mutable {
                    params.Password = password;
                    done({}, params);
                },
                [done](const TRasFailure& failure) { done(failure, {}); });
        },
        [done](const TRasFailure& failure) { done(failure, {}); });
}

void TNmBackend::StoreParams(const TRasEntry& entry, const TRasEntryParams& params,
                             bool keepPassword, Done done)
{
    const QString path = entry.Path;
    const QString kind = entry.Kind;
    GetSettings(
        path,
        [this, done, path, kind, params, keepPassword](const Settings& settings) {
            const QString key = CredentialSetting(settings, kind);
            if (key.isEmpty()) {
                done({}); // this kind keeps no user name or password
                return;
            }
            // An update that holds any secret replaces every secret the profile had: the
            // ones not changed here (a mobile line's PIN) go back with it.
            Call(
                path, ProfileIface, "GetSecrets", {key},
                [this, done, path, key, settings, params, keepPassword](const QDBusMessage& r) {
                    const QVariantMap secrets =
                        qdbus_cast<Settings>(r.arguments().value(0)).value(key);
                    writeCredentials(path, key, settings, secrets, params, keepPassword, done);
                },
                [this, done, path, key, settings, params, keepPassword](const TRasFailure& f) {
                    // None held by NetworkManager itself (an agent keeps them, or none).
                    if (IsBusFailure(f))
                        done(f);
                    else
                        writeCredentials(path, key, settings, {}, params, keepPassword, done);
                });
        },
        done);
}

void TNmBackend::writeCredentials(const QString& path, const QString& key, Settings settings,
                                  const QVariantMap& secrets, const TRasEntryParams& params,
                                  bool keepPassword, Done done)
{
    QVariantMap& credentials = settings[key];
    for (auto it = secrets.constBegin(); it != secrets.constEnd(); ++it)
        credentials[it.key()] = it.value();
    credentials[UserKey(key)] = params.UserName;
    auto update = [this, path](const Settings& s, uint flags, Done then) {
        Call(
            path, ProfileIface, "Update2",
            {QVariant::fromValue(s), QVariant::fromValue(flags),
             QVariant::fromValue(QVariantMap())},
            [then](const QDBusMessage&) { then({}); }, then);
    };
    Settings withPassword = settings;
    SetPassword(withPassword[key], key, params.Password);
    if (keepPassword) {
        update(withPassword, UpdateToDisk, done);
        return;
    }
    // Not to be kept: a copy saved earlier goes from the disk first, then the password is
    // set in memory only, for this dial.
    SetPassword(settings[key], key, QString());
    update(settings, UpdateToDisk, [update, withPassword, done](const TRasFailure& failure) {
        if (failure.Failed())
            done(failure);
        else
            update(withPassword, UpdateInMemory, done);
    });
}

void TNmBackend::SetPassword(QVariantMap& credentials, const QString& key, const QString& password)
{
    if (key != "vpn") {
        credentials["password"] = password;
        return;
    }
    // A VPN keeps its password among the plug-in's secrets, a map of texts.
    const QVariant held = credentials.value("secrets");
    QMap<QString, QString> vpn;
    if (held.canConvert<QDBusArgument>())
        vpn = qdbus_cast<QMap<QString, QString>>(held);
    else
        vpn = held.value<QMap<QString, QString>>();
    vpn["password"] = password;
    credentials["secrets"] = QVariant::fromValue(vpn);
}

void TNmBackend::ListActive(ActiveDone done)
{
    auto readOne = [this](const QString& path, std::function<void(const TRasActive&)> ok,
                          Done fail) {
        const quint32 handle = HandleOf(path);
        Call(
            path, PropertiesIface, "GetAll", {ActiveIface},
            [ok, handle](const QDBusMessage& reply) {
                const QVariantMap p = MapOf(reply.arguments().value(0));
                ok(TRasActive{handle, p.value("Id").toString(), p.value("Type").toString(),
                              int(p.value("State").toUInt())});
            },
            fail);
    };
    GetProperty(
        NmPath, NmIface, "ActiveConnections",
        [done, readOne](const QVariant& value) {
            GatherEach<TRasActive>(PathsOf(value), readOne, done);
        },
        [done](const TRasFailure& failure) { done(failure, {}); });
}

void TNmBackend::Activate(const TRasEntry& entry, ActivateDone done)
{
    const QDBusObjectPath none("/");
    Call(
        NmPath, NmIface, "ActivateConnection",
        {QVariant::fromValue(QDBusObjectPath(entry.Path)), QVariant::fromValue(none),
         QVariant::fromValue(none)},
        [this, done](const QDBusMessage& reply) {
            const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
            const quint32 handle = HandleOf(path);
            // The first state may have been signalled before the path was known: read it.
            GetProperty(
                path, ActiveIface, "State",
                [done, handle](const QVariant& state) { done({}, handle, int(state.toUInt())); },
                [done, handle](const TRasFailure& failure) {
                    // Gone before it could be read: the attempt is over.
                    if (IsBusFailure(failure))
                        done(failure, 0, NmState::Unknown);
                    else
                        done({}, handle, NmState::Deactivated);
                });
        },
        [done](const TRasFailure& failure) { done(failure, 0, NmState::Unknown); });
}

void TNmBackend::Deactivate(quint32 handle, Done done)
{
    const QString path = m_paths.value(handle);
    if (path.isEmpty()) {
        done({RasError::Refused, QStringLiteral("No such connection")});
        return;
    }
    Call(
        NmPath, NmIface, "DeactivateConnection", {QVariant::fromValue(QDBusObjectPath(path))},
        [done](const QDBusMessage&) { done({}); }, done);
}

void TNmBackend::OnStateChangedMessage(const QDBusMessage& message)
{
    const auto it = m_handles.constFind(message.path());
    if (it == m_handles.constEnd() || message.arguments().size() < 2)
        return;
    emit StateChanged(it.value(), int(message.arguments().at(0).toUInt()),
                      int(message.arguments().at(1).toUInt()));
}

quint32 TNmBackend::HandleOf(const QString& path)
{
    const auto it = m_handles.constFind(path);
    if (it != m_handles.constEnd())
        return it.value();
    const quint32 handle = m_nextHandle++;
    m_handles.insert(path, handle);
    m_paths.insert(handle, path);
    return handle;
}

TRasFailure TNmBackend::FailureOf(const QDBusError& error)
{
    const QString name = error.name();
    const QString detail = error.message();
    switch (error.type()) {
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return {RasError::NoAnswer,
                QStringLiteral("NetworkManager did not answer: %1").arg(detail)};
    case QDBusError::ServiceUnknown:
    case QDBusError::Disconnected:
        return {RasError::ServiceGone,
                QStringLiteral("NetworkManager is not on the system bus: %1").arg(detail)};
    default:
        break;
    }
    if (name == "org.freedesktop.DBus.Error.NameHasNoOwner")
        return {RasError::ServiceGone,
                QStringLiteral("NetworkManager is not on the system bus: %1").arg(detail)};
    if (name == "org.freedesktop.NetworkManager.UnknownConnection" ||
        error.type() == QDBusError::UnknownObject)
        return {RasError::UnknownEntry,
                QStringLiteral("NetworkManager does not know this connection: %1").arg(detail)};
    return {RasError::Refused, QStringLiteral("NetworkManager refused: %1").arg(detail)};
}
