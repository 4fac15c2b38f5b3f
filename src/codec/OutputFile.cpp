#include "codec/OutputFile.h"

#include "codec/EUUCode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

bool TOutputFile::IsDevice(const QString& path)
{
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    // These name a descriptor of the process, which may well be a regular file: replacing
    // that file by another would lose what the caller redirected.
    if (absolute.startsWith(QLatin1String("/proc/")) ||
        absolute.startsWith(QLatin1String("/dev/fd/")) ||
        absolute == QLatin1String("/dev/stdout") || absolute == QLatin1String("/dev/stderr"))
        return true;
    // By the file's type, not its folder: /dev/shm holds ordinary files. A link is replaced,
    // not followed, whatever it points to.
    return info.exists() && !info.isSymLink() && !info.isFile();
}

TOutputFile::TOutputFile(const QString& path) : m_path(path)
{
    const QFileInfo info(path);
    m_direct = IsDevice(path);
    if (path == QLatin1String("/dev/stdout")) {
        // The descriptor the caller was given: opening the path anew would truncate a file
        // that standard output appends to.
        auto out = std::make_unique<QFile>();
        const bool opened =
            out->open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
        m_file = std::move(out);
        m_direct = true;
        if (!opened)
            fail(QStringLiteral("Cannot create output file %1: %2"));
        return;
    }
    if (m_direct) {
        m_file = std::make_unique<QFile>(path);
    } else {
        // A link is replaced, never written through: it may lead anywhere.
        m_target = path;
        auto temporary = std::make_unique<QTemporaryFile>(
            info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(info.fileName())));
        m_permissions = info.isFile() && !info.isSymLink()
                            ? info.permissions()
                            : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ReadGroup | QFileDevice::ReadOther;
        if (!temporary->open())
            fail(QStringLiteral("Cannot create output file %1: %2"), *temporary);
        m_file = std::move(temporary);
        return;
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

void TOutputFile::Seek(qint64 offset)
{
    if (!m_file->seek(offset))
        fail(QStringLiteral("Cannot write output file %1: %2"));
}

// No sync to disk: a decoded or encoded copy is made again easily, and a sync of a large file
// costs more than the whole conversion.
void TOutputFile::Commit()
{
    if (!m_file->flush())
        fail(QStringLiteral("Cannot write output file %1: %2"));
    if (m_direct) {
        m_file->close();
        return;
    }
    auto& temporary = static_cast<QTemporaryFile&>(*m_file);
    temporary.setPermissions(m_permissions);
    temporary.close();
    // rename(2) replaces an existing file in one step, which QFile::rename will not do.
    if (::rename(QFile::encodeName(temporary.fileName()).constData(),
                 QFile::encodeName(m_target).constData()) != 0)
        throw EUUCode(QStringLiteral("Cannot write output file %1: %2")
                          .arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
    temporary.setAutoRemove(false);
}

void TOutputFile::fail(const QString& what) const
{
    fail(what, *m_file);
}

void TOutputFile::fail(const QString& what, const QFileDevice& file) const
{
    throw EUUCode(what.arg(m_path, file.errorString()));
}

QString TOutputFile::NameFromEncoded(const QByteArray& raw)
{
    QString name = QString::fromUtf8(raw);
    const qsizetype cut =
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    name = name.mid(cut + 1);
    // A control character would not survive as a file name: a NUL ends it early, so the
    // file would land under another name than the one reported.
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('_');
    }
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return {};
    return name;
}
