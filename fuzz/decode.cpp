// The uu, xx and base64 decoders of quorvel-uucode on hostile text, with and without the
// begin line. The first byte picks the decoder and whether headers are read; the rest is
// the file. A decoder may refuse the text (EUUCode) but must never crash or overrun.
//
// The decoder reads in blocks of about 80 KB, so the faults worth finding need long lines and
// long files: in the text, the byte 0xFE followed by L and R repeats the last L bytes written
// (R + 1)^2 times, so that a small input stands for up to 2 MB.
#include "FuzzFiles.h"

#include "codec/EUUCode.h"
#include "codec/UUCode.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

namespace {

QByteArray expand(const uint8_t* data, size_t size)
{
    constexpr qsizetype Limit = 2 * 1024 * 1024;
    QByteArray text;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != 0xFE || i + 2 >= size) {
            text += char(data[i]);
            continue;
        }
        const qsizetype length = std::min<qsizetype>(data[i + 1], text.size());
        const qsizetype times = (qsizetype(data[i + 2]) + 1) * (qsizetype(data[i + 2]) + 1);
        i += 2;
        if (length == 0)
            continue;
        const QByteArray tail = text.right(length);
        for (qsizetype k = 0; k < times && text.size() + length <= Limit; ++k)
            text += tail;
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const TUUCode::TAlgorithm decoders[] = {TUUCode::uudecode, TUUCode::xxdecode,
                                                   TUUCode::base64decode};
    const TUUCode::TAlgorithm decoder = decoders[data[0] % 3];
    const bool headers = (data[0] & 0x80) == 0;
    const QString folder = FuzzFiles::FreshFolder();
    TUUCode coder;
    coder.SetAlgorithm(decoder);
    coder.SetHeaders(headers);
    coder.SetInputFile(FuzzFiles::Write(QStringLiteral("post.txt"), expand(data + 1, size - 1)));
    if (!headers)
        coder.SetOutputFile(folder + QStringLiteral("/decoded.bin"));
    try {
        coder.SetActive(true);
    } catch (const EUUCode&) {
    }
    FuzzFiles::Check(!coder.Active(), "the coder is idle after its run");
    return 0;
}
