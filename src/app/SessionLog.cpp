#include "app/SessionLog.h"

#include "app/Clock.h"
#include "app/Logger.h"

#include <QSaveFile>

TSessionLog::TSessionLog(const TClock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

void TSessionLog::AddLine(const QString& text)
{
    const QString line = LogLine::Format(m_clock.Now(), text);
    m_lines << line;
    emit LineAdded(line);
}

QString TSessionLog::SaveToFile(const QString& fileName) const
{
    QSaveFile f(fileName);
    if (!f.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write %1: %2").arg(fileName, f.errorString());
    for (const QString& line : m_lines) {
        f.write(line.toUtf8());
        f.write("\r\n");
    }
    if (!f.commit())
        return QStringLiteral("Cannot write %1: %2").arg(fileName, f.errorString());
    return QString();
}
