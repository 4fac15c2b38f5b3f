#include "tasks/EndedTasks.h"

#include <QCryptographicHash>
#include <QFile>

#include <unistd.h>

QString TEndedTasks::recordName(const QString& taskFileName)
{
    return taskFileName + QStringLiteral(".ended");
}

QByteArray TEndedTasks::header(const QByteArray& taskFileBytes)
{
    return "ended tasks of " +
           QCryptographicHash::hash(taskFileBytes, QCryptographicHash::Sha256).toHex() + '\n';
}

QSet<int> TEndedTasks::Read(const QString& taskFileName, const QByteArray& taskFileBytes)
{
    QFile file(recordName(taskFileName));
    QSet<int> ended;
    if (!file.open(QIODevice::ReadOnly) || file.readLine() != header(taskFileBytes))
        return ended;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        bool ok = false;
        const int number = line.trimmed().toInt(&ok);
        if (ok && line.endsWith('\n') && number >= 0)
            ended.insert(number);
    }
    return ended;
}

QString TEndedTasks::Rebase(const QString& taskFileName, const QByteArray& taskFileBytes)
{
    m_header = taskFileBytes.isEmpty() ? QByteArray() : header(taskFileBytes);
    m_begun = false;
    QFile old(recordName(taskFileName));
    if (old.exists() && !old.remove())
        return old.errorString();
    return QString();
}

QString TEndedTasks::Record(const QString& taskFileName, int taskNumber)
{
    if (m_header.isEmpty())
        return QStringLiteral("no task file to refer to");
    QFile file(recordName(taskFileName));
    const QIODevice::OpenMode mode =
        QIODevice::WriteOnly | (m_begun ? QIODevice::Append : QIODevice::Truncate);
    if (!file.open(mode))
        return file.errorString();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray line = QByteArray::number(taskNumber) + '\n';
    const QByteArray bytes = m_begun ? line : m_header + line;
    const bool syncNow = !m_begun || m_pacer.Due();
    if (file.write(bytes) != bytes.size() || !file.flush() ||
        (syncNow && ::fdatasync(file.handle()) != 0)) {
        // What went out may be cut short: nothing more goes after it until a rebase.
        m_header.clear();
        return file.errorString().isEmpty() ? QStringLiteral("it could not be written to disk")
                                            : file.errorString();
    }
    m_begun = true;
    if (syncNow)
        m_pacer.Synced();
    return QString();
}
