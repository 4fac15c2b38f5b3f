#include "codec/LineCodec.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUORVEL_X86 1
#endif

namespace LineCodec {
namespace {

struct Tables
{
    std::array<char, 64> alphabet{};
    // Two characters for each 12-bit value, so one lookup writes half a group.
    std::array<quint16, 4096> pairs{};
    std::array<uchar, 256> values{};

    explicit Tables(const char* chars)
    {
        std::memcpy(alphabet.data(), chars, 64);
        for (int v = 0; v < 4096; ++v) {
            const char two[2] = {alphabet[v >> 6], alphabet[v & 63]};
            std::memcpy(&pairs[v], two, 2);
        }
        // A character outside the alphabet counts as its uu value, as the uu decoder
        // reads every character.
        for (int c = 0; c < 256; ++c)
            values[c] = uchar((c - 32) & 63);
        for (int v = 0; v < 64; ++v)
            values[uchar(alphabet[v])] = uchar(v);
    }
};

const Tables& tablesFor(Kind kind)
{
    static const Tables uu("`!\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_");
    static const Tables xx("+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    static const Tables b64("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    switch (kind) {
    case Kind::uu:
        return uu;
    case Kind::xx:
        return xx;
    case Kind::base64:
        break;
    }
    return b64;
}

char* encodeGroups(const Tables& t, const uchar* in, int count, char* out)
{
    const uchar* end = in + count - count % 3;
    for (; in < end; in += 3, out += 4) {
        const unsigned bits = (unsigned(in[0]) << 16) | (unsigned(in[1]) << 8) | in[2];
        std::memcpy(out, &t.pairs[bits >> 12], 2);
        std::memcpy(out + 2, &t.pairs[bits & 4095], 2);
    }
    switch (count % 3) {
    case 1:
        *out++ = t.alphabet[in[0] >> 2];
        *out++ = t.alphabet[(in[0] & 3) << 4];
        break;
    case 2:
        *out++ = t.alphabet[in[0] >> 2];
        *out++ = t.alphabet[((in[0] & 3) << 4) | (in[1] >> 4)];
        *out++ = t.alphabet[(in[1] & 15) << 2];
        break;
    }
    return out;
}

// k characters of a group give k - 1 bytes.
uchar* decodeGroups(const Tables& t, const uchar* in, int length, uchar* out)
{
    const uchar* end = in + length - length % 4;
    for (; in < end; in += 4, out += 3) {
        const unsigned v0 = t.values[in[0]], v1 = t.values[in[1]];
        const unsigned v2 = t.values[in[2]], v3 = t.values[in[3]];
        out[0] = uchar((v0 << 2) | (v1 >> 4));
        out[1] = uchar((v1 << 4) | (v2 >> 2));
        out[2] = uchar((v2 << 6) | v3);
    }
    const int rest = length % 4;
    if (rest >= 2)
        *out++ = uchar((t.values[in[0]] << 2) | (t.values[in[1]] >> 4));
    if (rest >= 3)
        *out++ = uchar((t.values[in[1]] << 4) | (t.values[in[2]] >> 2));
    return out;
}

#ifdef QUORVEL_X86
bool haveSsse3()
{
    static const bool have = __builtin_cpu_supports("ssse3");
    return have;
}

// Twelve bytes to sixteen 6-bit values in their own bytes, in output order.
__attribute__((target("ssse3"))) inline __m128i sixBitValues(const uchar* in)
{
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    v = _mm_shuffle_epi8(v, _mm_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    const __m128i high =
        _mm_mulhi_epu16(_mm_and_si128(v, _mm_set1_epi32(0x0fc0fc00)), _mm_set1_epi32(0x04000040));
    const __m128i low =
        _mm_mullo_epi16(_mm_and_si128(v, _mm_set1_epi32(0x003f03f0)), _mm_set1_epi32(0x01000010));
    return _mm_or_si128(high, low);
}

// uu characters are the value plus 32, but the grave accent instead of the blank for 0.
__attribute__((target("ssse3"))) inline void storeUU(char* out, __m128i values)
{
    const __m128i zero = _mm_cmpeq_epi8(values, _mm_setzero_si128());
    const __m128i chars = _mm_add_epi8(_mm_add_epi8(values, _mm_set1_epi8(32)),
                                       _mm_and_si128(zero, _mm_set1_epi8(64)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), chars);
}

__attribute__((target("ssse3"))) qint64 encodeUULinesSsse3(const uchar* in, qint64 count, char* out,
                                                           const char* eol, int eolLength)
{
    char* start = out;
    // The vector steps read 7 bytes past a line: the last line goes the careful way so that
    // nothing past the input is touched (it may end a memory-mapped window).
    for (qint64 i = 0; i + 1 < count; ++i, in += 45) {
        *out++ = 'M';
        // 45 bytes: three steps of 12 and a fourth whose last 4 characters are overwritten.
        storeUU(out, sixBitValues(in));
        storeUU(out + 16, sixBitValues(in + 12));
        storeUU(out + 32, sixBitValues(in + 24));
        storeUU(out + 48, sixBitValues(in + 36));
        out += 60;
        std::memcpy(out, eol, size_t(eolLength));
        out += eolLength;
    }
    if (count > 0) {
        out += EncodeLine(Kind::uu, in, 45, out);
        std::memcpy(out, eol, size_t(eolLength));
        out += eolLength;
    }
    return out - start;
}

// Sixteen characters to twelve bytes; only characters 32 to 96 take this path (lanes outside
// the mask are not looked at), anything else goes the careful way.
bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

// Twice twelve bytes (from in and in + 12) to thirty-two 6-bit values, as sixBitValues does
// in each half.
__attribute__((target("avx2"))) inline __m256i sixBitValues2(const uchar* in)
{
    __m256i v = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12)), 1);
    v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                                1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    const __m256i high = _mm256_mulhi_epu16(_mm256_and_si256(v, _mm256_set1_epi32(0x0fc0fc00)),
                                            _mm256_set1_epi32(0x04000040));
    const __m256i low = _mm256_mullo_epi16(_mm256_and_si256(v, _mm256_set1_epi32(0x003f03f0)),
                                           _mm256_set1_epi32(0x01000010));
    return _mm256_or_si256(high, low);
}

__attribute__((target("avx2"))) inline void storeUU2(char* out, __m256i values)
{
    const __m256i zero = _mm256_cmpeq_epi8(values, _mm256_setzero_si256());
    const __m256i chars = _mm256_add_epi8(_mm256_add_epi8(values, _mm256_set1_epi8(32)),
                                          _mm256_and_si256(zero, _mm256_set1_epi8(64)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), chars);
}

__attribute__((target("avx2"))) qint64 encodeUULinesAvx2(const uchar* in, qint64 count, char* out,
                                                         const char* eol, int eolLength)
{
    char* start = out;
    // As encodeUULinesSsse3, in two steps of 24 bytes.
    for (qint64 i = 0; i + 1 < count; ++i, in += 45) {
        *out++ = 'M';
        storeUU2(out, sixBitValues2(in));
        storeUU2(out + 32, sixBitValues2(in + 24));
        out += 60;
        std::memcpy(out, eol, size_t(eolLength));
        out += eolLength;
    }
    if (count > 0) {
        out += EncodeLine(Kind::uu, in, 45, out);
        std::memcpy(out, eol, size_t(eolLength));
        out += eolLength;
    }
    return out - start;
}

__attribute__((target("ssse3"))) inline bool decodeSixteen(const char* in, uchar* out, int mask)
{
    const __m128i chars = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i shifted = _mm_sub_epi8(chars, _mm_set1_epi8(32));
    const __m128i outside = _mm_cmpgt_epi8(_mm_xor_si128(shifted, _mm_set1_epi8(char(0x80))),
                                           _mm_set1_epi8(char(64 ^ 0x80)));
    if ((_mm_movemask_epi8(outside) & mask) != 0)
        return false;
    const __m128i values = _mm_and_si128(shifted, _mm_set1_epi8(63));
    const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
    const __m128i words = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
    const __m128i bytes = _mm_shuffle_epi8(
        words, _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
    return true;
}

// 60 characters: three steps of 16 and a last of 12, which loads 4 characters past the line
// and ignores them.
__attribute__((target("ssse3"))) bool decodeUULineSsse3(const char* data, uchar* out)
{
    return decodeSixteen(data, out, 0xFFFF) && decodeSixteen(data + 16, out + 12, 0xFFFF) &&
           decodeSixteen(data + 32, out + 24, 0xFFFF) && decodeSixteen(data + 48, out + 36, 0x0FFF);
}
#endif

} // namespace

qint64 EncodeFullLines(Kind kind, const uchar* in, qint64 count, char* out, const char* eol,
                       int eolLength)
{
#ifdef QUORVEL_X86
    if (kind == Kind::uu && haveAvx2())
        return encodeUULinesAvx2(in, count, out, eol, eolLength);
    if (kind == Kind::uu && haveSsse3())
        return encodeUULinesSsse3(in, count, out, eol, eolLength);
#endif
    const int bytes = BytesPerLine(kind);
    char* start = out;
    for (qint64 i = 0; i < count; ++i, in += bytes) {
        out += EncodeLine(kind, in, bytes, out);
        std::memcpy(out, eol, size_t(eolLength));
        out += eolLength;
    }
    return out - start;
}

bool DecodeFullUULine(const char* line, int length, uchar* out)
{
    if (length != 61 || line[0] != 'M')
        return false;
#ifdef QUORVEL_X86
    if (haveSsse3())
        return decodeUULineSsse3(line + 1, out);
#endif
    return false;
}

int BytesPerLine(Kind kind)
{
    return kind == Kind::base64 ? 57 : 45;
}

int MaxLineChars(Kind kind)
{
    return kind == Kind::base64 ? 76 : 61;
}

char Char(Kind kind, int value)
{
    return tablesFor(kind).alphabet[value & 63];
}

int EncodeLine(Kind kind, const uchar* in, int count, char* out)
{
    const Tables& t = tablesFor(kind);
    char* p = out;
    if (kind != Kind::base64)
        *p++ = t.alphabet[count & 63];
    p = encodeGroups(t, in, count, p);
    // uu keeps its short last group, which every uu decoder reads; xx and base64 decoders
    // want whole groups.
    if (kind != Kind::uu && count % 3 != 0) {
        const char pad = kind == Kind::base64 ? '=' : t.alphabet[0];
        for (int i = count % 3; i < 3; ++i)
            *p++ = pad;
    }
    return int(p - out);
}

int DecodeLine(Kind kind, const char* line, int length, uchar* out)
{
    const Tables& t = tablesFor(kind);
    const uchar* in = reinterpret_cast<const uchar*>(line);
    if (kind == Kind::base64) {
        if (const void* pad = std::memchr(in, '=', size_t(length)))
            length = int(static_cast<const uchar*>(pad) - in);
        return int(decodeGroups(t, in, length, out) - out);
    }
    if (length == 0)
        return 0;
    const int announced = t.values[in[0]];
    // Characters past those the length stands for are not decoded at all, so a long line
    // never writes more than a line's worth.
    const int groups = std::min(length - 1, (announced + 2) / 3 * 4);
    const int decoded = int(decodeGroups(t, in + 1, groups, out) - out);
    return decoded < announced ? decoded : announced;
}

} // namespace LineCodec
