#include "upload/FileIdentity.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 Edge = 1 << 20; // the bytes hashed at either end

bool hashRange(QFile& file, qint64 from, qint64 size, QCryptographicHash& hash)
{
    if (!file.seek(from))
        return false;
    const QByteArray bytes = file.read(size);
    hash.addData(bytes);
    return bytes.size() == size;
}

} // namespace

std::optional<TFileIdentity> TFileIdentity::Of(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = "Cannot read " + path + ": " + file.errorString();
        return std::nullopt;
    }
    TFileIdentity identity;
    identity.Size = file.size();
    identity.Modified = QFileInfo(file).lastModified().toMSecsSinceEpoch();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const qint64 head = qMin(identity.Size, Edge);
    const qint64 tail = qMin(identity.Size - head, Edge);
    if (!hashRange(file, 0, head, hash) || !hashRange(file, identity.Size - tail, tail, hash)) {
        *error = "Cannot read " + path + ": " + file.errorString();
        return std::nullopt;
    }
    identity.Hash = QString::fromLatin1(hash.result().toHex());
    return identity;
}
