#include "base/SessionLog.h"

#include "base/Clock.h"
#include "base/Logger.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QTemporaryFile>

TSessionLog::TSessionLog(const TClock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

TSessionLog::~TSessionLog() = default;

void TSessionLog::AddLine(const QString& text)
{
    const QString line = LogLine::Format(m_clock.Now(), text);
    m_lines << line;
    if (m_lines.size() > m_memoryLines)
        moveOldestToFile();
    emit LineAdded(line);
}

void TSessionLog::moveOldestToFile()
{
    // Moved a batch at a time; where no temporary file can be had, the lines stay in memory
    // rather than go missing from the session log file.
    if (!m_older) {
        auto file = std::make_unique<QTemporaryFile>();
        if (!file->open())
            return;
        m_older = std::move(file);
    }
    const qsizetype batch = qMax<qsizetype>(1, m_memoryLines / 10);
    const qsizetype count = qMin(batch, m_lines.size() - 1);
    QByteArray bytes;
    for (qsizetype i = 0; i < count; ++i)
        bytes += m_lines.at(i).toUtf8() + "\r\n";
    const qint64 before = m_older->size();
    if (m_older->write(bytes) != bytes.size() || !m_older->flush()) {
        m_older->resize(before); // nothing half written: the lines stay here
        m_older->seek(before);
        return;
    }
    m_lines.remove(0, count);
}

QString TSessionLog::SaveToFile(const QString& fileName) const
{
    TSafeFile f(fileName);
    if (!f.Open())
        return QStringLiteral("Cannot write %1: %2").arg(fileName, f.ErrorText());
    if (m_older) {
        QFile older(m_older->fileName());
        if (!older.open(QIODevice::ReadOnly))
            return QStringLiteral("Cannot read the earlier session log lines in %1: %2")
                .arg(older.fileName(), older.errorString());
        for (QByteArray chunk; !(chunk = older.read(1 << 20)).isEmpty();)
            f.Write(chunk);
        if (older.error() != QFileDevice::NoError)
            return QStringLiteral("Cannot read the earlier session log lines in %1: %2")
                .arg(older.fileName(), older.errorString());
    }
    for (const QString& line : m_lines)
        f.Write(line.toUtf8() + "\r\n");
    if (!f.Commit())
        return QStringLiteral("Cannot write %1: %2").arg(fileName, f.ErrorText());
    return QString();
}
