#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Lines of bytes kept end to end in one buffer: a part of several thousand lines costs two
// allocations instead of one per line.
class TByteLines
{
public:
    void Append(const char* data, qsizetype size);
    void Append(const QByteArray& line) { Append(line.constData(), line.size()); }
    // Room for that many lines of about that many bytes in all.
    void Reserve(qsizetype lines, qsizetype bytes);
    void Clear();

    qsizetype Size() const { return m_ends.size(); }
    bool IsEmpty() const { return m_ends.isEmpty(); }
    // Valid until the next change.
    QByteArrayView At(qsizetype index) const;

private:
    QByteArray m_data;
    QList<qsizetype> m_ends; // where each line ends in m_data
};
