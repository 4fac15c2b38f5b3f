#include "codec/TextLineReader.h"

#include "codec/TextCharset.h"

namespace {

constexpr qint64 BlockSize = 256 * 1024;

} // namespace

bool TTextLineReader::Open(const QString& path)
{
    m_file.setFileName(path);
    m_path = path;
    m_buffer.clear();
    m_pos = 0;
    m_atEnd = false;
    m_skipLF = false;
    m_errorText.clear();
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot open the file %1: %2"));
    return true;
}

bool TTextLineReader::fail(const QString& what)
{
    // Opened by the bytes of a name that is not UTF-8, the file has no name of its own.
    m_errorText = what.arg(TLocalFile::Shown(m_path), m_file.errorString());
    m_file.close();
    m_atEnd = true;
    return false;
}

bool TTextLineReader::fill()
{
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + BlockSize);
    const qint64 got = m_file.read(m_buffer.data() + kept, BlockSize);
    if (got < 0) {
        m_buffer.resize(kept);
        return fail(QStringLiteral("Cannot read the file %1: %2"));
    }
    m_buffer.resize(kept + got);
    if (got == 0)
        m_atEnd = true;
    return true;
}

qint64 TTextLineReader::Consumed() const
{
    const qint64 taken = m_file.pos() - (m_buffer.size() - m_pos);
    // A CR LF split between two blocks: the LF not yet read belongs to the line taken.
    const bool pendingLF = m_skipLF && m_pos < m_buffer.size() && m_buffer.at(m_pos) == '\n';
    return taken + (pendingLF ? 1 : 0);
}

bool TTextLineReader::Next(QByteArray& line)
{
    if (!m_errorText.isEmpty())
        return false;
    for (;;) {
        if (m_skipLF && m_pos < m_buffer.size()) {
            if (m_buffer.at(m_pos) == '\n')
                ++m_pos;
            m_skipLF = false;
        }
        const char* begin = m_buffer.constData() + m_pos;
        const qsizetype left = m_buffer.size() - m_pos;
        qsizetype end = 0;
        while (end < left && begin[end] != '\n' && begin[end] != '\r')
            ++end;
        if (end < left) {
            line = QByteArray(begin, end);
            m_pos += end + 1;
            if (begin[end] == '\r')
                m_skipLF = true;
            return true;
        }
        if (m_atEnd) {
            if (left == 0)
                return false;
            line = QByteArray(begin, left); // a last line without a line end
            m_pos = m_buffer.size();
            return true;
        }
        if (!fill())
            return false;
    }
}

bool TTextLineReader::CountLines(const QString& path, qint64& count, QString* error,
                                 TTextCharset* charset)
{
    TTextLineReader reader;
    count = 0;
    if (!reader.Open(path)) {
        *error = reader.ErrorText();
        return false;
    }
    QByteArray line;
    while (reader.Next(line)) {
        ++count;
        if (charset)
            charset->AddLine(line);
    }
    if (!reader.ErrorText().isEmpty()) {
        *error = reader.ErrorText();
        return false;
    }
    return true;
}
