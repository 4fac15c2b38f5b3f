#include "codec/par2/Par2Creator.h"

#include "codec/Crc32.h"
#include "codec/EUUCode.h"
#include "codec/OutputFile.h"
#include "codec/par2/Gf16.h"
#include "codec/par2/Par2Feed.h"
#include "codec/par2/Parallel.h"
#include "codec/par2/RecoveryEncoder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

struct TStopped
{
};

constexpr qint64 BatchBytes = qint64(16) << 20;
constexpr qint64 HashJobBytes = qint64(1) << 20;
constexpr int FactorLimit = 16384; // multiplication tables prepared per batch
constexpr qint64 First16k = 16384;

QByteArray creatorText()
{
    return QStringLiteral("Created by Quorvel %1.%2.%3")
        .arg(QUORVEL_VERSION_MAJOR)
        .arg(QUORVEL_VERSION_MINOR)
        .arg(QUORVEL_VERSION_PATCH)
        .toUtf8();
}

} // namespace

TPar2Creator::TPar2Creator(const TPar2Request& request) : m_request(request) {}

TPar2Creator::~TPar2Creator() = default;

TPar2Result TPar2Creator::Make()
{
    TPar2Result result;
    try {
        plan();
        if (m_slices == 0)
            finishChecksums();
        for (int pass = 0; pass < m_passes; ++pass) {
            const int first = pass * m_perPass;
            TRecoveryEncoder encoder(m_sliceSize, first, std::min(m_perPass, m_recovery - first));
            readPass(pass, encoder);
            if (pass == 0)
                finishChecksums();
            for (int k = 0; k < encoder.Count(); ++k)
                writeVolumePacket(encoder, k);
        }
        if (QFileInfo(m_request.File).size() != m_size)
            throw EUUCode(QStringLiteral("%1 changed while its recovery files were made")
                              .arg(m_request.File));
        writeIndex();
    } catch (const EUUCode& e) {
        removeWritten();
        result.Error = e.Message();
        return result;
    } catch (const TStopped&) {
        removeWritten();
        result.Error = QStringLiteral("Stopped");
        return result;
    } catch (const std::bad_alloc&) {
        removeWritten();
        result.Error = QStringLiteral("Not enough memory to make the recovery files of %1 (%2 MiB "
                                      "of recovery data at once: lower Par2MemoryMB)")
                           .arg(m_request.File, QString::number(m_request.MemoryLimit >> 20));
        return result;
    } catch (const std::exception& e) {
        removeWritten();
        result.Error = QStringLiteral("Cannot make the recovery files of %1: %2")
                           .arg(m_request.File, QString::fromLocal8Bit(e.what()));
        return result;
    }
    result.FedBytes = m_fedBytes;
    result.Files << m_written.last();
    result.Files << m_written.mid(0, m_written.size() - 1);
    if (m_passes > 1)
        result.Note = QStringLiteral("The recovery data of %1 does not fit in %2 MiB of memory: "
                                     "the file was read %3 times to make it")
                          .arg(m_request.File, QString::number(m_request.MemoryLimit >> 20),
                               QString::number(m_passes));
    return result;
}

TPar2Shape TPar2Creator::Shape(qint64 fileSize, const TPar2Request& request)
{
    TPar2Shape shape;
    shape.SliceSize = Par2Layout::SliceSize(fileSize);
    shape.Slices = int(Par2Layout::SliceCount(fileSize, shape.SliceSize));
    shape.Recovery = request.RecoveryCount > 0 && shape.Slices > 0
                         ? std::min(request.RecoveryCount, Gf16::Order)
                         : Par2Layout::RecoveryCount(shape.Slices, request.Percent);
    shape.PerPass = int(
        std::clamp<qint64>(request.MemoryLimit / shape.SliceSize, 1, std::max(1, shape.Recovery)));
    shape.Passes = (shape.Recovery + shape.PerPass - 1) / shape.PerPass;
    shape.Batch =
        int(std::clamp<qint64>(BatchBytes / shape.SliceSize, 1, std::max(1, shape.Slices)));
    shape.Batch = std::max(1, std::min(shape.Batch, FactorLimit / shape.PerPass));
    return shape;
}

int TPar2Shape::FeedBatches(qint64 memoryLimit) const
{
    const qint64 left = memoryLimit - qint64(PerPass) * SliceSize;
    return int(std::clamp<qint64>(left / std::max<qint64>(1, BatchBytes()), 2, 1 << 16));
}

void TPar2Creator::plan()
{
    m_file.setFileName(m_request.File);
    if (!m_file.open(QIODevice::ReadOnly))
        throw EUUCode(QStringLiteral("Cannot read %1 to make its recovery files: %2")
                          .arg(m_request.File, m_file.errorString()));
    m_size = m_file.size();
    m_name = QFile::encodeName(QFileInfo(m_request.File).fileName());
    const TPar2Shape shape = Shape(m_size, m_request);
    m_sliceSize = shape.SliceSize;
    m_slices = shape.Slices;
    m_recovery = shape.Recovery;
    m_layout = Par2Layout::Volumes(QFileInfo(m_request.File).fileName(), m_recovery,
                                   m_request.FileCount, m_request.Uniform);
    m_perPass = shape.PerPass;
    m_passes = shape.Passes;
    m_batch = shape.Batch;
    m_sums.resize(size_t(m_slices));
}

int TPar2Creator::hashJobs(int count) const
{
    const int perJob = int(std::max<qint64>(1, HashJobBytes / m_sliceSize));
    return 1 + (count + perJob - 1) / perJob;
}

// Job 0 sums the whole file in order; the others each a run of slices of the batch.
void TPar2Creator::hashJob(int job, const uchar* data, int first, int count, qint64 read)
{
    if (job == 0) {
        // A batch may be shorter than the first 16 KiB.
        const qint64 offset = qint64(first) * m_sliceSize;
        if (offset < First16k)
            m_first16kMd5.Add(data, std::min(read, First16k - offset));
        m_fileMd5.Add(data, read);
        return;
    }
    const int perJob = int(std::max<qint64>(1, HashJobBytes / m_sliceSize));
    const int end = std::min(count, job * perJob);
    for (int s = (job - 1) * perJob; s < end; ++s) {
        const uchar* slice = data + qint64(s) * m_sliceSize;
        m_sums[size_t(first + s)] = {TMd5::Of(slice, m_sliceSize),
                                     Crc32::Update(0, slice, m_sliceSize)};
    }
}

void TPar2Creator::readPass(int pass, TRecoveryEncoder& encoder)
{
    // The feed gives the first read only; a file read again is read here.
    TPar2Feed* feed = pass == 0 ? m_request.Feed.get() : nullptr;
    if (feed && !feed->Fits(m_size, m_batch * m_sliceSize)) {
        feed->End(); // the file changed since the feed was made for it
        feed = nullptr;
    }
    std::vector<uchar> own;
    std::unique_ptr<uchar[]> fed;
    qint64 offset = 0;
    for (int first = 0; first < m_slices; first += m_batch) {
        if (aborted())
            throw TStopped();
        const int count = std::min(m_batch, m_slices - first);
        const qint64 want = std::min(count * m_sliceSize, m_size - offset);
        uchar* data = batchAt(offset, want, feed, own, fed);
        std::memset(data + want, 0, size_t(count * m_sliceSize - want));
        encoder.Prepare(first, count, data);
        const int hashing = pass == 0 ? hashJobs(count) : 0;
        RunParallel(hashing + encoder.Chunks(), [&](int job) {
            if (job < hashing)
                hashJob(job, data, first, count, want);
            else
                encoder.AddChunk(job - hashing);
        });
        if (fed)
            feed->Give({std::move(fed), 0});
        offset += want;
        report(qint64(pass) * m_size + offset, qint64(m_passes) * m_size);
    }
}

uchar* TPar2Creator::batchAt(qint64 offset, qint64 want, TPar2Feed* feed, std::vector<uchar>& own,
                             std::unique_ptr<uchar[]>& fed)
{
    qint64 got = 0;
    uchar* to = nullptr;
    if (feed) {
        TPar2Feed::TBuffer buffer = feed->Take();
        if (buffer.Data) {
            got = std::min(buffer.Bytes, want);
            fed = std::move(buffer.Data);
            to = fed.get();
            m_fedBytes += got;
        }
    }
    if (!to) {
        own.resize(size_t(m_batch * m_sliceSize));
        to = own.data();
    }
    if (got < want)
        readFile(to + got, offset + got, want - got);
    return to;
}

void TPar2Creator::readFile(uchar* to, qint64 offset, qint64 want)
{
    if (m_file.pos() != offset && !m_file.seek(offset))
        throw EUUCode(
            QStringLiteral("Cannot read %1: %2").arg(m_request.File, m_file.errorString()));
    qint64 got = 0;
    while (got < want) {
        const qint64 n = m_file.read(reinterpret_cast<char*>(to) + got, want - got);
        if (n <= 0)
            throw EUUCode(QStringLiteral("Cannot read %1: %2")
                              .arg(m_request.File, n < 0 ? m_file.errorString()
                                                         : QStringLiteral("it became shorter")));
        got += n;
    }
}

void TPar2Creator::finishChecksums()
{
    m_facts.Md5First16k = m_first16kMd5.Finish();
    m_facts.Name = m_name;
    m_facts.Length = m_size;
    m_facts.Md5 = m_fileMd5.Finish();
    const Par2Packets::TId fileId = Par2Packets::FileId(m_facts);
    const QByteArray mainBody = Par2Packets::MainBody(m_sliceSize, fileId, m_size > 0);
    m_setId = TMd5::Of(mainBody);
    m_critical = Par2Packets::Main(m_setId, mainBody) +
                 Par2Packets::FileDescription(m_setId, m_facts) +
                 Par2Packets::SliceChecksums(m_setId, fileId, m_sums);
    m_creator = Par2Packets::Creator(m_setId, creatorText());
}

// Recovery slice k of the encoder goes into the volume that holds its exponent; a volume is
// completed with its checksum copies once its last slice is in.
void TPar2Creator::writeVolumePacket(const TRecoveryEncoder& encoder, int k)
{
    const int exponent = encoder.FirstExponent() + k;
    const Par2Layout::TVolume& volume = m_layout[m_outVolume];
    const QString path = QDir(m_request.Folder).filePath(volume.Name);
    if (!m_out)
        m_out = std::make_unique<TOutputFile>(path);
    const uchar* data = encoder.Slice(k);
    const QByteArray head =
        Par2Packets::RecoveryHead(m_setId, quint32(exponent), data, m_sliceSize);
    m_out->Write(head.constData(), head.size());
    m_out->Write(reinterpret_cast<const char*>(data), m_sliceSize);
    if (exponent + 1 < volume.First + volume.Count)
        return;
    writeCritical(*m_out, volume.Copies);
    m_out->Commit();
    m_out.reset();
    m_written << path;
    ++m_outVolume;
    writeEmptyVolumes();
}

// A volume of no recovery slice (more volumes asked for than the slices fill) carries the
// checksums as the index does.
void TPar2Creator::writeEmptyVolumes()
{
    while (m_outVolume < m_layout.size() && m_layout[m_outVolume].Count == 0) {
        const QString path = QDir(m_request.Folder).filePath(m_layout[m_outVolume].Name);
        TOutputFile out(path);
        writeCritical(out, m_layout[m_outVolume].Copies);
        out.Commit();
        m_written << path;
        ++m_outVolume;
    }
}

void TPar2Creator::writeCritical(TOutputFile& out, int copies)
{
    for (int c = 0; c < copies; ++c)
        out.Write(m_critical.constData(), m_critical.size());
    out.Write(m_creator.constData(), m_creator.size());
}

void TPar2Creator::writeIndex()
{
    const QString path =
        QDir(m_request.Folder).filePath(QFileInfo(m_request.File).fileName() + ".par2");
    TOutputFile out(path);
    writeCritical(out, 1);
    out.Commit();
    m_written << path;
}

void TPar2Creator::report(qint64 done, qint64 total)
{
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    if (percent == m_lastPercent || !m_progress)
        return;
    m_lastPercent = percent;
    m_progress(percent);
}

void TPar2Creator::removeWritten()
{
    m_out.reset();
    for (const QString& path : m_written)
        QFile::remove(path);
    m_written.clear();
}
