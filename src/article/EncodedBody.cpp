#include "article/EncodedBody.h"

#include "article/WireLine.h"
#include "article/YEncBody.h"
#include "codec/LineCodec.h"

#include <QFileInfo>

#include <cstring>

namespace {

constexpr int LineBytes = 45;
constexpr int FullLineChars = 61;
constexpr int LineChars = 64;    // room for the longest line
constexpr int EncoderSlack = 16; // what the bulk encoder may write past its lines
constexpr qint64 BlockBytes = LineBytes * 4096;

} // namespace

TBodyEncoding BodyEncodingFromText(const QString& text)
{
    return text.trimmed().compare(QLatin1String("yenc"), Qt::CaseInsensitive) == 0
               ? TBodyEncoding::YEnc
               : TBodyEncoding::UUEncode;
}

std::unique_ptr<TEncodedBody> TEncodedBody::Create(TBodyEncoding encoding, const QString& path,
                                                   qint64 partBytes)
{
    switch (encoding) {
    case TBodyEncoding::YEnc:
        return std::make_unique<TYEncBody>(path, partBytes);
    case TBodyEncoding::UUEncode:
        break;
    }
    return std::make_unique<TUUEncodedBody>(path);
}

TEncodedBody::~TEncodedBody()
{
    if (m_sink)
        m_sink->End();
}

bool TEncodedBody::Next(QByteArray& line)
{
    QByteArrayView view;
    const bool got = take(view);
    if (got)
        line = view.toByteArray();
    return got;
}

bool TEncodedBody::AppendNext(TByteLines& lines)
{
    QByteArrayView view;
    const bool got = take(view);
    if (got)
        lines.Append(view.data(), view.size());
    return got;
}

bool TEncodedBody::fail(TBodyFault fault, const QString& detail)
{
    m_fault = fault;
    m_detail = detail;
    return false;
}

void TEncodedBody::clearFault()
{
    m_fault = TBodyFault::None;
    m_detail.clear();
}

bool TEncodedBody::openFile(QFile& file, qint64 size)
{
    file.close();
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(TBodyFault::Open, file.errorString());
    if (file.size() != size) {
        file.close();
        return fail(TBodyFault::Changed);
    }
    return true;
}

bool TEncodedBody::readFully(QFile& file, QByteArray& block, qint64 want)
{
    block.resize(want);
    const qint64 offset = file.pos();
    qint64 got = 0;
    while (got < want) {
        const qint64 n = file.read(block.data() + got, want - got);
        if (n < 0)
            return fail(TBodyFault::Read, file.errorString());
        if (n == 0)
            return fail(TBodyFault::Changed);
        got += n;
    }
    if (m_sink)
        m_sink->Read(offset, block.constData(), want);
    return true;
}

TUUEncodedBody::TUUEncodedBody(const QString& path)
    : m_path(path), m_file(path), m_size(TLocalFile::Info(path).Size)
{
}

QByteArray TUUEncodedBody::BeginLine(const QString& fileName)
{
    return "begin 644 " + fileName.toUtf8();
}

bool TUUEncodedBody::Open()
{
    clearFault();
    m_index = 0;
    m_consumed = 0;
    m_block.clear();
    m_blockPos = 0;
    return openFile(m_file, m_size);
}

bool TUUEncodedBody::take(QByteArrayView& view)
{
    if (Fault() != TBodyFault::None || m_index >= LineCount())
        return false;
    if (m_index == 0) {
        m_begin = BeginLine(TLocalFile::Shown(QFileInfo(m_path).fileName()));
        WireLine::StuffDot(m_begin);
        ++m_index;
        view = m_begin;
        return true;
    }
    const char* start = nullptr;
    int chars = 0;
    if (!nextLine(m_out, start, chars))
        return false;
    view = QByteArrayView(start, chars);
    return true;
}

bool TUUEncodedBody::nextLine(char* out, const char*& start, int& chars)
{
    // Lines are written one character in, so the dot rule needs no second copy.
    if (!dataLine(out + 1, chars))
        return false;
    start = out + 1;
    if (WireLine::NeedsDot(QByteArrayView(start, chars))) {
        out[0] = '.';
        start = out;
        ++chars;
    }
    ++m_index;
    return true;
}

bool TUUEncodedBody::dataLine(char* out, int& chars)
{
    const qint64 fullLines = m_size / LineBytes;
    if (m_index <= fullLines + 1) {
        // A full line, or the last, shorter one (possibly of no bytes at all).
        const int count = int(qMin<qint64>(LineBytes, m_size - m_consumed));
        if (count > 0 && m_blockPos >= m_block.size() && !readBlock())
            return false;
        const auto* in = reinterpret_cast<const uchar*>(m_block.constData() + m_blockPos);
        chars = LineCodec::EncodeLine(LineCodec::Kind::uu, in, count, out);
        m_blockPos += count;
        m_consumed += count;
        if (m_index == fullLines + 1) {
            // A file still growing would go out cut short without a word.
            const bool grew = m_file.size() != m_size;
            m_file.close();
            if (grew)
                return fail(TBodyFault::Changed);
        }
        return true;
    }
    const char* text = m_index == fullLines + 2 ? AccentLine() : EndLine();
    chars = int(qstrlen(text));
    std::memcpy(out, text, size_t(chars));
    return true;
}

bool TUUEncodedBody::readBlock()
{
    m_blockPos = 0;
    return readFully(m_file, m_block, qMin(BlockBytes, m_size - m_consumed));
}

qint64 TUUEncodedBody::AppendFullLines(TByteLines& lines, qint64 max)
{
    const qint64 fullLines = m_size / LineBytes;
    if (Fault() != TBodyFault::None || m_index < 1 || m_index > fullLines || max <= 0)
        return 0;
    if (m_blockPos >= m_block.size() && !readBlock())
        return -1;
    const qint64 count =
        qMin(qMin(max, fullLines - m_index + 1), qint64(m_block.size() - m_blockPos) / LineBytes);
    const auto* in = reinterpret_cast<const uchar*>(m_block.constData() + m_blockPos);
    // A full uu line is "M" and sixty characters from "!" to "`": nothing the dot rule or
    // the wire would change.
    lines.AppendFixed(count, FullLineChars, EncoderSlack, [&](char* to) {
        LineCodec::EncodeFullLines(LineCodec::Kind::uu, in, count, to, "\r\n", 2);
    });
    m_blockPos += count * LineBytes;
    m_consumed += count * LineBytes;
    m_index += count;
    return count;
}
