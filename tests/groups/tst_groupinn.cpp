#include "DownloadFixture.h"

#include "InnServer.h"

#include <QFile>

namespace {

// The server's groups in the order its active file holds them.
QList<QByteArray> activeGroups(const TInnServer& inn)
{
    QFile active(inn.Folder() + "/db/active");
    QList<QByteArray> names;
    if (!active.open(QIODevice::ReadOnly))
        return names;
    for (const QByteArray& line : active.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            names << line.split(' ').first();
    return names;
}

bool logged(const TDownloadFixture& f, const QString& text)
{
    for (const QString& line : f.Session.Lines())
        if (line.endsWith(text))
            return true;
    return false;
}

} // namespace

class TestGroupInn : public QObject
{
    Q_OBJECT
private slots:
    void downloadThenNewGroups();
};

void TestGroupInn::downloadThenNewGroups()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 12}, &error), qPrintable(error));
    // Every group so far was created by now; the since-date lies strictly after that and
    // strictly before the groups made below, whatever way the server rounds.
    const QDateTime since = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() + 1);

    TDownloadFixture f;
    QVERIFY(f.Store->ReadNewsrc());
    f.State.Settings.Host = inn.Server();
    f.State.Settings.DisconnectWhenDone = true;
    f.Clock.Current = since;
    f.View.YesNoAnswers << true;
    f.Download.GroupsDownloadItemClick();
    QVERIFY(f.RunQueue());

    const QList<QByteArray> names = activeGroups(inn);
    QVERIFY(names.contains("quorvel.bulk.0000012"));
    QByteArray expected;
    for (const QByteArray& name : names)
        expected += Record(name, 0, 1);
    QCOMPARE(f.ReadFile(), expected);
    QCOMPARE(qsizetype(f.Store->UnsubList.size()), names.size());
    QVERIFY(logged(f, "Groups received: " + QString::number(names.size())));
    QCOMPARE(f.StoredLastUpdate(), TGroupDownload::LastUpdateText(since));
    QCOMPARE(f.View.Warnings, QStringList());

    // NEWGROUPS counts in whole seconds: the groups below are made in a later one.
    QVERIFY(RunUntil([&] { return QDateTime::currentSecsSinceEpoch() > since.toSecsSinceEpoch(); },
                     3000));
    QVERIFY2(inn.NewGroup("quorvel.fresh.one", &error), qPrintable(error));
    QVERIFY2(inn.NewGroup("quorvel.fresh.two", &error), qPrintable(error));

    f.Download.GroupsNewItemClick();
    QVERIFY(f.RunQueue());

    QCOMPARE(TGroupsFixture::Names(f.Store->NewList),
             (QStringList{"quorvel.fresh.one", "quorvel.fresh.two"}));
    expected += Record("quorvel.fresh.one", 0, 2) + Record("quorvel.fresh.two", 0, 2);
    QCOMPARE(f.ReadFile(), expected);
    QVERIFY(logged(f, "Groups received: 2"));
    QCOMPARE(f.View.Warnings, QStringList());
}

QTEST_GUILESS_MAIN(TestGroupInn)
#include "tst_groupinn.moc"
