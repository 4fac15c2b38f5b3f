#include "codec/DecodedPath.h"

#include "codec/EUUCode.h"

#include <QDir>
#include <QFileInfo>

namespace {

constexpr int MaxTries = 9999;

// A link counts as taken even when it points nowhere: writing there would follow it.
bool taken(const QFileInfo& info)
{
    return info.isSymLink() || info.exists();
}

bool isInput(const QFileInfo& info, const QStringList& inputs)
{
    const QString canonical = info.canonicalFilePath();
    for (const QString& input : inputs)
        if (QFileInfo(input).canonicalFilePath() == canonical)
            return true;
    return false;
}

bool usable(const QString& path, const QStringList& inputs, bool overwrite)
{
    const QFileInfo info(path);
    if (!taken(info))
        return true;
    return overwrite && !info.isSymLink() && info.isFile() && !isInput(info, inputs);
}

// "name (n).ext"; a leading dot starts no extension (".bashrc (1)").
QString numbered(const QString& name, int n)
{
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        dot = name.size();
    return name.left(dot) + QStringLiteral(" (%1)").arg(n) + name.mid(dot);
}

} // namespace

TDecodedPath TDecodedPath::Choose(const QString& folder, const QString& name,
                                  const QStringList& inputs, bool overwrite)
{
    const QDir dir(folder);
    TDecodedPath chosen{dir.filePath(name), dir.filePath(name)};
    for (int n = 1; !usable(chosen.Path, inputs, overwrite); ++n) {
        if (n > MaxTries)
            throw EUUCode(QStringLiteral("No free file name for %1 in %2").arg(name, folder));
        chosen.Path = dir.filePath(numbered(name, n));
    }
    return chosen;
}
