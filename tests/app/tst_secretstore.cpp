// Passwords in the desktop's keyring: a private gnome-keyring-daemon on a private session bus,
// and no keyring at all.
#include "DbusMockFixture.h"

#include "app/SecretStore.h"

#include <QTest>

class TestSecretStore : public QObject
{
    Q_OBJECT

private slots:
    void withoutSessionBusNothingIsAsked();
    void storesReadsAndForgetsPerProfileAndKind();
};

void TestSecretStore::withoutSessionBusNothingIsAsked()
{
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", "/nonexistent");
    TSecretStore store;
    QVERIFY(!store.Available());
}

void TestSecretStore::storesReadsAndForgetsPerProfileAndKind()
{
    TDbusMockFixture bus;
    QVERIFY2(bus.StartBus(TDbusMockFixture::TBus::Session), qPrintable(bus.Error()));
    QVERIFY2(bus.StartKeyring(), qPrintable(bus.Error()));
    qunsetenv("QUORVEL_KEYRING"); // the tests keep off the user's keyring unless told
    TSecretStore store;
    QVERIFY(store.Available());
    QString error;
    using K = TSecretStore::TKind;
    QVERIFY(!store.Read("Work", K::NewsServer, &error).has_value());
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // Non-Latin-1, long, with commas and blanks: kept whole.
    const QString secret = QString::fromUtf8("пароль1, with blanks ") + QString(400, 'x');
    QVERIFY2(store.Write("Work", K::NewsServer, secret, &error), qPrintable(error));
    QVERIFY(store.Write("Work", K::DialUp, "dial", &error));
    QVERIFY(store.Write("Home", K::NewsServer, "home", &error));
    QCOMPARE(store.Read("Work", K::NewsServer, &error), secret);
    QCOMPARE(store.Read("Work", K::DialUp, &error), QString("dial"));
    QCOMPARE(store.Read("Home", K::NewsServer, &error), QString("home"));

    // Writing again replaces; forgetting one leaves the others.
    QVERIFY(store.Write("Work", K::NewsServer, "second", &error));
    QCOMPARE(store.Read("Work", K::NewsServer, &error), QString("second"));
    QVERIFY(store.Remove("Work", K::NewsServer, &error));
    QVERIFY(!store.Read("Work", K::NewsServer, &error).has_value());
    QCOMPARE(store.Read("Work", K::DialUp, &error), QString("dial"));
    QVERIFY(store.Remove("Work", K::NewsServer, &error)); // nothing there: still fine
}

QTEST_GUILESS_MAIN(TestSecretStore)
#include "tst_secretstore.moc"
