#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

class TClock;
class TSessionLog;

// Formats one log line: the time stamp, three blanks, the trimmed text on one line with its
// control characters escaped.
namespace LogLine {
QString TimeStamp(const QDateTime& when);
QString Trimmed(const QString& text);
// Control characters other than the tab shown as \xHH.
QString Escaped(const QString& text);
QString Format(const QDateTime& when, const QString& text);
} // namespace LogLine

// The one place every part of the program logs through: the session log first, then a
// line appended to the log file, which is opened and closed per line so it is whole up
// to the last line even after a crash.
class TLogger : public QObject
{
    Q_OBJECT
public:
    TLogger(TSessionLog& session, const TClock& clock, QObject* parent = nullptr);

    void SetFileName(const QString& fileName) { m_fileName = fileName; }
    QString FileName() const { return m_fileName; }

    void LogIt(const QString& text);

signals:
    // Raised once when the log file cannot be written; later failures stay quiet until a
    // write succeeds again, so a read-only folder does not turn every line into an error.
    void LogFileFailed(const QString& message);

private:
    bool appendToFile(const QString& line, QString* error) const;

    TSessionLog& m_session;
    const TClock& m_clock;
    QString m_fileName;
    bool m_failing = false;
};
