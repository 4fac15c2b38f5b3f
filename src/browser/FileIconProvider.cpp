#include "browser/FileIconProvider.h"

#include <QMimeDatabase>

QIcon TFileIconProvider::icon(const QFileInfo& info) const
{
    if (info.isFile()) {
        static const QMimeDatabase mimeTypes;
        // By name only: reading every file's first bytes would make large folders slow.
        const QMimeType type = mimeTypes.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        for (const QString& name : {type.iconName(), type.genericIconName()}) {
            const QIcon themed = QIcon::fromTheme(name);
            if (!themed.isNull())
                return themed;
        }
    }
    return QFileIconProvider::icon(info);
}
