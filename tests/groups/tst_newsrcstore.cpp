#include "GroupsFixture.h"

#include "groups/GroupListModel.h"

#include <QTest>

class TestNewsrcStore : public QObject
{
    Q_OBJECT
private slots:
    void missingFileCreatesDefaultGroup();
    void readSortsRecordsIntoLists_data();
    void readSortsRecordsIntoLists();
    void truncatedFileKeepsWholeRecordsAndHealsOnAppend();
    void saveFullListSkipsLongNames();
    void saveFullListIntoAnotherProfileLeavesLists();
    void saveNewGroups_data();
    void saveNewGroups();
    void getGroupBounds();
    void failuresNameTheFileAndKeepIt();
    void modelServesRowsOnDemand();
};

void TestNewsrcStore::missingFileCreatesDefaultGroup()
{
    TGroupsFixture f;
    QVERIFY(f.Store->ReadNewsrc());
    f.Store->ShowGroups();
    QCOMPARE(f.ReadFile(), Record("alt.test", 0, 0));
    QCOMPARE(f.ReadFile().size(), 81);
    QCOMPARE(f.View.GroupCaption, QStringLiteral("Subscribed Groups: 1"));
    QCOMPARE(f.View.GroupCount, 1);
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"alt.test"});
}

void TestNewsrcStore::readSortsRecordsIntoLists_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("sub");
    QTest::addColumn<QStringList>("unsub");
    QTest::addColumn<QStringList>("fresh");
    QTest::addColumn<QList<qint32>>("recordNos"); // sub, unsub, new in turn
    QTest::addColumn<QString>("caption");

    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList() << QStringList()
                                << QList<qint32>() << "Subscribed Groups: 0";
    QTest::newRow("third record flag 5")
        << Record("a.one", 0, 0) + Record("b.two", 7, 1) + Record("c.bad", 0, 5) +
               Record("d.four", 0, 2)
        << QStringList{"a.one"} << QStringList{"b.two"} << QStringList{"d.four"}
        << QList<qint32>{0, 1, 3} << "Subscribed Groups: 1";
    QByteArray longName(76, 'x'); // no NUL inside the field: the name is all 76 bytes
    QByteArray raw = longName + QByteArray("\x02\x00\x00\x00\x00", 5);
    QTest::newRow("name fills the field")
        << raw << QStringList{QString(longName)} << QStringList() << QStringList()
        << QList<qint32>{0} << "Subscribed Groups: 1";
}

void TestNewsrcStore::readSortsRecordsIntoLists()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, sub);
    QFETCH(QStringList, unsub);
    QFETCH(QStringList, fresh);
    QFETCH(QList<qint32>, recordNos);
    QFETCH(QString, caption);

    TGroupsFixture f;
    f.WriteFile(file);
    QVERIFY(f.Store->ReadNewsrc());
    f.Store->ShowGroups();
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), sub);
    QCOMPARE(TGroupsFixture::Names(f.Store->UnsubList), unsub);
    QCOMPARE(TGroupsFixture::Names(f.Store->NewList), fresh);
    QList<qint32> numbers;
    for (int v : {0, 1, 2})
        for (const TGroupIndex& g : f.Store->List(v))
            numbers << g.RecordNo;
    QCOMPARE(numbers, recordNos);
    QCOMPARE(f.View.GroupCaption, caption);
    QCOMPARE(f.ReadFile(), file); // reading never changes the file
    QVERIFY(f.View.Warnings.isEmpty());
}

void TestNewsrcStore::truncatedFileKeepsWholeRecordsAndHealsOnAppend()
{
    TGroupsFixture f;
    const QByteArray whole = Record("a.one", 0, 0) + Record("b.two", 0, 2);
    f.WriteFile(whole + QByteArray(30, 'z'));
    QVERIFY(f.Store->ReadNewsrc());
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"a.one"});
    QCOMPARE(TGroupsFixture::Names(f.Store->NewList), QStringList{"b.two"});
    QCOMPARE(f.View.Warnings.size(), 1);
    QVERIFY(f.View.Warnings[0].contains(f.Path()));
    QVERIFY(f.View.Warnings[0].contains("30 bytes"));

    QVERIFY(f.Store->SaveNewGroups({"c.three"}, f.Path()));
    QCOMPARE(f.ReadFile(), Record("a.one", 0, 0) + Record("b.two", 0, 1) + Record("c.three", 0, 2));
    QCOMPARE(f.Store->NewList.at(0).RecordNo, 2);
}

void TestNewsrcStore::saveFullListSkipsLongNames()
{
    TGroupsFixture f;
    f.WriteFile(Record("old.sub", 4, 0) + Record("old.new", 0, 2));
    QVERIFY(f.Store->ReadNewsrc());
    const QString longName = QString(80, 'g');
    TSavedGroups count;
    QVERIFY(f.Store->SaveFullList({"first.group", longName, "third.group", QString(75, 'h')},
                                  f.Path(), &count));
    // Left out, but counted and told.
    QCOMPARE(count.Saved, 2);
    QCOMPARE(count.TooLong, 2);
    QVERIFY(f.Session.Lines().last().contains(
        QLatin1String("2 group name(s) of 75 bytes or more were left out of")));

    QCOMPARE(f.ReadFile(), Record("first.group", 0, 1) + Record("third.group", 0, 1));
    QVERIFY(f.Store->SubList.empty());
    QVERIFY(f.Store->NewList.empty());
    QCOMPARE(TGroupsFixture::Names(f.Store->UnsubList),
             (QStringList{"first.group", "third.group"}));
    QCOMPARE(f.Store->UnsubList[1].RecordNo, 1);
    QCOMPARE(f.View.StatusTexts, (QStringList{"Saving received groups", "Finished"}));
    QCOMPARE(f.View.Progress.last(), 0);

    // Its record number is where later changes land.
    QVERIFY(f.Store->UpdateGroupFlag(0, f.Store->UnsubList[1].RecordNo));
    QCOMPARE(f.ReadFile(), Record("first.group", 0, 1) + Record("third.group", 0, 0));
}

void TestNewsrcStore::saveFullListIntoAnotherProfileLeavesLists()
{
    TGroupsFixture f;
    f.WriteFile(Record("mine.sub", 0, 0));
    QVERIFY(f.Store->ReadNewsrc());
    const QString other = f.State.DataFile("newsrc.Other");
    f.WriteFile(Record("their.new", 0, 2), other);

    QVERIFY(f.Store->SaveNewGroups({"their.fresh"}, other));
    QCOMPARE(f.ReadFile(other), Record("their.new", 0, 1) + Record("their.fresh", 0, 2));
    QVERIFY(f.Store->SaveFullList({"x.y"}, other));
    QCOMPARE(f.ReadFile(other), Record("x.y", 0, 1));

    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"mine.sub"});
    QVERIFY(f.Store->UnsubList.empty());
    QVERIFY(f.Store->NewList.empty());
    QCOMPARE(f.ReadFile(), Record("mine.sub", 0, 0));
}

void TestNewsrcStore::saveNewGroups_data()
{
    QTest::addColumn<QStringList>("received");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QStringList>("unsub");
    QTest::addColumn<QStringList>("fresh");
    QTest::addColumn<QStringList>("status");

    const QByteArray before = Record("s.one", 2, 0) + Record("n.one", 0, 2) +
                              Record("u.one", 0, 1) + Record("n.two", 0, 2);
    const QByteArray after = Record("s.one", 2, 0) + Record("n.one", 0, 1) + Record("u.one", 0, 1) +
                             Record("n.two", 0, 1);
    QTest::newRow("no names") << QStringList() << after << QStringList{"u.one", "n.one", "n.two"}
                              << QStringList() << QStringList();
    QTest::newRow("two names") << QStringList{"fresh.a", "fresh.b"}
                               << after + Record("fresh.a", 0, 2) + Record("fresh.b", 0, 2)
                               << QStringList{"u.one", "n.one", "n.two"}
                               << QStringList{"fresh.a", "fresh.b"}
                               << QStringList{"Saving new groups", "Finished"};
    QTest::newRow("long name skipped")
        << QStringList{QString(75, 'q'), "fresh.c"} << after + Record("fresh.c", 0, 2)
        << QStringList{"u.one", "n.one", "n.two"} << QStringList{"fresh.c"}
        << QStringList{"Saving new groups", "Finished"};
}

void TestNewsrcStore::saveNewGroups()
{
    QFETCH(QStringList, received);
    QFETCH(QByteArray, expected);
    QFETCH(QStringList, unsub);
    QFETCH(QStringList, fresh);
    QFETCH(QStringList, status);

    TGroupsFixture f;
    f.WriteFile(Record("s.one", 2, 0) + Record("n.one", 0, 2) + Record("u.one", 0, 1) +
                Record("n.two", 0, 2));
    QVERIFY(f.Store->ReadNewsrc());
    QVERIFY(f.Store->SaveNewGroups(received, f.Path()));
    QCOMPARE(f.ReadFile(), expected);
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"s.one"});
    QCOMPARE(TGroupsFixture::Names(f.Store->UnsubList), unsub);
    QCOMPARE(TGroupsFixture::Names(f.Store->NewList), fresh);
    QCOMPARE(f.View.StatusTexts, status);
    for (qsizetype i = 0; i < fresh.size(); ++i)
        QCOMPARE(f.Store->NewList[size_t(i)].RecordNo, qint32(4 + i));
}

void TestNewsrcStore::getGroupBounds()
{
    TGroupsFixture f;
    f.WriteFile(Record("a.one", 5, 0) + Record("b.two", 9, 0));
    QVERIFY(f.Store->ReadNewsrc());
    QCOMPARE(f.Store->GetGroup(1), QStringLiteral("b.two"));
    QCOMPARE(f.Store->GetGroupCount(1), 9);
    QCOMPARE(f.State.CurrentProcName(), QStringLiteral("GetGroupCount"));

    const qsizetype logged = f.Session.Lines().size();
    QCOMPARE(f.Store->GetGroup(2), QString());
    QCOMPARE(f.Store->GetGroupCount(2), 0);
    QCOMPARE(f.Session.Lines().size(), logged);

    QCOMPARE(f.Store->GetGroup(-1), QString());
    QCOMPARE(f.Store->GetGroupCount(-1), 0);
    QCOMPARE(f.Session.Lines().size(), logged + 2);
    QVERIFY(f.Session.Lines().last().contains("List index out of bounds (-1)"));
}

void TestNewsrcStore::failuresNameTheFileAndKeepIt()
{
    TGroupsFixture f;
    const QByteArray original = Record("a.one", 0, 0);
    f.WriteFile(original);
    QVERIFY(f.Store->ReadNewsrc());

    // A record that is not in the file: refused, the file does not grow.
    QVERIFY(!f.Store->UpdateGroupFlag(1, 3));
    QCOMPARE(f.ReadFile(), original);
    QCOMPARE(f.View.Warnings.size(), 1);
    QVERIFY(f.View.Warnings[0].contains(f.Path()));

    // A target in a folder that does not exist: nothing replaced, the lists stay.
    const QString nowhere = f.State.DataFile("missing/newsrc.Default");
    f.State.NewsrcPath = nowhere;
    QVERIFY(!f.Store->SaveFullList({"x.y"}, nowhere));
    QCOMPARE(f.View.Warnings.size(), 2);
    QVERIFY(f.View.Warnings[1].contains(nowhere));
    QCOMPARE(TGroupsFixture::Names(f.Store->SubList), QStringList{"a.one"});

    // A newsrc path that is a folder cannot be read.
    QVERIFY(QDir().mkpath(nowhere));
    QVERIFY(!f.Store->ReadNewsrc());
    QCOMPARE(f.View.Warnings.size(), 3);
    QVERIFY(f.View.Warnings[2].startsWith("Cannot open the newsrc file " + nowhere));
    QVERIFY(!f.View.Busy);
    // Nothing of the file read before may stay in the lists: it is not this path's.
    QVERIFY(f.Store->SubList.empty());

    // A missing file that cannot be created either.
    f.State.NewsrcPath = f.State.DataFile("newsrc.Default");
    QVERIFY(f.Store->ReadNewsrc());
    QCOMPARE(f.Store->SubList.size(), size_t(1));
    f.State.NewsrcPath = f.State.DataFile("missing/also/newsrc.X");
    QVERIFY(!f.Store->ReadNewsrc());
    QVERIFY(f.Store->SubList.empty());
    QCOMPARE(f.View.Warnings.size(), 4);
    QVERIFY(f.View.Warnings[3].contains("missing/also/newsrc.X"));
}

void TestNewsrcStore::modelServesRowsOnDemand()
{
    TGroupsFixture f;
    f.WriteFile(Record("a.one", 5, 0) + Record("b.two", 0, 1) + Record("c.three", 12, 0));
    QVERIFY(f.Store->ReadNewsrc());
    TGroupListModel model(*f.Store);
    model.SetRowCount(int(f.Store->ShownList().size()));
    model.SetCaption(f.Store->ShownCaption());

    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("c.three"));
    QCOMPARE(model.data(model.index(1, 1)).toString(), QStringLiteral("12"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(),
             QStringLiteral("Subscribed Groups: 2"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Count"));

    f.Store->GroupView = TNewsrcStore::ViewUnsubscribed;
    QCOMPARE(model.GroupListData(0).Name, QStringLiteral("b.two"));
    QCOMPARE(model.GroupListData(0).Count, QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestNewsrcStore)
#include "tst_newsrcstore.moc"
