#pragma once

#include <QByteArray>

#include <array>

struct evp_md_ctx_st;

// MD5 of data given in pieces (OpenSSL's, which is the fastest at hand).
class TMd5
{
public:
    using TDigest = std::array<uchar, 16>;

    TMd5();
    ~TMd5();
    TMd5(const TMd5&) = delete;
    TMd5& operator=(const TMd5&) = delete;

    void Add(const void* data, qint64 size);
    void Add(const QByteArray& data) { Add(data.constData(), data.size()); }
    // The digest of all added; the object starts again.
    TDigest Finish();

    static TDigest Of(const void* data, qint64 size);
    static TDigest Of(const QByteArray& data) { return Of(data.constData(), data.size()); }

private:
    evp_md_ctx_st* m_ctx;
};
