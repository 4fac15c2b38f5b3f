#include "article/FileLineSource.h"

#include "article/LineCodec.h"

#include <QFileInfo>

namespace {

constexpr int LineBytes = 45;
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
    if (m_encode) {
        if (!nextEncoded(line))
            return false;
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

bool TFileLineSource::nextEncoded(QByteArray& line)
{
    const qint64 fullLines = m_size / LineBytes;
    if (m_index == 0) {
        line = "begin 644 " + QFileInfo(m_path).fileName().toUtf8();
        return true;
    }
    if (m_index <= fullLines + 1) {
        // A full line, or the last, shorter one (possibly of no bytes at all).
        const int count = int(qMin<qint64>(LineBytes, m_size - m_consumed));
        if (count > 0 && m_blockPos >= m_block.size() && !readBlock())
            return false;
        char out[LineBytes * 2];
        const auto* in = reinterpret_cast<const uchar*>(m_block.constData() + m_blockPos);
        const int chars = LineCodec::EncodeLine(LineCodec::Kind::uu, in, count, out);
        line = QByteArray(out, chars);
        m_blockPos += count;
        m_consumed += count;
        if (m_index == fullLines + 1)
            m_file.close();
        return true;
    }
    line = m_index == fullLines + 2 ? QByteArray("`") : QByteArray("end");
    return true;
}
