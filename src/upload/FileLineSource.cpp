#include "upload/FileLineSource.h"

#include "codec/LineCodec.h"

#include <QFileInfo>

#include <cstring>

namespace {

constexpr int LineBytes = 45;
constexpr int FullLineChars = 61;
constexpr int LineChars = 64;    // room for the longest encoded line
constexpr int EncoderSlack = 16; // what the bulk encoder may write past its lines
constexpr qint64 BlockBytes = LineBytes * 4096;

void addDot(QByteArray& line)
{
    if (line.startsWith('.'))
        line.prepend('.');
}

} // namespace

bool TFileLineSource::Open(const QString& path, bool encode)
{
    m_encode = encode;
    m_path = path;
    m_index = 0;
    m_errorText.clear();
    if (!encode) {
        QString error;
        if (!TTextLineReader::CountLines(path, m_lineCount, &error))
            return fail(error);
        if (!m_text.Open(path))
            return fail(m_text.ErrorText());
        return true;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open the file %1: %2").arg(path, m_file.errorString()));
    m_size = m_file.size();
    m_consumed = 0;
    m_block.clear();
    m_blockPos = 0;
    m_lineCount = EncodedLineCount(m_size);
    return true;
}

bool TFileLineSource::fail(const QString& text)
{
    m_errorText = text;
    m_file.close();
    return false;
}

bool TFileLineSource::Next(QByteArray& line)
{
    if (!m_errorText.isEmpty() || m_index >= m_lineCount)
        return false;
    if (m_encode && m_index > 0) {
        char out[LineChars + 1];
        const char* start = nullptr;
        int chars = 0;
        if (!nextEncodedLine(out, start, chars))
            return false;
        line = QByteArray(start, chars);
        return true;
    }
    if (m_encode) {
        line = "begin 644 " + QFileInfo(m_path).fileName().toUtf8();
    } else if (!m_text.Next(line)) {
        // The count was taken from the same file a moment ago: fewer lines now means it
        // changed under us, and the subject lines would lie about the parts.
        return fail(
            m_text.ErrorText().isEmpty()
                ? QStringLiteral("The file %1 changed while it was being posted").arg(m_path)
                : m_text.ErrorText());
    }
    addDot(line);
    ++m_index;
    return true;
}

bool TFileLineSource::nextEncodedLine(char* out, const char*& start, int& chars)
{
    // Encoded lines are written one character in, so the dot rule needs no second copy.
    if (!encodedLine(out + 1, chars))
        return false;
    start = out + 1;
    if (out[1] == '.') {
        out[0] = '.';
        start = out;
        ++chars;
    }
    ++m_index;
    return true;
}

bool TFileLineSource::readBlock()
{
    const qint64 want = qMin(BlockBytes, m_size - m_consumed);
    m_block.resize(want);
    m_blockPos = 0;
    qint64 got = 0;
    while (got < want) {
        const qint64 n = m_file.read(m_block.data() + got, want - got);
        if (n < 0)
            return fail(
                QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_file.errorString()));
        if (n == 0)
            return fail(
                QStringLiteral("The file %1 changed while it was being posted").arg(m_path));
        got += n;
    }
    return true;
}

bool TFileLineSource::encodedLine(char* out, int& chars)
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
        if (m_index == fullLines + 1)
            m_file.close();
        return true;
    }
    const char* text = m_index == fullLines + 2 ? "`" : "end";
    chars = int(qstrlen(text));
    memcpy(out, text, size_t(chars));
    return true;
}

qint64 TFileLineSource::AppendFullLines(TByteLines& lines, qint64 max)
{
    const qint64 fullLines = m_size / LineBytes;
    if (!m_encode || !m_errorText.isEmpty() || m_index < 1 || m_index > fullLines || max <= 0)
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

bool TFileLineSource::AppendNext(TByteLines& lines)
{
    if (!m_encode || m_index == 0) {
        QByteArray bytes;
        if (!Next(bytes))
            return false;
        lines.Append(bytes);
        return true;
    }
    if (!m_errorText.isEmpty() || m_index >= m_lineCount)
        return false;
    char out[LineChars + 1];
    const char* start = nullptr;
    int chars = 0;
    if (!nextEncodedLine(out, start, chars))
        return false;
    lines.Append(start, chars);
    return true;
}
