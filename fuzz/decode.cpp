// The uu, xx and base64 decoders of quorvel-uucode on hostile text, with and without the
// begin line. The first byte picks the decoder and whether headers are read; the rest is
// the file. A decoder may refuse the text (EUUCode) but must never crash or overrun.
#include "FuzzFiles.h"

#include "codec/EUUCode.h"
#include "codec/UUCode.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

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
    coder.SetInputFile(
        FuzzFiles::Write(QStringLiteral("post.txt"), FuzzFiles::Bytes(data + 1, size - 1)));
    if (!headers)
        coder.SetOutputFile(folder + QStringLiteral("/decoded.bin"));
    try {
        coder.SetActive(true);
    } catch (const EUUCode&) {
    }
    FuzzFiles::Check(!coder.Active(), "the coder is idle after its run");
    return 0;
}
