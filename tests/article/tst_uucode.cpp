#include "codec/EUUCode.h"
#include "codec/LocalFile.h"
#include "codec/UUCode.h"

#include "PeerTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace PeerTools;

namespace {

constexpr quint32 Seed = 20261207;

// The sizes around line and group boundaries, a multiple of 45 and more than one read block.
void addSizeRows()
{
    QTest::addColumn<qint64>("size");
    for (qint64 size : {0, 1, 2, 3, 44, 45, 46, 89, 90, 91})
        QTest::addRow("%lld bytes", size) << size;
    QTest::addRow("45 x 200 bytes") << qint64(45 * 200);
    QTest::addRow("1 MiB") << qint64(1024 * 1024);
}

QString algorithmName(TUUCode::TAlgorithm algorithm)
{
    return QString::fromLatin1(QMetaEnum::fromType<TUUCode::TAlgorithm>().valueToKey(algorithm));
}

} // namespace

class TestUUCode : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void aboutAndMode();
    void encodedText_data();
    void encodedText();
    void roundTrip_data();
    void roundTrip();
    void decodesAnyLineEnd_data();
    void decodesAnyLineEnd();
    void longLineAcrossBlock_data();
    void longLineAcrossBlock();
    void longBase64Line_data();
    void longBase64Line();
    void truncatedInput_data();
    void truncatedInput();
    void truncatedInputFailsTheTool();

    void gnuUudecodeReadsOurs_data();
    void gnuUudecodeReadsOurs();
    void uudeviewReadsOurs_data();
    void uudeviewReadsOurs();
    void coreutilsBase64ReadsOurs_data();
    void coreutilsBase64ReadsOurs();
    void readsUnpaddedForms_data();
    void readsUnpaddedForms();
    void readsPeerOutput_data();
    void readsPeerOutput();

    void missingNames_data();
    void missingNames();
    void missingInputKeepsOutput();
    void beginLineName_data();
    void beginLineName();
    void takenNames_data();
    void takenNames();
    void namesNotUtf8_data();
    void namesNotUtf8();
    void progressAndRunFlag_data();
    void progressAndRunFlag();
    void copyOntoItself();
    void outputThroughLink();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    // Runs the coder on data written to "in.bin" and returns what it wrote.
    QByteArray ours(TUUCode::TAlgorithm algorithm, const QByteArray& data, bool headers = true,
                    TUUCode::TUnixCRLF lineEnd = TUUCode::CRLF);
    QString decodeOurs(TUUCode::TAlgorithm algorithm, const QString& input, bool headers = true);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestUUCode::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QByteArray TestUUCode::ours(TUUCode::TAlgorithm algorithm, const QByteArray& data, bool headers,
                            TUUCode::TUnixCRLF lineEnd)
{
    WriteFile(path("in.bin"), data);
    TUUCode coder;
    coder.SetAlgorithm(algorithm);
    coder.SetHeaders(headers);
    coder.SetUnixCRLF(lineEnd);
    coder.SetInputFile(path("in.bin"));
    coder.SetOutputFile(path("encoded.txt"));
    coder.SetActive(true);
    return ReadFile(path("encoded.txt"));
}

QString TestUUCode::decodeOurs(TUUCode::TAlgorithm algorithm, const QString& input, bool headers)
{
    TUUCode coder;
    coder.SetAlgorithm(algorithm);
    coder.SetHeaders(headers);
    coder.SetInputFile(input);
    if (!headers)
        coder.SetOutputFile(path("decoded.bin"));
    coder.SetActive(true);
    return coder.OutputFile();
}

void TestUUCode::aboutAndMode()
{
    TUUCode coder;
    const QString about = coder.About();
    QVERIFY(!about.isEmpty() && about.size() <= 64);
    coder.setProperty("About", QStringLiteral("changed"));
    QCOMPARE(coder.About(), about);

    // The mode is a decimal number written with at least four digits.
    WriteFile(path("x.bin"), "x");
    coder.SetAlgorithm(TUUCode::uuencode);
    coder.SetFileMode(755);
    coder.SetInputFile(path("x.bin"));
    coder.SetOutputFile(path("x.uue"));
    coder.SetActive(true);
    QVERIFY(ReadFile(path("x.uue")).startsWith("begin 0755 x.bin\r\n"));
}

void TestUUCode::encodedText_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("algorithm");
    QTest::addColumn<bool>("headers");
    QTest::addColumn<TUUCode::TUnixCRLF>("lineEnd");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("text");

    const QByteArray graves60(60, '`');
    QTest::newRow("empty uu file: begin, grave accent, end")
        << TUUCode::uuencode << true << TUUCode::CRLF << QByteArray()
        << QByteArray("begin 0644 in.bin\r\n`\r\nend\r\n");
    QTest::newRow("45 bytes: M line, then the grave accent alone")
        << TUUCode::uuencode << false << TUUCode::CRLF << QByteArray(45, '\0')
        << "M" + graves60 + "\r\n`\r\n\r\n";
    QTest::newRow("46 bytes: last line ! and two characters")
        << TUUCode::uuencode << false << TUUCode::CRLF << QByteArray(46, '\0')
        << "M" + graves60 + "\r\n!``\r\n\r\n";
    QTest::newRow("uu with LF line ends") << TUUCode::uuencode << false << TUUCode::LF
                                          << QByteArray("cat") << QByteArray("#8V%T\n\n");
    QTest::newRow("uu with headers ends data with a zero-length line")
        << TUUCode::uuencode << true << TUUCode::LF << QByteArray("cat")
        << QByteArray("begin 0644 in.bin\n#8V%T\n`\nend\n");
    QTest::newRow("xx of cat") << TUUCode::xxencode << true << TUUCode::LF << QByteArray("cat")
                               << QByteArray("begin 0644 in.bin\n1Mq3o\n+\nend\n");
    QTest::newRow("empty xx file") << TUUCode::xxencode << true << TUUCode::CRLF << QByteArray()
                                   << QByteArray("begin 0644 in.bin\r\n+\r\nend\r\n");
    QTest::newRow("base64 of abc") << TUUCode::base64encode << false << TUUCode::CRLF
                                   << QByteArray("abc") << QByteArray("YWJj\r\n\r\n");
    QTest::newRow("base64 of ab is padded") << TUUCode::base64encode << false << TUUCode::CRLF
                                            << QByteArray("ab") << QByteArray("YWI=\r\n\r\n");
    QTest::newRow("base64 full line, then ====")
        << TUUCode::base64encode << true << TUUCode::LF << QByteArray(57, '\0')
        << "begin-base64 0644 in.bin\n" + QByteArray(76, 'A') + "\n====\n";
    QTest::newRow("empty base64 file")
        << TUUCode::base64encode << true << TUUCode::LF << QByteArray()
        << QByteArray("begin-base64 0644 in.bin\n====\n");
    QTest::newRow("xx last group padded with +")
        << TUUCode::xxencode << false << TUUCode::LF << QByteArray("ca") << QByteArray("0Mq2+\n\n");
}

void TestUUCode::encodedText()
{
    QFETCH(TUUCode::TAlgorithm, algorithm);
    QFETCH(bool, headers);
    QFETCH(TUUCode::TUnixCRLF, lineEnd);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, text);
    QCOMPARE(ours(algorithm, input, headers, lineEnd), text);
}

void TestUUCode::roundTrip_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("encoder");
    QTest::addColumn<bool>("headers");
    QTest::addColumn<qint64>("size");
    const std::pair<TUUCode::TAlgorithm, TUUCode::TAlgorithm> pairs[] = {
        {TUUCode::uuencode, TUUCode::uudecode},
        {TUUCode::xxencode, TUUCode::xxdecode},
        {TUUCode::base64encode, TUUCode::base64decode},
        {TUUCode::filecopy, TUUCode::filecopy}};
    for (const auto& [encoder, decoder] : pairs) {
        for (qint64 size : {0, 1, 2, 44, 56, 57, 58, 91, 45 * 57 * 400 + 1, 1024 * 1024}) {
            for (bool headers : {true, false})
                QTest::addRow("%s %lld %s", qPrintable(algorithmName(encoder)), size,
                              headers ? "headers" : "bare")
                    << encoder << headers << size;
        }
    }
}

void TestUUCode::roundTrip()
{
    QFETCH(TUUCode::TAlgorithm, encoder);
    QFETCH(bool, headers);
    QFETCH(qint64, size);
    const QByteArray data = RandomBytes(size, Seed + quint32(size));
    ours(encoder, data, headers, size % 2 ? TUUCode::LF : TUUCode::CRLF);
    QVERIFY(QDir().mkpath(path("out")));
    QVERIFY(QFile::rename(path("encoded.txt"), path("out/encoded.txt")));
    const TUUCode::TAlgorithm decoder =
        encoder == TUUCode::filecopy ? TUUCode::filecopy : TUUCode::TAlgorithm(int(encoder) + 1);
    const bool named = headers && decoder != TUUCode::filecopy;
    const QString output = decodeOurs(decoder, path("out/encoded.txt"), named);
    QCOMPARE(output, named ? path("out/in.bin") : path("decoded.bin"));
    QVERIFY(ReadFile(output) == data);
}

void TestUUCode::decodesAnyLineEnd_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("encoder");
    QTest::addColumn<QByteArray>("lineEnd");
    for (auto encoder : {TUUCode::uuencode, TUUCode::xxencode, TUUCode::base64encode}) {
        for (const char* lineEnd : {"\n", "\r\n", "\r"})
            QTest::addRow("%s %s", qPrintable(algorithmName(encoder)),
                          QByteArray(lineEnd).toPercentEncoding().constData())
                << encoder << QByteArray(lineEnd);
    }
}

void TestUUCode::decodesAnyLineEnd()
{
    QFETCH(TUUCode::TAlgorithm, encoder);
    QFETCH(QByteArray, lineEnd);
    const QByteArray data = RandomBytes(100000, Seed);
    QByteArray text = ours(encoder, data, true, TUUCode::LF);
    text.replace("\n", lineEnd);
    QVERIFY(QDir().mkpath(path("out")));
    WriteFile(path("out/encoded.txt"), "leading junk\n" + text);
    const QString output =
        decodeOurs(TUUCode::TAlgorithm(int(encoder) + 1), path("out/encoded.txt"));
    QVERIFY(ReadFile(output) == data);
}

void TestUUCode::longLineAcrossBlock_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("encoder");
    QTest::addColumn<bool>("headers");
    for (auto encoder : {TUUCode::uuencode, TUUCode::xxencode, TUUCode::base64encode}) {
        for (bool headers : {true, false})
            QTest::addRow("%s %s", qPrintable(algorithmName(encoder)), headers ? "headers" : "bare")
                << encoder << headers;
    }
}

// A line of 147 KB that starts 65,000 bytes before the second read block ends, after 70 KB
// of decoded data. In base64 the whole line is data; in uu and xx the length character
// takes the first 45 bytes and the rest of the line counts for nothing.
void TestUUCode::longLineAcrossBlock()
{
    QFETCH(TUUCode::TAlgorithm, encoder);
    QFETCH(bool, headers);
    const QByteArray data = RandomBytes(45 * 3000, Seed);
    QList<QByteArray> lines = ours(encoder, data, headers, TUUCode::LF).split('\n');
    const bool base64 = encoder == TUUCode::base64encode;
    QByteArray text;
    qsizetype lineIndex = 0;
    constexpr qsizetype LongLineStart = 2 * 45 * 57 * 32 - 65000;
    while (text.size() < LongLineStart)
        text += lines[lineIndex++] + '\n';
    const qsizetype dataLines = lineIndex - (headers ? 1 : 0);
    const qsizetype lineBytes = base64 ? 57 : 45;
    const QByteArray longData = RandomBytes(110250, Seed + 1);
    const QByteArray longLine =
        base64 ? longData.toBase64() // 147,000 characters
               : lines[lineIndex] + QByteArray(147000 - lines[lineIndex].size(), 'M');
    text += longLine + '\n';
    text += headers ? (base64 ? "====\n" : "`\nend\n") : "\n";
    QVERIFY(QDir().mkpath(path("out")));
    WriteFile(path("out/encoded.txt"), text);
    const QString output =
        decodeOurs(TUUCode::TAlgorithm(int(encoder) + 1), path("out/encoded.txt"), headers);
    const QByteArray expected = data.left(dataLines * lineBytes) +
                                (base64 ? longData : data.mid(dataLines * lineBytes, lineBytes));
    QVERIFY(ReadFile(output) == expected);
}

void TestUUCode::longBase64Line_data()
{
    QTest::addColumn<bool>("headers");
    QTest::newRow("bare") << false;
    QTest::newRow("begin-base64 and ====") << true;
}

// One 10 MB line, as base64 -w0 writes a whole file.
void TestUUCode::longBase64Line()
{
    QFETCH(bool, headers);
    if (!Have(QStringLiteral("base64")))
        QSKIP("coreutils base64 is not installed");
    const QByteArray data = RandomBytes(7500001, Seed);
    WriteFile(path("in.bin"), data);
    QVERIFY(QDir().mkpath(path("out")));
    QCOMPARE(Run(QStringLiteral("base64"), {QStringLiteral("-w0"), path("in.bin")}, m_dir->path(),
                 path("out/line.txt")),
             0);
    const QByteArray line = ReadFile(path("out/line.txt"));
    QVERIFY(line.size() > 10000000 && !line.contains('\n'));
    if (headers)
        WriteFile(path("out/line.txt"), "begin-base64 644 in.bin\n" + line + "\n====\n");
    const QString output = decodeOurs(TUUCode::base64decode, path("out/line.txt"), headers);
    QVERIFY(ReadFile(output) == data);
}

void TestUUCode::truncatedInput_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("decoder");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("uu begin line only") << TUUCode::uudecode << QByteArray("begin 644 f.bin\n");
    QTest::newRow("uu without end")
        << TUUCode::uudecode << QByteArray("begin 644 f.bin\n#8V%T\n`\n");
    QTest::newRow("uu cut in a line") << TUUCode::uudecode << QByteArray("begin 644 f.bin\n#8V");
    QTest::newRow("xx without end") << TUUCode::xxdecode << QByteArray("begin 644 f.bin\n1Mq3o\n");
    QTest::newRow("base64 without ====")
        << TUUCode::base64decode << QByteArray("begin-base64 644 f.bin\nYWJj\n");
}

// The old file of that name stays; the message names the input.
void TestUUCode::truncatedInput()
{
    QFETCH(TUUCode::TAlgorithm, decoder);
    QFETCH(QByteArray, text);
    WriteFile(path("post.txt"), text);
    WriteFile(path("f.bin"), "old");
    QString raised;
    try {
        decodeOurs(decoder, path("post.txt"));
    } catch (const EUUCode& e) {
        raised = e.Message();
    }
    QVERIFY2(raised.contains(QLatin1String("ended early")) && raised.contains(path("post.txt")),
             qPrintable(raised));
    QCOMPARE(ReadFile(path("f.bin")), QByteArray("old"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestUUCode::truncatedInputFailsTheTool()
{
    WriteFile(path("post.txt"), "begin 644 f.bin\n#8V%T\n");
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(qEnvironmentVariable("QUORVEL_BINARY_DIR") + QStringLiteral("/quorvel-uucode"),
               {path("post.txt")});
    QVERIFY(tool.waitForFinished(30000));
    const QByteArray said = tool.readAll();
    QVERIFY(tool.exitCode() != 0);
    QVERIFY2(said.contains("ended early") && !said.contains("wrote"), said.constData());
}

void TestUUCode::gnuUudecodeReadsOurs_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("algorithm");
    QTest::addColumn<qint64>("size");
    for (qint64 size : {0, 1, 2, 3, 44, 45, 46, 56, 57, 58, 89, 90, 91, 45 * 200, 1024 * 1024}) {
        QTest::addRow("uu %lld", size) << TUUCode::uuencode << size;
        QTest::addRow("base64 %lld", size) << TUUCode::base64encode << size;
    }
}

// GNU uudecode reads uu with either line end, base64 only with LF (CR is no base64 character).
void TestUUCode::gnuUudecodeReadsOurs()
{
    if (!Have(QStringLiteral("uudecode")))
        QSKIP("GNU uudecode (sharutils) is not installed");
    QFETCH(TUUCode::TAlgorithm, algorithm);
    QFETCH(qint64, size);
    const QByteArray data = RandomBytes(size, Seed + quint32(size));
    const bool crlf = algorithm == TUUCode::uuencode && size % 2 == 0;
    ours(algorithm, data, true, crlf ? TUUCode::CRLF : TUUCode::LF);
    // Never -o /dev/null: uudecode would set its mode from the begin line.
    QCOMPARE(Run(QStringLiteral("uudecode"),
                 {QStringLiteral("-o"), path("gnu.bin"), path("encoded.txt")}, m_dir->path()),
             0);
    QVERIFY(ReadFile(path("gnu.bin")) == data);
}

void TestUUCode::uudeviewReadsOurs_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("algorithm");
    QTest::addColumn<qint64>("size");
    for (qint64 size : {0, 1, 2, 3, 44, 45, 46, 89, 90, 91, 45 * 200, 100000, 1024 * 1024}) {
        QTest::addRow("uu %lld", size) << TUUCode::uuencode << size;
        QTest::addRow("xx %lld", size) << TUUCode::xxencode << size;
    }
}

void TestUUCode::uudeviewReadsOurs()
{
    if (!Have(QStringLiteral("uudeview")))
        QSKIP("uudeview is not installed");
    QFETCH(TUUCode::TAlgorithm, algorithm);
    QFETCH(qint64, size);
    const QByteArray data = RandomBytes(size, Seed + quint32(size));
    QVERIFY(QDir().mkpath(path("out")));
    const auto uudeview = [&](const QByteArray& encoded) {
        WriteFile(path("message.txt"), AsMessage(encoded));
        QFile::remove(path("out/in.bin"));
        return Run(QStringLiteral("uudeview"),
                   {QStringLiteral("-i"), QStringLiteral("-o"), QStringLiteral("-q"),
                    QStringLiteral("-p"), path("out"), path("message.txt")},
                   m_dir->path()) == 0 &&
               ReadFile(path("out/in.bin")) == data;
    };
    // uudeview guesses the encoding of a short xx file from its characters and often guesses
    // wrong, on its own uuenview -x output too: there ours must do as well as that.
    if (algorithm == TUUCode::xxencode && size < 1000 && Have(QStringLiteral("uuenview"))) {
        WriteFile(path("in.bin"), data);
        QCOMPARE(Run(QStringLiteral("uuenview"), {QStringLiteral("-x"), QStringLiteral("in.bin")},
                     m_dir->path(), path("peer.txt")),
                 0);
        if (!uudeview(ReadFile(path("peer.txt"))))
            QSKIP("uudeview does not read its own xx encoding of this data either");
    }
    QVERIFY(uudeview(ours(algorithm, data)));
}

void TestUUCode::coreutilsBase64ReadsOurs_data()
{
    addSizeRows();
}

// coreutils base64 -d reads bare base64 with LF line ends and fails on anything it cannot use.
void TestUUCode::coreutilsBase64ReadsOurs()
{
    if (!Have(QStringLiteral("base64")))
        QSKIP("coreutils base64 is not installed");
    QFETCH(qint64, size);
    const QByteArray data = RandomBytes(size, Seed + quint32(size));
    ours(TUUCode::base64encode, data, false, TUUCode::LF);
    QCOMPARE(Run(QStringLiteral("base64"), {QStringLiteral("-d"), path("encoded.txt")},
                 m_dir->path(), path("coreutils.bin")),
             0);
    QVERIFY(ReadFile(path("coreutils.bin")) == data);
}

void TestUUCode::readsUnpaddedForms_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("decoder");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("base64 without padding, closed by end")
        << TUUCode::base64decode << QByteArray("begin-base64 644 f.bin\nYWI\nend\n");
    QTest::newRow("base64 padded, closed by ====")
        << TUUCode::base64decode << QByteArray("begin-base64 644 f.bin\nYWI=\n====\n");
    QTest::newRow("xx short last group")
        << TUUCode::xxdecode << QByteArray("begin 644 f.bin\n0Mq2\n+\nend\n");
    QTest::newRow("xx padded last group")
        << TUUCode::xxdecode << QByteArray("begin 644 f.bin\n0Mq2+\n+\nend\n");
}

void TestUUCode::readsUnpaddedForms()
{
    QFETCH(TUUCode::TAlgorithm, decoder);
    QFETCH(QByteArray, text);
    WriteFile(path("post.txt"), text);
    QCOMPARE(ReadFile(decodeOurs(decoder, path("post.txt"))),
             decoder == TUUCode::xxdecode ? QByteArray("ca") : QByteArray("ab"));
}

void TestUUCode::readsPeerOutput_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<TUUCode::TAlgorithm>("decoder");
    QTest::addColumn<qint64>("size");
    const struct
    {
        const char* name;
        const char* program;
        QStringList arguments;
        TUUCode::TAlgorithm decoder;
    } peers[] = {
        {"uuencode", "uuencode", {"in.bin", "in.bin"}, TUUCode::uudecode},
        {"uuencode -m", "uuencode", {"-m", "in.bin", "in.bin"}, TUUCode::base64decode},
        {"uuenview -u", "uuenview", {"-u", "in.bin"}, TUUCode::uudecode},
        {"uuenview -x", "uuenview", {"-x", "in.bin"}, TUUCode::xxdecode},
    };
    for (const auto& peer : peers) {
        for (qint64 size : {0, 1, 2, 3, 44, 45, 46, 89, 90, 91, 45 * 200, 1024 * 1024})
            QTest::addRow("%s %lld", peer.name, size)
                << QString::fromLatin1(peer.program) << peer.arguments << peer.decoder << size;
    }
}

void TestUUCode::readsPeerOutput()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(TUUCode::TAlgorithm, decoder);
    QFETCH(qint64, size);
    if (!Have(program))
        QSKIP("the peer program is not installed");
    const QByteArray data = RandomBytes(size, Seed + quint32(size));
    WriteFile(path("in.bin"), data);
    QVERIFY(QDir().mkpath(path("out")));
    QCOMPARE(Run(program, arguments, m_dir->path(), path("out/peer.txt")), 0);
    QCOMPARE(decodeOurs(decoder, path("out/peer.txt")), path("out/in.bin"));
    QVERIFY(ReadFile(path("out/in.bin")) == data);
}

void TestUUCode::missingNames_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("algorithm");
    QTest::addColumn<bool>("headers");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("message");
    const QString in = QStringLiteral("in.bin");
    const QString out = QStringLiteral("out.txt");
    QTest::newRow("no input name")
        << TUUCode::uuencode << true << QString() << out << "InputFileName is empty";
    QTest::newRow("no input name checked first")
        << TUUCode::uudecode << false << QString() << QString() << "InputFileName is empty";
    for (auto algorithm :
         {TUUCode::filecopy, TUUCode::uuencode, TUUCode::xxencode, TUUCode::base64encode}) {
        QTest::addRow("no output name for %s", qPrintable(algorithmName(algorithm)))
            << algorithm << true << in << QString() << "OutputFileName is empty";
    }
    QTest::newRow("no output name for a decoder without headers")
        << TUUCode::base64decode << false << in << QString() << "OutputFileName is empty";
}

void TestUUCode::missingNames()
{
    QFETCH(TUUCode::TAlgorithm, algorithm);
    QFETCH(bool, headers);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, message);
    WriteFile(path("in.bin"), "data");
    TUUCode coder;
    coder.SetAlgorithm(algorithm);
    coder.SetHeaders(headers);
    coder.SetInputFile(input.isEmpty() ? input : path(input));
    coder.SetOutputFile(output.isEmpty() ? output : path(output));
    QString raised;
    try {
        coder.SetActive(true);
    } catch (const EUUCode& e) {
        raised = e.Message();
    }
    QCOMPARE(raised, message);
    QCOMPARE(coder.Active(), false);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList{QStringLiteral("in.bin")});
}

void TestUUCode::missingInputKeepsOutput()
{
    WriteFile(path("out.txt"), "old contents");
    for (auto algorithm : {TUUCode::filecopy, TUUCode::uuencode, TUUCode::uudecode}) {
        TUUCode coder;
        coder.SetAlgorithm(algorithm);
        coder.SetHeaders(false);
        coder.SetInputFile(path("missing.bin"));
        coder.SetOutputFile(path("out.txt"));
        QString raised;
        try {
            coder.SetActive(true);
        } catch (const EUUCode& e) {
            raised = e.Message();
        }
        QVERIFY2(raised.contains(path("missing.bin")), qPrintable(raised));
        QCOMPARE(ReadFile(path("out.txt")), QByteArray("old contents"));
    }
}

void TestUUCode::beginLineName_data()
{
    QTest::addColumn<QByteArray>("beginLine");
    QTest::addColumn<QString>("written"); // empty: the run must fail
    QTest::newRow("plain") << QByteArray("begin 644 plain.bin") << "plain.bin";
    QTest::newRow("quotes left out") << QByteArray("begin 644 \"my file.bin\"") << "my file.bin";
    QTest::newRow("climbing out of the folder") << QByteArray("begin 644 ../../up.bin") << "up.bin";
    QTest::newRow("absolute path") << QByteArray("begin 644 /tmp/elsewhere/abs.bin") << "abs.bin";
    QTest::newRow("windows path") << QByteArray("begin 644 C:\\files\\win.bin") << "win.bin";
    QTest::newRow("begin within a line") << QByteArray("> begin 600 quoted.bin") << "quoted.bin";
    QTest::newRow("control characters") << QByteArray("begin 644 a\0b\x01.bin", 18) << "a_b_.bin";
    QTest::newRow("parent folder only") << QByteArray("begin 644 ..") << QString();
    QTest::newRow("folder only") << QByteArray("begin 644 sub/") << QString();
    QTest::newRow("no name") << QByteArray("begin 644") << QString();
    QTest::newRow("no begin line") << QByteArray("nothing here") << QString();
}

void TestUUCode::beginLineName()
{
    QFETCH(QByteArray, beginLine);
    QFETCH(QString, written);
    QVERIFY(QDir().mkpath(path("in")));
    WriteFile(path("in/post.txt"), beginLine + "\r\n#8V%T\r\n`\r\nend\r\n");
    QString raised;
    QString output;
    try {
        output = decodeOurs(TUUCode::uudecode, path("in/post.txt"));
    } catch (const EUUCode& e) {
        raised = e.Message();
    }
    if (written.isEmpty()) {
        QVERIFY2(raised.contains(path("in/post.txt")), qPrintable(raised));
        QCOMPARE(QDir(path("in")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("post.txt")});
        return;
    }
    QVERIFY2(raised.isEmpty(), qPrintable(raised));
    QCOMPARE(output, path("in/" + written));
    QCOMPARE(ReadFile(output), QByteArray("cat"));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), QStringList());
}

void TestUUCode::takenNames_data()
{
    QTest::addColumn<QString>("name");      // in the begin line
    QTest::addColumn<QStringList>("files"); // already in the folder, holding "old"
    QTest::addColumn<bool>("link");         // name is a link to a file outside the folder
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QString>("written");
    QTest::newRow("link out of the folder")
        << "innocent.bin" << QStringList() << true << false << "innocent (1).bin";
    QTest::newRow("link, also with overwrite")
        << "innocent.bin" << QStringList() << true << true << "innocent (1).bin";
    QTest::newRow("dot file") << ".bashrc" << QStringList{".bashrc"} << false << false
                              << ".bashrc (1)";
    QTest::newRow("the input") << "post.txt" << QStringList() << false << true << "post (1).txt";
    QTest::newRow("next free number")
        << "a.bin" << QStringList{"a.bin", "a (1).bin"} << false << false << "a (2).bin";
    QTest::newRow("overwrite") << "a.bin" << QStringList{"a.bin"} << false << true << "a.bin";
}

// A name from a post never reaches through a link, the input or a file already there.
void TestUUCode::takenNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, files);
    QFETCH(bool, link);
    QFETCH(bool, overwrite);
    QFETCH(QString, written);
    QVERIFY(QDir().mkpath(path("in")) && QDir().mkpath(path("outside")));
    WriteFile(path("outside/victim"), "old");
    if (link)
        QVERIFY(QFile::link(path("outside/victim"), path("in/" + name)));
    for (const QString& file : files)
        WriteFile(path("in/" + file), "old");
    const QByteArray post = "begin 644 " + name.toUtf8() + "\n#8V%T\n`\nend\n";
    WriteFile(path("in/post.txt"), post);
    TUUCode coder;
    coder.SetAlgorithm(TUUCode::uudecode);
    coder.SetInputFile(path("in/post.txt"));
    coder.SetOverwrite(overwrite);
    coder.SetActive(true);
    QCOMPARE(coder.OutputFile(), path("in/" + written));
    QCOMPARE(coder.Decoded().Renamed(), written != name);
    QCOMPARE(ReadFile(path("in/" + written)), QByteArray("cat"));
    QCOMPARE(ReadFile(path("outside/victim")), QByteArray("old"));
    QCOMPARE(ReadFile(path("in/post.txt")), post);
    for (const QString& file : files)
        if (file != written)
            QCOMPARE(ReadFile(path("in/" + file)), QByteArray("old"));
}

void TestUUCode::namesNotUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("Latin-1") << QByteArray("caf\xe9.bin") << QString::fromUtf8("caf\uFFFD.bin");
    QTest::newRow("UTF-8") << QByteArray("Gr\xc3\xbc\xc3\x9f"
                                         "e")
                           << QString::fromUtf8("Grüße");
    QTest::newRow("cut short") << QByteArray("a\xe2\x82") << QString::fromUtf8("a\uFFFD\uFFFD");
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << QString::fromUtf8("\uFFFD\uFFFD");
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80")
                               << QString::fromUtf8("\uFFFD\uFFFD\uFFFD");
    // A character of the range raw bytes are kept in must not pass for three of them.
    QTest::newRow("private use") << QByteArray("\xef\x9f\xa9")
                                 << QString::fromUtf8("\uFFFD\uFFFD\uFFFD");
}

// A file is opened by the very bytes of its name, whatever they are.
void TestUUCode::namesNotUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString name = TLocalFile::FromBytes(bytes);
    QCOMPARE(TLocalFile::ToBytes(name), bytes);
    QCOMPARE(TLocalFile::Shown(name), shown);
    const QByteArray path = QFile::encodeName(m_dir->path()) + '/' + bytes;
    FILE* made = std::fopen(path.constData(), "w");
    // Qt cannot remove what it cannot name.
    const auto removed = qScopeGuard([&] { std::remove(path.constData()); });
    QVERIFY(made && std::fputs("cat", made) >= 0 && std::fclose(made) == 0);
    TLocalFile file(m_dir->path() + '/' + name);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    QCOMPARE(file.readAll(), QByteArray("cat"));
    QCOMPARE(TLocalFile::Info(m_dir->path() + '/' + name).Size, 3);
    // What a view of the folder shows (Qt's lossy decoding) leads back to the file.
    const QString viewed = m_dir->path() + '/' + QFile::decodeName(bytes);
    QCOMPARE(TLocalFile::Info(TLocalFile::FromShown(viewed)).Size, 3);
}

void TestUUCode::progressAndRunFlag_data()
{
    QTest::addColumn<TUUCode::TAlgorithm>("algorithm");
    QTest::addColumn<qint64>("size");
    for (auto algorithm : {TUUCode::filecopy, TUUCode::uuencode, TUUCode::uudecode}) {
        for (qint64 size : {0, 3 * 1024 * 1024})
            QTest::addRow("%s %lld", qPrintable(algorithmName(algorithm)), size)
                << algorithm << size;
    }
}

void TestUUCode::progressAndRunFlag()
{
    QFETCH(TUUCode::TAlgorithm, algorithm);
    QFETCH(qint64, size);
    const QByteArray data = RandomBytes(size, Seed);
    if (algorithm == TUUCode::uudecode)
        ours(TUUCode::uuencode, data, false);
    else
        WriteFile(path("encoded.txt"), data);

    TUUCode coder;
    coder.SetAlgorithm(algorithm);
    coder.SetHeaders(false);
    coder.SetInputFile(path("encoded.txt"));
    coder.SetOutputFile(path("result.bin"));
    QList<int> percents;
    bool activeInside = true;
    connect(&coder, &TUUCode::OnProgress, this, [&](quint16 percent) {
        percents.append(percent);
        activeInside = activeInside && coder.Active();
        coder.SetActive(true); // a second run must not start inside the first
    });
    coder.SetActive(true);
    QVERIFY(activeInside);
    QCOMPARE(coder.Active(), false);
    QVERIFY(!percents.isEmpty());
    QCOMPARE(percents.last(), 100);
    for (qsizetype i = 1; i < percents.size(); ++i)
        QVERIFY2(percents[i] >= percents[i - 1], qPrintable(QString::number(i)));
    if (size > 0 && algorithm != TUUCode::filecopy)
        QVERIFY2(percents.size() > 50, "a large run reports steps on the way");
    if (algorithm == TUUCode::uudecode)
        QVERIFY(ReadFile(path("result.bin")) == data);
}

void TestUUCode::copyOntoItself()
{
    const QByteArray data = RandomBytes(3 * 1024 * 1024 + 7, Seed);
    WriteFile(path("same.bin"), data);
    TUUCode coder;
    coder.SetInputFile(path("same.bin"));
    coder.SetOutputFile(path("same.bin"));
    coder.SetActive(true);
    QVERIFY(ReadFile(path("same.bin")) == data);
}

void TestUUCode::outputThroughLink()
{
    WriteFile(path("target.txt"), "old");
    QVERIFY(QFile::link(path("target.txt"), path("link.txt")));
    WriteFile(path("in.bin"), "cat");
    TUUCode coder;
    coder.SetAlgorithm(TUUCode::uuencode);
    coder.SetHeaders(false);
    coder.SetUnixCRLF(TUUCode::LF);
    coder.SetInputFile(path("in.bin"));
    coder.SetOutputFile(path("link.txt"));
    coder.SetActive(true);
    // The link is replaced by the output; what it pointed to stays as it was.
    QVERIFY(!QFileInfo(path("link.txt")).isSymLink());
    QCOMPARE(ReadFile(path("link.txt")), QByteArray("#8V%T\n\n"));
    QCOMPARE(ReadFile(path("target.txt")), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TestUUCode)
#include "tst_uucode.moc"
