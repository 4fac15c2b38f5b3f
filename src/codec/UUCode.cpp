#include "codec/UUCode.h"

#include "codec/EUUCode.h"
#include "codec/LineCodec.h"
#include "codec/LocalFile.h"
#include "codec/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// Whole lines of every encoding (45 and 57 bytes), about 80 KB: blocks that stay in the
// processor's cache run fastest, and a run of any file size needs only a few of them.
constexpr qint64 BlockSize = 45 * 57 * 32;
// Encoded lines are short; a longer "line" (a binary file given to a decoder) is cut here so
// that memory stays bounded.
constexpr qint64 MaxLine = 64 * 1024;

std::optional<LineCodec::Kind> kindOf(TUUCode::TAlgorithm algorithm)
{
    switch (algorithm) {
    case TUUCode::uuencode:
    case TUUCode::uudecode:
        return LineCodec::Kind::uu;
    case TUUCode::xxencode:
    case TUUCode::xxdecode:
        return LineCodec::Kind::xx;
    case TUUCode::base64encode:
    case TUUCode::base64decode:
        return LineCodec::Kind::base64;
    case TUUCode::filecopy:
        break;
    }
    return std::nullopt;
}

bool isDecoder(TUUCode::TAlgorithm algorithm)
{
    return algorithm == TUUCode::uudecode || algorithm == TUUCode::xxdecode ||
           algorithm == TUUCode::base64decode;
}

// Reads until the buffer is full or the file ends; fewer bytes than asked means the end.
qint64 readFully(QIODevice& input, char* data, qint64 size)
{
    qint64 total = 0;
    while (total < size) {
        const qint64 got = input.read(data + total, size - total);
        if (got < 0) {
            const auto* file = qobject_cast<QFile*>(&input);
            throw EUUCode(QStringLiteral("Cannot read input file %1: %2")
                              .arg(file ? file->fileName() : QString(), input.errorString()));
        }
        if (got == 0)
            break;
        total += got;
    }
    return total;
}

} // namespace

TUUCode::TUUCode(QObject* parent) : QObject(parent) {}

TUUCode::~TUUCode() = default;

QString TUUCode::About() const
{
    return QStringLiteral("TUUCode %1.%2").arg(QUORVEL_VERSION_MAJOR).arg(QUORVEL_VERSION_MINOR);
}

void TUUCode::SetActive(bool active)
{
    if (!active || m_active)
        return;
    m_active = true;
    struct TResetFlag
    {
        bool& flag;
        ~TResetFlag() { flag = false; }
    } reset{m_active};
    run();
}

void TUUCode::run()
{
    if (m_inputFile.isEmpty())
        throw EUUCode(QStringLiteral("InputFileName is empty"));
    if (m_outputFile.isEmpty() && !(isDecoder(m_algorithm) && m_headers))
        throw EUUCode(QStringLiteral("OutputFileName is empty"));

    TLocalFile input(m_inputFile);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EUUCode(
            QStringLiteral("Cannot open input file %1: %2").arg(m_inputFile, input.errorString()));
    const qint64 size = input.size();
    m_lastPercent = -1;
    m_nextProgress = 0;
    if (m_algorithm == filecopy)
        copy(input, size);
    else if (isDecoder(m_algorithm))
        decode(input, size);
    else
        encode(input, size);
    emit OnProgress(100);
}

void TUUCode::progress(qint64 done, qint64 total)
{
    // Only changes are reported: an event for every line would cost more than the encoding.
    const int percent = int(std::lround(double(done) * 100.0 / double(total)));
    // The first count that rounds to the next percentage.
    m_nextProgress = qint64(std::ceil((percent + 0.5) * double(total) / 100.0));
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    emit OnProgress(quint16(percent));
}

void TUUCode::copy(QIODevice& input, qint64 size)
{
    TOutputFile output(m_outputFile);
    std::vector<char> buffer(BlockSize);
    qint64 done = 0;
    progress(0, size + 3);
    for (;;) {
        const qint64 got = readFully(input, buffer.data(), BlockSize);
        output.Write(buffer.data(), got);
        done += got;
        progress(done, size + 3);
        if (got < BlockSize)
            break;
    }
    output.Commit();
}

void TUUCode::encode(QIODevice& input, qint64 size)
{
    const LineCodec::Kind kind = *kindOf(m_algorithm);
    const int lineBytes = LineCodec::BytesPerLine(kind);
    const QByteArray eol = m_unixCRLF == LF ? QByteArrayLiteral("\n") : QByteArrayLiteral("\r\n");
    const qint64 expected = (size + 3) + (size + 3) / 3 + (size + 3) / 15 + 32;

    TOutputFile output(m_outputFile);
    std::vector<char> in(BlockSize + 16);
    const qint64 linesPerBlock = BlockSize / lineBytes + 1;
    std::vector<char> out(linesPerBlock * (LineCodec::MaxLineChars(kind) + 2) + 16);
    qint64 written = 0;
    const auto put = [&](const QByteArray& text) {
        output.Write(text.constData(), text.size());
        written += text.size();
    };

    progress(0, expected);
    if (m_headers) {
        const QByteArray begin = kind == LineCodec::Kind::base64 ? "begin-base64 " : "begin ";
        put(begin + QString::asprintf("%.4d ", int(m_fileMode)).toLatin1() +
            QFileInfo(m_inputFile).fileName().toUtf8() + eol);
    }
    for (;;) {
        const qint64 got = readFully(input, in.data(), BlockSize);
        const auto* from = reinterpret_cast<const uchar*>(in.data());
        char* to = out.data();
        const auto line = [&](int count) {
            to += LineCodec::EncodeLine(kind, from, count, to);
            std::memcpy(to, eol.constData(), size_t(eol.size()));
            to += eol.size();
            from += count;
            step(written + (to - out.data()), expected);
        };
        // Stretches of lines between progress checks: fine steps at full speed.
        constexpr qint64 Stretch = 256;
        qint64 left = got;
        while (left >= lineBytes) {
            const qint64 lines = std::min(left / lineBytes, Stretch);
            to +=
                LineCodec::EncodeFullLines(kind, from, lines, to, eol.constData(), int(eol.size()));
            from += lines * lineBytes;
            left -= lines * lineBytes;
            step(written + (to - out.data()), expected);
        }
        // A short block is the last: its remainder, even of 0 bytes, makes the last line.
        const bool last = got < BlockSize;
        if (last) {
            // Base64 needs no empty line: its data ends at the closing line or the file's end.
            if (left > 0 || kind != LineCodec::Kind::base64)
                line(int(left));
            // Standard decoders read up to a line of length 0, not up to "end": without
            // it they take "end" for data and fail on every file that is not a multiple
            // of 45 bytes long.
            if (m_headers && kind != LineCodec::Kind::base64 && left > 0)
                line(0);
        }
        output.Write(out.data(), to - out.data());
        written += to - out.data();
        progress(written, expected);
        if (last)
            break;
    }
    // Base64 closes with "====", as GNU uuencode -m writes and GNU uudecode expects.
    const QByteArray closing = kind == LineCodec::Kind::base64 ? "====" : "end";
    put(m_headers ? closing + eol : eol);
    progress(written, expected);
    output.Commit();
}

void TUUCode::decode(QIODevice& input, qint64 size)
{
    const LineCodec::Kind kind = *kindOf(m_algorithm);
    const QByteArray marker = kind == LineCodec::Kind::base64 ? "begin-base64 " : "begin ";
    std::unique_ptr<TOutputFile> output;
    if (!m_headers)
        output = std::make_unique<TOutputFile>(m_outputFile);

    std::vector<uchar> out(BlockSize + MaxLine + 16);
    qint64 outUsed = 0;
    bool done = false;
    bool continued = false; // the line goes on from a piece already decoded

    const auto flush = [&] {
        output->Write(reinterpret_cast<const char*>(out.data()), outUsed);
        outUsed = 0;
    };
    // Encoded characters of one line, or of a piece of a long line, until "end" (or the
    // "====" that closes standard base64 output) at the start of a line.
    const auto takeData = [&](const char* line, qint64 length) {
        if (!continued && ((length >= 3 && std::memcmp(line, "end", 3) == 0) ||
                           (kind == LineCodec::Kind::base64 && length > 0 && line[0] == '='))) {
            done = true;
            return;
        }
        // A line holds at most what the buffer holds, so after a flush it always fits.
        if (outUsed + 3 * (length / 4 + 1) + 16 > qint64(out.size()))
            flush();
        if (kind == LineCodec::Kind::uu &&
            LineCodec::DecodeFullUULine(line, int(length), out.data() + outUsed))
            outUsed += 45;
        else
            outUsed += LineCodec::DecodeLine(kind, line, int(length), out.data() + outUsed);
        if (outUsed >= BlockSize)
            flush();
    };
    // One line without its line end: the begin line while looking for it, then data lines.
    const auto takeLine = [&](const char* line, qint64 length) {
        if (output) {
            takeData(line, length);
            continued = false;
            return;
        }
        const QByteArray text = QByteArray::fromRawData(line, length);
        const qsizetype at = text.indexOf(marker);
        if (at < 0)
            return;
        QByteArray rest = text.mid(at + marker.size());
        const qsizetype space = rest.indexOf(' ');
        rest = space < 0 ? QByteArray() : rest.mid(space + 1);
        rest.replace('"', QByteArray());
        const QString name = TOutputFile::NameFromEncoded(rest);
        if (name.isEmpty())
            throw EUUCode(
                QStringLiteral("The begin line of %1 holds no usable file name").arg(m_inputFile));
        m_decoded =
            TDecodedPath::Choose(QFileInfo(m_inputFile).path(), name, {m_inputFile}, m_overwrite);
        m_outputFile = m_decoded.Path;
        output = std::make_unique<TOutputFile>(m_outputFile);
    };

    std::vector<char> buffer(BlockSize + MaxLine + 16);
    qint64 held = 0;       // bytes of an unfinished line kept at the front of the buffer
    bool skipping = false; // dropping the rest of an over-long line
    qint64 consumed = 0;
    progress(0, size + 3);
    while (!done) {
        const qint64 got = readFully(input, buffer.data() + held, BlockSize);
        consumed += got;
        const bool last = got < BlockSize;
        const char* p = buffer.data();
        const char* end = p + held + got;
        while (!done && p < end) {
            // The common case first: a full uu line, decoded without looking for its end.
            if (kind == LineCodec::Kind::uu && output && end - p > 62 && p[0] == 'M' &&
                (p[61] == '\n' || p[61] == '\r') && !skipping &&
                LineCodec::DecodeFullUULine(p, 61, out.data() + outUsed)) {
                outUsed += 45;
                if (outUsed >= BlockSize)
                    flush();
                p += 62;
                if (p[-1] == '\r' && p < end && *p == '\n')
                    ++p;
                continue;
            }
            const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* stop = lf ? lf : end;
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', size_t(stop - p)));
            if (cr)
                stop = cr;
            else if (!lf)
                break;
            if (!skipping)
                takeLine(p, stop - p);
            step(consumed - got - held + (stop - buffer.data()), size + 3);
            skipping = false;
            continued = false;
            p = stop + 1;
            if (cr && p < end && *p == '\n')
                ++p;
        }
        held = end - p;
        if (!done && held > MaxLine && output && kind == LineCodec::Kind::base64 && !skipping) {
            // Base64 may come as one line for the whole file: decode it in pieces of whole
            // groups. A "=" ends the data of the line, as it does in a short line.
            const qint64 piece = held - held % 4;
            skipping = std::memchr(p, '=', size_t(piece)) != nullptr;
            takeData(p, piece);
            continued = true;
            p += piece;
            held -= piece;
        }
        if (!done && (last || held > MaxLine)) {
            // Any other line this long is no encoded line: its start is read, the rest dropped.
            if (held > 0 && !skipping)
                takeLine(p, std::min(held, MaxLine));
            skipping = !last;
            held = 0;
        }
        std::memmove(buffer.data(), p, size_t(held));
        progress(consumed, size + 3);
        if (last)
            break;
    }
    if (!output)
        throw EUUCode(QStringLiteral("No \"%1\" line found in %2")
                          .arg(QString::fromLatin1(marker.trimmed()), m_inputFile));
    // Without the closing line the file was cut short: the old output file stays as it was.
    if (m_headers && !done)
        throw EUUCode(QStringLiteral("%1 ended early: no \"%2\" line after the data; %3 not "
                                     "written")
                          .arg(m_inputFile,
                               kind == LineCodec::Kind::base64 ? QStringLiteral("====")
                                                               : QStringLiteral("end"),
                               m_outputFile));
    flush();
    output->Commit();
}
