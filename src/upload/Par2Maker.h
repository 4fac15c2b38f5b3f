#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

class QThread;
class TByteSink;
class TPar2Feed;
struct TPar2Result;

// How much recovery data to make for a file.
struct TRecoveryRequest
{
    QString File;         // the file to protect
    QString WorkFolder;   // where the recovery files go (made when missing)
    int Percent = 0;      // redundancy, 1..100
    int FileCount = 0;    // recovery files; 0: as par2 chooses
    qint64 FileLimit = 0; // bytes per recovery file at most, which sets FileCount; 0: none
    qint64 MemoryLimit = qint64(256) << 20; // recovery data held in memory at once
    // The file is being read meanwhile: its reads are offered (TakeFeed), and the maker waits
    // for them until DropFeed says no reader took them.
    bool Feed = false;
};

// Makes a file's PAR2 recovery set with our own creator, on a thread of its own while the
// event loop goes on: its progress becomes Progress, Cancel stops it and removes what it
// wrote. Nothing is left behind after a failure either: a set is whole or absent.
class TPar2Maker : public QObject
{
    Q_OBJECT

public:
    explicit TPar2Maker(QObject* parent = nullptr);
    ~TPar2Maker() override;

    // Starts making the set; Finished reports the end (at once when it cannot start).
    void Start(const TRecoveryRequest& request);
    void Cancel();
    bool IsRunning() const { return m_thread != nullptr; }
    // The set made: the index file first, then the recovery volumes in order.
    const QStringList& Files() const { return m_files; }
    // For the log, when the set was made in more than one read of the file.
    const QString& Note() const { return m_note; }
    // The sink for the reads of whoever posts the file meanwhile, once: the set is made from
    // those bytes as far as they come in order, the rest read by the maker itself.
    std::shared_ptr<TByteSink> TakeFeed();
    // No reader took the feed: the maker reads the file itself.
    void DropFeed();
    // Of the file, the bytes the set was made from without reading them itself.
    qint64 FedBytes() const { return m_fedBytes; }
    // Removes the files of the set (when its task ends, whatever the outcome).
    void RemoveFiles();

    // Bytes the set needs on disk, with room to spare.
    static qint64 SpaceNeeded(qint64 fileSize, int percent);
    // How many recovery files of equal size keep each within limit bytes: a file is cut into
    // 2000 slices, and each recovery file holds its slices and copies of the checksums of
    // all the file's slices. One slice per file when the limit cannot be kept.
    static int FilesWithin(qint64 fileSize, int percent, qint64 limit);

signals:
    void Progress(int percent, const QString& text);
    void Finished(bool ok, const QString& error);

private:
    void reportProgress(int percent);
    void threadDone();
    void fail(const QString& error);
    void endFeed();

    TRecoveryRequest m_request;
    QThread* m_thread = nullptr;
    std::unique_ptr<TPar2Result> m_result; // written by the thread, read when it has ended
    std::atomic<bool> m_abort = false;
    std::shared_ptr<TPar2Feed> m_feed; // while the set is made
    bool m_feedOffered = false;        // no reader has taken it yet
    qint64 m_fedBytes = 0;
    QStringList m_files;
    QString m_note;
    int m_percent = -1;
};
