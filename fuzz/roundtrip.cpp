// Encode, then decode, with each encoding, both line ends and with or without headers: the
// decoded file is the input again. The first byte picks the encoding and the options.
#include "FuzzFiles.h"

#include "codec/EUUCode.h"
#include "codec/UUCode.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzFiles::Init(argc, argv);
    return 0;
}

namespace {

void run(TUUCode::TAlgorithm algorithm, bool headers, TUUCode::TUnixCRLF lineEnd, const QString& in,
         const QString& out)
{
    TUUCode coder;
    coder.SetAlgorithm(algorithm);
    coder.SetHeaders(headers);
    coder.SetUnixCRLF(lineEnd);
    coder.SetInputFile(in);
    coder.SetOutputFile(out);
    coder.SetActive(true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const TUUCode::TAlgorithm encoders[] = {TUUCode::uuencode, TUUCode::xxencode,
                                                   TUUCode::base64encode};
    const TUUCode::TAlgorithm encoder = encoders[data[0] % 3];
    const bool headers = (data[0] & 0x80) == 0;
    const auto lineEnd = (data[0] & 0x40) ? TUUCode::LF : TUUCode::CRLF;
    const QByteArray original = FuzzFiles::Bytes(data + 1, size - 1);

    const QString folder = FuzzFiles::FreshFolder();
    const QString input = FuzzFiles::Write(QStringLiteral("in.bin"), original);
    const QString encoded = folder + QStringLiteral("/encoded.txt");
    const QString decoded = folder + QStringLiteral("/decoded.bin");
    try {
        run(encoder, headers, lineEnd, input, encoded);
        QFile::remove(input);
        run(TUUCode::TAlgorithm(int(encoder) + 1), headers, lineEnd, encoded, decoded);
    } catch (const EUUCode& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.Message()));
        FuzzFiles::Check(false, "encoding and decoding succeed");
    }
    QFile result(headers ? input : decoded);
    FuzzFiles::Check(result.open(QIODevice::ReadOnly), "the decoded file exists");
    FuzzFiles::Check(result.readAll() == original, "decode(encode(x)) == x");
    return 0;
}
