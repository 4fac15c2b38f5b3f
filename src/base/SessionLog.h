#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QTemporaryFile;
class TClock;

// The lines of this run's session log, shown by the session log window and written to
// its file when the program closes. It starts empty at every start.
//
// A long run (a big upload logs five lines per article) would hold every line in memory:
// only the newest lines stay there, and older ones move to a temporary file that goes into
// the session log file at close.
class TSessionLog : public QObject
{
    Q_OBJECT
public:
    // The newest lines kept in memory (and shown in the window) by default.
    static constexpr qsizetype DefaultMemoryLines = 50000;

    explicit TSessionLog(const TClock& clock, QObject* parent = nullptr);
    ~TSessionLog() override;

    void SetMemoryLines(qsizetype lines) { m_memoryLines = qMax<qsizetype>(1, lines); }
    qsizetype MemoryLines() const { return m_memoryLines; }

    // Builds the line from its own reading of the clock and appends it.
    void AddLine(const QString& text);
    // The newest lines, at most MemoryLines of them.
    const QStringList& Lines() const { return m_lines; }
    bool IsEmpty() const { return m_lines.isEmpty(); }

    // Replaces fileName with every line of the run (CR LF ends); returns an error text or
    // empty.
    QString SaveToFile(const QString& fileName) const;

signals:
    void LineAdded(const QString& line);

private:
    void moveOldestToFile();

    const TClock& m_clock;
    QStringList m_lines;
    qsizetype m_memoryLines = DefaultMemoryLines;
    std::unique_ptr<QTemporaryFile> m_older; // lines no longer in memory, oldest first
};
