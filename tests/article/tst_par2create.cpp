// The PAR2 sets we make, against par2cmdline: it verifies every one and repairs a damaged copy
// with it, makes the same packets for the same input (recovery data included), and names its
// volumes the same way for the same settings.
#include "PeerTools.h"
#include "codec/par2/Gf16Region.h"
#include "codec/par2/Par2Creator.h"
#include "codec/par2/Par2Feed.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace {

// The packets of a folder's .par2 files by type, recovery slices by type and exponent.
QMap<QByteArray, QByteArray> packets(const QString& folder)
{
    QMap<QByteArray, QByteArray> found;
    for (const QString& name : QDir(folder).entryList({"*.par2"}, QDir::Files)) {
        const QByteArray data = PeerTools::ReadFile(QDir(folder).filePath(name));
        for (qsizetype at = 0; at < data.size();) {
            const qint64 length = qFromLittleEndian<qint64>(data.constData() + at + 8);
            if (data.mid(at, 8) != QByteArray("PAR2\0PKT", 8) || length < 64 ||
                at + length > data.size())
                return {{"broken", name.toUtf8()}};
            QByteArray key = data.mid(at + 48, 16);
            if (key.endsWith("RecvSlic"))
                key += data.mid(at + 64, 4);
            found[key] = data.mid(at, length);
            at += length;
        }
    }
    return found;
}

TPar2Result make(const QString& file, int blocks, int percent = 10, int volumes = 0,
                 bool uniform = false, qint64 memory = qint64(256) << 20)
{
    TPar2Request request;
    request.File = file;
    request.Folder = QFileInfo(file).absolutePath();
    request.RecoveryCount = blocks;
    request.Percent = percent;
    request.FileCount = volumes;
    request.Uniform = uniform;
    request.MemoryLimit = memory;
    return TPar2Creator(request).Make();
}

} // namespace

class TestPar2Create : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void par2VerifiesAndRepairs_data();
    void par2VerifiesAndRepairs();
    void samePacketsAsPar2_data();
    void samePacketsAsPar2();
    void volumesNamedAsPar2Names_data();
    void volumesNamedAsPar2Names();
    void fedSetIsTheSetRead_data();
    void fedSetIsTheSetRead();
};

void TestPar2Create::initTestCase()
{
    if (!PeerTools::Have("par2"))
        QSKIP("par2 is not installed (scripts/install-deps.sh)");
}

void TestPar2Create::par2VerifiesAndRepairs_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("blocks");
    QTest::newRow("empty") << qint64(0) << 0;
    QTest::newRow("one byte") << qint64(1) << 1;
    QTest::newRow("one slice") << qint64(4) << 1;
    QTest::newRow("a slice and a byte") << qint64(5) << 1;
    QTest::newRow("3 MiB, 1 block") << qint64(3 << 20) + 7 << 1;
    QTest::newRow("3 MiB, 5 blocks") << qint64(3 << 20) + 7 << 5;
    QTest::newRow("5 MiB, 40 blocks") << qint64(5 << 20) + 2 << 40;
}

void TestPar2Create::par2VerifiesAndRepairs()
{
    QFETCH(qint64, size);
    QFETCH(int, blocks);
    QTemporaryDir dir;
    const QString file = dir.filePath("data.bin");
    QByteArray data = PeerTools::RandomBytes(size, quint32(size + blocks));
    PeerTools::WriteFile(file, data);
    const TPar2Result made = make(file, blocks);
    QVERIFY2(made.Error.isEmpty(), qPrintable(made.Error));
    QCOMPARE(PeerTools::Run("par2", {"verify", "-q", "data.bin.par2"}, dir.path()), 0);
    if (blocks == 0)
        return;
    // One byte wrong in as many slices as there are recovery slices, spread over the file.
    const qint64 sliceSize = Par2Layout::SliceSize(size);
    const qint64 slices = Par2Layout::SliceCount(size, sliceSize);
    QByteArray damaged = data;
    for (int k = 0; k < blocks; ++k)
        damaged[k * slices / blocks * sliceSize] ^= 0x5a;
    PeerTools::WriteFile(file, damaged);
    QCOMPARE(PeerTools::Run("par2", {"verify", "-q", "data.bin.par2"}, dir.path()), 1);
    QCOMPARE(PeerTools::Run("par2", {"repair", "-q", "data.bin.par2"}, dir.path()), 0);
    QVERIFY(PeerTools::ReadFile(file) == data);
}

void TestPar2Create::samePacketsAsPar2_data()
{
    QTest::addColumn<QString>("code"); // the multiply code run; empty: the fastest
    QTest::addColumn<int>("reads");    // of the file, the recovery data made a part at a time
    for (const char* code : {"gfni", "avx512", "avx2", "ssse3", "portable"})
        QTest::newRow(code) << QString(code) << 1;
    QTest::newRow("in three reads") << QString() << 3;
}

void TestPar2Create::samePacketsAsPar2()
{
    QFETCH(QString, code);
    QFETCH(int, reads);
    if (!code.isEmpty() && !TGf16Factor::Force(code.toLatin1().constData()))
        QSKIP("the processor lacks this code");
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("ours");
    QDir(dir.path()).mkpath("theirs");
    const QByteArray data = PeerTools::RandomBytes(300001, 36);
    PeerTools::WriteFile(dir.filePath("ours/input.bin"), data);
    PeerTools::WriteFile(dir.filePath("theirs/input.bin"), data);
    const qint64 sliceSize = Par2Layout::SliceSize(data.size());
    const TPar2Result made = make(dir.filePath("ours/input.bin"), 7, 10, 0, false,
                                  sliceSize * ((7 + reads - 1) / reads));
    TGf16Factor::Force(nullptr);
    QVERIFY2(made.Error.isEmpty(), qPrintable(made.Error));
    QCOMPARE(made.Note.isEmpty(), reads == 1);
    const QString slice = QString::number(sliceSize);
    QCOMPARE(PeerTools::Run("par2",
                            {"create", "-q", "-c7", "-s" + slice, "input.bin.par2", "input.bin"},
                            dir.filePath("theirs")),
             0);
    QMap<QByteArray, QByteArray> ours = packets(dir.filePath("ours"));
    QMap<QByteArray, QByteArray> theirs = packets(dir.filePath("theirs"));
    const QByteArray creator("PAR 2.0\0Creator\0", 16);
    QVERIFY(ours.remove(creator) == 1 && theirs.remove(creator) == 1);
    QCOMPARE(ours.size(), 3 + 7);
    QCOMPARE(ours.keys(), theirs.keys());
    for (auto it = ours.cbegin(); it != ours.cend(); ++it)
        QVERIFY2(it.value() == theirs.value(it.key()), it.key().toHex().constData());
}

void TestPar2Create::volumesNamedAsPar2Names_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("volumes");
    QTest::addColumn<bool>("uniform");
    QTest::newRow("10 %, doubling") << 10 << 0 << false;
    QTest::newRow("50 %, doubling") << 50 << 0 << false;
    QTest::newRow("10 %, 3 files") << 10 << 3 << false;
    QTest::newRow("5 %, 4 files") << 5 << 4 << false;
    QTest::newRow("1 %, 3 files") << 1 << 3 << false;
    QTest::newRow("100 %, 10 files") << 100 << 10 << false;
    QTest::newRow("10 %, 8 files, the last empty") << 10 << 8 << false;
    QTest::newRow("10 %, 3 equal files") << 10 << 3 << true;
    QTest::newRow("10 %, 7 equal files") << 10 << 7 << true;
}

void TestPar2Create::volumesNamedAsPar2Names()
{
    QFETCH(int, percent);
    QFETCH(int, volumes);
    QFETCH(bool, uniform);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("theirs");
    const QByteArray data = PeerTools::RandomBytes(4000, 8);
    PeerTools::WriteFile(dir.filePath("name.bin"), data);
    PeerTools::WriteFile(dir.filePath("theirs/name.bin"), data);
    const TPar2Result made = make(dir.filePath("name.bin"), 0, percent, volumes, uniform);
    QVERIFY2(made.Error.isEmpty(), qPrintable(made.Error));
    QStringList args = {"create", "-q", "-r" + QString::number(percent)};
    if (volumes > 0)
        args << "-n" + QString::number(volumes);
    if (uniform)
        args << "-u";
    QCOMPARE(PeerTools::Run("par2",
                            args << "name.bin.par2"
                                 << "name.bin",
                            dir.filePath("theirs")),
             0);
    QCOMPARE(QDir(dir.path()).entryList({"*.par2"}, QDir::Files),
             QDir(dir.filePath("theirs")).entryList({"*.par2"}, QDir::Files));
    QCOMPARE(made.Files.size(), QDir(dir.path()).entryList({"*.par2"}, QDir::Files).size());
}

void TestPar2Create::fedSetIsTheSetRead_data()
{
    QTest::addColumn<QList<qint64>>("reads"); // offsets the reader reads 16 KiB at, -1: lets go
    QTest::addColumn<int>("waiting");         // buffers the feed may hold for the creator
    QTest::addColumn<bool>("whole");          // the whole file came from the feed
    QList<qint64> inOrder, again, skipped, halfway;
    for (qint64 at = 0; at < 1 << 20; at += 16384)
        inOrder << at;
    again = inOrder.mid(0, 30) + inOrder; // a retry reads from the start again
    skipped = inOrder.mid(0, 30) + inOrder.mid(32);
    halfway = inOrder.mid(0, 32) << -1;
    QTest::newRow("in order") << inOrder << 1000 << true;
    QTest::newRow("from the start again") << again << 1000 << true;
    QTest::newRow("a read skipped") << skipped << 1000 << false;
    QTest::newRow("the reader lets go halfway") << halfway << 1000 << false;
    QTest::newRow("the creator behind") << inOrder << 2 << false;
    QTest::newRow("never fed") << QList<qint64>{-1} << 1000 << false;
}

// Whatever the feed gives before it ends, the creator makes the set it makes reading the file.
void TestPar2Create::fedSetIsTheSetRead()
{
    QFETCH(QList<qint64>, reads);
    QFETCH(int, waiting);
    QFETCH(bool, whole);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("read");
    QDir(dir.path()).mkpath("fed");
    const QByteArray data = PeerTools::RandomBytes((1 << 20) - 5, 12);
    PeerTools::WriteFile(dir.filePath("read/data.bin"), data);
    PeerTools::WriteFile(dir.filePath("fed/data.bin"), data);
    // 40 % makes batches of 20 slices: the file comes in a hundred buffers.
    const TPar2Result read = make(dir.filePath("read/data.bin"), 0, 40);
    TPar2Request request;
    request.File = dir.filePath("fed/data.bin");
    request.Folder = dir.filePath("fed");
    request.Percent = 40;
    const TPar2Shape shape = TPar2Creator::Shape(data.size(), request);
    QVERIFY(shape.Slices / shape.Batch > 50);
    request.Feed = std::make_shared<TPar2Feed>(data.size(), shape.BatchBytes(), waiting);
    for (qint64 at : reads) {
        if (at < 0)
            request.Feed->End();
        else
            request.Feed->Read(at, data.constData() + at,
                               std::min<qint64>(16384, data.size() - at));
    }
    const TPar2Result fed = TPar2Creator(request).Make();
    QVERIFY2(read.Error.isEmpty() && fed.Error.isEmpty(), qPrintable(read.Error + fed.Error));
    QCOMPARE(fed.FedBytes == data.size(), whole);
    QCOMPARE(fed.FedBytes > 0, reads.first() >= 0);
    QCOMPARE(fed.Files.size(), read.Files.size());
    for (qsizetype i = 0; i < read.Files.size(); ++i)
        QVERIFY2(PeerTools::ReadFile(fed.Files[i]) == PeerTools::ReadFile(read.Files[i]),
                 qPrintable(fed.Files[i]));
    QCOMPARE(PeerTools::Run("par2", {"verify", "-q", "data.bin.par2"}, dir.filePath("fed")), 0);
}

QTEST_GUILESS_MAIN(TestPar2Create)
#include "tst_par2create.moc"
