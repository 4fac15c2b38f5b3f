#include "codec/par2/Md5.h"

#include <openssl/evp.h>

#include <stdexcept>

TMd5::TMd5() : m_ctx(EVP_MD_CTX_new())
{
    if (!m_ctx || EVP_DigestInit_ex(m_ctx, EVP_md5(), nullptr) != 1)
        throw std::runtime_error("OpenSSL offers no MD5");
}

TMd5::~TMd5()
{
    EVP_MD_CTX_free(m_ctx);
}

void TMd5::Add(const void* data, qint64 size)
{
    if (size > 0)
        EVP_DigestUpdate(m_ctx, data, size_t(size));
}

TMd5::TDigest TMd5::Finish()
{
    TDigest d{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_ctx, d.data(), &length);
    EVP_DigestInit_ex(m_ctx, EVP_md5(), nullptr);
    return d;
}

TMd5::TDigest TMd5::Of(const void* data, qint64 size)
{
    TMd5 md5;
    md5.Add(data, size);
    return md5.Finish();
}
