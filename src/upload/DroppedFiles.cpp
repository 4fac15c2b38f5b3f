#include "upload/DroppedFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

// Every regular file under folder, relative to it; links to folders are not followed, so a
// link back up cannot make the walk endless.
QStringList FilesUnder(const QString& folder)
{
    QStringList files;
    const QDir base(folder);
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.isFile())
            files << base.relativeFilePath(info.filePath());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TDroppedFiles CollectDropped(const QStringList& paths)
{
    TDroppedFiles dropped;
    QList<TDroppedBatch> loose;
    for (const QString& given : paths) {
        const QFileInfo info(given);
        const QString path = QDir::cleanPath(info.absoluteFilePath());
        if (info.isDir()) {
            const QStringList files = FilesUnder(path);
            if (files.isEmpty())
                dropped.Errors << QStringLiteral("%1: the folder holds no file to post").arg(path);
            else
                dropped.Batches << TDroppedBatch{path, files, info.fileName()};
        } else if (info.isFile()) {
            const QString folder = info.absolutePath();
            auto batch =
                std::find_if(loose.begin(), loose.end(),
                             [&folder](const TDroppedBatch& b) { return b.Folder == folder; });
            if (batch == loose.end())
                loose << TDroppedBatch{folder, {info.fileName()}, {}};
            else if (!batch->Files.contains(info.fileName()))
                batch->Files << info.fileName();
        } else if (!info.exists())
            dropped.Errors << QStringLiteral("%1: no such file or folder").arg(given);
        else
            dropped.Errors
                << QStringLiteral("%1: not a file or folder that can be posted").arg(given);
    }
    dropped.Batches << loose;
    return dropped;
}
