#include "codec/par2/Par2Feed.h"

#include <algorithm>
#include <cstring>

TPar2Feed::TPar2Feed(qint64 fileSize, qint64 bufferBytes, int maxWaiting)
    : m_fileSize(fileSize), m_bufferBytes(std::max<qint64>(1, bufferBytes)),
      m_maxWaiting(std::max(1, maxWaiting))
{
}

void TPar2Feed::Read(qint64 offset, const char* data, qint64 size)
{
    std::lock_guard lock(m_mutex);
    if (m_ended)
        return;
    if (offset > m_received) { // bytes skipped: the creator reads them itself
        endLocked();
        return;
    }
    // Bytes read again (the reader started over) were taken already.
    const qint64 skip = m_received - offset;
    size = std::min(size - skip, m_fileSize - m_received);
    data += skip;
    while (size > 0) {
        if (!m_current.Data) {
            if (int(m_waiting.size()) >= m_maxWaiting) {
                endLocked();
                return;
            }
            if (m_spare.empty()) {
                m_current.Data.reset(new uchar[size_t(m_bufferBytes)]);
            } else {
                m_current.Data = std::move(m_spare.back());
                m_spare.pop_back();
            }
            m_current.Bytes = 0;
        }
        const qint64 n = std::min(size, m_bufferBytes - m_current.Bytes);
        std::memcpy(m_current.Data.get() + m_current.Bytes, data, size_t(n));
        m_current.Bytes += n;
        m_received += n;
        data += n;
        size -= n;
        if (m_current.Bytes == m_bufferBytes || m_received == m_fileSize)
            pushCurrent();
    }
}

void TPar2Feed::End()
{
    std::lock_guard lock(m_mutex);
    endLocked();
}

void TPar2Feed::endLocked()
{
    if (m_ended)
        return;
    m_ended = true;
    if (m_current.Data && m_current.Bytes > 0)
        pushCurrent();
    m_current = {};
    m_spare.clear();
    m_ready.notify_all();
}

void TPar2Feed::pushCurrent()
{
    m_waiting.push_back(std::move(m_current));
    m_current = {};
    m_ready.notify_all();
}

TPar2Feed::TBuffer TPar2Feed::Take()
{
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [this] { return !m_waiting.empty() || m_ended; });
    if (m_waiting.empty())
        return {};
    TBuffer buffer = std::move(m_waiting.front());
    m_waiting.pop_front();
    return buffer;
}

void TPar2Feed::Give(TBuffer buffer)
{
    std::lock_guard lock(m_mutex);
    if (buffer.Data && !m_ended && m_spare.size() < 2)
        m_spare.push_back(std::move(buffer.Data));
}

qint64 TPar2Feed::Received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}
