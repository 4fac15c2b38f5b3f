#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

// One process at a time owns the queue of a data folder: its task file, journals and NZB
// files. The owner holds the lock file "qvqueue.lock" in that folder for as long as it runs;
// a lock left by a process that has died is taken over. A second program on the same folder
// learns which process holds it and stays off the queue.
class TQueueLock
{
public:
    TQueueLock() = default;
    TQueueLock(const TQueueLock&) = delete;
    TQueueLock& operator=(const TQueueLock&) = delete;
    ~TQueueLock();

    // Takes the queue of the data folder for this process. Returns an empty text when it is
    // ours (again: asking twice for the same folder is fine), else why not, naming the
    // process that holds it.
    QString Acquire(const QString& dataFolder);
    bool Held() const;
    // Gives the queue up (the destructor does too).
    void Release();

    static QString FileName(const QString& dataFolder);

private:
    std::unique_ptr<QLockFile> m_lock;
};
