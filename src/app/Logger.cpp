#include "app/Logger.h"

#include "app/Clock.h"
#include "app/SessionLog.h"

#include <QFile>

namespace LogLine {

QString TimeStamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("MM/dd/yy HH:mm:ss"));
}

QString Trimmed(const QString& text)
{
    // Blanks and control characters go from both ends.
    qsizetype b = 0;
    qsizetype e = text.size();
    while (b < e && text[b].unicode() <= 32)
        ++b;
    while (e > b && text[e - 1].unicode() <= 32)
        --e;
    return text.mid(b, e - b);
}

QString Format(const QDateTime& when, const QString& text)
{
    return TimeStamp(when) + QStringLiteral("   ") + Trimmed(text);
}

} // namespace LogLine

TLogger::TLogger(TSessionLog& session, const TClock& clock, QObject* parent)
    : QObject(parent), m_session(session), m_clock(clock)
{
}

void TLogger::LogIt(const QString& text)
{
    m_session.AddLine(text);
    if (m_fileName.isEmpty())
        return;
    QString error;
    const bool ok = appendToFile(LogLine::Format(m_clock.Now(), text), &error);
    if (ok) {
        m_failing = false;
    } else if (!m_failing) {
        m_failing = true;
        emit LogFileFailed(error);
    }
}

bool TLogger::appendToFile(const QString& line, QString* error) const
{
    QFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error =
            QStringLiteral("Cannot write the log file %1: %2").arg(m_fileName, f.errorString());
        return false;
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        *error =
            QStringLiteral("Cannot write the log file %1: %2").arg(m_fileName, f.errorString());
        return false;
    }
    return true;
}
