#include "RunUntil.h"
#include "app/DesktopNotifier.h"
#include "FakeClock.h"
#include "base/Logger.h"
#include "base/SessionLog.h"

#include <QDBusConnection>
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
};

void TestNotify::batchEndNotifiesAndActionOpensNzbFolder()
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        QSKIP("dbus-daemon is not installed");
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("bus"));
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"),
              {QStringLiteral("--session"), QStringLiteral("--nofork"),
               QStringLiteral("--nopidfile"), QStringLiteral("--address=unix:path=") + socket,
               QStringLiteral("--print-address=1")});
    QVERIFY(bus.waitForReadyRead(10000));
    const QString address = QString::fromLatin1(bus.readLine().trimmed());
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

QTEST_GUILESS_MAIN(TestNotify)
#include "tst_notify.moc"
