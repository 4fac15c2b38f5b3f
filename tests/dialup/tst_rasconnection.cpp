#include "DbusMockFixture.h"
#include "RunUntil.h"
#include "dialup/RasBackend.h"
#include "dialup/RasConnection.h"
#include "dialup/RasTypes.h"
#include "dialup/Waiter.h"

#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
// Runs every wait at once and remembers how long it was asked to be.
class TQuickWaiter : public TWaiter
{
public:
    QList<int> Requested;

    void After(int ms, QObject* context, std::function<void()> then) override
    {
        Requested << ms;
        QTimer::singleShot(0, context, std::move(then));
    }
};

struct TNote
{
    int State;
    int Error;
    QString Text;
};

QList<int> StatesOf(const QSignalSpy& spy)
{
    QList<int> states;
    for (const QList<QVariant>& args : spy)
        states << args.at(1).toInt();
    return states;
}

TNote Last(const QSignalSpy& spy)
{
    const QList<QVariant>& args = spy.last();
    return {args.at(1).toInt(), args.at(2).toInt(), args.at(3).toString()};
}

// Runs the event loop (not a polling wait, which would hold every D-Bus reply back) until
// `state` has been reported.
bool WaitForState(QSignalSpy& spy, int state)
{
    QDeadlineTimer deadline(10000);
    while (!StatesOf(spy).contains(state)) {
        if (deadline.hasExpired() || !spy.wait(int(deadline.remainingTime())))
            return false;
    }
    return true;
}

// Runs the event loop until `start`'s callback is called.
bool RunUntilDone(const std::function<void(std::function<void()> finished)>& start)
{
    bool done = false;
    start([&] { done = true; });
    return RunUntil([&] { return done; }, 10000);
}
} // namespace

class TestRasConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void unavailable_data();
    void unavailable();
    void entries();
    void connectionName_data();
    void connectionName();
    void otherConnectionOpen_data();
    void otherConnectionOpen();
    void ownConnectionOpen();
    void dialAndHangUp_data();
    void dialAndHangUp();
    void abortBeforeTheLineOpens();
    void hangUpAfterOwnDialClosesUsedLine();
    void destruction_data();
    void destruction();
    void storesCredentials_data();
    void storesCredentials();
    void secretsKeptAndApplied_data();
    void secretsKeptAndApplied();
    void failedDial_data();
    void failedDial();
    void remoteDrop_data();
    void remoteDrop();
    void networkManagerLeavesMidDial();
    void phoneBook();

private:
    std::unique_ptr<TRasConnection> Make();
    // Waits until a queued operation has run: everything queued before it is done.
    void Settle(TRasConnection& ras);

    TDbusMockFixture m_fixture;
    TQuickWaiter m_waiter;
    QString m_provider;
    int m_callTimeoutMs = 2000;
};

void TestRasConnection::initTestCase()
{
    QVERIFY2(m_fixture.StartBus(), qPrintable(m_fixture.Error()));
}

void TestRasConnection::init()
{
    QVERIFY2(m_fixture.ResetNetworkManager(), qPrintable(m_fixture.Error()));
    m_provider = m_fixture.AddProfile("Provider", "pppoe", "alice", "secret");
    QVERIFY(!m_provider.isEmpty());
    m_waiter.Requested.clear();
    m_callTimeoutMs = 2000;
}

void TestRasConnection::cleanup()
{
    // After a failure the mock may be in any state: the next test gets a fresh one.
    if (QTest::currentTestFailed())
        m_fixture.StopNetworkManager();
}

std::unique_ptr<TRasConnection> TestRasConnection::Make()
{
    return std::make_unique<TRasConnection>(
        TRasBackend::Create(QDBusConnection::systemBus(), m_callTimeoutMs), m_waiter);
}

void TestRasConnection::Settle(TRasConnection& ras)
{
    QVERIFY(RunUntilDone([&](std::function<void()> finished) { ras.ReadEntryParams(finished); }));
}

void TestRasConnection::unavailable_data()
{
    QTest::addColumn<bool>("busThere");
    QTest::newRow("no system bus") << false;
    QTest::newRow("no NetworkManager on the bus") << true;
}

void TestRasConnection::unavailable()
{
    QFETCH(bool, busThere);
    m_fixture.StopNetworkManager();
    const QDBusConnection bus =
        busThere ? QDBusConnection::systemBus()
                 : QDBusConnection::connectToBus("unix:path=" + m_fixture.TempPath() + "/none",
                                                 "quorvel-no-bus");
    TRasConnection ras(TRasBackend::Create(bus, 500), m_waiter);
    QVERIFY(!ras.Available());

    QStringList names{"kept"};
    QVERIFY(RunUntilDone([&](std::function<void()> finished) {
        ras.GetEntries([&, finished](const QStringList& entries) {
            names << entries;
            finished();
        });
    }));
    QCOMPARE(names, QStringList{"kept"});

    // Answers still come on the event loop, after the call returned.
    QSignalSpy checked(&ras, &TRasConnection::ConnectionChecked);
    ras.SetConnection("Provider");
    QCOMPARE(checked.count(), 0);
    QVERIFY(checked.wait(5000));
    QCOMPARE(ras.Connection(), QString());

    // A dial is a failed attempt, reported, not a silent wait.
    QSignalSpy spy(&ras, &TRasConnection::OnStateChange);
    ras.Dial();
    QVERIFY(WaitForState(spy, 8193));
    QCOMPARE(Last(spy).Error, RasError::NotAvailable);
    QCOMPARE(Last(spy).Text, QString("NetworkManager is not available"));
    QVERIFY(!ras.Connected());
    if (!busThere)
        QDBusConnection::disconnectFromBus("quorvel-no-bus");
}

void TestRasConnection::entries()
{
    m_fixture.AddProfile("Mobile", "gsm", "bob", "pin", "*99#");
    m_fixture.AddProfile("Office VPN", "vpn", "carol", "vpnpass");
    m_fixture.AddProfile("Wired", "802-3-ethernet");
    auto ras = Make();
    QVERIFY(ras->Available());
    QStringList names;
    QVERIFY(RunUntilDone([&](std::function<void()> finished) {
        ras->GetEntries([&, finished](const QStringList& entries) {
            names = entries;
            finished();
        });
    }));
    QCOMPARE(names, (QStringList{"Provider", "Mobile", "Office VPN", "Wired"}));
}

void TestRasConnection::connectionName_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("number");

    QTest::newRow("pppoe") << "Provider"
                           << "Provider" << true << "alice"
                           << "secret"
                           << "";
    QTest::newRow("other letter case") << "pROVIDER"
                                       << "pROVIDER" << true << "alice"
                                       << "secret"
                                       << "";
    QTest::newRow("mobile broadband") << "mobile"
                                      << "mobile" << true << "bob"
                                      << "pin"
                                      << "*99#";
    QTest::newRow("vpn") << "Office VPN"
                         << "Office VPN" << true << "carol"
                         << "vpnpass"
                         << "";
    QTest::newRow("kind without credentials") << "Wired"
                                              << "Wired" << true << ""
                                              << ""
                                              << "";
    QTest::newRow("unknown name") << "Nowhere"
                                  << "" << false << "before"
                                  << "before"
                                  << "";
}

void TestRasConnection::connectionName()
{
    QFETCH(QString, given);
    QFETCH(QString, kept);
    QFETCH(bool, read);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, number);
    m_fixture.AddProfile("Mobile", "gsm", "bob", "pin", "*99#");
    m_fixture.AddProfile("Office VPN", "vpn", "carol", "vpnpass");
    m_fixture.AddProfile("Wired", "802-3-ethernet");

    auto ras = Make();
    ras->SetUserID("before");
    ras->SetPassword("before");
    QSignalSpy checked(ras.get(), &TRasConnection::ConnectionChecked);
    ras->SetConnection(given);
    QVERIFY(checked.wait(5000));
    QCOMPARE(ras->Connection(), kept);
    QCOMPARE(ras->EntryParamsRead(), read);
    QCOMPARE(ras->UserID(), user);
    QCOMPARE(ras->Password(), password);
    QCOMPARE(ras->PhoneNumber(), number);
}

void TestRasConnection::otherConnectionOpen_data()
{
    QTest::addColumn<QString>("otherKind");
    QTest::addColumn<bool>("force");
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<QStringList>("openAfter");

    const QList<int> dialled{0, 2, 8192};
    QTest::newRow("dial-up line used as it is")
        << "pppoe" << false << QList<int>{8192} << QStringList{"Other"};
    QTest::newRow("dial-up line hung up first")
        << "gsm" << true << dialled << QStringList{"Provider"};
    QTest::newRow("LAN is no dial-up line")
        << "802-3-ethernet" << false << dialled << QStringList{"Other", "Provider"};
    QTest::newRow("LAN is never hung up")
        << "802-3-ethernet" << true << dialled << QStringList{"Other", "Provider"};
}

void TestRasConnection::otherConnectionOpen()
{
    QFETCH(QString, otherKind);
    QFETCH(bool, force);
    QFETCH(QList<int>, states);
    QFETCH(QStringList, openAfter);
    m_fixture.OpenConnection(m_fixture.AddProfile("Other", otherKind));
    QCOMPARE(m_fixture.OpenNames(), QStringList{"Other"});

    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetForceConnection(force);
    ras->SetConnection("Provider");
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    QCOMPARE(StatesOf(spy), states);
    QCOMPARE(Last(spy).Text, QString("Done / Connected"));
    QCOMPARE(Last(spy).Error, 0);
    QTRY_COMPARE_WITH_TIMEOUT(m_fixture.OpenNames(), openAfter, 5000);
    QVERIFY(ras->Connected());
    const bool dialled = states.size() > 1;
    QCOMPARE(ras->OwnsConnection(), dialled);
    QCOMPARE(m_waiter.Requested.contains(1000), force && otherKind == "gsm");

    if (!dialled) {
        // Never dialled: a hang-up leaves the line that was merely used.
        const quint32 handle = ras->Handle();
        ras->HangUp();
        QCOMPARE(ras->Handle(), handle);
        Settle(*ras);
        QCOMPARE(m_fixture.OpenNames(), QStringList{"Other"});
    }
}

void TestRasConnection::ownConnectionOpen()
{
    const QString before = m_fixture.OpenConnection(m_provider);
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("PROVIDER");
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    QCOMPARE(StatesOf(spy), QList<int>{8192});
    QCOMPARE(Last(spy).Text, QString("Done / Connected"));
    QVERIFY(ras->Connected());
    QVERIFY(!ras->OwnsConnection());
    // Still the same connection: nothing was re-activated.
    const QDBusMessage now = m_fixture.CallMock("ActivePathOf", {QString("Provider")});
    QCOMPARE(now.arguments().value(0).value<QDBusObjectPath>().path(), before);
}

void TestRasConnection::dialAndHangUp_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("HangUp") << "HangUp";
    QTest::newRow("Connected false") << "Connected";
    QTest::newRow("Abort") << "Abort";
}

void TestRasConnection::dialAndHangUp()
{
    QFETCH(QString, how);
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    ras->SetConnected(true);
    QVERIFY(WaitForState(spy, 8192));

    QStringList texts;
    for (const QList<QVariant>& args : spy) {
        QCOMPARE(args.at(0).value<QObject*>(), ras.get());
        QCOMPARE(args.at(2).toInt(), 0);
        texts << args.at(3).toString();
    }
    QCOMPARE(texts, (QStringList{"Open Port", "Connect device", "Done / Connected"}));
    QVERIFY(ras->Connected());
    QVERIFY(ras->Handle() != 0);
    QVERIFY(ras->OwnsConnection());
    QCOMPARE(m_fixture.OpenNames(), QStringList{"Provider"});

    if (how == "HangUp")
        ras->HangUp();
    else if (how == "Connected")
        ras->SetConnected(false);
    else
        ras->Abort();
    QVERIFY(!ras->Connected());
    QCOMPARE(ras->Handle(), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(m_fixture.OpenNames().isEmpty(), 5000);
    QCOMPARE(ras->Aborted(), how == "Abort");
    QCOMPARE(ras->OwnsConnection(), how != "Abort");
    // Our own hang-up is not reported as a dropped line.
    Settle(*ras);
    QCOMPARE(StatesOf(spy).count(8193), 0);
}

void TestRasConnection::abortBeforeTheLineOpens()
{
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    Settle(*ras);
    ras->Dial();
    ras->Abort();
    Settle(*ras);
    QVERIFY(spy.isEmpty());
    QVERIFY(!ras->Connected());
    QVERIFY(ras->Aborted());
    QCOMPARE(m_fixture.OpenNames(), QStringList());
}

void TestRasConnection::hangUpAfterOwnDialClosesUsedLine()
{
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    ras->HangUp();
    QTRY_COMPARE_WITH_TIMEOUT(m_fixture.OpenNames(), QStringList(), 5000);

    // The component has dialled before, so the line it merely uses is its to close.
    m_fixture.OpenConnection(m_fixture.AddProfile("Other", "pppoe"));
    spy.clear();
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    QCOMPARE(StatesOf(spy), QList<int>{8192});
    ras->HangUp();
    QTRY_COMPARE_WITH_TIMEOUT(m_fixture.OpenNames(), QStringList(), 5000);
}

void TestRasConnection::destruction_data()
{
    QTest::addColumn<bool>("leaveOpen");
    QTest::addColumn<QStringList>("openAfter");
    QTest::newRow("left open") << true << QStringList{"Provider"};
    QTest::newRow("hung up") << false << QStringList();
}

void TestRasConnection::destruction()
{
    QFETCH(bool, leaveOpen);
    QFETCH(QStringList, openAfter);
    {
        auto ras = Make();
        QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
        ras->SetLeaveOpen(leaveOpen);
        ras->SetConnection("Provider");
        ras->Dial();
        QVERIFY(WaitForState(spy, 8192));
    }
    // The hang-up is sent by the destructor; this call reaches the mock after it.
    QCOMPARE(m_fixture.OpenNames(), openAfter);
}

void TestRasConnection::storesCredentials_data()
{
    QTest::addColumn<bool>("removePassword");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("storedUser");
    QTest::addColumn<QString>("storedPassword");
    QTest::addColumn<uint>("flags");

    // Update2 flags: 1 writes to disk, 2 keeps the change in memory only.
    QTest::newRow("password not kept") << true << "carol"
                                       << "new"
                                       << "carol"
                                       << "new" << 2u;
    QTest::newRow("password kept") << false << "carol"
                                   << "new"
                                   << "carol"
                                   << "new" << 1u;
    QTest::newRow("empty keeps stored") << false << ""
                                        << ""
                                        << "alice"
                                        << "secret" << 0u;
}

void TestRasConnection::storesCredentials()
{
    QFETCH(bool, removePassword);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, storedUser);
    QFETCH(QString, storedPassword);
    QFETCH(uint, flags);

    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    Settle(*ras);
    ras->SetRemovePassword(removePassword);
    ras->SetUserID(user);
    ras->SetPassword(password);
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    const QList<QVariant> stored =
        m_fixture.CallMock("StoredCredentials", {QVariant::fromValue(QDBusObjectPath(m_provider))})
            .arguments();
    QCOMPARE(stored.value(0).toString(), storedUser);
    QCOMPARE(stored.value(1).toString(), storedPassword);
    QCOMPARE(stored.value(2).toUInt(), flags);

    // Writing the profile back keeps its other settings and their D-Bus types.
    auto value = [&](const QString& setting, const QString& key) {
        const QDBusMessage reply = m_fixture.CallMock(
            "SettingValue", {QVariant::fromValue(QDBusObjectPath(m_provider)), setting, key});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    };
    QCOMPARE(qdbus_cast<QList<uint>>(value("ipv4", "dns")), QList<uint>{0x08080808u});
    QCOMPARE(qdbus_cast<QStringList>(value("ipv4", "dns-search")), QStringList{"example.net"});
    const QList<QVariantMap> addresses =
        qdbus_cast<QList<QVariantMap>>(value("ipv4", "address-data"));
    QCOMPARE(addresses.size(), 1);
    QCOMPARE(addresses.first().value("address").toString(), QString("10.0.0.2"));
    QCOMPARE(addresses.first().value("prefix").toUInt(), 24u);
    QCOMPARE(value("802-3-ethernet", "mac-address").toByteArray(),
             QByteArray::fromHex("020000000001"));
}

void TestRasConnection::secretsKeptAndApplied_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("removePassword");
    QTest::addColumn<QString>("password"); // given for the dial; empty keeps the stored one
    QTest::addColumn<QString>("inMemory");
    QTest::addColumn<QString>("onDisk");
    QTest::newRow("mobile, kept") << "gsm" << false << "new"
                                  << "new"
                                  << "new";
    QTest::newRow("mobile, not kept") << "gsm" << true << "new"
                                      << "new"
                                      << "";
    QTest::newRow("vpn, kept") << "vpn" << false << "new"
                               << "new"
                               << "new";
    QTest::newRow("vpn, not kept") << "vpn" << true << "new"
                                   << "new"
                                   << "";
    QTest::newRow("saved before, not kept now") << "pppoe" << true << ""
                                                << "old"
                                                << "";
}

// Writing the password leaves the profile's other secrets (a mobile line's PIN) alone, a
// VPN gets its password through its secrets, and a password not to be kept leaves the
// disk while the dial still has it.
void TestRasConnection::secretsKeptAndApplied()
{
    QFETCH(QString, kind);
    QFETCH(bool, removePassword);
    QFETCH(QString, password);
    QFETCH(QString, inMemory);
    QFETCH(QString, onDisk);
    const QString profile = m_fixture.AddProfile("Line", kind, "dan", "old", "*99#");
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Line");
    Settle(*ras);
    ras->SetRemovePassword(removePassword);
    ras->SetUserID("dan");
    ras->SetPassword(password);
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    auto secret = [&](const QString& key, bool disk) {
        return m_fixture
            .CallMock("StoredSecret",
                      {QVariant::fromValue(QDBusObjectPath(profile)), kind, key, disk})
            .arguments()
            .value(0)
            .toString();
    };
    QCOMPARE(secret("password", false), inMemory);
    QCOMPARE(secret("password", true), onDisk);
    if (kind == "gsm") {
        QCOMPARE(secret("pin", false), QString("4711"));
        QCOMPARE(secret("pin", true), QString("4711"));
    }
}

void TestRasConnection::failedDial_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<uint>("reason");
    QTest::addColumn<bool>("deleteProfile");
    QTest::addColumn<QList<int>>("states");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");

    QTest::newRow("login failed") << "fail" << 10u << false << QList<int>{0, 2, 8193} << 10
                                  << "Login failed";
    QTest::newRow("closed by the user")
        << "fail" << 2u << false << QList<int>{0, 2, 8193} << RasError::UserDisconnected
        << "The connection was closed by the user";
    QTest::newRow("NetworkManager refuses") << "refuse" << 0u << false << QList<int>{8193}
                                            << RasError::Refused << "NetworkManager refused";
    QTest::newRow("profile unknown to NetworkManager")
        << "connect" << 0u << true << QList<int>{8193} << RasError::UnknownEntry
        << "NetworkManager has no connection named \"Provider\"";
    QTest::newRow("NetworkManager stuck") << "stuck" << 0u << false << QList<int>{8193}
                                          << RasError::NoAnswer << "NetworkManager did not answer";
}

void TestRasConnection::failedDial()
{
    QFETCH(QString, mode);
    QFETCH(uint, reason);
    QFETCH(bool, deleteProfile);
    QFETCH(QList<int>, states);
    QFETCH(int, error);
    QFETCH(QString, text);

    if (mode == "stuck") {
        m_callTimeoutMs = 300;
        m_fixture.CallMock("AddMethod",
                           {QString("org.freedesktop.NetworkManager"),
                            QString("ActivateConnection"), QString("ooo"), QString("o"),
                            QString("import time; time.sleep(1); ret = '/'")},
                           "/org/freedesktop/NetworkManager");
    } else {
        m_fixture.SetDialOutcome(mode, reason, 30);
    }
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    Settle(*ras);
    QCOMPARE(ras->Connection(), QString("Provider"));
    if (deleteProfile) {
        QDBusMessage del = QDBusMessage::createMethodCall(
            "org.freedesktop.NetworkManager", m_provider,
            "org.freedesktop.NetworkManager.Settings.Connection", "Delete");
        QCOMPARE(QDBusConnection::systemBus().call(del).type(), QDBusMessage::ReplyMessage);
    }
    ras->Dial();
    QVERIFY(WaitForState(spy, 8193));
    QCOMPARE(StatesOf(spy), states);
    QCOMPARE(Last(spy).Error, error);
    QVERIFY2(Last(spy).Text.startsWith(text), qPrintable(Last(spy).Text));
    QCOMPARE(ras->DisconnectText(), Last(spy).Text);
    QVERIFY(!ras->Connected());

    if (mode == "fail") {
        // The failed line is gone, so the next dial is not blocked by a stale handle.
        m_fixture.SetDialOutcome("connect");
        spy.clear();
        ras->Dial();
        QVERIFY(WaitForState(spy, 8192));
    }
}

void TestRasConnection::remoteDrop_data()
{
    QTest::addColumn<uint>("reason");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("device gone") << 3u << 3 << "The device was disconnected";
    QTest::newRow("closed by the user")
        << 2u << RasError::UserDisconnected << "The connection was closed by the user";
    QTest::newRow("reason not known here") << 77u << 77 << "The connection closed (reason 77)";
}

void TestRasConnection::remoteDrop()
{
    QFETCH(uint, reason);
    QFETCH(int, error);
    QFETCH(QString, text);
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    ras->Dial();
    QVERIFY(WaitForState(spy, 8192));
    const QDBusMessage active = m_fixture.CallMock("ActivePathOf", {QString("Provider")});
    m_fixture.CallMock("DropConnection", {active.arguments().value(0), reason});
    QVERIFY(WaitForState(spy, 8193));
    QCOMPARE(Last(spy).Error, error);
    QCOMPARE(Last(spy).Text, text);
    QCOMPARE(ras->StateText(8193), text);
    QVERIFY(!ras->Connected());
}

void TestRasConnection::networkManagerLeavesMidDial()
{
    m_fixture.SetDialOutcome("hold");
    auto ras = Make();
    QSignalSpy spy(ras.get(), &TRasConnection::OnStateChange);
    ras->SetConnection("Provider");
    ras->Dial();
    QVERIFY(WaitForState(spy, 2));
    m_fixture.StopNetworkManager();
    QVERIFY(WaitForState(spy, 8193));
    QCOMPARE(Last(spy).Error, RasError::ServiceGone);
    QCOMPARE(Last(spy).Text, QString("NetworkManager left the system bus during the dial"));
    QVERIFY(!ras->Connected());

    // Dialling again fails at once instead of waiting for a service that is gone.
    spy.clear();
    ras->Dial();
    QVERIFY(WaitForState(spy, 8193));
    QCOMPARE(Last(spy).Error, RasError::ServiceGone);
}

void TestRasConnection::phoneBook()
{
    auto ras = Make();
    QFile file(m_fixture.TempPath() + "/phonebook.pbk");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ras->SetPhoneBook(file.fileName());
    QCOMPARE(ras->PhoneBook(), file.fileName());
    ras->SetPhoneBook(m_fixture.TempPath() + "/missing.pbk");
    QCOMPARE(ras->PhoneBook(), file.fileName());
    ras->SetPhoneBook(m_fixture.TempPath());
    QCOMPARE(ras->PhoneBook(), file.fileName());
    ras->SetPhoneBook(QString());
    QCOMPARE(ras->PhoneBook(), QString());
}

QTEST_GUILESS_MAIN(TestRasConnection)
#include "tst_rasconnection.moc"
