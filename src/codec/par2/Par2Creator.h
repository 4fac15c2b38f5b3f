#pragma once

#include "codec/par2/Par2Layout.h"
#include "codec/par2/Par2Packets.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class TOutputFile;
class TPar2Feed;
class TRecoveryEncoder;

// What set to make for a file.
struct TPar2Request
{
    QString File;                           // the file to protect
    QString Folder;                         // where the set goes (it exists)
    int Percent = 10;                       // recovery slices per 100 input slices, 1..100
    int RecoveryCount = 0;                  // recovery slices, when given rather than Percent
    int FileCount = 0;                      // recovery volumes; 0: as doubling sizes need
    bool Uniform = false;                   // volumes of equal size rather than doubling
    qint64 MemoryLimit = qint64(256) << 20; // recovery data held at once
    // The file's bytes from its reader, when it is read anyway (the rest is read here).
    std::shared_ptr<TPar2Feed> Feed;
};

// How the creator cuts the work on a file.
struct TPar2Shape
{
    qint64 SliceSize = 0;
    int Slices = 0;
    int Recovery = 0;
    int PerPass = 0; // recovery slices made in one read of the file
    int Passes = 0;
    int Batch = 0; // input slices taken at once

    qint64 BatchBytes() const { return Batch * SliceSize; }
    // Batches a feed may hold for the creator within the memory limit beside the recovery
    // data of a pass (two at least).
    int FeedBatches(qint64 memoryLimit) const;
};

struct TPar2Result
{
    QStringList Files;   // the index file first, then the volumes in order
    QString Error;       // empty when the set was made
    QString Note;        // for the log: the file was read more than once
    qint64 FedBytes = 0; // of the file, taken from the feed rather than read
};

// Makes the PAR2 2.0 recovery set of one file: the index file "name.par2" with the file's
// description and slice checksums, and the recovery volumes. The file is read once while the
// recovery data fits in MemoryLimit, else once more for each further part of the recovery
// data. Runs in the calling thread (the work itself on every core); progress is reported as
// a percentage, and setting abort stops it. A set is made whole or not at all: a failure or
// an abort removes what was written.
class TPar2Creator
{
public:
    explicit TPar2Creator(const TPar2Request& request);
    ~TPar2Creator();

    static TPar2Shape Shape(qint64 fileSize, const TPar2Request& request);

    void SetProgress(std::function<void(int)> progress) { m_progress = std::move(progress); }
    void SetAbort(const std::atomic<bool>* abort) { m_abort = abort; }
    TPar2Result Make();

private:
    void plan();
    void readPass(int pass, TRecoveryEncoder& encoder);
    // The batch's bytes at offset: from the feed as far as it goes, the rest read here.
    uchar* batchAt(qint64 offset, qint64 want, TPar2Feed* feed, std::vector<uchar>& own,
                   std::unique_ptr<uchar[]>& fed);
    void readFile(uchar* to, qint64 offset, qint64 want);
    void hashJob(int job, const uchar* data, int first, int count, qint64 read);
    int hashJobs(int count) const;
    void finishChecksums();
    void writeCritical(TOutputFile& out, int copies);
    void writeIndex();
    void writeVolumePacket(const TRecoveryEncoder& encoder, int k);
    void writeEmptyVolumes();
    void report(qint64 done, qint64 total);
    bool aborted() const { return m_abort && m_abort->load(); }
    void removeWritten();

    TPar2Request m_request;
    QFile m_file;
    QByteArray m_name;
    qint64 m_size = 0;
    qint64 m_sliceSize = 0;
    int m_slices = 0;
    int m_recovery = 0;
    int m_perPass = 0;
    int m_passes = 0;
    int m_batch = 0; // input slices read at once
    std::vector<Par2Layout::TVolume> m_layout;
    std::unique_ptr<TOutputFile> m_out; // the volume being written
    size_t m_outVolume = 0;
    std::vector<Par2Packets::TSliceSum> m_sums;
    TMd5 m_fileMd5;
    TMd5 m_first16kMd5;
    Par2Packets::TFileFacts m_facts;
    Par2Packets::TId m_setId{};
    QByteArray m_critical; // main, file description and checksum packets
    QByteArray m_creator;
    QStringList m_written;
    std::function<void(int)> m_progress;
    const std::atomic<bool>* m_abort = nullptr;
    int m_lastPercent = -1;
    qint64 m_fedBytes = 0;
};
