#include "codec/EUUCode.h"
#include "codec/UUCode.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMetaEnum>

#include <cstdio>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "quorvel-uucode: %s\n", qPrintable(message));
    return 1;
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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Encodes a file as uuencode, xxencode or base64 text, or decodes such "
                       "text.\nDecoding with headers writes the file named in the begin line "
                       "into the input's folder."));
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
    parser.addOptions({algorithmOption, outputOption, noHeadersOption, lfOption, modeOption});
    parser.addPositionalArgument(QStringLiteral("input"), QStringLiteral("The file to read."));
    parser.process(app);

    const QStringList inputs = parser.positionalArguments();
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
    QString output = parser.value(outputOption);
    if (output == QLatin1String("-"))
        output = QStringLiteral("/dev/stdout");
    coder.SetOutputFile(output);
    coder.SetHeaders(!parser.isSet(noHeadersOption));
    coder.SetUnixCRLF(parser.isSet(lfOption) ? TUUCode::LF : TUUCode::CRLF);
    coder.SetFileMode(quint16(mode));
    try {
        coder.SetActive(true);
    } catch (const EUUCode& e) {
        return fail(e.Message());
    }
    if (named && coder.Headers())
        std::fprintf(stderr, "quorvel-uucode: wrote %s\n", qPrintable(coder.OutputFile()));
    return 0;
}
