#include "article/EncodedFileSegment.h"

#include "codec/LineCodec.h"

#include <QFileInfo>

#include <cstring>

namespace {
constexpr int LineBytes = 45;
constexpr qsizetype BufferSize = LineBytes * 4096;
} // namespace

TEncodedFileSegment::TEncodedFileSegment(const QString& path)
    : m_path(path), m_file(path), m_size(QFileInfo(path).size())
{
}

bool TEncodedFileSegment::Check(QString& error)
{
    if (!Open(error))
        return false;
    m_file.close();
    m_step = TStep::Done;
    return true;
}

bool TEncodedFileSegment::Open(QString& error)
{
    m_file.close();
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_file.errorString());
        return false;
    }
    if (m_file.size() != m_size) {
        error = changed();
        return false;
    }
    m_step = TStep::Begin;
    m_linesLeft = m_size / LineBytes + 1;
    m_buffer.resize(BufferSize);
    m_pos = m_end = 0;
    return true;
}

bool TEncodedFileSegment::Next(QByteArray& line, QString& error)
{
    switch (m_step) {
    case TStep::Begin:
        line = "begin 644 " + QFileInfo(m_path).fileName().toUtf8();
        m_step = TStep::Data;
        return true;
    case TStep::Data:
        if (!dataLine(line, error))
            return false;
        if (--m_linesLeft == 0) {
            // A file still growing would go out cut short without a word.
            if (m_file.size() != m_size) {
                error = changed();
                return false;
            }
            m_step = TStep::Accent;
        }
        return true;
    case TStep::Accent:
        line = "`";
        m_step = TStep::End;
        return true;
    case TStep::End:
        line = "end";
        m_step = TStep::Done;
        m_file.close();
        return true;
    case TStep::Done:
        break;
    }
    return false;
}

// Full lines of 45 bytes, then the last line of the remaining 0 to 44.
bool TEncodedFileSegment::dataLine(QByteArray& line, QString& error)
{
    const int count = m_linesLeft > 1 ? LineBytes : int(m_size % LineBytes);
    if (m_end - m_pos < count) {
        const qsizetype kept = m_end - m_pos;
        std::memmove(m_buffer.data(), m_buffer.data() + m_pos, size_t(kept));
        m_pos = 0;
        m_end = kept;
        while (m_end < BufferSize) {
            const qint64 got = m_file.read(m_buffer.data() + m_end, BufferSize - m_end);
            if (got < 0) {
                error =
                    QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_file.errorString());
                return false;
            }
            if (got == 0)
                break;
            m_end += got;
        }
        if (m_end < count) {
            error = changed();
            return false;
        }
    }
    line.resize(LineCodec::MaxLineChars(LineCodec::Kind::uu));
    const int length = LineCodec::EncodeLine(
        LineCodec::Kind::uu, reinterpret_cast<const uchar*>(m_buffer.data() + m_pos), count,
        line.data());
    line.truncate(length);
    m_pos += count;
    EscapeDot(line);
    return true;
}

QString TEncodedFileSegment::changed() const
{
    return QStringLiteral("The file %1 changed while it was being sent").arg(m_path);
}
