#include "DownloadFixture.h"

#include "FakeNntpServer.h"
#include "groups/GroupListModel.h"

class TestGroupDownload : public QObject
{
    Q_OBJECT
private slots:
    void groupsMenu_data();
    void groupsMenu();
    void sinceDate_data();
    void sinceDate();
    void queueing_data();
    void queueing();
    void fullListFromServer();
    void newGroupsFromServer();
    void refusalChangesNothing();
    void namesKeptAsTheServersBytes();
    void profileChangedWhileQueued();
};

void TestGroupDownload::groupsMenu_data()
{
    QTest::addColumn<QString>("lastUpdate");
    QTest::addColumn<int>("view");
    QTest::addColumn<QList<int>>("selection");
    QTest::addColumn<QString>("newCaption");
    QTest::addColumn<bool>("newEnabled");
    QTest::addColumn<QString>("subscribeCaption");
    QTest::addColumn<bool>("subscribeEnabled");
    QTest::addColumn<bool>("findEnabled");
    QTest::newRow("never downloaded")
        << "" << 0 << QList<int>() << "&New" << false << "&Unsubscribe" << false << true;
    QTest::newRow("downloaded") << "03/04/26 05:06:07" << 1 << QList<int>{0}
                                << "&New since 03/04/26 05:06:07" << true << "&Subscribe" << true
                                << true;
    QTest::newRow("16 characters") << "03/04/26 05:06:0" << 2 << QList<int>() << "&New" << false
                                   << "&Subscribe" << false << false;
}

void TestGroupDownload::groupsMenu()
{
    QFETCH(QString, lastUpdate);
    QFETCH(int, view);
    QFETCH(QList<int>, selection);
    QFETCH(QString, newCaption);
    QFETCH(bool, newEnabled);
    QFETCH(QString, subscribeCaption);
    QFETCH(bool, subscribeEnabled);
    QFETCH(bool, findEnabled);

    TDownloadFixture f;
    f.WriteFile(Record("a.sub", 0, 0) + Record("b.unsub", 0, 1));
    QVERIFY(f.Store->ReadNewsrc());
    f.State.Settings.LastUpdate = lastUpdate;
    f.Store->GroupView = view;
    f.View.GroupSelection = selection;
    const TGroupsMenuState menu = f.Download.GroupsMenuClick(f.View);
    QCOMPARE(menu.NewCaption, newCaption);
    QCOMPARE(menu.NewEnabled, newEnabled);
    QCOMPARE(menu.SubscribeCaption, subscribeCaption);
    QCOMPARE(menu.SubscribeEnabled, subscribeEnabled);
    QCOMPARE(menu.FindEnabled, findEnabled);
}

void TestGroupDownload::sinceDate_data()
{
    QTest::addColumn<QString>("lastUpdate");
    QTest::addColumn<QString>("since");
    QTest::newRow("ordinary") << "03/04/26 05:06:07"
                              << "260304 050607";
    QTest::newRow("end of year") << "12/31/99 23:59:59"
                                 << "991231 235959";
    QTest::newRow("no month 13") << "13/04/26 05:06:07"
                                 << "";
    QTest::newRow("no 30 February") << "02/30/26 05:06:07"
                                    << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("other layout") << "2026-03-04 05:06:07"
                                  << "";
}

void TestGroupDownload::sinceDate()
{
    QFETCH(QString, lastUpdate);
    QFETCH(QString, since);
    QCOMPARE(TGroupDownload::SinceDate(lastUpdate), since);
}

void TestGroupDownload::queueing_data()
{
    QTest::addColumn<bool>("download");
    QTest::addColumn<bool>("authOk");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<bool>("disconnect");
    QTest::addColumn<QList<int>>("kinds");
    QTest::newRow("download answered No")
        << true << true << QList<bool>{false} << true << QList<int>();
    QTest::newRow("download with disconnect")
        << true << true << QList<bool>{true} << true << QList<int>{tkGroupDownload, tkDisconnect};
    QTest::newRow("download without disconnect")
        << true << true << QList<bool>{true} << false << QList<int>{tkGroupDownload};
    QTest::newRow("login cancelled") << true << false << QList<bool>() << true << QList<int>();
    QTest::newRow("new groups, no question")
        << false << true << QList<bool>() << true << QList<int>{tkNewGroups, tkDisconnect};
}

void TestGroupDownload::queueing()
{
    QFETCH(bool, download);
    QFETCH(bool, authOk);
    QFETCH(QList<bool>, answers);
    QFETCH(bool, disconnect);
    QFETCH(QList<int>, kinds);

    TDownloadFixture f;
    ProfileSettings& s = f.State.Settings;
    s.Host = "news.example.org";
    s.UserID = "user";
    s.Password = "secret";
    s.LoginRequired = true;
    s.Timeout = 45;
    s.PostTimeout = 20;
    s.LastUpdate = "03/04/26 05:06:07";
    s.DisconnectWhenDone = disconnect;
    f.Checks.AuthAnswer = authOk;
    for (bool a : answers)
        f.View.YesNoAnswers << a;

    if (download)
        f.Download.GroupsDownloadItemClick();
    else
        f.Download.GroupsNewItemClick();

    QList<int> queued;
    for (int i = 0; i < f.Tasks.Count(); ++i)
        queued << f.Tasks.At(i).Kind;
    QCOMPARE(queued, kinds);
    QCOMPARE(f.View.TaskNodes.size(), kinds.size());
    QCOMPARE(f.View.Questions.size(), answers.size());
    if (download && !answers.isEmpty())
        QCOMPARE(f.View.Questions[0],
                 QStringLiteral("This will completely overwrite your newsrc file. Continue?"));
    QCOMPARE(f.Checks.Calls.count(QStringLiteral("CheckRas")), kinds.isEmpty() ? 0 : 1);
    if (kinds.isEmpty())
        return;
    const TTask& t = f.Tasks.At(0);
    QCOMPARE(t.Text1, QStringLiteral("news.example.org"));
    QCOMPARE(t.Text2, QStringLiteral("user"));
    QCOMPARE(t.Text3, QStringLiteral("secret"));
    QCOMPARE(t.Text4, f.Path());
    QCOMPARE(t.Text5, download ? QString() : QStringLiteral("03/04/26 05:06:07"));
    QVERIFY(t.Flag1);
    QCOMPARE(t.Timeout, 45);
    QCOMPARE(t.PostTimeout, 20);
}

void TestGroupDownload::fullListFromServer()
{
    TDownloadFixture f;
    f.WriteFile(Record("old.sub", 3, 0) + Record("old.new", 0, 2));
    QVERIFY(f.Store->ReadNewsrc());
    TFakeNntpServer server;
    QList<QByteArray> answer{"215 list follows"};
    QByteArray expected;
    for (int i = 1; i <= 25; ++i) {
        answer << "group." + QByteArray::number(i) + " 0000000010 0000000001 y";
        expected += Record("group." + QByteArray::number(i), 0, 1);
    }
    answer << ".";
    server.On("LIST", answer);
    QVERIFY(server.Start());
    f.State.Settings.Host = server.Server();
    f.View.YesNoAnswers << true;
    f.Download.GroupsDownloadItemClick();
    QVERIFY(f.RunQueue());

    QCOMPARE(f.ReadFile(), expected);
    QVERIFY(f.View.StatusTexts.contains("Groups: 10"));
    QVERIFY(f.View.StatusTexts.contains("Groups: 20"));
    QVERIFY(!f.View.StatusTexts.contains("Groups: 25"));
    QVERIFY(f.View.StatusTexts.indexOf("Groups: 10") < f.View.StatusTexts.indexOf("Groups: 20"));
    QCOMPARE(f.View.StatusTexts.last(), QStringLiteral("Online"));
    QVERIFY(f.Session.Lines().last().endsWith("Groups received: 25"));
    QCOMPARE(f.Store->GroupView, 1);
    QCOMPARE(f.View.GroupCaption, QStringLiteral("Unsubscribed Groups: 25"));
    QVERIFY(f.Store->SubList.empty());
    QCOMPARE(f.State.Settings.LastUpdate, QStringLiteral("03/04/26 05:06:07"));
    QCOMPARE(f.StoredLastUpdate(), QStringLiteral("03/04/26 05:06:07"));
    QVERIFY(!f.View.Actions.value(TViewAction::Abort, true));
}

void TestGroupDownload::newGroupsFromServer()
{
    TDownloadFixture f;
    f.WriteFile(Record("s.one", 0, 0) + Record("n.old", 0, 2) + Record("u.one", 0, 1));
    QVERIFY(f.Store->ReadNewsrc());
    TFakeNntpServer server;
    server.On("NEWGROUPS 260304 050607",
              {"231 new groups follow", "fresh.a 0000000010 0000000001 y",
               "fresh.b 0000000010 0000000001 y", "."});
    QVERIFY(server.Start());
    f.State.Settings.Host = server.Server();
    f.State.Settings.LastUpdate = "03/04/26 05:06:07";
    f.Clock.Current = QDateTime(QDate(2026, 3, 5), QTime(8, 9, 10));
    f.Download.GroupsNewItemClick();
    QVERIFY(f.RunQueue());

    QVERIFY(server.Commands().contains("NEWGROUPS 260304 050607"));
    QCOMPARE(f.ReadFile(), Record("s.one", 0, 0) + Record("n.old", 0, 1) + Record("u.one", 0, 1) +
                               Record("fresh.a", 0, 2) + Record("fresh.b", 0, 2));
    QCOMPARE(TGroupsFixture::Names(f.Store->UnsubList), (QStringList{"u.one", "n.old"}));
    QCOMPARE(TGroupsFixture::Names(f.Store->NewList), (QStringList{"fresh.a", "fresh.b"}));
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"s.one"});
    QVERIFY(f.Session.Lines().last().endsWith("Groups received: 2"));
    QCOMPARE(f.StoredLastUpdate(), QStringLiteral("03/05/26 08:09:10"));
    QCOMPARE(f.Store->GroupView, 1);
}

void TestGroupDownload::namesKeptAsTheServersBytes()
{
    TDownloadFixture f;
    TFakeNntpServer server;
    server.On("LIST", {"215 list follows", "alt.\xc5\x91.test 1 1 y", "alt.m\xfcnchen 1 1 y",
                       "bad\x01name 1 1 y", QByteArray("with\0nul 1 1 y", 14), " 1 1 y",
                       "alt.plain 1 1 y", "."});
    QVERIFY(server.Start());
    f.State.Settings.Host = server.Server();
    QStringList clientLog;
    connect(&f.Client, &TbcsNNTP::OnLogEvent, this,
            [&](const QString& text) { clientLog << text; });
    f.View.YesNoAnswers << true;
    f.Download.GroupsDownloadItemClick();
    QVERIFY(f.RunQueue());

    QCOMPARE(f.ReadFile(), Record("alt.\xc5\x91.test", 0, 1) + Record("alt.m\xfcnchen", 0, 1) +
                               Record("alt.plain", 0, 1));
    QCOMPARE(clientLog.filter("3 group name(s) were skipped").size(), 1);
    TGroupListModel model(*f.Store);
    model.SetRowCount(int(f.Store->ShownList().size()));
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.data(model.index(row, 0)).toString();
    QCOMPARE(shown, (QStringList{QStringLiteral("alt.ő.test"), QStringLiteral("alt.münchen"),
                                 QStringLiteral("alt.plain")}));
}

void TestGroupDownload::refusalChangesNothing()
{
    TDownloadFixture f;
    const QByteArray before = Record("keep.me", 1, 0);
    f.WriteFile(before);
    QVERIFY(f.Store->ReadNewsrc());
    TFakeNntpServer server;
    server.On("LIST", {"502 no permission"});
    QVERIFY(server.Start());
    f.State.Settings.Host = server.Server();
    f.View.YesNoAnswers << true;
    f.Download.GroupsDownloadItemClick();
    QVERIFY(f.RunQueue());

    QCOMPARE(f.ReadFile(), before);
    QCOMPARE(f.StoredLastUpdate(), QStringLiteral("none"));
    QCOMPARE(f.View.Warnings, QStringList{"502 no permission (" + server.Server() +
                                          ", LIST)\nThe tasks stay in the task file " +
                                          f.TaskFile.FileName() + "."});
    QVERIFY(f.TaskFile.Exists()); // the batch is kept for a reload
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"keep.me"});
}

void TestGroupDownload::profileChangedWhileQueued()
{
    TDownloadFixture f;
    TFakeNntpServer server;
    server.On("LIST", {"215 list follows", "x.one 1 1 y", "x.two 1 1 y", "."});
    QVERIFY(server.Start());
    f.State.Settings.Host = server.Server();
    f.State.Settings.AutoStart = false; // held until the profile has changed
    f.View.YesNoAnswers << true;
    f.Download.GroupsDownloadItemClick();
    const QString defaultFile = f.Path();

    f.State.SetProfile("Other");
    f.WriteFile(Record("other.sub", 0, 0));
    const QString otherFile = f.Path();
    QVERIFY(f.Store->ReadNewsrc());
    // The task runs under the profile it was queued from, made current again first.
    QStringList switched;
    f.Runner.SetProfileSwitch([&](const QString& name) {
        switched << name;
        f.State.SetProfile(name);
        return QString();
    });
    f.Runner.TasksStartClick();
    QVERIFY(f.RunQueue());

    QCOMPARE(switched, QStringList{"Default"});
    QCOMPARE(f.ReadFile(defaultFile), Record("x.one", 0, 1) + Record("x.two", 0, 1));
    QCOMPARE(f.ReadFile(otherFile), Record("other.sub", 0, 0));
    QCOMPARE(f.StoredLastUpdate("Default"), QStringLiteral("03/04/26 05:06:07"));
    QCOMPARE(f.StoredLastUpdate("Other"), QStringLiteral("none"));
}

QTEST_GUILESS_MAIN(TestGroupDownload)
#include "tst_groupdownload.moc"
