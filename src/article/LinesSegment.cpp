#include "article/LinesSegment.h"

bool TLinesSegment::Open(QString&)
{
    m_next = 0;
    return true;
}

bool TLinesSegment::Next(QByteArray& line, QString&)
{
    if (m_next >= m_lines.size())
        return false;
    line = m_lines.at(m_next++);
    return true;
}
