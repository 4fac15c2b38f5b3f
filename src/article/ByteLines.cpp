#include "article/ByteLines.h"

#include "article/WireLine.h"

#include <cstring>

void TByteLines::Append(const char* data, qsizetype size)
{
    const qsizetype start = m_data.size();
    m_data.resize(start + size + 2); // grows geometrically; no insert machinery per line
    char* to = m_data.data() + start;
    if (size > 0) // an empty line may come with no data pointer at all
        std::memcpy(to, data, size_t(size));
    to[size] = '\r';
    to[size + 1] = '\n';
    m_ends.append(start + size);
    if (m_wireClean)
        m_wireClean = WireLine::IsClean(QByteArrayView(data, size));
}

void TByteLines::AppendFixed(qsizetype count, qsizetype length, qsizetype slack,
                             const std::function<void(char*)>& write)
{
    if (count <= 0)
        return;
    const qsizetype start = m_data.size();
    const qsizetype stride = length + 2;
    m_data.resize(start + count * stride + slack);
    write(m_data.data() + start);
    m_data.resize(start + count * stride);
    for (qsizetype k = 0, end = start + length; k < count; ++k, end += stride)
        m_ends.append(end);
}

void TByteLines::Reserve(qsizetype lines, qsizetype bytes)
{
    m_ends.reserve(lines);
    m_data.reserve(bytes + 2 * lines);
}

void TByteLines::Clear()
{
    m_data.clear();
    m_ends.clear();
    m_wireClean = true;
}

QByteArrayView TByteLines::At(qsizetype index) const
{
    const qsizetype start = startOf(index);
    return QByteArrayView(m_data.constData() + start, m_ends.at(index) - start);
}

QByteArrayView TByteLines::Span(qsizetype first, qsizetype count) const
{
    if (count <= 0)
        return {};
    const qsizetype start = startOf(first);
    return QByteArrayView(m_data.constData() + start, m_ends.at(first + count - 1) + 2 - start);
}
