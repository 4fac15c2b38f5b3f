#include "codec/YEnc.h"

#include "codec/Crc32.h"
#include "codec/YEncEncoder.h"
#include "codec/YEncVector.h"

namespace {

YEnc::TVectorCode g_vectorCode = YEnc::TVectorCode::avx512;

QByteArray decimal(qint64 value)
{
    return QByteArray::number(value);
}

QByteArray hex8(quint32 value)
{
    return QByteArray::number(value, 16).rightJustified(8, '0');
}

} // namespace

namespace YEncVector {

bool UseAvx512()
{
#if defined(__x86_64__)
    static const bool have = __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vbmi2") &&
                             __builtin_cpu_supports("bmi2");
    return have && g_vectorCode >= YEnc::TVectorCode::avx512;
#else
    return false;
#endif
}

bool UseSsse3()
{
#if defined(__x86_64__)
    static const bool have = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    return have && g_vectorCode >= YEnc::TVectorCode::ssse3;
#else
    return false;
#endif
}

} // namespace YEncVector

namespace YEnc {

void SetVectorCode(TVectorCode limit)
{
    g_vectorCode = limit;
}

QByteArray BeginLines(const TPart& part, QByteArrayView eol, int lineLength)
{
    QByteArray name = part.name.toUtf8();
    for (char& c : name)
        if (uchar(c) < 32 || c == 127)
            c = '_';
    QByteArray text = "=ybegin ";
    if (part.number > 0)
        text += "part=" + decimal(part.number) + " total=" + decimal(part.total) + ' ';
    text += "line=" + decimal(lineLength) + " size=" + decimal(part.fileSize) + " name=" + name;
    text += eol;
    if (part.number > 0) {
        text +=
            "=ypart begin=" + decimal(part.begin + 1) + " end=" + decimal(part.begin + part.size);
        text += eol;
    }
    return text;
}

QByteArray EndLine(const TPart& part, quint32 partCrc, std::optional<quint32> fileCrc,
                   QByteArrayView eol)
{
    QByteArray text = "=yend size=" + decimal(part.size);
    if (part.number > 0) {
        text += " part=" + decimal(part.number) + " pcrc32=" + hex8(partCrc);
        if (fileCrc)
            text += " crc32=" + hex8(*fileCrc);
    } else {
        text += " crc32=" + hex8(partCrc);
    }
    text += eol;
    return text;
}

TEncodedPart EncodePart(const TPart& part, const uchar* data, quint32 fileCrcBefore,
                        QByteArrayView eol)
{
    TEncodedPart result;
    result.text = BeginLines(part, eol);
    const qsizetype head = result.text.size();
    result.text.resize(head + TYEncEncoder::MaxEncodedSize(part.size, int(eol.size())));
    TYEncEncoder encoder(eol);
    const qint64 written = encoder.Encode(data, part.size, result.text.data() + head, true);
    result.text.resize(head + written);
    result.partCrc = encoder.Crc();
    result.fileCrc = Crc32::Combine(fileCrcBefore, result.partCrc, part.size);
    result.lines = encoder.Lines();
    const bool endsFile = part.begin + part.size >= part.fileSize;
    result.text += EndLine(part, result.partCrc,
                           endsFile ? std::optional<quint32>(result.fileCrc) : std::nullopt, eol);
    return result;
}

} // namespace YEnc
