#include "article/OutputFile.h"

#include "article/EUUCode.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

bool isSystemPath(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    return absolute.startsWith(QLatin1String("/dev/")) ||
           absolute.startsWith(QLatin1String("/proc/"));
}

} // namespace

TOutputFile::TOutputFile(const QString& path) : m_path(path)
{
    const QFileInfo info(path);
    m_direct = isSystemPath(path) || (info.exists() && !info.isFile());
    if (m_direct) {
        m_file = std::make_unique<QFile>(path);
    } else {
        // Replace the file a link points to, not the link.
        const QString target = info.isSymLink() ? info.canonicalFilePath() : path;
        m_file = std::make_unique<QSaveFile>(target.isEmpty() ? path : target);
    }
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        fail(QStringLiteral("Cannot create output file %1: %2"));
}

TOutputFile::~TOutputFile() = default;

void TOutputFile::Write(const char* data, qint64 size)
{
    while (size > 0) {
        const qint64 written = m_file->write(data, size);
        if (written <= 0)
            fail(QStringLiteral("Cannot write output file %1: %2"));
        data += written;
        size -= written;
    }
}

void TOutputFile::Commit()
{
    bool ok = m_file->flush();
    if (m_direct)
        m_file->close();
    else
        ok = static_cast<QSaveFile&>(*m_file).commit() && ok;
    if (!ok)
        fail(QStringLiteral("Cannot write output file %1: %2"));
}

void TOutputFile::fail(const QString& what) const
{
    throw EUUCode(what.arg(m_path, m_file->errorString()));
}
