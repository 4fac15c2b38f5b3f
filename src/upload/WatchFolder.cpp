#include "upload/WatchFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

TWatchFolder::TWatchFolder(const QString& folder, qint64 settleMs)
    : m_folder(QDir(folder).absolutePath()), m_settleMs(settleMs)
{
}

namespace {

QByteArray fileStamp(const QFileInfo& info)
{
    return QByteArray::number(info.size()) + ' ' +
           QByteArray::number(info.lastModified().toMSecsSinceEpoch()) + ' ' +
           QByteArray::number(info.metadataChangeTime().toMSecsSinceEpoch());
}

} // namespace

TWatchItem TWatchFolder::Describe(const QString& path)
{
    TWatchItem item;
    const QFileInfo info(path);
    item.Path = info.absoluteFilePath();
    item.Name = info.fileName();
    item.IsFolder = info.isDir();
    if (info.isFile()) {
        item.Files << item.Path;
        item.Signature = QString::fromLatin1(fileStamp(info));
        return item;
    }
    if (!item.IsFolder)
        return item;
    // Every file and folder inside counts: a file added, grown or touched changes it.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QStringList entries;
    QDirIterator it(item.Path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next();
    std::sort(entries.begin(), entries.end());
    for (const QString& entry : std::as_const(entries)) {
        const QFileInfo e(entry);
        hash.addData(entry.toUtf8() + '\0' + fileStamp(e) + '\n');
        if (e.isFile() && !e.fileName().startsWith(u'.'))
            item.Files << e.absoluteFilePath();
    }
    if (!item.Files.isEmpty())
        item.Signature = QString::fromLatin1(hash.result().toHex());
    return item;
}

QString TWatchFolder::Scan(qint64 nowMs, QList<TWatchItem>* settled)
{
    settled->clear();
    const QDir dir(m_folder);
    if (!dir.exists())
        return QStringLiteral("%1: the folder is gone").arg(m_folder);
    if (!QFileInfo(m_folder).isReadable())
        return QStringLiteral("%1: the folder cannot be read").arg(m_folder);
    const QStringList names =
        dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QHash<QString, TSeen> seen;
    for (const QString& name : names) {
        if (name == QLatin1String(PostedFolderName))
            continue;
        const TWatchItem item = Describe(dir.filePath(name));
        if (item.Signature.isEmpty())
            continue;
        TSeen was = m_seen.value(item.Path);
        if (was.Signature != item.Signature)
            was = {item.Signature, nowMs};
        seen.insert(item.Path, was);
        if (nowMs - was.Since >= m_settleMs)
            *settled << item;
    }
    m_seen = seen; // what went away is forgotten
    return QString();
}

QString TWatchFolder::MoveToPosted(const TWatchItem& item, QString* movedTo) const
{
    const QString postedDir = QDir(m_folder).filePath(QLatin1String(PostedFolderName));
    if (!QDir().mkpath(postedDir))
        return QStringLiteral("cannot make the folder %1").arg(postedDir);
    QString target = QDir(postedDir).filePath(item.Name);
    const QFileInfo name(item.Name);
    for (int n = 2; QFileInfo::exists(target); ++n) {
        // "photo.jpg" becomes "photo (2).jpg"; a folder "album (2)".
        const QString base = item.IsFolder ? item.Name : name.completeBaseName();
        const QString suffix =
            item.IsFolder || name.suffix().isEmpty() ? QString() : u'.' + name.suffix();
        target = QDir(postedDir).filePath(QStringLiteral("%1 (%2)%3").arg(base).arg(n).arg(suffix));
    }
    if (!QDir().rename(item.Path, target))
        return QStringLiteral("cannot move %1 to %2").arg(item.Path, target);
    *movedTo = target;
    return QString();
}
