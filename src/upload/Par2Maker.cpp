#include "upload/Par2Maker.h"

#include "codec/LocalFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>

namespace {

const char* const Creating = "Creating recovery files";
constexpr int KeptLines = 6;

} // namespace

TPar2Maker::TPar2Maker(QObject* parent) : QObject(parent) {}

TPar2Maker::~TPar2Maker()
{
    if (m_process)
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
    // par2create's defaults: 2000 blocks of a size rounded up to 4 bytes, recovery blocks
    // rounded to the nearest, 68 bytes of packet header on each.
    const qint64 blockSize = qMax<qint64>(4, ((fileSize + 1999) / 2000 + 3) / 4 * 4);
    const qint64 blocks = (fileSize + blockSize - 1) / blockSize;
    const qint64 recovery = qMax<qint64>(1, (blocks * percent + 50) / 100);
    // Main, file description, checksum (20 bytes a block) and creator packets.
    const qint64 critical = 1024 + 20 * blocks;
    for (qint64 files = 1; files < recovery; ++files) {
        const qint64 perFile = (recovery + files - 1) / files;
        int copies = 1; // par2 repeats the checksums once per doubling of the blocks
        for (qint64 b = perFile; b > 1; b >>= 1)
            ++copies;
        if (perFile * (blockSize + 68) + copies * critical <= limit)
            return int(files);
    }
    return int(recovery);
}

void TPar2Maker::Start(const TRecoveryRequest& request)
{
    m_request = request;
    m_files.clear();
    m_lastLines.clear();
    m_pending.clear();
    m_percent = -1;
    const QFileInfo file(request.File);
    if (QStandardPaths::findExecutable(m_program).isEmpty() &&
        !QFileInfo(m_program).isExecutable()) {
        fail("Recovery files need par2 (par2cmdline, Debian package \"par2\"), which is not "
             "installed");
        return;
    }
    if (TLocalFile::HasRawBytes(request.File)) {
        // par2 takes its file names as arguments, which go to it as UTF-8.
        fail("Cannot make recovery files for " + TLocalFile::Shown(request.File) +
             ": its name is not UTF-8, and par2 is given names as UTF-8");
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
    m_indexPath = QDir(request.WorkFolder).filePath(file.fileName() + ".par2");
    QStringList args = {"create", "-r" + QString::number(request.Percent)};
    const int count = request.FileLimit > 0
                          ? FilesWithin(file.size(), request.Percent, request.FileLimit)
                          : request.FileCount;
    if (request.FileLimit > 0)
        args << "-u";
    if (count > 0)
        args << "-n" + QString::number(count);
    // The set names the file by its name alone, as the downloader will have it.
    args << "-B" + file.absolutePath() << "-a" + m_indexPath << "--" << file.absoluteFilePath();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    connect(m_process.get(), &QProcess::readyRead, this, &TPar2Maker::readOutput);
    connect(m_process.get(), &QProcess::finished, this, &TPar2Maker::processFinished);
    emit Progress(0, Creating);
    m_process->start(m_program, args);
    if (!m_process->waitForStarted(10000)) {
        const QString why = m_process->errorString();
        m_process.reset();
        RemoveFiles();
        fail("Cannot start par2: " + why);
    }
}

void TPar2Maker::readOutput()
{
    m_pending += m_process->readAll();
    static const QRegularExpression percent(QStringLiteral("(\\d+(?:\\.\\d+)?)%"));
    qsizetype start = 0;
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i] != '\r' && m_pending[i] != '\n')
            continue;
        const QString line = QString::fromLocal8Bit(m_pending.mid(start, i - start)).trimmed();
        start = i + 1;
        if (line.isEmpty())
            continue;
        const QRegularExpressionMatch m = percent.match(line);
        if (!m.hasMatch()) {
            m_lastLines << line;
            if (m_lastLines.size() > KeptLines)
                m_lastLines.removeFirst();
            continue;
        }
        // par2 builds its matrix ("Constructing"), then computes the recovery blocks
        // ("Processing"), each from 0 to 100 %: one bar, the second phase the longer.
        const double phase = qBound(0.0, m.captured(1).toDouble(), 100.0);
        const int value = line.startsWith(QStringLiteral("Constructing"))
                              ? int(phase / 10)
                              : 10 + int(phase * 9 / 10);
        if (value > m_percent) {
            m_percent = value;
            emit Progress(value, Creating);
        }
    }
    m_pending.remove(0, start);
}

void TPar2Maker::processFinished(int exitCode, QProcess::ExitStatus status)
{
    readOutput();
    m_process.release()->deleteLater();
    if (status != QProcess::NormalExit || exitCode != 0) {
        RemoveFiles();
        fail(QStringLiteral("par2 failed (exit status %1): %2")
                 .arg(QString::number(exitCode), m_lastLines.join(" / ")));
        return;
    }
    m_files = setFiles();
    if (m_files.isEmpty() || m_files.first() != m_indexPath) {
        RemoveFiles();
        fail("par2 made no recovery files for " + m_request.File);
        return;
    }
    emit Progress(100, Creating);
    emit Finished(true, QString());
}

void TPar2Maker::Cancel()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    m_process->kill();
    m_process->waitForFinished(5000);
    m_process.reset();
    RemoveFiles();
}

// The index file and its volumes ("name.vol000+032.par2"), volumes in block order.
QStringList TPar2Maker::setFiles() const
{
    const QFileInfo index(m_indexPath);
    const QString stem = index.fileName().chopped(5); // without ".par2"
    QStringList files;
    if (index.exists())
        files << m_indexPath;
    QStringList volumes =
        QDir(index.absolutePath()).entryList({stem + ".vol*.par2"}, QDir::Files, QDir::Name);
    for (const QString& v : volumes)
        files << index.dir().filePath(v);
    return files;
}

void TPar2Maker::RemoveFiles()
{
    if (m_indexPath.isEmpty())
        return;
    for (const QString& f : setFiles())
        QFile::remove(f);
    m_files.clear();
}

void TPar2Maker::fail(const QString& error)
{
    emit Finished(false, error);
}
