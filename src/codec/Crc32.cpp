#include "codec/Crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#define QUORVEL_CRC_X86 1
#endif

namespace Crc32 {
namespace {

constexpr quint32 Polynomial = 0xEDB88320u; // reflected 0x04C11DB7

// tables[k][b]: the checksum step of byte b followed by k zero bytes.
struct Tables
{
    std::array<std::array<quint32, 256>, 8> t{};

    Tables()
    {
        for (quint32 b = 0; b < 256; ++b) {
            quint32 c = b;
            for (int i = 0; i < 8; ++i)
                c = (c >> 1) ^ ((c & 1) ? Polynomial : 0);
            t[0][b] = c;
        }
        for (quint32 b = 0; b < 256; ++b)
            for (int k = 1; k < 8; ++k)
                t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    }
};

const Tables& tables()
{
    static const Tables instance;
    return instance;
}

// On the inverted register, as the folding works.
quint32 updateSlicing(quint32 crc, const uchar* p, qint64 size)
{
    const auto& t = tables().t;
    for (; size >= 8; size -= 8, p += 8) {
        quint32 low, high;
        std::memcpy(&low, p, 4);
        std::memcpy(&high, p + 4, 4);
        low ^= crc;
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
              t[4][low >> 24] ^ t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^
              t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; size > 0; --size, ++p)
        crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
    return crc;
}

#ifdef QUORVEL_CRC_X86
bool haveClmul()
{
    static const bool have = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return have;
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i load(const uchar* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// x times the two constants of k (one per half), plus next.
__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Folds four 16-byte lanes that hold 64 bytes in a row into one, folds the rest of the data
// (a multiple of 16 bytes) into it, and reduces that to 32 bits by Barrett reduction.
__attribute__((target("pclmul,sse4.1"))) quint32 finish(__m128i x0, __m128i x1, __m128i x2,
                                                        __m128i x3, const uchar* p, qint64 size)
{
    const __m128i k34 = _mm_set_epi64x(0x0ccaa009e, 0x1751997d0);
    x0 = fold(x0, k34, x1);
    x0 = fold(x0, k34, x2);
    x0 = fold(x0, k34, x3);
    for (; size >= 16; size -= 16, p += 16)
        x0 = fold(x0, k34, load(p));

    // 128 to 64 bits, then 64 to 32 bits.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    x0 = _mm_xor_si128(_mm_clmulepi64_si128(k34, x0, 0x01), _mm_srli_si128(x0, 8));
    const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
    x0 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x0, mask32), k5, 0x00),
                       _mm_srli_si128(x0, 4));
    const __m128i poly = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), poly, 0x00);
    return quint32(_mm_extract_epi32(_mm_xor_si128(t, x0), 1));
}

// Folds four 16-byte lanes over the data with carry-less multiplies by x^(512+32) and
// x^(512-32) mod P (the method of Intel's white paper on CRC with PCLMULQDQ). size is a
// multiple of 16, at least 64.
__attribute__((target("pclmul,sse4.1"))) quint32 foldClmul(quint32 crc, const uchar* p, qint64 size)
{
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(int(crc)));
    __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
    p += 64;
    size -= 64;
    const __m128i k12 = _mm_set_epi64x(0x1c6e41596, 0x154442bd4);
    for (; size >= 64; size -= 64, p += 64) {
        x0 = fold(x0, k12, load(p));
        x1 = fold(x1, k12, load(p + 16));
        x2 = fold(x2, k12, load(p + 32));
        x3 = fold(x3, k12, load(p + 48));
    }
    return finish(x0, x1, x2, x3, p, size);
}

#define QUORVEL_VPCLMUL __attribute__((target("avx512f,avx512vl,vpclmulqdq,pclmul,sse4.1")))

bool haveVpclmul()
{
    static const bool have = __builtin_cpu_supports("avx512f") &&
                             __builtin_cpu_supports("avx512vl") &&
                             __builtin_cpu_supports("vpclmulqdq");
    return have;
}

QUORVEL_VPCLMUL inline __m512i fold512(__m512i x, __m512i k, __m512i next)
{
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(x, k, 0x00),
                                     _mm512_clmulepi64_epi128(x, k, 0x11), next, 0x96);
}

QUORVEL_VPCLMUL inline __m512i load512(const uchar* at)
{
    return _mm512_loadu_si512(at);
}

// The same folding with sixteen lanes in four 64-byte registers, 256 bytes a step (constants
// for x^(2048+32) and x^(2048-32)); the registers are then folded into one by 512 bits, and
// its four lanes go on as above. size is a multiple of 16, at least 256.
QUORVEL_VPCLMUL quint32 foldVpclmul(quint32 crc, const uchar* p, qint64 size)
{
    __m512i x0 = _mm512_xor_si512(load512(p), _mm512_zextsi128_si512(_mm_cvtsi32_si128(int(crc))));
    __m512i x1 = load512(p + 64), x2 = load512(p + 128), x3 = load512(p + 192);
    p += 256;
    size -= 256;
    const __m512i k2048 = _mm512_set_epi64(0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a,
                                           0x1322d1430, 0x11542778a, 0x1322d1430, 0x11542778a);
    for (; size >= 256; size -= 256, p += 256) {
        x0 = fold512(x0, k2048, load512(p));
        x1 = fold512(x1, k2048, load512(p + 64));
        x2 = fold512(x2, k2048, load512(p + 128));
        x3 = fold512(x3, k2048, load512(p + 192));
    }
    const __m512i k512 = _mm512_set_epi64(0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4,
                                          0x1c6e41596, 0x154442bd4, 0x1c6e41596, 0x154442bd4);
    x1 = fold512(x0, k512, x1);
    x2 = fold512(x1, k512, x2);
    x3 = fold512(x2, k512, x3);
    return finish(_mm512_maskz_extracti32x4_epi32(0xF, x3, 0),
                  _mm512_maskz_extracti32x4_epi32(0xF, x3, 1),
                  _mm512_maskz_extracti32x4_epi32(0xF, x3, 2),
                  _mm512_maskz_extracti32x4_epi32(0xF, x3, 3), p, size);
}
#endif

// Product of two polynomials modulo P, both reflected (bit 31 is x^0).
quint32 multiplyModP(quint32 a, quint32 b)
{
    quint32 product = 0;
    for (quint32 m = 1u << 31; m != 0; m >>= 1) {
        if (a & m)
            product ^= b;
        b = (b & 1) ? (b >> 1) ^ Polynomial : b >> 1;
    }
    return product;
}

// x^(8 * bytes) modulo P by repeated squaring.
quint32 shiftBytes(qint64 bytes)
{
    quint32 result = 1u << 31; // x^0
    quint32 square = 1u << 23; // x^8
    for (quint64 n = quint64(bytes); n != 0; n >>= 1) {
        if (n & 1)
            result = multiplyModP(square, result);
        square = multiplyModP(square, square);
    }
    return result;
}

} // namespace

quint32 Update(quint32 crc, const void* data, qint64 size)
{
    const auto* p = static_cast<const uchar*>(data);
    crc = ~crc;
#ifdef QUORVEL_CRC_X86
    if (size >= 64 && haveClmul()) {
        const qint64 folded = size & ~qint64(15);
        crc = folded >= 256 && haveVpclmul() ? foldVpclmul(crc, p, folded)
                                             : foldClmul(crc, p, folded);
        p += folded;
        size -= folded;
    }
#endif
    return ~updateSlicing(crc, p, size);
}

quint32 Combine(quint32 crcA, quint32 crcB, qint64 sizeB)
{
    return multiplyModP(shiftBytes(sizeB), crcA) ^ crcB;
}

} // namespace Crc32
