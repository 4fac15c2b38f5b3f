#include "article/TextFileSegment.h"

#include "article/WireLine.h"

#include <cstring>

namespace {
constexpr qsizetype BufferSize = 256 * 1024;
}

TTextFileSegment::TTextFileSegment(const QString& path) : m_path(path), m_file(path) {}

bool TTextFileSegment::Count(QString& error)
{
    if (!start(error))
        return false;
    QByteArray line;
    qint64 count = 0;
    int got = 0;
    m_charset = {};
    while ((got = readLine(line)) > 0) {
        ++count;
        m_charset.AddLine(line);
    }
    m_file.close();
    if (got < 0) {
        error = readError();
        return false;
    }
    m_lineCount = count;
    return true;
}

bool TTextFileSegment::Open(QString& error)
{
    m_sent = 0;
    return start(error);
}

bool TTextFileSegment::Next(QByteArray& line, QString& error)
{
    const int got = m_file.isOpen() ? readLine(line) : 0;
    if (got < 0) {
        error = readError();
        return false;
    }
    const bool more = got > 0;
    if (more != (m_sent < m_lineCount)) {
        error = QStringLiteral("The file %1 changed while it was being sent").arg(m_path);
        return false;
    }
    if (!more) {
        m_file.close();
        return false;
    }
    ++m_sent;
    WireLine::StuffDot(line);
    return true;
}

bool TTextFileSegment::start(QString& error)
{
    m_file.close();
    m_pos = m_end = 0;
    m_afterCR = false;
    m_failed = false;
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        error = QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_file.errorString());
        return false;
    }
    m_buffer.resize(BufferSize);
    return true;
}

bool TTextFileSegment::fill()
{
    const qint64 got = m_file.read(m_buffer.data(), qint64(m_buffer.size()));
    if (got < 0)
        m_failed = true;
    m_pos = 0;
    m_end = got > 0 ? got : 0;
    return got > 0;
}

int TTextFileSegment::readLine(QByteArray& line)
{
    line.clear();
    bool any = false;
    for (;;) {
        if (m_pos == m_end && !fill())
            return m_failed ? -1 : (any ? 1 : 0);
        // The LF of a CR LF pair that was split across two reads.
        if (m_afterCR) {
            m_afterCR = false;
            if (m_buffer[m_pos] == '\n' && !any) {
                ++m_pos;
                continue;
            }
        }
        any = true;
        const char* from = m_buffer.data() + m_pos;
        const char* end = m_buffer.data() + m_end;
        const char* stop = from;
        while (stop < end && *stop != '\n' && *stop != '\r')
            ++stop;
        line.append(from, stop - from);
        m_pos += stop - from;
        if (stop == end)
            continue;
        ++m_pos;
        if (*stop == '\r') {
            if (m_pos < m_end) {
                if (m_buffer[m_pos] == '\n')
                    ++m_pos;
            } else {
                m_afterCR = true;
            }
        }
        return 1;
    }
}

QString TTextFileSegment::readError() const
{
    return QStringLiteral("Cannot read the file %1: %2").arg(m_path, m_file.errorString());
}
