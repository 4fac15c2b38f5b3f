#include "codec/par2/Gf16Region.h"

#include <atomic>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

void mulAddPortable(const TGf16Factor& f, uchar* dst, const uchar* src, qint64 bytes)
{
    for (qint64 i = 0; i + 1 < bytes; i += 2) {
        const uchar lo = src[i];
        const uchar hi = src[i + 1];
        dst[i] ^= f.Low[0][lo & 15] ^ f.Low[1][lo >> 4] ^ f.Low[2][hi & 15] ^ f.Low[3][hi >> 4];
        dst[i + 1] ^=
            f.High[0][lo & 15] ^ f.High[1][lo >> 4] ^ f.High[2][hi & 15] ^ f.High[3][hi >> 4];
    }
}

#if defined(__x86_64__)

// Each width does the same steps on two vectors of words: their low and high bytes gathered
// apart (pack), the four nibbles looked up in the eight tables (shuffle), the product bytes
// put back in word order (unpack) and added to the destination. Pack and unpack work within
// 128-bit lanes on every width, so they undo each other.
#define QUORVEL_GF16_BODY(V, P, W, load, store, bcast)                                             \
    const V mask = P##_set1_epi16(0x00ff);                                                         \
    const V nib = P##_set1_epi8(0x0f);                                                             \
    V tl[4], th[4];                                                                                \
    for (int k = 0; k < 4; ++k) {                                                                  \
        tl[k] = bcast(_mm_load_si128(reinterpret_cast<const __m128i*>(f.Low[k])));                 \
        th[k] = bcast(_mm_load_si128(reinterpret_cast<const __m128i*>(f.High[k])));                \
    }                                                                                              \
    constexpr qint64 step = 2 * sizeof(V);                                                         \
    qint64 i = 0;                                                                                  \
    for (; i + step <= bytes; i += step) {                                                         \
        const V a = load(reinterpret_cast<const V*>(src + i));                                     \
        const V b = load(reinterpret_cast<const V*>(src + i + sizeof(V)));                         \
        const V lo = P##_packus_epi16(P##_and_si##W(a, mask), P##_and_si##W(b, mask));             \
        const V hi = P##_packus_epi16(P##_srli_epi16(a, 8), P##_srli_epi16(b, 8));                 \
        const V n0 = P##_and_si##W(lo, nib);                                                       \
        const V n1 = P##_and_si##W(P##_srli_epi16(lo, 4), nib);                                    \
        const V n2 = P##_and_si##W(hi, nib);                                                       \
        const V n3 = P##_and_si##W(P##_srli_epi16(hi, 4), nib);                                    \
        const V rl = P##_xor_si##W(                                                                \
            P##_xor_si##W(P##_shuffle_epi8(tl[0], n0), P##_shuffle_epi8(tl[1], n1)),               \
            P##_xor_si##W(P##_shuffle_epi8(tl[2], n2), P##_shuffle_epi8(tl[3], n3)));              \
        const V rh = P##_xor_si##W(                                                                \
            P##_xor_si##W(P##_shuffle_epi8(th[0], n0), P##_shuffle_epi8(th[1], n1)),               \
            P##_xor_si##W(P##_shuffle_epi8(th[2], n2), P##_shuffle_epi8(th[3], n3)));              \
        V* d0 = reinterpret_cast<V*>(dst + i);                                                     \
        V* d1 = reinterpret_cast<V*>(dst + i + sizeof(V));                                         \
        store(d0, P##_xor_si##W(load(d0), P##_unpacklo_epi8(rl, rh)));                             \
        store(d1, P##_xor_si##W(load(d1), P##_unpackhi_epi8(rl, rh)));                             \
    }                                                                                              \
    mulAddPortable(f, dst + i, src + i, bytes - i);

__attribute__((target("ssse3"))) inline __m128i same128(__m128i x)
{
    return x;
}

__attribute__((target("ssse3"))) void mulAddSsse3(const TGf16Factor& f, uchar* dst,
                                                  const uchar* src, qint64 bytes)
{
    QUORVEL_GF16_BODY(__m128i, _mm, 128, _mm_loadu_si128, _mm_storeu_si128, same128)
}

__attribute__((target("avx2"))) void mulAddAvx2(const TGf16Factor& f, uchar* dst, const uchar* src,
                                                qint64 bytes)
{
    QUORVEL_GF16_BODY(__m256i, _mm256, 256, _mm256_loadu_si256, _mm256_storeu_si256,
                      _mm256_broadcastsi128_si256)
}

__attribute__((target("avx512f"))) inline __m512i broadcast512(__m128i x)
{
    return _mm512_maskz_broadcast_i32x4(__mmask16(0xffff), x);
}

__attribute__((target("avx512f,avx512bw"))) void mulAddAvx512(const TGf16Factor& f, uchar* dst,
                                                              const uchar* src, qint64 bytes)
{
    QUORVEL_GF16_BODY(__m512i, _mm512, 512, _mm512_loadu_si512, _mm512_storeu_si512, broadcast512)
}

#undef QUORVEL_GF16_BODY

// With GFNI a byte times a fixed 8x8 bit matrix is one instruction: a word's product is its
// low and high bytes each through two matrices (into the product's low and high byte).
__attribute__((target("avx512f,avx512bw,gfni"))) void mulAddGfni(const TGf16Factor& f, uchar* dst,
                                                                 const uchar* src, qint64 bytes)
{
    const __m512i mask = _mm512_set1_epi16(0x00ff);
    const __m512i ll = _mm512_set1_epi64(qint64(f.Matrix[0]));
    const __m512i lh = _mm512_set1_epi64(qint64(f.Matrix[1]));
    const __m512i hl = _mm512_set1_epi64(qint64(f.Matrix[2]));
    const __m512i hh = _mm512_set1_epi64(qint64(f.Matrix[3]));
    qint64 i = 0;
    for (; i + 128 <= bytes; i += 128) {
        const __m512i a = _mm512_loadu_si512(src + i);
        const __m512i b = _mm512_loadu_si512(src + i + 64);
        const __m512i lo =
            _mm512_packus_epi16(_mm512_and_si512(a, mask), _mm512_and_si512(b, mask));
        const __m512i hi = _mm512_packus_epi16(_mm512_srli_epi16(a, 8), _mm512_srli_epi16(b, 8));
        const __m512i rl = _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(lo, ll, 0),
                                            _mm512_gf2p8affine_epi64_epi8(hi, hl, 0));
        const __m512i rh = _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(lo, lh, 0),
                                            _mm512_gf2p8affine_epi64_epi8(hi, hh, 0));
        _mm512_storeu_si512(
            dst + i, _mm512_xor_si512(_mm512_loadu_si512(dst + i), _mm512_unpacklo_epi8(rl, rh)));
        _mm512_storeu_si512(dst + i + 64, _mm512_xor_si512(_mm512_loadu_si512(dst + i + 64),
                                                           _mm512_unpackhi_epi8(rl, rh)));
    }
    mulAddPortable(f, dst + i, src + i, bytes - i);
}

#endif

using TMulAdd = void (*)(const TGf16Factor&, uchar*, const uchar*, qint64);

struct TChoice
{
    TMulAdd Run;
    const char* Kind;
};

// Every code this processor runs, fastest first.
std::vector<TChoice> available()
{
    std::vector<TChoice> all;
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("gfni"))
        all.push_back({mulAddGfni, "gfni"});
    if (__builtin_cpu_supports("avx512bw"))
        all.push_back({mulAddAvx512, "avx512"});
    if (__builtin_cpu_supports("avx2"))
        all.push_back({mulAddAvx2, "avx2"});
    if (__builtin_cpu_supports("ssse3"))
        all.push_back({mulAddSsse3, "ssse3"});
#endif
    all.push_back({mulAddPortable, "portable"});
    return all;
}

const TChoice& best()
{
    static const TChoice c = available().front();
    return c;
}

std::atomic<TMulAdd> forced = nullptr;
std::atomic<const char*> forcedKind = nullptr;

} // namespace

TGf16Factor::TGf16Factor(quint16 factor)
{
    // factor * 2^j for the sixteen bits of a word; a nibble's product is the sum of its bits'.
    quint16 bit[16];
    quint32 v = factor;
    for (int j = 0; j < 16; ++j) {
        bit[j] = quint16(v);
        v <<= 1;
        if (v & 0x10000)
            v ^= 0x1100B;
    }
    for (int k = 0; k < 4; ++k) {
        quint16 p[16];
        p[0] = 0;
        for (int n = 1; n < 16; ++n)
            p[n] = p[n & (n - 1)] ^ bit[4 * k + __builtin_ctz(unsigned(n))];
        for (int n = 0; n < 16; ++n) {
            Low[k][n] = uchar(p[n] & 0xff);
            High[k][n] = uchar(p[n] >> 8);
        }
    }
    // Row i of a matrix (output bit i) is byte 7 - i; its bit j takes input bit j.
    for (int m = 0; m < 4; ++m) {
        const int in = m < 2 ? 0 : 8;       // input byte: low, high
        const int out = m % 2 == 0 ? 0 : 8; // output byte: low, high
        quint64 matrix = 0;
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j)
                if (bit[in + j] & (1 << (out + i)))
                    matrix |= quint64(1) << (8 * (7 - i) + j);
        Matrix[m] = matrix;
    }
}

void TGf16Factor::MulAdd(uchar* dst, const uchar* src, qint64 bytes) const
{
    const TMulAdd run = forced.load(std::memory_order_relaxed);
    (run ? run : best().Run)(*this, dst, src, bytes);
}

const char* TGf16Factor::Kind()
{
    const char* kind = forcedKind.load();
    return kind ? kind : best().Kind;
}

bool TGf16Factor::Force(const char* kind)
{
    if (!kind) {
        forced = nullptr;
        forcedKind = nullptr;
        return true;
    }
    for (const TChoice& c : available())
        if (std::strcmp(c.Kind, kind) == 0) {
            forced = c.Run;
            forcedKind = c.Kind;
            return true;
        }
    return false;
}
