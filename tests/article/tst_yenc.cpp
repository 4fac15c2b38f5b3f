#include "codec/Crc32.h"
#include "codec/EUUCode.h"
#include "codec/YEnc.h"
#include "codec/YEncDecoder.h"
#include "codec/YEncEncoder.h"
#include "codec/YEncFileEncoder.h"
#include "codec/YEncJoiner.h"

#include "PeerTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace PeerTools;

namespace {

constexpr quint32 Seed = 20261207;

// The input bytes that become NUL, LF, CR, "=", ".", TAB and space after the shift of 42.
constexpr uchar Nul = 0xD6, Lf = 0xE0, Cr = 0xE3, Equals = 0x13, Dot = 0x04, Tab = 0xDF,
                Space = 0xF6;
// Becomes "*", a character never escaped.
constexpr uchar Plain = 0x00;

// The code paths; those the processor lacks fall back to the next lower.
constexpr YEnc::TVectorCode Codes[] = {YEnc::TVectorCode::none, YEnc::TVectorCode::ssse3,
                                       YEnc::TVectorCode::avx512};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray data;
    for (int v : values)
        data += char(v);
    return data;
}

// The data of the peer's fixture (tests/article/data/yencode/make-fixture.js): xorshift32.
QByteArray generate(const QByteArray& kind, qint64 size, quint32 seed)
{
    static const uchar edge[] = {Nul, Lf, Cr, Equals, Dot, Tab, Space};
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = seed;
    for (qint64 i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        if (kind == "all")
            data[i] = char(i & 0xFF);
        else if (kind == "edge" && ((x >> 8) % 10) < 7)
            data[i] = char(edge[(x >> 16) % 7]);
        else
            data[i] = char(x & 0xFF);
    }
    return data;
}

// The data lines of an encoding, without the =y lines.
QByteArray dataLines(const QByteArray& text)
{
    QByteArray lines;
    for (const QByteArray& line : text.split('\n'))
        if (!line.startsWith("=y") && !line.isEmpty())
            lines += line + '\n';
    return lines;
}

QByteArray encodeLines(const QByteArray& data)
{
    TYEncEncoder encoder("\n");
    QByteArray out(TYEncEncoder::MaxEncodedSize(data.size(), 1), Qt::Uninitialized);
    out.resize(encoder.Encode(reinterpret_cast<const uchar*>(data.constData()), data.size(),
                              out.data(), true));
    return out;
}

// A mixed file: random bytes with runs of the edge bytes.
QByteArray mixed(qint64 size, quint32 seed)
{
    QByteArray data = RandomBytes(size, seed);
    QRandomGenerator generator(seed);
    static const uchar edge[] = {Nul, Lf, Cr, Equals, Dot, Tab, Space};
    for (qint64 i = 0; i < size; i += 1 + generator.bounded(40))
        data[i] = char(edge[generator.bounded(7)]);
    return data;
}

} // namespace

class TestYEnc : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { YEnc::SetVectorCode(YEnc::TVectorCode::avx512); }

    void crc32();
    void escapes_data();
    void escapes();
    void slicesAndVectorCodeAgree();
    void framing();

    void matchesPeerFixture();
    void roundTrip_data();
    void roundTrip();
    void uudeviewReadsOurs_data();
    void uudeviewReadsOurs();

    void hostileInput_data();
    void hostileInput();
    void damagedCopiesNeverPass();
    void toolJoinsAndRefuses();
    void toolKeepsTakenNames();
    void ordinaryFilesUnderDev();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString tool() const
    {
        return qEnvironmentVariable("QUORVEL_BINARY_DIR") + QStringLiteral("/quorvel-uucode");
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestYEnc::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestYEnc::crc32()
{
    QCOMPARE(Crc32::Update(0, "123456789", 9), 0xCBF43926u);
    QCOMPARE(Crc32::Update(0, "", 0), 0u);
    // Every length and alignment around the folding's 64-byte blocks against the bitwise
    // definition, and the checksum of a whole from its two halves.
    const QByteArray data = RandomBytes(700, Seed);
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    for (int offset = 0; offset < 3; ++offset) {
        for (int length = 0; length + offset <= 600; ++length) {
            quint32 expected = ~0u;
            for (int i = 0; i < length; ++i) {
                expected ^= p[offset + i];
                for (int bit = 0; bit < 8; ++bit)
                    expected = (expected >> 1) ^ ((expected & 1) ? 0xEDB88320u : 0);
            }
            expected = ~expected;
            QCOMPARE(Crc32::Update(0, p + offset, length), expected);
            const int half = length / 3;
            QCOMPARE(Crc32::Combine(Crc32::Update(0, p + offset, half),
                                    Crc32::Update(0, p + offset + half, length - half),
                                    length - half),
                     expected);
        }
    }
}

void TestYEnc::escapes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("lines");

    const QByteArray stars127(127, '*'), stars126(126, '*');
    const QByteArray plain127(127, char(Plain)), plain126(126, char(Plain));
    QTest::newRow("empty: no lines") << QByteArray() << QByteArray();
    QTest::newRow("NUL, LF, CR and = escaped everywhere")
        << bytes({Plain, Nul, Lf, Cr, Equals, Plain}) << QByteArray("*=@=J=M=}*\n");
    QTest::newRow(". escaped at the start only")
        << bytes({Dot, Dot, Plain}) << QByteArray("=n.*\n");
    QTest::newRow("TAB and space escaped at the start and the end, not inside")
        << bytes({Tab, Space, Tab, Plain, Space}) << QByteArray("=I \t*=`\n");
    QTest::newRow("space at the start and end of one-byte lines")
        << bytes({Space}) << QByteArray("=`\n");
    QTest::newRow("128 bytes: one full line")
        << QByteArray(128, char(Plain)) << QByteArray(128, '*') + '\n';
    QTest::newRow("129 bytes: a second line of one")
        << QByteArray(129, char(Plain)) << QByteArray(128, '*') + "\n*\n";
    QTest::newRow("line ending in an escape pair is 129 characters")
        << plain127 + char(Nul) + char(Plain) << stars127 + "=@\n*\n";
    QTest::newRow("escape pair filling the line to 128")
        << plain126 + char(Nul) + char(Plain) << stars126 + "=@\n*\n";
    QTest::newRow("TAB at the end and space at the start of a full line")
        << plain127 + char(Tab) + char(Space) + char(Plain) << stars127 + "=I\n=`*\n";
    QTest::newRow(". at the start of the second line, LF at its end")
        << QByteArray(128, char(Plain)) + char(Dot) + QByteArray(124, char(Plain)) + char(Lf)
        << QByteArray(128, '*') + "\n=n" + QByteArray(124, '*') + "=J\n";
    QTest::newRow("TAB as the last byte of the file") << plain126 + char(Tab) << stars126 + "=I\n";
}

// Every code path the processor has: lines long enough for the 64-byte steps.
void TestYEnc::escapes()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, lines);
    for (YEnc::TVectorCode code : Codes) {
        YEnc::SetVectorCode(code);
        QCOMPARE(encodeLines(input), lines);
    }
}

// Any slicing of the input and every code path give the same lines and CRC, and decode back.
void TestYEnc::slicesAndVectorCodeAgree()
{
    QRandomGenerator generator(Seed);
    for (int round = 0; round < 60; ++round) {
        const qint64 size = round < 20 ? round * 7 : generator.bounded(40000);
        const QByteArray data = round % 3 ? mixed(size, Seed + round) : RandomBytes(size, round);
        YEnc::SetVectorCode(YEnc::TVectorCode::none);
        const QByteArray expected = encodeLines(data);
        YEnc::SetVectorCode(Codes[round % 3]);
        TYEncEncoder encoder("\n");
        QByteArray out(TYEncEncoder::MaxEncodedSize(size, 1), Qt::Uninitialized);
        qint64 done = 0, written = 0;
        const auto* in = reinterpret_cast<const uchar*>(data.constData());
        while (done < size) {
            const qint64 slice = qMin<qint64>(size - done, generator.bounded(3000));
            written += encoder.Encode(in + done, slice, out.data() + written, false);
            done += slice;
        }
        written += encoder.Encode(in + done, 0, out.data() + written, true);
        out.resize(written);
        QCOMPARE(out, expected);
        QCOMPARE(encoder.Crc(), Crc32::Update(0, data.constData(), size));

        for (YEnc::TVectorCode code : Codes) {
            YEnc::SetVectorCode(code);
            TYEncDecoder decoder;
            QByteArray back(out.size() + 64, Qt::Uninitialized);
            qint64 used = 0, produced = 0;
            while (used < out.size()) {
                const qint64 slice = qMin<qint64>(out.size() - used, 1 + generator.bounded(500));
                const TYEncDecoder::TResult r =
                    decoder.Decode(out.constData() + used, slice,
                                   reinterpret_cast<uchar*>(back.data()) + produced);
                QVERIFY(!r.keyword);
                used += r.consumed;
                produced += r.written;
                // A slice ending in "=" at a line start is fed again with the next one.
                QVERIFY(r.consumed == slice || (r.consumed < slice && used < out.size() - 1));
            }
            back.resize(produced);
            QCOMPARE(back, data);
        }
    }
}

void TestYEnc::framing()
{
    YEnc::TPart part{QStringLiteral("Grüße \n.bin"), 300, 2, 3, 128, 128};
    const YEnc::TEncodedPart encoded = YEnc::EncodePart(
        part, reinterpret_cast<const uchar*>(QByteArray(128, char(Plain)).constData()), 0x1234);
    QCOMPARE(encoded.text.left(encoded.text.indexOf("\r\n=ypart")),
             QByteArray("=ybegin part=2 total=3 line=128 size=300 name=Gr\xC3\xBC\xC3\x9F"
                        "e _.bin"));
    QVERIFY(encoded.text.contains("\r\n=ypart begin=129 end=256\r\n" + QByteArray(128, '*') +
                                  "\r\n=yend size=128 part=2 pcrc32="));
    QVERIFY(!encoded.text.contains("crc32=" + QByteArray::number(encoded.fileCrc, 16)));
    QCOMPARE(encoded.lines, 1);

    // The last part carries the file's CRC, made from the one before and this part's.
    part = {QStringLiteral("f"), 256, 2, 2, 128, 128};
    const QByteArray file = RandomBytes(256, Seed);
    const auto* data = reinterpret_cast<const uchar*>(file.constData());
    const YEnc::TEncodedPart last = YEnc::EncodePart(part, data + 128, Crc32::Update(0, data, 128));
    QCOMPARE(last.fileCrc, Crc32::Update(0, data, 256));
    QVERIFY(last.text.endsWith(
        QStringLiteral(" crc32=%1\r\n").arg(last.fileCrc, 8, 16, QLatin1Char('0')).toLatin1()));

    part = {QStringLiteral("one"), 0, 0, 0, 0, 0};
    QCOMPARE(YEnc::EncodePart(part, nullptr, 0).text,
             QByteArray("=ybegin line=128 size=0 name=one\r\n=yend size=0 crc32=00000000\r\n"));
}

// Posts written by the npm package yencode (made once by make-fixture.js in the data folder):
// our decoder gets the generator's bytes back with the CRC-32 yencode computed, and our
// encoder writes the very same data lines.
void TestYEnc::matchesPeerFixture()
{
    const QDir data(qEnvironmentVariable("QUORVEL_SOURCE_DIR") +
                    QStringLiteral("/tests/article/data/yencode"));
    const QList<QByteArray> manifest = ReadFile(data.filePath("manifest.txt")).split('\n');
    int files = 0;
    for (const QByteArray& entry : manifest) {
        const QList<QByteArray> f = entry.split('|');
        if (entry.startsWith('#') || f.size() != 7)
            continue;
        ++files;
        const QString name = QString::fromUtf8(f[0]);
        const QByteArray original = generate(f[1], f[2].toLongLong(), f[3].toUInt());
        QStringList parts;
        QByteArray peerLines;
        for (int k = f[5].toInt(); k >= 1; --k) { // last part first
            parts << data.filePath(QStringLiteral("%1.%2.yenc")
                                       .arg(QString(name).replace(QLatin1Char(' '), '_'))
                                       .arg(k));
            peerLines.prepend(dataLines(ReadFile(parts.last()).replace("\r\n", "\n")));
        }
        TYEncJoiner joiner(path(name));
        QCOMPARE(joiner.Join(parts), path(name));
        const QByteArray decoded = ReadFile(path(name));
        QCOMPARE(decoded.size(), original.size());
        QVERIFY2(decoded == original, qPrintable(name));
        QCOMPARE(QByteArray::number(Crc32::Update(0, decoded.constData(), decoded.size()), 16)
                     .rightJustified(8, '0'),
                 f[6]);

        // Same lines from our encoder, part by part as the peer cut them.
        QByteArray ours;
        const qint64 partSize = f[4].toLongLong();
        for (qint64 at = 0; at < original.size(); at += partSize)
            ours += encodeLines(original.mid(at, partSize));
        QVERIFY2(ours == peerLines, qPrintable(name));
    }
    QCOMPARE(files, 4);
}

void TestYEnc::roundTrip_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qint64>("partSize");
    for (qint64 size : {0, 1, 127, 128, 129})
        QTest::addRow("%lld bytes", size) << RandomBytes(size, Seed) << qint64(0);
    QByteArray all;
    for (int i = 0; i < 256 * 40; ++i)
        all += char(i);
    QTest::newRow("all 256 values") << all << qint64(0);
    QTest::newRow("all 256 values, parts of 1000") << all << qint64(1000);
    QTest::newRow("edge bytes, parts of 777") << mixed(20000, Seed) << qint64(777);
    QTest::newRow("3 MiB random, parts of 700 KiB") << RandomBytes(3 << 20, Seed) << qint64(716800);
    // No byte escaped: parts of 10 lines end exactly on a line boundary.
    QTest::newRow("parts ending on a line boundary")
        << QByteArray(128 * 35, 'a' - 42) << qint64(128 * 10);
}

// Through the file encoder and the joiner, parts given in reverse order, in every code path.
void TestYEnc::roundTrip()
{
    QFETCH(QByteArray, data);
    QFETCH(qint64, partSize);
    WriteFile(path("in.bin"), data);
    for (YEnc::TVectorCode code : Codes) {
        YEnc::SetVectorCode(code);
        const QStringList parts = TYEncFileEncoder(partSize).Encode(path("in.bin"), path("enc"));
        QCOMPARE(parts.size(),
                 partSize ? qMax<qsizetype>(1, (data.size() + partSize - 1) / partSize) : 1);
        QStringList reversed = parts;
        std::reverse(reversed.begin(), reversed.end());
        QFile::remove(path("out.bin"));
        TYEncJoiner(path("out.bin")).Join(reversed);
        QVERIFY(ReadFile(path("out.bin")) == data);
        if (partSize == 128 * 10) {
            const QByteArray first = ReadFile(parts.first());
            QVERIFY(first.contains(QByteArray(128, 'a') + "\r\n=yend size=1280 part=1 "));
        }
    }
}

void TestYEnc::uudeviewReadsOurs_data()
{
    roundTrip_data();
}

// Files made by quorvel-uucode, each in an article as posted, given to uudeview in reverse
// order (it reads small encoded files only inside a message).
void TestYEnc::uudeviewReadsOurs()
{
    QFETCH(QByteArray, data);
    QFETCH(qint64, partSize);
    if (!Have(QStringLiteral("uudeview")))
        QSKIP("uudeview is not installed");
    WriteFile(path("in.bin"), data);
    QStringList arguments{QStringLiteral("-a"), QStringLiteral("yencode"), QStringLiteral("-o"),
                          path("post")};
    if (partSize)
        arguments << QStringLiteral("--part-size") << QString::number(partSize);
    QCOMPARE(Run(tool(), arguments << path("in.bin"), path(".")), 0);
    QStringList parts;
    for (const QString& part : QDir(path(".")).entryList({QStringLiteral("post*")}, QDir::Files,
                                                         QDir::Name | QDir::Reversed)) {
        parts << part + QStringLiteral(".msg");
        WriteFile(path(parts.last()), AsMessage(ReadFile(path(part))));
    }
    QDir().mkpath(path("uv"));
    QCOMPARE(Run(QStringLiteral("uudeview"),
                 QStringList{QStringLiteral("-i"), QStringLiteral("-q"), QStringLiteral("-p"),
                             path("uv") + '/'} +
                     parts,
                 path(".")),
             0);
    QVERIFY(ReadFile(path("uv/in.bin")) == data);
}

void TestYEnc::hostileInput_data()
{
    QTest::addColumn<QList<QByteArray>>("files");
    QTest::addColumn<QString>("message");

    // Two good parts of "f.bin", 10 bytes each (the bytes 0 to 19).
    QByteArray file(20, Qt::Uninitialized);
    for (int i = 0; i < 20; ++i)
        file[i] = char(i);
    QList<QByteArray> good;
    quint32 crc = 0;
    for (int k = 1; k <= 2; ++k) {
        const YEnc::TPart part{QStringLiteral("f.bin"), 20, k, 2, (k - 1) * 10, 10};
        const YEnc::TEncodedPart encoded = YEnc::EncodePart(
            part, reinterpret_cast<const uchar*>(file.constData()) + (k - 1) * 10, crc);
        crc = encoded.fileCrc;
        good << encoded.text;
    }
    const auto with = [&](int k, const QByteArray& from, const QByteArray& to) {
        QList<QByteArray> files = good;
        files[k - 1].replace(from, to);
        return files;
    };
    QTest::newRow("no =yend line")
        << QList<QByteArray>{good[0].left(good[0].indexOf("=yend")), good[1]}
        << "part 1 is cut short: no =yend line";
    QTest::newRow("cut in the data")
        << QList<QByteArray>{good[0], good[1].left(90)} << "part 2 is cut short";
    QTest::newRow("cut after an = at a line start")
        << QList<QByteArray>{good[0], good[1].left(good[1].indexOf("=yend") + 1)}
        << "part 2 is cut short";
    const QByteArray secondCrc =
        QByteArray::number(Crc32::Update(0, file.constData() + 10, 10), 16).rightJustified(8, '0');
    QTest::newRow("pcrc32 not the data's")
        << with(2, secondCrc, "0" + secondCrc.mid(1).replace('0', '1'))
        << "part 2 is damaged: CRC-32 " + QString::fromLatin1(secondCrc);
    QTest::newRow("pcrc32 of nine digits")
        << with(2, "pcrc32=", "pcrc32=0") << "part 2 has a bad pcrc32 value";
    QTest::newRow("data byte changed") << with(1, "*+,-", "*+,.") << "part 1 is damaged: CRC-32";
    const QByteArray fileCrc = QByteArray::number(crc, 16).rightJustified(8, '0');
    QTest::newRow("crc32 not the file's")
        << with(2, " crc32=" + fileCrc,
                " crc32=" + QByteArray::number(crc ^ 1, 16).rightJustified(8, '0'))
        << "is damaged: CRC-32 of the whole file " + QString::fromLatin1(fileCrc);
    QTest::newRow("overlapping parts")
        << with(2, "begin=11", "begin=10") << "part 2 (bytes 10-20) overlaps part 1";
    QTest::newRow("same part twice")
        << QList<QByteArray>{good[0], good[1], good[0]} << "part 1 (bytes 1-10) overlaps part 1";
    QTest::newRow("part missing") << QList<QByteArray>{good[1]}
                                  << "\"f.bin\" is incomplete: bytes 1-10 of 20 are missing";
    QTest::newRow("range outside the file")
        << with(2, "end=20", "end=21") << "part 2 claims bytes 11-21 of a file of 20 bytes";
    QTest::newRow("range shorter than the data") << with(2, "begin=11", "begin=15")
                                                 << "part 2 holds more than the 6 bytes of its "
                                                    "range 15-20";
    QTest::newRow("begin after end")
        << with(2, "begin=11", "begin=21") << "part 2 claims bytes 21-20";
    QTest::newRow("more data than the range")
        << with(1, "end=10", "end=9") << "part 1 holds more than the 9 bytes";
    QTest::newRow("negative size")
        << with(1, "size=20 ", "size=-20 ") << "part 1 has no valid size in its =ybegin line";
    QTest::newRow("size beyond 64 bits") << with(1, "size=20 ", "size=99999999999999999999 ")
                                         << "part 1 has no valid size in its =ybegin line";
    QTest::newRow("=yend size differs") << with(1, "=yend size=10", "=yend size=11")
                                        << "part 1 has 10 bytes of data; its header says 10 and "
                                           "its =yend line 11";
    QTest::newRow("no =ypart line") << with(1, "=ypart", "=yparts") << "part 1 has no =ypart line";
    QTest::newRow("bad part number") << with(1, "part=1 ", "part=x ") << "bad part number \"x\"";
    QTest::newRow("parts of two files")
        << with(2, "name=f.bin", "name=g.bin") << "part 2 belongs to \"g.bin\"";
    QTest::newRow("no =ybegin") << QList<QByteArray>{QByteArray(300000, 'x')}
                                << "No \"=ybegin\" line found";
    QTest::newRow("another =ybegin before =yend")
        << QList<QByteArray>{good[0].left(good[0].indexOf("=yend")) + good[1]}
        << "part 1 is cut short: \"=ybegin part=2";
}

// Each row: the message names what failed, and no output file is left.
void TestYEnc::hostileInput()
{
    QFETCH(QList<QByteArray>, files);
    QFETCH(QString, message);
    QStringList paths;
    for (const QByteArray& text : files) {
        paths << path(QStringLiteral("part%1").arg(paths.size() + 1));
        WriteFile(paths.last(), text);
    }
    QString error;
    try {
        TYEncJoiner().Join(paths);
    } catch (const EUUCode& e) {
        error = e.Message();
    }
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(QDir(path(".")).entryList(QDir::Files | QDir::Hidden).size(), paths.size());
}

// Random damage to a good post: every copy either fails with a message or decodes to the
// very bytes of the file.
void TestYEnc::damagedCopiesNeverPass()
{
    const QByteArray file = mixed(5000, Seed);
    WriteFile(path("in.bin"), file);
    const QStringList parts = TYEncFileEncoder(2000).Encode(path("in.bin"), path("p"));
    QList<QByteArray> texts;
    for (const QString& part : parts)
        texts << ReadFile(part);
    QRandomGenerator generator(Seed);
    int failed = 0;
    for (int round = 0; round < 300; ++round) {
        const int k = generator.bounded(3);
        QByteArray damaged = texts[k];
        const int at = generator.bounded(int(damaged.size()));
        switch (round % 3) {
        case 0:
            damaged[at] = char(generator.bounded(256));
            break;
        case 1:
            damaged.remove(at, generator.bounded(300));
            break;
        default:
            damaged.insert(at, RandomBytes(generator.bounded(1, 200), round));
        }
        WriteFile(parts[k], damaged);
        QFile::remove(path("out.bin"));
        try {
            TYEncJoiner(path("out.bin")).Join(parts);
            QVERIFY(ReadFile(path("out.bin")) == file);
        } catch (const EUUCode&) {
            ++failed;
            QVERIFY(!QFile::exists(path("out.bin")));
        }
        WriteFile(parts[k], texts[k]);
    }
    QVERIFY(failed > 200);
}

// quorvel-uucode: parts in any order give the file under the name they carry; a damaged part
// is named, exit status 1, and no file is written.
void TestYEnc::toolJoinsAndRefuses()
{
    // A name outside ASCII travels as UTF-8 and names the decoded file.
    const QString name = QStringLiteral("Grüße aus Köln.bin");
    const QByteArray data = RandomBytes(100000, Seed);
    WriteFile(path(name), data);
    QCOMPARE(Run(tool(),
                 {QStringLiteral("-a"), QStringLiteral("yencode"), QStringLiteral("--part-size"),
                  QStringLiteral("30000"), QStringLiteral("-o"), path("post"), path(name)},
                 path(".")),
             0);
    QFile::rename(path(name), path("original.bin"));
    const QStringList order{path("post.003"), path("post.001"), path("post.004"), path("post.002")};
    QCOMPARE(Run(tool(), QStringList{QStringLiteral("-a"), QStringLiteral("ydecode")} + order,
                 path(".")),
             0);
    QVERIFY(ReadFile(path(name)) == data);
    QFile::remove(path(name));

    QByteArray third = ReadFile(path("post.003"));
    third[300] = char(third[300] ^ 1);
    WriteFile(path("post.003"), third);
    QProcess process;
    process.start(tool(), QStringList{QStringLiteral("-a"), QStringLiteral("ydecode")} + order);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(path("post.003") + QStringLiteral(": part 3 is damaged")),
             qPrintable(error));
    QVERIFY(!QFile::exists(path(name)));
}

// quorvel-uucode -a ydecode: a name already taken (here by a link out of the folder) is
// neither followed nor replaced; the file goes under a free name, said with its control
// characters (C1 here) escaped.
void TestYEnc::toolKeepsTakenNames()
{
    const QString name = QString::fromUtf8("red\xc2\x9b"
                                           "31m.bin");
    const YEnc::TPart part{name, 3, 0, 0, 0, 3};
    WriteFile(path("post.txt"),
              YEnc::EncodePart(part, reinterpret_cast<const uchar*>("abc"), 0).text);
    WriteFile(path("victim"), "old");
    QVERIFY(QFile::link(path("victim"), path(name)));
    const auto decode = [&](const QStringList& options) {
        QProcess process;
        process.start(tool(), QStringList{"-a", "ydecode", path("post.txt")} + options);
        process.waitForFinished(60000);
        return process.exitCode() == 0 ? process.readAllStandardError() : QByteArray();
    };
    const QByteArray told = decode({});
    QVERIFY2(told.contains("red\\x9B31m (1).bin") && !told.contains("\x9b"), told.constData());
    QCOMPARE(ReadFile(path("victim")), QByteArray("old"));
    QCOMPARE(ReadFile(path("red\xc2\x9b"
                           "31m (1).bin")),
             QByteArray("abc"));
    QVERIFY(decode({}).contains("31m (2).bin"));
    QVERIFY(decode({"--overwrite"}).contains("31m (1).bin"));
    QCOMPARE(ReadFile(path("victim")), QByteArray("old"));
}

// /dev/shm is a folder of ordinary files: a refused join there leaves the file of the
// part's name as it was (the fuzz target found it truncated and overwritten), and parts go to
// files of their own. The output name is the one reported.
void TestYEnc::ordinaryFilesUnderDev()
{
    if (!QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        QSKIP("no writable /dev/shm");
    QTemporaryDir shm(QStringLiteral("/dev/shm/tst_yenc-XXXXXX"));
    QVERIFY(shm.isValid());
    const QString old = shm.filePath(QStringLiteral("file.bin"));
    WriteFile(old, "kept as it was");
    const QString part = shm.filePath(QStringLiteral("post.txt"));
    WriteFile(part, "=ybegin line=128 size=3 name=file.bin\r\n+,-\r\n"
                    "=yend size=3 crc32=deadbeef\r\n");
    QVERIFY_THROWS_EXCEPTION(EUUCode, TYEncJoiner().Join({part}));
    QCOMPARE(ReadFile(old), QByteArray("kept as it was"));
    QCOMPARE(QDir(shm.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // A NUL in the name (found by the fuzz target): the file is written under the name
    // reported, the NUL made "_".
    WriteFile(part, QByteArray("=ybegin line=128 size=3 name=a\0b\r\n+,-\r\n=yend size=3\r\n", 53));
    QCOMPARE(TYEncJoiner().Join({part}), shm.filePath(QStringLiteral("a_b")));
    QCOMPARE(ReadFile(shm.filePath(QStringLiteral("a_b"))), QByteArray("\x01\x02\x03"));

    const QStringList parts = TYEncFileEncoder(5).Encode(old, shm.filePath(QStringLiteral("out")));
    QCOMPARE(parts.size(), 3);
    for (const QString& written : parts)
        QVERIFY2(ReadFile(written).startsWith("=ybegin part="), qPrintable(written));
}

QTEST_GUILESS_MAIN(TestYEnc)
#include "tst_yenc.moc"
