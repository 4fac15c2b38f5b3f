#include "codec/EUUCode.h"
#include "codec/PrintableText.h"
#include "codec/UUCode.h"
#include "codec/YEncFileEncoder.h"
#include "codec/YEncJoiner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMetaEnum>

#include <cstdio>

namespace {

// Names come from the input: shown with their control characters escaped.
void tell(const QString& message)
{
    std::fprintf(stderr, "quorvel-uucode: %s\n", qPrintable(PrintableText(message)));
}

int fail(const QString& message)
{
    tell(message);
    return 1;
}

void tellWritten(const TDecodedPath& decoded)
{
    if (decoded.Renamed())
        tell(QStringLiteral("%1 exists (links and input files are never replaced, others only "
                            "with --overwrite); wrote %2 instead")
                 .arg(decoded.Wanted, decoded.Path));
    else
        tell(QStringLiteral("wrote %1").arg(decoded.Path));
}

// yEnc, beside the algorithms of TUUCode: "yencode" writes one piece, or with --part-size
// numbered part files; "ydecode" joins parts given in any order.
const QString YEncode = QStringLiteral("yencode");
const QString YDecode = QStringLiteral("ydecode");

int yencode(const QStringList& inputs, const QString& output, const QString& partSize, bool lf)
{
    if (inputs.size() != 1)
        return fail(QStringLiteral("give exactly one input file (see --help)"));
    bool numeric = false;
    const qint64 size = partSize.isEmpty() ? 0 : partSize.toLongLong(&numeric);
    if (!partSize.isEmpty() && (!numeric || size < 1))
        return fail(QStringLiteral("part size must be a number of bytes above 0"));
    try {
        TYEncFileEncoder encoder(size, lf ? QByteArray("\n") : QByteArray("\r\n"));
        const QStringList written = encoder.Encode(inputs.first(), output);
        if (written.size() > 1)
            tell(QStringLiteral("wrote %1 parts, %2 to %3")
                     .arg(written.size())
                     .arg(written.first(), written.last()));
    } catch (const EUUCode& e) {
        return fail(e.Message());
    }
    return 0;
}

int ydecode(const QStringList& inputs, const QString& output, bool overwrite)
{
    if (inputs.isEmpty())
        return fail(QStringLiteral("give the input files (see --help)"));
    try {
        TYEncJoiner joiner(output);
        joiner.SetOverwrite(overwrite);
        joiner.Join(inputs);
        if (output.isEmpty())
            tellWritten(joiner.Decoded());
    } catch (const EUUCode& e) {
        return fail(e.Message());
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvel-uucode"));

    const QMetaEnum algorithms = QMetaEnum::fromType<TUUCode::TAlgorithm>();
    QStringList names;
    for (int i = 0; i < algorithms.keyCount(); ++i)
        names << QString::fromLatin1(algorithms.key(i));
    names << YEncode << YDecode;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Encodes a file as uuencode, xxencode, base64 or yEnc text, or decodes "
                       "such text.\nDecoding with headers writes the file named in the begin line "
                       "into the input's folder, as \"name (1).ext\" when that name is "
                       "taken.\nydecode takes the parts of one file in any "
                       "order, checks their sizes and CRC-32 values, and writes the file (named "
                       "in the =ybegin line, or --output) only when all of them are right."));
    parser.addHelpOption();
    const QCommandLineOption algorithmOption(
        {QStringLiteral("a"), QStringLiteral("algorithm")},
        QStringLiteral("One of %1 (default uudecode).").arg(names.join(QStringLiteral(", "))),
        QStringLiteral("name"), QStringLiteral("uudecode"));
    const QCommandLineOption outputOption(
        {QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("Output file; \"-\" is standard output. Not used when decoding with "
                       "headers."),
        QStringLiteral("file"));
    const QCommandLineOption noHeadersOption(
        QStringLiteral("no-headers"),
        QStringLiteral("No begin and end lines when encoding; decode from the first line."));
    const QCommandLineOption lfOption(
        QStringLiteral("lf"),
        QStringLiteral("End lines with LF instead of CR LF (GNU uudecode and base64 -d "
                       "read base64 only with LF)."));
    const QCommandLineOption modeOption(QStringLiteral("mode"),
                                        QStringLiteral("Mode written in the begin line (644)."),
                                        QStringLiteral("number"), QStringLiteral("644"));
    const QCommandLineOption partSizeOption(
        QStringLiteral("part-size"),
        QStringLiteral("yencode: parts of this many bytes, written to the output name plus "
                       ".001, .002, ..."),
        QStringLiteral("bytes"));
    const QCommandLineOption overwriteOption(
        QStringLiteral("overwrite"),
        QStringLiteral("Decoding with headers: replace an existing file of the name the begin "
                       "line gives (never an input file, never through a link) instead of "
                       "writing \"name (1).ext\"."));
    parser.addOptions({algorithmOption, outputOption, noHeadersOption, lfOption, modeOption,
                       partSizeOption, overwriteOption});
    parser.addPositionalArgument(QStringLiteral("input"),
                                 QStringLiteral("The file to read (ydecode: the part files)."));
    parser.process(app);

    const QStringList inputs = parser.positionalArguments();
    QString output = parser.value(outputOption);
    if (output == QLatin1String("-"))
        output = QStringLiteral("/dev/stdout");
    const bool yenc =
        parser.value(algorithmOption) == YEncode || parser.value(algorithmOption) == YDecode;
    if (yenc && (parser.isSet(noHeadersOption) || parser.isSet(modeOption)))
        return fail(QStringLiteral("--no-headers and --mode are not for yEnc, whose header "
                                   "lines are always written and carry no mode"));
    if (parser.value(algorithmOption) == YEncode)
        return yencode(inputs, output, parser.value(partSizeOption), parser.isSet(lfOption));
    if (parser.value(algorithmOption) == YDecode)
        return ydecode(inputs, output, parser.isSet(overwriteOption));
    if (parser.isSet(partSizeOption))
        return fail(QStringLiteral("--part-size is for yencode"));
    if (inputs.size() != 1)
        return fail(QStringLiteral("give exactly one input file (see --help)"));
    bool known = false;
    const int algorithm = algorithms.keyToValue(parser.value(algorithmOption).toLatin1(), &known);
    if (!known)
        return fail(QStringLiteral("unknown algorithm \"%1\"").arg(parser.value(algorithmOption)));
    bool numeric = false;
    const uint mode = parser.value(modeOption).toUInt(&numeric);
    if (!numeric || mode > 0xFFFF)
        return fail(QStringLiteral("mode must be a number up to 65535"));

    const bool named = algorithm == TUUCode::uudecode || algorithm == TUUCode::xxdecode ||
                       algorithm == TUUCode::base64decode;
    if (named && !parser.isSet(noHeadersOption) && parser.isSet(outputOption))
        return fail(QStringLiteral("decoding with headers writes the file named in the begin "
                                   "line; --output needs --no-headers"));

    TUUCode coder;
    coder.SetAlgorithm(TUUCode::TAlgorithm(algorithm));
    coder.SetInputFile(inputs.first());
    coder.SetOutputFile(output);
    coder.SetHeaders(!parser.isSet(noHeadersOption));
    coder.SetUnixCRLF(parser.isSet(lfOption) ? TUUCode::LF : TUUCode::CRLF);
    coder.SetFileMode(quint16(mode));
    coder.SetOverwrite(parser.isSet(overwriteOption));
    try {
        coder.SetActive(true);
    } catch (const EUUCode& e) {
        return fail(e.Message());
    }
    if (named && coder.Headers())
        tellWritten(coder.Decoded());
    return 0;
}
