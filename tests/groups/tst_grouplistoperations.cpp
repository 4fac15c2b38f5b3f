#include "GroupsFixture.h"

#include "groups/GroupListOperations.h"

#include <QTest>

namespace {

// Seven subscribed groups out of name order, with counts, then one unsubscribed and two new.
QByteArray sampleFile()
{
    return Record("comp.lang.c", 3, 0) + Record("alt.binaries.misc", 1, 0) +
           Record("Rec.Arts", 7, 0) + Record("alt.test", 0, 0) + Record("misc.test", 2, 0) +
           Record("news.answers", 0, 0) + Record("alt.binaries.pictures", 5, 0) +
           Record("zz.unsub", 0, 1) + Record("new.b", 0, 2) + Record("new.a", 0, 2);
}

} // namespace

class TestGroupListOperations : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void unsubscribeRowsTwoAndFive();
    void subscribeFromNewList();
    void headerClicks_data();
    void headerClicks();
    void sortCommandAfterStartUp();
    void sortCommandDeclined();
    void sortCommandKeepsFullWidthName();
    void findFirstThenAgainToTheEnd();
    void findAll();
    void findNothing();
    void selectedGroups();
    void countPost();
    void importNewsrcText();
    void importLine_data();
    void importLine();

private:
    std::unique_ptr<TGroupsFixture> f;
    std::unique_ptr<TGroupListOperations> ops;
};

void TestGroupListOperations::init()
{
    f = std::make_unique<TGroupsFixture>();
    f->WriteFile(sampleFile());
    QVERIFY(f->Store->ReadNewsrc());
    f->Store->ShowGroups();
    ops = std::make_unique<TGroupListOperations>(*f->Store);
}

void TestGroupListOperations::cleanup()
{
    ops.reset();
    f.reset();
}

void TestGroupListOperations::unsubscribeRowsTwoAndFive()
{
    f->View.GroupSelection = {2, 5};
    ops->GroupsSubscribeItemClick(f->View);

    QCOMPARE(TGroupsFixture::Names(f->Store->SubList),
             (QStringList{"comp.lang.c", "alt.binaries.misc", "alt.test", "misc.test",
                          "alt.binaries.pictures"}));
    QCOMPARE(TGroupsFixture::Names(f->Store->UnsubList),
             (QStringList{"zz.unsub", "Rec.Arts", "news.answers"}));
    QByteArray expected = sampleFile();
    expected[2 * 81 + 80] = 1;
    expected[5 * 81 + 80] = 1;
    QCOMPARE(f->ReadFile(), expected);
    QCOMPARE(f->View.GroupCaption, QStringLiteral("Subscribed Groups: 5"));
    QVERIFY(f->View.GroupSelection.isEmpty());
    QCOMPARE(f->State.CurrentProcName(), QStringLiteral("ShowGroups"));

    // The moved groups keep their records: moving one back rewrites the same byte.
    f->Store->GroupView = TNewsrcStore::ViewUnsubscribed;
    f->View.GroupSelection = {1};
    ops->GroupsSubscribeItemClick(f->View);
    expected[2 * 81 + 80] = 0;
    QCOMPARE(f->ReadFile(), expected);
    QCOMPARE(f->Store->SubList.back().Name, QStringLiteral("Rec.Arts"));
}

void TestGroupListOperations::subscribeFromNewList()
{
    ops->New1Click();
    QCOMPARE(f->View.GroupCaption, QStringLiteral("New Groups: 2"));
    f->View.GroupSelection = {1};
    ops->GroupsSubscribeItemClick(f->View);
    QCOMPARE(f->Store->SubList.back().Name, QStringLiteral("new.a"));
    QCOMPARE(TGroupsFixture::Names(f->Store->UnsubList), QStringList{"zz.unsub"});
    QCOMPARE(TGroupsFixture::Names(f->Store->NewList), QStringList{"new.b"});
    QCOMPARE(quint8(f->ReadFile().at(9 * 81 + 80)), quint8(0));
}

void TestGroupListOperations::headerClicks_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    const QStringList az{"alt.binaries.misc", "alt.binaries.pictures", "alt.test", "comp.lang.c",
                         "misc.test",         "news.answers",          "Rec.Arts"};
    QStringList za = az;
    std::reverse(za.begin(), za.end());
    QTest::newRow("names") << 0 << az << za;
    // Counts 0, 0, 1, 2, 3, 5, 7: the two zeros keep their order.
    QTest::newRow("counts") << 1
                            << QStringList{"alt.test",  "news.answers", "alt.binaries.misc",
                                           "misc.test", "comp.lang.c",  "alt.binaries.pictures",
                                           "Rec.Arts"}
                            << QStringList{"Rec.Arts",    "alt.binaries.pictures", "comp.lang.c",
                                           "misc.test",   "alt.binaries.misc",     "alt.test",
                                           "news.answers"};
}

void TestGroupListOperations::headerClicks()
{
    QFETCH(int, column);
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    const QByteArray file = f->ReadFile();

    ops->GroupListColumnClick(column);
    QCOMPARE(TGroupsFixture::Names(f->Store->SubList), first);
    QCOMPARE(f->View.StatusTexts, (QStringList{"Sorting", "Finished"}));
    ops->GroupListColumnClick(column);
    QCOMPARE(TGroupsFixture::Names(f->Store->SubList), second);

    // Memory only: the file and every record number stay.
    QCOMPARE(f->ReadFile(), file);
    for (const TGroupIndex& g : f->Store->SubList)
        QCOMPARE(QString::fromLatin1(file.mid(g.RecordNo * 81).constData()), g.Name);
    QVERIFY(!f->View.Busy);
}

void TestGroupListOperations::sortCommandAfterStartUp()
{
    f->View.YesNoAnswers << true;
    ops->Sort1Click();
    QCOMPARE(f->View.Questions, QStringList{"This could take a while. Continue?"});
    QCOMPARE(f->View.StatusTexts,
             (QStringList{"Sorting Subscribed groups", "Sorting Unsubscribed groups",
                          "Sorting New groups", "Saving changes", "Finished"}));
    const QByteArray expected = Record("Rec.Arts", 7, 0) + Record("news.answers", 0, 0) +
                                Record("misc.test", 2, 0) + Record("comp.lang.c", 3, 0) +
                                Record("alt.test", 0, 0) + Record("alt.binaries.pictures", 5, 0) +
                                Record("alt.binaries.misc", 1, 0) + Record("zz.unsub", 0, 1) +
                                Record("new.b", 0, 2) + Record("new.a", 0, 2);
    QCOMPARE(f->ReadFile(), expected);
    qint32 no = 0;
    for (int v : {0, 1, 2})
        for (const TGroupIndex& g : f->Store->List(v))
            QCOMPARE(g.RecordNo, no++);
    QVERIFY(ops->NameSortDescending); // the command does not flip the direction
}

void TestGroupListOperations::sortCommandDeclined()
{
    f->View.YesNoAnswers << false;
    ops->Sort1Click();
    QCOMPARE(f->ReadFile(), sampleFile());
    QCOMPARE(f->Store->SubList.front().Name, QStringLiteral("comp.lang.c"));
    QVERIFY(f->View.StatusTexts.isEmpty());
}

void TestGroupListOperations::sortCommandKeepsFullWidthName()
{
    // A record whose name fills all 76 bytes (no NUL) comes back unchanged.
    const QByteArray full = QByteArray(76, 'x') + QByteArray("\x04\x00\x00\x00\x00", 5);
    f->WriteFile(Record("a.short", 0, 0) + full);
    QVERIFY(f->Store->ReadNewsrc());
    f->View.YesNoAnswers << true;
    ops->Sort1Click();
    QCOMPARE(f->ReadFile(), full + Record("a.short", 0, 0));
}

void TestGroupListOperations::findFirstThenAgainToTheEnd()
{
    f->View.GroupSelection = {0};
    f->View.FindAnswers << TFindAnswer{"alt.", TFindMode::First};
    ops->GroupFindClick(f->View);
    QCOMPARE(f->View.GroupSelection, QList<int>{1});
    QCOMPARE(f->View.GroupVisibleRow, 1);
    QVERIFY(f->View.Actions.value(TViewAction::FindAgain));

    ops->FindAgainClick(f->View);
    QCOMPARE(f->View.GroupSelection, QList<int>{3});
    ops->FindAgainClick(f->View);
    QCOMPARE(f->View.GroupSelection, QList<int>{6});
    QVERIFY(f->View.Warnings.isEmpty());
    ops->FindAgainClick(f->View);
    QVERIFY(f->View.GroupSelection.isEmpty());
    QCOMPARE(f->View.Warnings, QStringList{"No more matches were found"});
    QVERIFY(!f->View.Actions.value(TViewAction::FindAgain));

    // The next search offers the last text and mode; the match is case-sensitive.
    f->View.FindAnswers << TFindAnswer{"rec.", TFindMode::First};
    ops->GroupFindClick(f->View);
    QVERIFY(f->View.Calls.contains("Find: alt.|First"));
    QCOMPARE(f->View.Warnings.last(), QStringLiteral("No matches were found"));
}

void TestGroupListOperations::findAll()
{
    f->View.FindAnswers << TFindAnswer{".test", TFindMode::All};
    ops->GroupFindClick(f->View);
    QCOMPARE(f->View.GroupSelection, (QList<int>{3, 4}));
    QVERIFY(!f->View.Actions.value(TViewAction::FindAgain, true));
    QCOMPARE(ops->StartIndex, 0);
    QVERIFY(f->View.Warnings.isEmpty());
}

void TestGroupListOperations::findNothing()
{
    f->View.FindAnswers << TFindAnswer{"", TFindMode::First} << std::nullopt;
    ops->GroupFindClick(f->View);
    QCOMPARE(f->View.Warnings, QStringList{"No matches were found"});
    ops->GroupFindClick(f->View); // cancelled: nothing said
    QCOMPARE(f->View.Warnings.size(), 1);
}

void TestGroupListOperations::selectedGroups()
{
    QStringList list{"keep.me"};
    QCOMPARE(ops->GetSelectedGroups(f->View.GroupSelection, list), 0);
    QCOMPARE(list, QStringList{"keep.me"});
    f->View.GroupSelection = {0, 4};
    QCOMPARE(ops->GetSelectedGroups(f->View.GroupSelection, list), 3);
    QCOMPARE(list, (QStringList{"keep.me", "comp.lang.c", "misc.test"}));
}

void TestGroupListOperations::countPost()
{
    ops->CountPost({"not.listed"}); // a group no list holds: nothing
    QCOMPARE(f->ReadFile(), sampleFile());

    const int repaints = f->View.GroupRepaints;
    ops->CountPost({"alt.binaries.misc", "misc.test", "not.listed"});
    QCOMPARE(f->Store->SubList[1].Count, 2);
    QCOMPARE(f->Store->SubList[4].Count, 3);
    QByteArray expected = sampleFile();
    expected.replace(1 * 81, 81, Record("alt.binaries.misc", 2, 0));
    expected.replace(4 * 81, 81, Record("misc.test", 3, 0));
    QCOMPARE(f->ReadFile(), expected);
    QVERIFY(f->View.GroupRepaints > repaints);
}

void TestGroupListOperations::importNewsrcText()
{
    const QString source = f->State.DataFile("import.newsrc");
    f->WriteFile("comp.os.linux: 1-2000,2005\r\n"
                 "\r\n"
                 "alt.old! 1-30\n"
                 "   just some words\n"
                 "alt.fresh*\n",
                 source);
    f->Store->GroupView = TNewsrcStore::ViewUnsubscribed;
    f->View.OpenFileAnswers << source;
    ops->GroupsImportClick(f->View);

    QCOMPARE(f->ReadFile(),
             Record("comp.os.linux", 0, 0) + Record("alt.old", 0, 1) + Record("alt.fresh", 0, 2));
    QCOMPARE(TGroupsFixture::Names(f->Store->SubList), QStringList{"comp.os.linux"});
    QCOMPARE(TGroupsFixture::Names(f->Store->NewList), QStringList{"alt.fresh"});
    QCOMPARE(f->Store->GroupView, 1);
    QCOMPARE(f->View.GroupCaption, QStringLiteral("Unsubscribed Groups: 1"));
    QCOMPARE(f->View.StatusTexts, (QStringList{"Importing " + source, "Finished"}));

    // Cancelling the dialog or a missing file leaves the store alone.
    const QByteArray before = f->ReadFile();
    f->View.OpenFileAnswers << QString() << f->State.DataFile("gone.newsrc");
    ops->GroupsImportClick(f->View);
    ops->GroupsImportClick(f->View);
    QCOMPARE(f->ReadFile(), before);
    QCOMPARE(f->View.Warnings.size(), 1);
    QVERIFY(f->View.Warnings[0].contains("gone.newsrc"));
}

void TestGroupListOperations::importLine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("flag");
    QTest::newRow("subscribed") << QByteArray("a.b: 1-5") << true << QByteArray("a.b") << 0;
    QTest::newRow("unsubscribed") << QByteArray("\ta.b! 1-5 \r") << true << QByteArray("a.b") << 1;
    QTest::newRow("new") << QByteArray("a.b*") << true << QByteArray("a.b") << 2;
    QTest::newRow("bang wins over colon")
        << QByteArray("a.b:c!d") << true << QByteArray("a.b:c") << 1;
    QTest::newRow("star wins over both")
        << QByteArray("a:b!c*d") << true << QByteArray("a:b!c") << 2;
    QTest::newRow("no mark") << QByteArray("a.b 1-5") << false << QByteArray() << 0;
    QTest::newRow("blank") << QByteArray("  \r") << false << QByteArray() << 0;
    QTest::newRow("no name") << QByteArray(": 1-5") << false << QByteArray() << 0;
    QTest::newRow("74 characters") << QByteArray(74, 'n') + ':' << true << QByteArray(74, 'n') << 0;
    QTest::newRow("75 characters") << QByteArray(75, 'n') + ':' << false << QByteArray() << 0;
}

void TestGroupListOperations::importLine()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    QFETCH(QByteArray, name);
    QFETCH(int, flag);
    QByteArray parsed;
    quint8 parsedFlag = 9;
    QCOMPARE(TGroupListOperations::ParseImportLine(line, parsed, parsedFlag), valid);
    if (valid) {
        QCOMPARE(parsed, name);
        QCOMPARE(int(parsedFlag), flag);
    }
}

QTEST_GUILESS_MAIN(TestGroupListOperations)
#include "tst_grouplistoperations.moc"
