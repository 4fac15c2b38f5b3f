#pragma once

#include <QObject>
#include <QStringList>

class TClock;

// The lines of this run's session log, shown by the session log window and written to
// its file when the program closes. It starts empty at every start.
class TSessionLog : public QObject
{
    Q_OBJECT
public:
    explicit TSessionLog(const TClock& clock, QObject* parent = nullptr);

    // Builds the line from its own reading of the clock and appends it.
    void AddLine(const QString& text);
    const QStringList& Lines() const { return m_lines; }
    bool IsEmpty() const { return m_lines.isEmpty(); }

    // Replaces fileName with the lines (CR LF ends); returns an error text or empty.
    QString SaveToFile(const QString& fileName) const;

signals:
    void LineAdded(const QString& line);

private:
    const TClock& m_clock;
    QStringList m_lines;
};
