#include "upload/UploadHistory.h"
#include "upload/UploadJournal.h"

#include <QTemporaryDir>

#include <QTest>

// A batch's history entry follows what its journal says of its articles.
class TestUploadHistory : public QObject
{
    Q_OBJECT

private slots:
    void stateFollowsTheArticles_data();
    void stateFollowsTheArticles();
    void lastCheckIsRead();
};

void TestUploadHistory::stateFollowsTheArticles_data()
{
    QTest::addColumn<QList<int>>("states"); // TArticleState of parts 1, 2, ...
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("missing");
    const int sent = int(TArticleState::Sent), accepted = int(TArticleState::Accepted),
              checked = int(TArticleState::Checked), missing = int(TArticleState::Missing);
    QTest::newRow("taken, not checked") << QList<int>{accepted, accepted} << "complete" << 0;
    QTest::newRow("all found") << QList<int>{checked, checked} << "complete" << 0;
    QTest::newRow("being checked") << QList<int>{checked, accepted} << "checking" << 0;
    QTest::newRow("one lost") << QList<int>{checked, missing, missing} << "incomplete" << 2;
    QTest::newRow("never answered") << QList<int>{accepted, sent} << "incomplete" << 0;
}

void TestUploadHistory::stateFollowsTheArticles()
{
    QFETCH(QList<int>, states);
    TJournalContent content;
    content.Add(TJournalFile{"/src/a.bin", {"alt.test"}, {3000, 0, "ab"}, {}});
    for (int k = 0; k < states.size(); ++k)
        content.Add(TJournalArticle{"/src/a.bin",
                                    k + 1,
                                    int(states.size()),
                                    1000 * k + 1,
                                    1000 * k + 1000,
                                    1400,
                                    QString("<%1@x>").arg(k),
                                    TArticleState(states[k]),
                                    "a (1/3)",
                                    {"alt.test"},
                                    "me",
                                    1000 + k,
                                    k == 0 ? "a.example:119" : "b.example:119"});
    const THistoryEntry entry = UploadHistory::EntryOf("/data/journals/b1.journal", content);
    // Each server is counted for the articles it took (accepted, or found by a check).
    int taken = 0;
    for (const int state : states)
        taken += TArticleState(state) == TArticleState::Accepted ||
                 TArticleState(state) == TArticleState::Checked;
    QCOMPARE(entry.TakenBy.value("a.example:119") + entry.TakenBy.value("b.example:119"), taken);
    QTEST(THistoryEntry::StateName(entry.State), "state");
    QTEST(entry.Missing, "missing");
    QCOMPARE(entry.Batch, QString("b1"));
    QCOMPARE(entry.Articles, int(states.size()));
    QCOMPARE(entry.Size, 3000);
    QCOMPARE(entry.Date, 1000);
}

void TestUploadHistory::lastCheckIsRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("b2.journal");
    QFile old(path); // as written before checks were recorded
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("part,/src/a.bin,1,1,1,10,100,<a@x>,accepted,a,alt.test,me,1000\n");
    old.close();
    QString error;
    QVERIFY(!TUploadJournal::Read(path, &error)->LastCheck());
    {
        TUploadJournal journal;
        QVERIFY2(journal.Open(path, &error), qPrintable(error));
        QVERIFY(journal.Record(TJournalCheck{2000, "b.test:119", 1, 0}, &error));
        QVERIFY(journal.Record(TJournalCheck{3000, "b.test:119", 1, 1}, &error));
    }
    const THistoryEntry entry = UploadHistory::EntryOf(path, *TUploadJournal::Read(path, &error));
    QCOMPARE(entry.Articles, 1);
    QVERIFY(entry.LastCheck);
    QCOMPARE(*entry.LastCheck, (TJournalCheck{3000, "b.test:119", 1, 1}));
}

QTEST_GUILESS_MAIN(TestUploadHistory)
#include "tst_uploadhistory.moc"
