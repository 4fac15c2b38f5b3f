#include "upload/Par2Maker.h"

#include "codec/LocalFile.h"
#include "codec/par2/Par2Creator.h"
#include "codec/par2/Par2Feed.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QThread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const char* const Creating = "Creating recovery files";

// The making yields to the posting and to a news server on the same machine: its threads
// (which take this from the thread that starts them) run at a lower priority.
constexpr int MakerNiceness = 10;

void lowerPriority()
{
    setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), MakerNiceness);
}

} // namespace

TPar2Maker::TPar2Maker(QObject* parent) : QObject(parent), m_result(std::make_unique<TPar2Result>())
{
}

TPar2Maker::~TPar2Maker()
{
    Cancel();
}

qint64 TPar2Maker::SpaceNeeded(qint64 fileSize, int percent)
{
    // The volumes, plus the checksums every file carries (of 2000 blocks, at most some forty
    // copies of them over the volumes), plus a margin.
    return fileSize * percent / 100 * 11 / 10 + fileSize / 100 + 48 * (1024 + 20 * 2000) +
           (1 << 20);
}

int TPar2Maker::FilesWithin(qint64 fileSize, int percent, qint64 limit)
{
    // The creator's layout: 2000 slices of a size rounded up to 4 bytes, recovery blocks
    // rounded to the nearest, 68 bytes of packet header on each.
    const qint64 blockSize = qMax<qint64>(4, ((fileSize + 1999) / 2000 + 3) / 4 * 4);
    const qint64 blocks = (fileSize + blockSize - 1) / blockSize;
    const qint64 recovery = qMax<qint64>(1, (blocks * percent + 50) / 100);
    // Main, file description, checksum (20 bytes a block) and creator packets.
    const qint64 critical = 1024 + 20 * blocks;
    for (qint64 files = 1; files < recovery; ++files) {
        const qint64 perFile = (recovery + files - 1) / files;
        int copies = 1; // the checksums once more per doubling of the slices
        for (qint64 b = perFile; b > 1; b >>= 1)
            ++copies;
        if (perFile * (blockSize + 68) + copies * critical <= limit)
            return int(files);
    }
    return int(recovery);
}

void TPar2Maker::Start(const TRecoveryRequest& request)
{
    Cancel();
    m_request = request;
    m_files.clear();
    m_note.clear();
    m_fedBytes = 0;
    m_percent = -1;
    const QFileInfo file(request.File);
    if (TLocalFile::HasRawBytes(request.File)) {
        // The recovery set names its file in its packets as UTF-8.
        fail("Cannot make recovery files for " + TLocalFile::Shown(request.File) +
             ": its name is not UTF-8");
        return;
    }
    if (!file.isFile() || !file.isReadable()) {
        fail("Cannot read " + request.File + " to make its recovery files");
        return;
    }
    if (!QDir().mkpath(request.WorkFolder)) {
        fail("Cannot make the folder " + request.WorkFolder + " for the recovery files");
        return;
    }
    const QStorageInfo disk(request.WorkFolder);
    const qint64 needed = SpaceNeeded(file.size(), request.Percent);
    if (disk.isValid() && disk.bytesAvailable() < needed) {
        fail(QStringLiteral("Not enough room in %1 for the recovery files of %2: %3 MB needed, %4 "
                            "MB free")
                 .arg(request.WorkFolder, file.fileName(), QString::number(needed >> 20),
                      QString::number(disk.bytesAvailable() >> 20)));
        return;
    }
    TPar2Request make;
    make.File = file.absoluteFilePath();
    make.Folder = request.WorkFolder;
    make.Percent = request.Percent;
    make.Uniform = request.FileLimit > 0;
    make.FileCount = make.Uniform ? FilesWithin(file.size(), request.Percent, request.FileLimit)
                                  : request.FileCount;
    make.MemoryLimit = request.MemoryLimit;
    if (request.Feed) {
        const TPar2Shape shape = TPar2Creator::Shape(file.size(), make);
        make.Feed = std::make_shared<TPar2Feed>(file.size(), shape.BatchBytes(),
                                                shape.FeedBatches(make.MemoryLimit));
        m_feed = make.Feed;
        m_feedOffered = true;
    }
    m_abort = false;
    emit Progress(0, Creating);
    // The thread reports progress through queued calls; its result is read once it has ended.
    m_thread = QThread::create([this, make] {
        lowerPriority();
        TPar2Creator creator(make);
        creator.SetAbort(&m_abort);
        creator.SetProgress([this](int percent) {
            QMetaObject::invokeMethod(
                this, [this, percent] { reportProgress(percent); }, Qt::QueuedConnection);
        });
        *m_result = creator.Make();
    });
    connect(m_thread, &QThread::finished, this, &TPar2Maker::threadDone);
    m_thread->start();
}

void TPar2Maker::reportProgress(int percent)
{
    if (!m_thread || percent <= m_percent)
        return;
    m_percent = percent;
    emit Progress(percent, Creating);
}

void TPar2Maker::threadDone()
{
    if (!m_thread)
        return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    endFeed();
    const TPar2Result result = *m_result;
    if (!result.Error.isEmpty()) {
        fail(result.Error);
        return;
    }
    m_files = result.Files;
    m_note = result.Note;
    m_fedBytes = result.FedBytes;
    emit Progress(100, Creating);
    emit Finished(true, QString());
}

void TPar2Maker::Cancel()
{
    if (!m_thread)
        return;
    // The creator stops within one batch of slices and removes what it wrote.
    m_abort = true;
    endFeed(); // a creator waiting for bytes stops waiting
    m_thread->disconnect(this);
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

std::shared_ptr<TByteSink> TPar2Maker::TakeFeed()
{
    if (!std::exchange(m_feedOffered, false))
        return nullptr;
    return m_feed;
}

void TPar2Maker::DropFeed()
{
    if (std::exchange(m_feedOffered, false))
        endFeed();
}

void TPar2Maker::endFeed()
{
    m_feedOffered = false;
    if (m_feed)
        std::exchange(m_feed, nullptr)->End();
}

void TPar2Maker::RemoveFiles()
{
    for (const QString& f : std::as_const(m_files))
        QFile::remove(f);
    m_files.clear();
}

void TPar2Maker::fail(const QString& error)
{
    emit Finished(false, error);
}
