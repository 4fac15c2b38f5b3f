#include "article/ByteLines.h"

void TByteLines::Append(const char* data, qsizetype size)
{
    m_data.append(data, size);
    m_ends.append(m_data.size());
}

void TByteLines::Reserve(qsizetype lines, qsizetype bytes)
{
    m_ends.reserve(lines);
    m_data.reserve(bytes);
}

void TByteLines::Clear()
{
    m_data.clear();
    m_ends.clear();
}

QByteArrayView TByteLines::At(qsizetype index) const
{
    const qsizetype start = index == 0 ? 0 : m_ends.at(index - 1);
    return QByteArrayView(m_data.constData() + start, m_ends.at(index) - start);
}
