#include "base/ProfileSettings.h"
#include "upload/CheckServer.h"

#include <QTest>

// Which server a check asks, and how long after the post, from the profile's server list.
class TestCheckServer : public QObject
{
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
};

void TestCheckServer::choice_data()
{
    QTest::addColumn<QString>("further"); // role of a further server "b.test:1190", or none
    QTest::addColumn<QString>("firstRole");
    QTest::addColumn<QString>("named"); // --check-server
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("delay");
    QTest::addColumn<bool>("separate");
    QTest::newRow("one server") << ""
                                << "post"
                                << ""
                                << "a.test" << 5 << false;
    QTest::newRow("a check server") << "check"
                                    << "post"
                                    << ""
                                    << "b.test:1190" << 40 << true;
    QTest::newRow("one that checks and posts") << "both"
                                               << "post"
                                               << ""
                                               << "b.test:1190" << 40 << true;
    QTest::newRow("only the posting server checks") << ""
                                                    << "both"
                                                    << ""
                                                    << "a.test" << 5 << false;
    QTest::newRow("a second post server") << "post"
                                          << "post"
                                          << ""
                                          << "a.test" << 5 << false;
    QTest::newRow("the posting server checks") << "check"
                                               << "both"
                                               << ""
                                               << "b.test:1190" << 40 << true;
    QTest::newRow("named by its name") << "post"
                                       << "post"
                                       << "second"
                                       << "b.test:1190" << 40 << true;
    QTest::newRow("a host for the run") << ""
                                        << "post"
                                        << "c.test:119"
                                        << "c.test:119" << 40 << true;
}

void TestCheckServer::choice()
{
    QFETCH(QString, further);
    QFETCH(QString, firstRole);
    QFETCH(QString, named);
    ProfileSettings s;
    s.Host = "a.test";
    s.ServerRole = firstRole;
    s.CheckDelay = 5;
    s.CheckServerDelay = 40;
    if (!further.isEmpty()) {
        TServerEntry b;
        b.Name = "second";
        b.SetAddress("b.test:1190");
        b.Role = *ServerRoleFromText(further);
        b.LoginRequired = true;
        b.UserID = "checker";
        s.FurtherServers = {b};
    }
    TConnectionOverride session;
    session.UserName = "poster";
    const TCheckServer chosen = CheckServer::Of(s, session, {named, TTlsMode::None});
    QTEST(chosen.Setup.Server, "server");
    QTEST(chosen.DelaySeconds, "delay");
    QTEST(chosen.Separate, "separate");
    // The session's login is the posting server's alone.
    QCOMPARE(chosen.Setup.Login.UserName == "poster", !chosen.Separate);
}

QTEST_GUILESS_MAIN(TestCheckServer)
#include "tst_checkserver.moc"
