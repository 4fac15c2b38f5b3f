#include "base/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
// A save takes seconds at most; a file this old belongs to no running save.
constexpr qint64 LeftoverAgeSeconds = 15 * 60;
} // namespace

TSafeFile::TSafeFile(const QString& fileName) : m_file(fileName) {}

TSafeFile::~TSafeFile()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

bool TSafeFile::failed()
{
    if (m_error.isEmpty())
        m_error = m_file.errorString();
    if (m_error.isEmpty())
        m_error = QStringLiteral("Unknown error");
    if (m_file.isOpen())
        m_file.cancelWriting();
    return false;
}

bool TSafeFile::Open(QFileDevice::Permissions permissions)
{
    m_error.clear();
    if (!m_file.open(QIODevice::WriteOnly))
        return failed();
    if (permissions && !m_file.setPermissions(permissions))
        return failed();
    return true;
}

bool TSafeFile::Write(const QByteArray& bytes)
{
    if (!m_error.isEmpty() || !m_file.isOpen())
        return false;
    if (m_file.write(bytes) != bytes.size())
        return failed();
    return true;
}

bool TSafeFile::Commit()
{
    if (!m_error.isEmpty() || !m_file.isOpen())
        return false;
    // The flush is where a full disk shows for a small file; commit would rename anyway.
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        return failed();
    if (!m_file.commit()) {
        m_error = m_file.errorString();
        if (m_error.isEmpty())
            m_error = QStringLiteral("Unknown error");
        return false;
    }
    return true;
}

void TSafeFile::Cancel()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

QString TSafeFile::Replace(const QString& fileName, const QByteArray& bytes,
                           QFileDevice::Permissions permissions)
{
    TSafeFile file(fileName);
    if (file.Open(permissions) && file.Write(bytes) && file.Commit())
        return QString();
    return file.ErrorText();
}

QString TSafeFile::MakeFolder(const QString& folder)
{
    if (QDir().mkpath(folder))
        return QString();
    // The nearest path that exists stands in the way.
    QFileInfo above(folder);
    while (!above.exists() && above.absolutePath() != above.absoluteFilePath())
        above = QFileInfo(above.absolutePath());
    const QString reason = above.isDir() ? above.absoluteFilePath() + " is not writable"
                                         : above.absoluteFilePath() + " is not a folder";
    return "Cannot make the folder " + folder + ": " + reason;
}

int TSafeFile::RemoveLeftovers(const QString& fileName)
{
    const QFileInfo target(fileName);
    const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(target.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    const QDateTime limit = QDateTime::currentDateTime().addSecs(-LeftoverAgeSeconds);
    int removed = 0;
    const QDir dir = target.absoluteDir();
    const QFileInfoList candidates =
        dir.entryInfoList({target.fileName() + QStringLiteral(".??????")}, QDir::Files);
    for (const QFileInfo& info : candidates) {
        if (pattern.match(info.fileName()).hasMatch() && info.lastModified() < limit &&
            QFile::remove(info.absoluteFilePath()))
            ++removed;
    }
    return removed;
}
