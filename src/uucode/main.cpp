#include "codec/EUUCode.h"
#include "codec/PrintableText.h"
#include "codec/UUCode.h"
#include "codec/YEncFileEncoder.h"
#include "codec/YEncJoiner.h"
#include "codec/par2/Par2Creator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
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
// A PAR2 recovery set for one file, made as the poster makes it, without posting.
const QString Par2Create = QStringLiteral("par2create");

struct TPar2Options
{
    QString Redundancy;
    QString Blocks;
    QString Volumes;
    QString Memory;
    bool Uniform = false;
};

int par2create(const QStringList& inputs, const QString& output, const TPar2Options& options)
{
    if (inputs.size() != 1)
        return fail(QStringLiteral("give exactly one input file (see --help)"));
    TPar2Request request;
    request.File = inputs.first();
    request.Folder = output.isEmpty() ? QFileInfo(request.File).absolutePath() : output;
    bool ok = false;
    request.Percent = options.Redundancy.toInt(&ok);
    if (!ok || request.Percent < 1 || request.Percent > 100)
        return fail(QStringLiteral("redundancy must be a percentage from 1 to 100"));
    request.RecoveryCount = options.Blocks.isEmpty() ? 0 : options.Blocks.toInt(&ok);
    if (!ok || request.RecoveryCount < 0)
        return fail(QStringLiteral("blocks must be a number of recovery slices"));
    request.FileCount = options.Volumes.isEmpty() ? 0 : options.Volumes.toInt(&ok);
    if (!ok || request.FileCount < 0)
        return fail(QStringLiteral("volumes must be a number of files (0: doubling sizes)"));
    request.MemoryLimit = options.Memory.toLongLong(&ok) << 20;
    if (!ok || request.MemoryLimit < 1)
        return fail(QStringLiteral("memory must be a number of MiB above 0"));
    request.Uniform = options.Uniform;
    if (!QFileInfo(request.Folder).isDir())
        return fail(
            QStringLiteral("%1 is not a folder for the recovery files").arg(request.Folder));
    const TPar2Result result = TPar2Creator(request).Make();
    if (!result.Error.isEmpty())
        return fail(result.Error);
    if (!result.Note.isEmpty())
        std::fprintf(stderr, "quorvel-uucode: %s\n", qPrintable(PrintableText(result.Note)));
    for (const QString& file : result.Files)
        std::fprintf(stderr, "quorvel-uucode: wrote %s\n", qPrintable(PrintableText(file)));
    return 0;
}

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
    names << YEncode << YDecode << Par2Create;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Encodes a file as uuencode, xxencode, base64 or yEnc text, or decodes "
                       "such text.\nDecoding with headers writes the file named in the begin line "
                       "into the input's folder, as \"name (1).ext\" when that name is "
                       "taken.\nydecode takes the parts of one file in any "
                       "order, checks their sizes and CRC-32 values, and writes the file (named "
                       "in the =ybegin line, or --output) only when all of them are right.\n"
                       "par2create makes the PAR2 recovery set of a file in its folder (or the "
                       "folder --output names): name.par2 and name.vol*.par2."));
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
    const QCommandLineOption redundancyOption(
        QStringLiteral("redundancy"),
        QStringLiteral("par2create: recovery slices per 100 slices of the file (10)."),
        QStringLiteral("percent"), QStringLiteral("10"));
    const QCommandLineOption blocksOption(
        QStringLiteral("blocks"),
        QStringLiteral("par2create: this many recovery slices rather than --redundancy."),
        QStringLiteral("count"));
    const QCommandLineOption volumesOption(
        QStringLiteral("volumes"),
        QStringLiteral("par2create: recovery files to spread them over (default: sizes 1, 2, "
                       "4, ... as needed)."),
        QStringLiteral("count"));
    const QCommandLineOption uniformOption(
        QStringLiteral("uniform"), QStringLiteral("par2create: recovery files of equal size."));
    const QCommandLineOption memoryOption(
        QStringLiteral("memory"),
        QStringLiteral("par2create: recovery data held in memory at once; more is made in "
                       "further reads of the file (256)."),
        QStringLiteral("MiB"), QStringLiteral("256"));
    const QCommandLineOption overwriteOption(
        QStringLiteral("overwrite"),
        QStringLiteral("Decoding with headers: replace an existing file of the name the begin "
                       "line gives (never an input file, never through a link) instead of "
                       "writing \"name (1).ext\"."));
    parser.addOptions({algorithmOption, outputOption, noHeadersOption, lfOption, modeOption,
                       partSizeOption, overwriteOption, redundancyOption, blocksOption,
                       volumesOption, uniformOption, memoryOption});
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
    if (parser.value(algorithmOption) == Par2Create)
        return par2create(inputs, parser.value(outputOption),
                          {parser.value(redundancyOption), parser.value(blocksOption),
                           parser.value(volumesOption), parser.value(memoryOption),
                           parser.isSet(uniformOption)});
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
