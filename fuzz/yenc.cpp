// yEnc: the line decoder and the joiner of parts on hostile text, and encode then join on
// any bytes. The first byte picks what runs:
//   0  the line decoder on the rest, fed in slices of a size the second byte gives, with
//      each vector code the processor has: never more bytes out than in, and every code
//      gives the same bytes
//   1  the joiner on the rest as one or two files (cut where the second byte says): it
//      joins or refuses with EUUCode, and a refused join leaves no output behind
//   2  the rest encoded in as many parts as the second byte gives, then joined in reverse
//      order: the file comes back, and the line decoder gives the bytes and the CRC-32 the
//      encoder summed
#include "FuzzFiles.h"

#include "codec/Crc32.h"
#include "codec/EUUCode.h"
#include "codec/YEnc.h"
#include "codec/YEncDecoder.h"
#include "codec/YEncFileEncoder.h"
#include "codec/YEncJoiner.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

namespace {

constexpr YEnc::TVectorCode Codes[] = {YEnc::TVectorCode::none, YEnc::TVectorCode::ssse3,
                                       YEnc::TVectorCode::avx512};

struct TDecoded
{
    QByteArray bytes;
    qint64 stoppedAt = 0; // input bytes used up to the keyword or the end
};

// Feeds text in slices of slice bytes (the whole at once for 0) as a reader does: what a
// slice leaves unused is fed again in front of the next.
TDecoded decodeInSlices(const QByteArray& text, qsizetype slice)
{
    TYEncDecoder decoder;
    TDecoded result;
    std::vector<uchar> out(size_t(text.size()) + 64);
    qsizetype from = 0;
    qsizetype fed = slice > 0 ? qMin(slice, text.size()) : text.size();
    for (;;) {
        const TYEncDecoder::TResult r =
            decoder.Decode(text.constData() + from, fed - from, out.data());
        FuzzFiles::Check(r.consumed >= 0 && r.consumed <= fed - from, "consumed within the slice");
        FuzzFiles::Check(r.written <= r.consumed, "no more bytes out than in");
        result.bytes.append(reinterpret_cast<const char*>(out.data()), r.written);
        from += r.consumed;
        if (r.keyword || fed == text.size())
            break;
        fed = slice > 0 ? qMin(fed + slice, text.size()) : text.size();
    }
    result.stoppedAt = from;
    return result;
}

void decodeLines(const QByteArray& text, qsizetype slice)
{
    YEnc::SetVectorCode(Codes[0]);
    const TDecoded plain = decodeInSlices(text, slice);
    const TDecoded whole = decodeInSlices(text, 0);
    FuzzFiles::Check(plain.bytes == whole.bytes && plain.stoppedAt == whole.stoppedAt,
                     "slices decode as the whole does");
    for (YEnc::TVectorCode code : {Codes[1], Codes[2]}) {
        YEnc::SetVectorCode(code);
        const TDecoded vector = decodeInSlices(text, slice);
        FuzzFiles::Check(vector.bytes == plain.bytes && vector.stoppedAt == plain.stoppedAt,
                         "the vector code decodes as the plain code does");
    }
}

void join(const QByteArray& text, uchar cut, bool namedOutput)
{
    const QString folder = FuzzFiles::FreshFolder();
    const qsizetype at = cut == 0 ? text.size() : text.size() * cut / 256;
    QStringList inputs{FuzzFiles::Write(QStringLiteral("part1.txt"), text.left(at))};
    if (at < text.size())
        inputs << FuzzFiles::Write(QStringLiteral("part2.txt"), text.mid(at));
    const QString output = namedOutput ? folder + QStringLiteral("/joined.bin") : QString();
    try {
        const QString written = TYEncJoiner(output).Join(inputs);
        FuzzFiles::Check(QFile::exists(written), "a joined file exists");
    } catch (const EUUCode& e) {
        const QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                        QDir::Hidden | QDir::System);
        if (left.size() != inputs.size())
            std::fprintf(stderr, "%s\nleft: %s\n", qPrintable(e.Message()),
                         qPrintable(left.join(u' ')));
        FuzzFiles::Check(left.size() == inputs.size(), "a refused join leaves nothing behind");
    }
}

void roundTrip(const QByteArray& original, uchar split, bool lf)
{
    // Up to eight parts: each part file costs a join its read buffers, and tiny parts made
    // the run crawl without reaching more code.
    const int parts = split % 9;
    const qint64 partSize = parts == 0 ? 0 : (original.size() + parts - 1) / parts + split / 9;
    const QString folder = FuzzFiles::FreshFolder();
    const QString input = FuzzFiles::Write(QStringLiteral("file.bin"), original);
    const QString encoded = folder + QStringLiteral("/file.yenc");
    const QString joined = folder + QStringLiteral("/joined.bin");
    const QByteArray eol = lf ? QByteArray("\n") : QByteArray("\r\n");
    try {
        QStringList files = TYEncFileEncoder(partSize, eol).Encode(input, encoded);
        std::reverse(files.begin(), files.end());
        TYEncJoiner(joined).Join(files);
    } catch (const EUUCode& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        FuzzFiles::Check(false, "encoding and joining succeed");
    }
    QFile result(joined);
    FuzzFiles::Check(result.open(QIODevice::ReadOnly), "the joined file exists");
    FuzzFiles::Check(result.readAll() == original, "join(encode(x)) == x");

    YEnc::TPart part;
    part.name = QStringLiteral("file.bin");
    part.fileSize = part.size = original.size();
    const YEnc::TEncodedPart piece =
        YEnc::EncodePart(part, reinterpret_cast<const uchar*>(original.constData()), 0, eol);
    const QByteArray head = YEnc::BeginLines(part, eol);
    const TDecoded lines = decodeInSlices(piece.text.mid(head.size()), split);
    FuzzFiles::Check(lines.bytes == original, "decode(encode(x)) == x");
    FuzzFiles::Check(Crc32::Update(0, lines.bytes.constData(), lines.bytes.size()) == piece.partCrc,
                     "the CRC-32 of the decoded bytes is the encoder's");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray rest = FuzzFiles::Bytes(data + 2, size - 2);
    YEnc::SetVectorCode(Codes[(data[0] >> 2) % 3]);
    switch (data[0] % 3) {
    case 0:
        decodeLines(rest, data[1]);
        break;
    case 1:
        join(rest, data[1], (data[0] & 0x80) != 0);
        break;
    default:
        roundTrip(rest, data[1], (data[0] & 0x80) != 0);
        break;
    }
    return 0;
}
