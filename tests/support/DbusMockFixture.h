#pragma once

#include <QDBusMessage>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

#include <memory>

// A private system bus with a fake NetworkManager for the dial-up tests: dbus-daemon with
// our own configuration (a socket in a temporary folder, no service folders, so nothing is
// started behind our back) and python3-dbusmock with our template, which gives dials a
// real life cycle. Both are stopped by process id. Start the bus before anything touches
// QDBusConnection::systemBus(): it is pointed at through DBUS_SYSTEM_BUS_ADDRESS.
class TDbusMockFixture
{
public:
    TDbusMockFixture();
    ~TDbusMockFixture();
    TDbusMockFixture(const TDbusMockFixture&) = delete;
    TDbusMockFixture& operator=(const TDbusMockFixture&) = delete;

    // The private bus stands in for the system bus, or for the session bus.
    enum class TBus
    {
        System,
        Session,
    };
    bool StartBus(TBus which = TBus::System);
    void StopBus();
    // Starts the mock and waits until it owns org.freedesktop.NetworkManager.
    bool StartNetworkManager();
    // Stops the mock and waits until its name is gone from the bus.
    void StopNetworkManager();
    // A running mock is put back to its first state (much faster than a restart); a
    // stopped one is started.
    bool ResetNetworkManager();

    QString Error() const { return m_error; }
    QString BusAddress() const { return m_address; }
    QString TempPath() const { return m_dir.path(); }

    // Calls a helper of the mock interface (org.freedesktop.DBus.Mock) on `path`.
    QDBusMessage CallMock(const QString& method, const QVariantList& args = {},
                          const QString& path = QStringLiteral("/org/freedesktop"));
    // Adds a profile (pppoe, gsm, vpn or another kind) and returns its object path.
    QString AddProfile(const QString& name, const QString& kind, const QString& user = {},
                       const QString& password = {}, const QString& number = {});
    // Opens a connection of `profilePath` as if someone else had; returns its path.
    QString OpenConnection(const QString& profilePath);
    // How the next dials go: "connect", "fail" (closing with `reason`), "refuse" or "hold".
    void SetDialOutcome(const QString& mode, uint reason = 1, uint delayMs = 50);
    // Names of the connections that are opening or open.
    QStringList OpenNames();

    static bool NameHasOwner(const QString& name, TBus which = TBus::System);
    // Starts gnome-keyring-daemon, unlocked, with its files in the temporary folder, on the
    // private session bus; waits until it owns org.freedesktop.secrets.
    bool StartKeyring();
    void StopKeyring();

private:
    static bool Stop(std::unique_ptr<QProcess>& process);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_bus;
    std::unique_ptr<QProcess> m_mock;
    std::unique_ptr<QProcess> m_keyring;
    QString m_address;
    QString m_error;
};
