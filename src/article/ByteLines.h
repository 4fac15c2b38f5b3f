#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>

// Lines of bytes kept end to end in one buffer, each followed by CR LF: a part of several
// thousand lines costs two allocations instead of one per line, and while every line is
// clean for the wire the buffer already is the body as it goes out.
class TByteLines
{
public:
    void Append(const char* data, qsizetype size);
    void Append(const QByteArray& line) { Append(line.constData(), line.size()); }
    // Appends count lines of exactly length bytes each, which write fills in place: it gets
    // the room for them, each followed by CR LF, and slack bytes more that it may scribble
    // on. Only for lines known to be clean for the wire.
    void AppendFixed(qsizetype count, qsizetype length, qsizetype slack,
                     const std::function<void(char*)>& write);
    // Room for that many lines of about that many bytes in all (line ends not counted).
    void Reserve(qsizetype lines, qsizetype bytes);
    void Clear();

    qsizetype Size() const { return m_ends.size(); }
    bool IsEmpty() const { return m_ends.isEmpty(); }
    // The line without its line end. Valid until the next change.
    QByteArrayView At(qsizetype index) const;

    // True when every line goes out on the wire exactly as it is.
    bool WireClean() const { return m_wireClean; }
    // Lines first .. first + count - 1 with their CR LF ends. Valid until the next change.
    QByteArrayView Span(qsizetype first, qsizetype count) const;

private:
    qsizetype startOf(qsizetype index) const { return index == 0 ? 0 : m_ends.at(index - 1) + 2; }

    QByteArray m_data;
    QList<qsizetype> m_ends; // where each line's text ends in m_data (its CR LF follows)
    bool m_wireClean = true;
};
