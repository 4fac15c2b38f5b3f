#include "tasks/QueueLock.h"

#include <QDir>
#include <QStorageInfo>

TQueueLock::~TQueueLock()
{
    Release();
}

QString TQueueLock::FileName(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QStringLiteral("qvqueue.lock"));
}

QString TQueueLock::Acquire(const QString& dataFolder)
{
    const QString fileName = FileName(dataFolder);
    if (m_lock && m_lock->fileName() == fileName && m_lock->isLocked())
        return QString();
    Release();
    auto lock = std::make_unique<QLockFile>(fileName);
    // Never stale by age: a long upload holds it for hours. A lock of a process that is no
    // longer running is taken over all the same.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        m_lock = std::move(lock);
        return QString();
    }
    const QString folder = QDir::toNativeSeparators(dataFolder);
    qint64 pid = 0;
    QString host;
    QString program;
    switch (lock->error()) {
    case QLockFile::LockFailedError:
        if (lock->getLockInfo(&pid, &host, &program))
            return QStringLiteral("the queue of %1 is held by %2, process %3 on %4: wait until it "
                                  "has ended")
                .arg(folder, program, QString::number(pid), host);
        return QStringLiteral("the queue of %1 is in use by another program (its lock file %2 "
                              "names none that can be told)")
            .arg(folder, QDir::toNativeSeparators(fileName));
    case QLockFile::PermissionError:
        return QStringLiteral("the queue of %1 cannot be locked: %2 cannot be written")
            .arg(folder, QDir::toNativeSeparators(fileName));
    default: {
        // QLockFile tells no more; a full disk is the usual cause.
        const bool full = QStorageInfo(dataFolder).bytesAvailable() == 0;
        return QStringLiteral("the queue of %1 cannot be locked: %2 cannot be made%3")
            .arg(folder, QDir::toNativeSeparators(fileName),
                 full ? QStringLiteral(": the disk is full") : QString());
    }
    }
}

bool TQueueLock::Held() const
{
    return m_lock && m_lock->isLocked();
}

void TQueueLock::Release()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}
