#include "RunUntil.h"
#include "app/DesktopNotifier.h"
#include "app/LauncherEntry.h"
#include "app/DesktopAppearance.h"
#include "FakeClock.h"
#include "base/Logger.h"
#include "base/SessionLog.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The word to the desktop when a batch ends, as a notification service on a private session
// bus (tests/support/notify_fake.py) receives it, and its Open folder action.
class TestNotify : public QObject
{
    Q_OBJECT
private slots:
    void batchEndNotifiesAndActionOpensNzbFolder();
    void taskBarEntryFollowsBatch();
    void desktopColourSchemeFollowed_data();
    void desktopColourSchemeFollowed();
};

// Hears the launcher entry's Update signals on a bus.
class TLauncherListener : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> Updates;
    QStringList Uris;
public slots:
    void update(const QString& uri, const QVariantMap& properties)
    {
        Uris << uri;
        Updates << properties;
    }
};

namespace {

// A private session bus in dir; its address, or empty when it did not start.
QString StartBus(QProcess& bus, const QTemporaryDir& dir)
{
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--nopidfile"),
               QStringLiteral("--address=unix:path=") + dir.filePath(QStringLiteral("bus")),
               QStringLiteral("--print-address=1")});
    if (!bus.waitForReadyRead(10000))
        return QString();
    return QString::fromLatin1(bus.readLine().trimmed());
}

} // namespace

void TestNotify::batchEndNotifiesAndActionOpensNzbFolder()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("dbus-daemon is not installed");
    QTemporaryDir dir;
    QProcess bus;
    const QString address = StartBus(bus, dir);
    QVERIFY(!address.isEmpty());
    const QString log = dir.filePath(QStringLiteral("notify.jsonl"));
    const QString ready = dir.filePath(QStringLiteral("ready"));
    QProcess service;
    service.start(qEnvironmentVariable("QUORVEL_SOURCE_DIR") +
                      QStringLiteral("/tests/support/notify_fake.py"),
                  {QStringLiteral("--address"), address, QStringLiteral("--log"), log,
                   QStringLiteral("--ready-file"), ready, QStringLiteral("--invoke-action"),
                   QStringLiteral("open-folder")});
    QVERIFY(RunUntil([&] { return QFile::exists(ready); }, 10000));

    TFakeClock clock;
    TSessionLog session(clock);
    TLogger logger(session, clock);
    QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("notify"));
    QVERIFY(connection.isConnected());
    QStringList opened;
    {
        TDesktopNotifier notifier(logger, connection);
        notifier.SetOpener([&opened](const QString& folder) {
            opened << folder;
            return true;
        });
        notifier.BatchDone(QStringLiteral("/data/nzb/Holiday.nzb"));
        QVERIFY(RunUntil([&] { return !opened.isEmpty(); }, 10000));
    }
    QCOMPARE(opened, QStringList{QStringLiteral("/data/nzb")});
    QFile calls(log);
    QVERIFY(calls.open(QIODevice::ReadOnly));
    const QJsonObject call = QJsonDocument::fromJson(calls.readLine()).object();
    QCOMPARE(call.value(QStringLiteral("method")).toString(), QStringLiteral("Notify"));
    QCOMPARE(call.value(QStringLiteral("summary")).toString(), QStringLiteral("Upload finished"));
    QVERIFY(call.value(QStringLiteral("body"))
                .toString()
                .contains(QStringLiteral("/data/nzb/Holiday.nzb")));
    QCOMPARE(call.value(QStringLiteral("actions")).toVariant().toStringList(),
             (QStringList{QStringLiteral("open-folder"), QStringLiteral("Open folder")}));

    QDBusConnection::disconnectFromBus(QStringLiteral("notify"));
    service.terminate();
    service.waitForFinished(5000);
    bus.terminate();
    bus.waitForFinished(5000);
}

// The batch's bar on the task bar: the per cent as it changes (once each), then no bar.
void TestNotify::taskBarEntryFollowsBatch()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("dbus-daemon is not installed");
    QTemporaryDir dir;
    QProcess bus;
    const QString address = StartBus(bus, dir);
    QVERIFY(!address.isEmpty());
    QDBusConnection listening = QDBusConnection::connectToBus(address, QStringLiteral("dock"));
    TLauncherListener dock;
    QVERIFY(listening.connect(QString(), QString(),
                              QStringLiteral("com.canonical.Unity.LauncherEntry"),
                              QStringLiteral("Update"), &dock, SLOT(update(QString, QVariantMap))));
    {
        TLauncherEntry entry(QDBusConnection::connectToBus(address, QStringLiteral("program")));
        for (int percent : {10, 10, 55})
            entry.Show(percent);
        entry.Hide();
        QVERIFY(RunUntil([&] { return dock.Updates.size() >= 3; }, 10000));
    }
    QCOMPARE(dock.Uris.value(0), QStringLiteral("application://io.github.quorvel.Quorvel.desktop"));
    QList<double> progress;
    QList<bool> visible;
    for (const QVariantMap& update : std::as_const(dock.Updates)) {
        progress << update.value(QStringLiteral("progress")).toDouble();
        visible << update.value(QStringLiteral("progress-visible")).toBool();
    }
    QCOMPARE(progress, (QList<double>{0.10, 0.55, 0.0}));
    QCOMPARE(visible, (QList<bool>{true, true, false}));

    QDBusConnection::disconnectFromBus(QStringLiteral("dock"));
    QDBusConnection::disconnectFromBus(QStringLiteral("program"));
    bus.terminate();
    bus.waitForFinished(5000);
}

void TestNotify::desktopColourSchemeFollowed_data()
{
    QTest::addColumn<int>("scheme"); // the portal's answer; -1: no portal on the bus
    QTest::addColumn<QString>("shown");
    QTest::newRow("prefers dark") << 1 << "dark";
    QTest::newRow("prefers light") << 2 << "light";
    QTest::newRow("no preference") << 0 << "none";
    QTest::newRow("no portal") << -1 << "none";
}

// The desktop's light or dark preference as the settings portal tells it.
void TestNotify::desktopColourSchemeFollowed()
{
    QFETCH(int, scheme);
    QFETCH(QString, shown);
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"),
                          {QStringLiteral("-c"), QStringLiteral("import dbusmock")}) != 0)
        QSKIP("python3-dbusmock is not installed");
    qunsetenv("GTK_THEME");
    QTemporaryDir dir;
    QProcess bus;
    const QString address = StartBus(bus, dir);
    QVERIFY(!address.isEmpty());
    QDBusConnection connection = QDBusConnection::connectToBus(address, QStringLiteral("portal"));
    const QString name = QStringLiteral("org.freedesktop.portal.Desktop");
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
    QProcess portal;
    if (scheme >= 0) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
        portal.setProcessEnvironment(environment);
        portal.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-m"), QStringLiteral("dbusmock"), name, path,
                      QStringLiteral("org.freedesktop.portal.Settings")});
        QVERIFY(RunUntil([&] { return connection.interface()->isServiceRegistered(name).value(); },
                         10000));
        QDBusMessage add = QDBusMessage::createMethodCall(
            name, path, QStringLiteral("org.freedesktop.DBus.Mock"), QStringLiteral("AddMethod"));
        add << QStringLiteral("org.freedesktop.portal.Settings") << QStringLiteral("Read")
            << QStringLiteral("ss") << QStringLiteral("v")
            << QStringLiteral("ret = dbus.UInt32(%1, variant_level=1)").arg(scheme);
        QCOMPARE(connection.call(add).type(), QDBusMessage::ReplyMessage);
    }
    const std::optional<bool> dark = DesktopAppearance::PrefersDark(connection);
    QCOMPARE(dark ? (*dark ? QStringLiteral("dark") : QStringLiteral("light"))
                  : QStringLiteral("none"),
             shown);

    QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    portal.terminate();
    portal.waitForFinished(5000);
    bus.terminate();
    bus.waitForFinished(5000);
}

QTEST_GUILESS_MAIN(TestNotify)
#include "tst_notify.moc"
