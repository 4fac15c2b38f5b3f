#include "upload/FileIdentity.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <memory>

namespace {

constexpr qint64 Edge = 1 << 20; // the bytes hashed at either end

// SHA-256 through OpenSSL, which uses the processor's SHA instructions where it has them: a
// batch of many files hashes a MiB or two of each as it starts.
using TDigest = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

bool hashRange(QFile& file, qint64 from, qint64 size, EVP_MD_CTX* hash)
{
    if (!file.seek(from))
        return false;
    const QByteArray bytes = file.read(size);
    return EVP_DigestUpdate(hash, bytes.constData(), size_t(bytes.size())) == 1 &&
           bytes.size() == size;
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
    const TDigest hash(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1) {
        *error = "Cannot read " + path + ": no SHA-256 digest available";
        return std::nullopt;
    }
    const qint64 head = qMin(identity.Size, Edge);
    const qint64 tail = qMin(identity.Size - head, Edge);
    if (!hashRange(file, 0, head, hash.get()) ||
        !hashRange(file, identity.Size - tail, tail, hash.get())) {
        *error = "Cannot read " + path + ": " + file.errorString();
        return std::nullopt;
    }
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(hash.get(), reinterpret_cast<unsigned char*>(digest.data()), &length) !=
        1) {
        *error = "Cannot read " + path + ": the SHA-256 digest failed";
        return std::nullopt;
    }
    digest.truncate(int(length));
    identity.Hash = QString::fromLatin1(digest.toHex());
    return identity;
}
