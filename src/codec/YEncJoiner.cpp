#include "codec/YEncJoiner.h"

#include "codec/Crc32.h"
#include "codec/EUUCode.h"
#include "codec/OutputFile.h"
#include "codec/YEnc.h"
#include "codec/YEncDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr qint64 BlockSize = 256 * 1024;
// A header line is short; a longer one is cut here so that memory stays bounded.
constexpr qint64 MaxLine = 64 * 1024;

// The key=value fields of a header line after its keyword; "name=" takes the rest of the line.
struct TFields
{
    QHash<QByteArray, QByteArray> values;
    std::optional<QByteArray> name;

    explicit TFields(const QByteArray& line)
    {
        qsizetype i = line.indexOf(' ');
        while (i >= 0 && i < line.size()) {
            while (i < line.size() && line[i] == ' ')
                ++i;
            if (line.mid(i, 5) == "name=") {
                name = line.mid(i + 5);
                return;
            }
            qsizetype space = line.indexOf(' ', i);
            if (space < 0)
                space = line.size();
            const QByteArray token = line.mid(i, space - i);
            const qsizetype equals = token.indexOf('=');
            if (equals > 0 && !values.contains(token.left(equals)))
                values.insert(token.left(equals), token.mid(equals + 1));
            i = space;
        }
    }

    bool has(const char* key) const { return values.contains(key); }

    // A decimal number of up to 18 digits, nothing else.
    std::optional<qint64> number(const char* key) const
    {
        const QByteArray text = values.value(key);
        if (text.isEmpty() || text.size() > 18)
            return std::nullopt;
        qint64 value = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        return value;
    }

    // One to eight hexadecimal digits.
    std::optional<quint32> crc(const char* key) const
    {
        const QByteArray text = values.value(key);
        if (text.isEmpty() || text.size() > 8)
            return std::nullopt;
        bool ok = false;
        const quint32 value = text.toUInt(&ok, 16);
        if (!ok || text.contains('+') || text.contains('-') || text.contains(' '))
            return std::nullopt;
        return value;
    }
};

QString hex8(quint32 value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0'));
}

bool startsWithKeyword(const QByteArray& line, const char* keyword)
{
    const qsizetype length = qsizetype(std::strlen(keyword));
    return line.startsWith(keyword) && (line.size() == length || line[length] == ' ');
}

} // namespace

// What a part's =ybegin and =ypart lines say.
struct TYEncJoiner::THeader
{
    QByteArray name;
    qint64 size = 0;
    int number = 0; // 0: a file in one piece
    qint64 begin = 1;
    qint64 end = 0;
    QString what; // "part K" or "the single part", for messages

    qint64 bytes() const { return end - begin + 1; }
};

// The input in blocks, with the unread rest kept at the front of the next block.
class TYEncJoiner::TReader
{
public:
    explicit TReader(QFile& file) : m_file(file), m_buffer(BlockSize + MaxLine + 64) {}

    const char* p = nullptr;
    const char* end = nullptr;

    // Reads more behind the unread rest; false when the file has no more.
    bool Fill()
    {
        const qint64 rest = p ? end - p : 0;
        if (rest > 0)
            std::memmove(m_buffer.data(), p, size_t(rest));
        const qint64 room = qint64(m_buffer.size()) - 64 - rest;
        qint64 got = room > 0 ? m_file.read(m_buffer.data() + rest, room) : 0;
        if (got < 0)
            throw EUUCode(QStringLiteral("Cannot read input file %1: %2")
                              .arg(m_file.fileName(), m_file.errorString()));
        p = m_buffer.data();
        end = p + rest + got;
        return got > 0;
    }

    // The next line without its line end, cut at MaxLine; nothing at the end of the file.
    std::optional<QByteArray> Line()
    {
        for (;;) {
            if (p) {
                const auto* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
                if (lf || end - p >= MaxLine) {
                    const char* stop = lf ? lf : p + MaxLine;
                    QByteArray line(p, stop - p);
                    p = lf ? lf + 1 : stop;
                    if (line.endsWith('\r'))
                        line.chop(1);
                    return line;
                }
            }
            if (!Fill()) {
                if (p == end)
                    return std::nullopt;
                QByteArray line(p, end - p);
                p = end;
                if (line.endsWith('\r'))
                    line.chop(1);
                return line;
            }
        }
    }

private:
    QFile& m_file;
    std::vector<char> m_buffer;
};

TYEncJoiner::TYEncJoiner(QString outputFile) : m_outputFile(std::move(outputFile)) {}

TYEncJoiner::~TYEncJoiner() = default;

QString TYEncJoiner::Join(const QStringList& inputFiles)
{
    if (inputFiles.isEmpty())
        throw EUUCode(QStringLiteral("InputFileName is empty"));
    m_inputs = inputFiles;
    for (const QString& path : inputFiles)
        joinFile(path);
    checkWhole();
    m_output->Commit();
    return m_outputFile;
}

void TYEncJoiner::joinFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw EUUCode(
            QStringLiteral("Cannot open input file %1: %2").arg(path, file.errorString()));
    TReader reader(file);
    bool found = false;
    while (std::optional<QByteArray> line = reader.Line()) {
        if (startsWithKeyword(*line, "=ybegin")) {
            decodePart(reader, path, *line);
            found = true;
        }
    }
    if (!found)
        throw EUUCode(QStringLiteral("No \"=ybegin\" line found in %1").arg(path));
}

TYEncJoiner::THeader TYEncJoiner::readHeader(TReader& reader, const QString& path,
                                             const QByteArray& beginLine)
{
    const TFields fields(beginLine);
    THeader h;
    const auto bad = [&](const QString& what) {
        return EUUCode(QStringLiteral("%1: %2 %3").arg(path, h.what, what));
    };
    h.what = QStringLiteral("the single part");
    if (fields.has("part")) {
        const std::optional<qint64> number = fields.number("part");
        if (!number || *number < 1 || *number > 999999)
            throw EUUCode(QStringLiteral("%1: the =ybegin line has a bad part number \"%2\"")
                              .arg(path, QString::fromLatin1(fields.values.value("part"))));
        h.number = int(*number);
        h.what = QStringLiteral("part %1").arg(h.number);
    }
    const std::optional<qint64> size = fields.number("size");
    if (!size)
        throw bad(QStringLiteral("has no valid size in its =ybegin line"));
    h.size = *size;
    if (fields.has("total")) {
        const std::optional<qint64> total = fields.number("total");
        if (!total || *total < h.number)
            throw bad(QStringLiteral("has a bad total in its =ybegin line"));
    }
    if (!fields.name || fields.name->isEmpty())
        throw bad(QStringLiteral("has no name in its =ybegin line"));
    h.name = *fields.name;
    h.end = h.size;
    if (h.number > 0) {
        const std::optional<QByteArray> line = reader.Line();
        if (!line || !startsWithKeyword(*line, "=ypart"))
            throw bad(QStringLiteral("has no =ypart line"));
        const TFields range(*line);
        const std::optional<qint64> begin = range.number("begin");
        const std::optional<qint64> end = range.number("end");
        if (!begin || !end)
            throw bad(QStringLiteral("has no valid begin and end in its =ypart line"));
        if (*begin < 1 || *begin > *end || *end > h.size)
            throw bad(QStringLiteral("claims bytes %1-%2 of a file of %3 bytes")
                          .arg(*begin)
                          .arg(*end)
                          .arg(h.size));
        h.begin = *begin;
        h.end = *end;
    }
    return h;
}

// Checks the part against the file and the parts seen so far and opens the output.
void TYEncJoiner::claim(const THeader& h, const QString& path)
{
    if (!m_output) {
        if (m_outputFile.isEmpty()) {
            const QString name = TOutputFile::NameFromEncoded(h.name.trimmed());
            if (name.isEmpty())
                throw EUUCode(
                    QStringLiteral("The =ybegin line of %1 holds no usable file name").arg(path));
            m_decoded = TDecodedPath::Choose(QFileInfo(m_inputs.first()).path(), name, m_inputs,
                                             m_overwrite);
            m_outputFile = m_decoded.Path;
        }
        m_name = QString::fromUtf8(h.name);
        m_size = h.size;
        m_output = std::make_unique<TOutputFile>(m_outputFile);
    } else if (h.size != m_size || QString::fromUtf8(h.name) != m_name) {
        throw EUUCode(QStringLiteral("%1: %2 belongs to \"%3\" of %4 bytes, not to \"%5\" of %6 "
                                     "bytes")
                          .arg(path, h.what, QString::fromUtf8(h.name))
                          .arg(h.size)
                          .arg(m_name)
                          .arg(m_size));
    }
    if (h.bytes() == 0)
        return;
    // The neighbours by first byte: the one before must end before it, the one after must
    // start after it.
    const auto next = m_ranges.lower_bound(h.begin);
    const auto clash = [&](std::map<qint64, TRange>::const_iterator other) {
        const TRange& o = other->second;
        return EUUCode(QStringLiteral("%1: %2 (bytes %3-%4) overlaps part %5 of %6 (bytes %7-%8)")
                           .arg(path, h.what)
                           .arg(h.begin)
                           .arg(h.end)
                           .arg(o.number)
                           .arg(o.file)
                           .arg(other->first)
                           .arg(o.end));
    };
    if (next != m_ranges.end() && next->first <= h.end)
        throw clash(next);
    if (next != m_ranges.begin() && std::prev(next)->second.end >= h.begin)
        throw clash(std::prev(next));
}

void TYEncJoiner::decodePart(TReader& reader, const QString& path, const QByteArray& beginLine)
{
    const THeader h = readHeader(reader, path, beginLine);
    claim(h, path);
    const auto bad = [&](const QString& what) {
        return EUUCode(QStringLiteral("%1: %2 %3").arg(path, h.what, what));
    };

    if (h.bytes() > 0 && m_position != h.begin - 1) {
        m_output->Seek(h.begin - 1);
        m_position = h.begin - 1;
    }
    TYEncDecoder decoder;
    std::vector<uchar> out(BlockSize + MaxLine + 128);
    qint64 decoded = 0;
    quint32 crc = 0;
    for (;;) {
        const TYEncDecoder::TResult r =
            decoder.Decode(reader.p, reader.p ? reader.end - reader.p : 0, out.data());
        if (decoded + r.written > h.bytes())
            throw bad(QStringLiteral("holds more than the %1 bytes of its range %2-%3")
                          .arg(h.bytes())
                          .arg(h.begin)
                          .arg(h.end));
        crc = Crc32::Update(crc, out.data(), r.written);
        m_output->Write(reinterpret_cast<const char*>(out.data()), r.written);
        m_position += r.written;
        decoded += r.written;
        if (reader.p)
            reader.p += r.consumed;
        if (r.keyword)
            break;
        if (!reader.Fill())
            throw bad(QStringLiteral("is cut short: no =yend line"));
    }

    const std::optional<QByteArray> line = reader.Line();
    if (!line || !startsWithKeyword(*line, "=yend"))
        throw bad(QStringLiteral("is cut short: \"%1\" comes before its =yend line")
                      .arg(QString::fromUtf8(line.value_or(QByteArray()).left(40))));
    const TFields fields(*line);
    const std::optional<qint64> size = fields.number("size");
    if (!size)
        throw bad(QStringLiteral("has no valid size in its =yend line"));
    if (decoded != h.bytes() || *size != decoded)
        throw bad(QStringLiteral("has %1 bytes of data; its header says %2 and its =yend line %3")
                      .arg(decoded)
                      .arg(h.bytes())
                      .arg(*size));
    if (h.number > 0 && fields.has("part") && fields.number("part") != h.number)
        throw bad(QStringLiteral("ends with the =yend line of part %1")
                      .arg(QString::fromLatin1(fields.values.value("part"))));
    const char* own = h.number > 0 ? "pcrc32" : "crc32";
    if (fields.has(own)) {
        const std::optional<quint32> given = fields.crc(own);
        if (!given)
            throw bad(QStringLiteral("has a bad %1 value").arg(QLatin1String(own)));
        if (*given != crc)
            throw bad(QStringLiteral("is damaged: CRC-32 %1, its =yend line says %2")
                          .arg(hex8(crc), hex8(*given)));
    }
    if (h.number > 0 && fields.has("crc32")) {
        const std::optional<quint32> given = fields.crc("crc32");
        if (!given)
            throw bad(QStringLiteral("has a bad crc32 value"));
        m_fileCrcs[QStringLiteral("%1 (%2)").arg(h.what, path)] = *given;
    }
    if (h.bytes() > 0)
        m_ranges[h.begin] = TRange{h.end, h.number, path, crc};
}

void TYEncJoiner::checkWhole()
{
    if (!m_output)
        throw EUUCode(QStringLiteral("No \"=ybegin\" line found"));
    qint64 next = 1;
    quint32 crc = 0;
    for (const auto& [begin, range] : m_ranges) {
        if (begin > next)
            break;
        crc = Crc32::Combine(crc, range.crc, range.end - begin + 1);
        next = range.end + 1;
    }
    if (next <= m_size) {
        const auto gap = m_ranges.lower_bound(next);
        const qint64 last = gap == m_ranges.end() ? m_size : gap->first - 1;
        throw EUUCode(QStringLiteral("\"%1\" is incomplete: bytes %2-%3 of %4 are missing "
                                     "(%5 parts given)")
                          .arg(m_name)
                          .arg(next)
                          .arg(last)
                          .arg(m_size)
                          .arg(m_ranges.size()));
    }
    for (const auto& [where, given] : m_fileCrcs) {
        if (given != crc)
            throw EUUCode(QStringLiteral("\"%1\" is damaged: CRC-32 of the whole file %2, "
                                         "the =yend line of %3 says %4")
                              .arg(m_name, hex8(crc), where, hex8(given)));
    }
}
