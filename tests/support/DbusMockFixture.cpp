#include "DbusMockFixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace {
const QString NmName = QStringLiteral("org.freedesktop.NetworkManager");
constexpr int StartTimeoutMs = 10000;

QString TemplatePath()
{
    return qEnvironmentVariable("QUORVEL_SOURCE_DIR") + "/tests/support/nm_dialup_template.py";
}
} // namespace

TDbusMockFixture::TDbusMockFixture() = default;

TDbusMockFixture::~TDbusMockFixture()
{
    StopNetworkManager();
    StopBus();
}

bool TDbusMockFixture::StartBus(TBus which)
{
    if (!m_dir.isValid()) {
        m_error = "no temporary folder";
        return false;
    }
    const QString config = m_dir.filePath("bus.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = "cannot write " + config;
        return false;
    }
    // No <servicedir>: a name nobody owns stays missing instead of being started.
    file.write(QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig>\n"
                   "  <listen>unix:path=%1</listen>\n"
                   "  <auth>EXTERNAL</auth>\n"
                   "  <policy context=\"default\">\n"
                   "    <allow user=\"*\"/>\n"
                   "    <allow own=\"*\"/>\n"
                   "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                   "    <allow receive_sender=\"*\"/>\n"
                   "  </policy>\n"
                   "</busconfig>\n")
                   .arg(m_dir.filePath("bus"))
                   .toUtf8());
    file.close();

    m_bus = std::make_unique<QProcess>();
    m_bus->setProgram("dbus-daemon");
    m_bus->setArguments(
        {"--config-file=" + config, "--nofork", "--nopidfile", "--print-address=1"});
    m_bus->start();
    if (!m_bus->waitForStarted(StartTimeoutMs)) {
        m_error = "dbus-daemon did not start: " + m_bus->errorString();
        m_bus.reset();
        return false;
    }
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!m_bus->canReadLine() && !deadline.hasExpired())
        m_bus->waitForReadyRead(100);
    m_address = QString::fromUtf8(m_bus->readLine()).trimmed();
    if (m_address.isEmpty()) {
        m_error =
            "dbus-daemon gave no address: " + QString::fromUtf8(m_bus->readAllStandardError());
        Stop(m_bus);
        return false;
    }
    qputenv(which == TBus::System ? "DBUS_SYSTEM_BUS_ADDRESS" : "DBUS_SESSION_BUS_ADDRESS",
            m_address.toUtf8());
    return true;
}

bool TDbusMockFixture::StartKeyring()
{
    const QString home = m_dir.filePath("home");
    QDir().mkpath(home + "/data");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home);
    environment.insert("XDG_DATA_HOME", home + "/data");
    environment.insert("XDG_RUNTIME_DIR", m_dir.path());
    environment.insert("DBUS_SESSION_BUS_ADDRESS", m_address);
    m_keyring = std::make_unique<QProcess>();
    m_keyring->setProcessEnvironment(environment);
    m_keyring->setStandardOutputFile(QProcess::nullDevice());
    m_keyring->setStandardErrorFile(m_dir.filePath("keyring.err"));
    m_keyring->start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    if (!m_keyring->waitForStarted(StartTimeoutMs)) {
        m_error = "gnome-keyring-daemon did not start: " + m_keyring->errorString();
        m_keyring.reset();
        return false;
    }
    // The new login keyring's password comes on standard input.
    m_keyring->write("test-keyring");
    m_keyring->waitForBytesWritten(StartTimeoutMs);
    m_keyring->closeWriteChannel();
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!NameHasOwner("org.freedesktop.secrets", TBus::Session)) {
        if (m_keyring->state() == QProcess::NotRunning || deadline.hasExpired()) {
            QFile err(m_dir.filePath("keyring.err"));
            err.open(QIODevice::ReadOnly);
            m_error = "gnome-keyring-daemon did not come up: " + QString::fromUtf8(err.readAll());
            Stop(m_keyring);
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

void TDbusMockFixture::StopKeyring()
{
    Stop(m_keyring);
}

void TDbusMockFixture::StopBus()
{
    StopNetworkManager();
    StopKeyring();
    Stop(m_bus);
}

bool TDbusMockFixture::StartNetworkManager()
{
    if (m_mock)
        return true;
    m_mock = std::make_unique<QProcess>();
    m_mock->setProgram("/usr/bin/python3");
    m_mock->setArguments({"-m", "dbusmock", "--system", "--template", TemplatePath()});
    // The mock logs every call on its standard output; only its errors are of interest.
    m_mock->setStandardOutputFile(QProcess::nullDevice());
    m_mock->setStandardErrorFile(m_dir.filePath("mock.err"));
    m_mock->start();
    if (!m_mock->waitForStarted(StartTimeoutMs)) {
        m_error = "python3-dbusmock did not start: " + m_mock->errorString();
        m_mock.reset();
        return false;
    }
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!NameHasOwner(NmName)) {
        if (m_mock->state() == QProcess::NotRunning || deadline.hasExpired()) {
            QFile err(m_dir.filePath("mock.err"));
            err.open(QIODevice::ReadOnly);
            m_error =
                "the NetworkManager mock did not come up: " + QString::fromUtf8(err.readAll());
            Stop(m_mock);
            return false;
        }
        QThread::msleep(50);
    }
    return true;
}

void TDbusMockFixture::StopNetworkManager()
{
    if (!Stop(m_mock))
        return;
    QDeadlineTimer deadline(StartTimeoutMs);
    while (NameHasOwner(NmName) && !deadline.hasExpired())
        QThread::msleep(20);
}

bool TDbusMockFixture::ResetNetworkManager()
{
    if (!m_mock || m_mock->state() != QProcess::Running)
        return StartNetworkManager();
    const QDBusMessage reply = CallMock("Reset");
    if (reply.type() == QDBusMessage::ErrorMessage) {
        m_error = "the NetworkManager mock did not reset: " + reply.errorMessage();
        return false;
    }
    return true;
}

bool TDbusMockFixture::Stop(std::unique_ptr<QProcess>& process)
{
    if (!process)
        return false;
    const qint64 pid = process->processId();
    if (pid > 0 && process->state() != QProcess::NotRunning) {
        ::kill(pid_t(pid), SIGTERM);
        if (!process->waitForFinished(5000)) {
            ::kill(pid_t(pid), SIGKILL);
            process->waitForFinished(5000);
        }
    }
    process.reset();
    return true;
}

bool TDbusMockFixture::NameHasOwner(const QString& name, TBus which)
{
    QDBusConnection bus =
        which == TBus::System ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusReply<bool> reply = bus.interface()->isServiceRegistered(name);
    return reply.isValid() && reply.value();
}

QDBusMessage TDbusMockFixture::CallMock(const QString& method, const QVariantList& args,
                                        const QString& path)
{
    QDBusMessage msg =
        QDBusMessage::createMethodCall(NmName, path, "org.freedesktop.DBus.Mock", method);
    msg.setArguments(args);
    msg.setAutoStartService(false);
    return QDBusConnection::systemBus().call(msg, QDBus::Block, 5000);
}

QString TDbusMockFixture::AddProfile(const QString& name, const QString& kind, const QString& user,
                                     const QString& password, const QString& number)
{
    const QDBusMessage reply = CallMock("AddDialProfile", {name, kind, user, password, number});
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

QString TDbusMockFixture::OpenConnection(const QString& profilePath)
{
    const QDBusMessage reply =
        CallMock("OpenConnection", {QVariant::fromValue(QDBusObjectPath(profilePath))});
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

void TDbusMockFixture::SetDialOutcome(const QString& mode, uint reason, uint delayMs)
{
    CallMock("SetDialOutcome", {mode, reason, delayMs});
}

QStringList TDbusMockFixture::OpenNames()
{
    return CallMock("ActiveIds").arguments().value(0).toStringList();
}
