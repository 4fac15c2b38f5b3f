#include "codec/YEncDecoder.h"

#include "codec/YEncSimd.h"
#include "codec/YEncVector.h"

namespace {

struct TDecodeState
{
    const char* p;
    const char* end; // of the input
    uchar* out;
    bool lineStart;
    bool escape;
    bool keyword = false;
    bool starved = false; // "=" at a line start is the last byte given
};

// Bytes up to limit, one at a time; stops at "=y" at a line start.
void decodeScalar(TDecodeState& s, const char* limit)
{
    const char* p = s.p;
    uchar* out = s.out;
    bool lineStart = s.lineStart, escape = s.escape;
    for (; p < limit; ++p) {
        const uchar c = uchar(*p);
        if (escape) {
            *out++ = uchar(c - 106);
            escape = false;
            lineStart = false;
        } else if (c == '\n' || c == '\r') {
            lineStart = true;
        } else if (c == '=') {
            if (lineStart) {
                if (p + 1 >= s.end) {
                    s.starved = true;
                    break;
                }
                if (p[1] == 'y') {
                    s.keyword = true;
                    break;
                }
            }
            escape = true;
            lineStart = false;
        } else {
            *out++ = uchar(c - 42);
            lineStart = false;
        }
    }
    s.p = p;
    s.out = out;
    s.lineStart = lineStart;
    s.escape = escape;
}

#ifdef QUORVEL_YENC_X86
// 64 bytes at a time: line ends and "=" dropped, escaped bytes shifted back by 64 more, the
// rest packed together. A block with "=" at a line start (a keyword line, or an escape
// there) or with "==" goes the careful way.
QUORVEL_AVX512 void decodeAvx512(TDecodeState& s)
{
    const __m512i shift = _mm512_set1_epi8(42);
    const __m512i escapeShift = _mm512_set1_epi8(64);
    while (s.end - s.p >= 64) {
        const __m512i v = _mm512_loadu_si512(s.p);
        const quint64 breaks = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\n')) |
                               _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('\r'));
        const quint64 equals = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8('='));
        const quint64 escaped = (equals << 1) | quint64(s.escape);
        const quint64 lineEnds = breaks & ~escaped;
        const quint64 starts = (lineEnds << 1) | quint64(s.lineStart);
        if (equals & (escaped | starts)) {
            decodeScalar(s, s.p + 64);
            if (s.keyword || s.starved)
                return;
            continue;
        }
        const quint64 keep = ~(equals | lineEnds);
        __m512i bytes = _mm512_sub_epi8(v, shift);
        bytes = _mm512_mask_sub_epi8(bytes, escaped, bytes, escapeShift);
        _mm512_storeu_si512(s.out, _mm512_maskz_compress_epi8(keep, bytes));
        s.out += _mm_popcnt_u64(keep);
        s.escape = equals >> 63;
        s.lineStart = lineEnds >> 63;
        s.p += 64;
    }
}

// Shuffles that pack the bytes of an 8-bit mask together, by the mask.
struct TPacks
{
    alignas(16) uchar pack[256][16];

    TPacks()
    {
        for (int mask = 0; mask < 256; ++mask) {
            int kept = 0;
            for (int j = 0; j < 16; ++j)
                pack[mask][j] = 0x80;
            for (int i = 0; i < 8; ++i)
                if (mask & (1 << i))
                    pack[mask][kept++] = uchar(i);
        }
    }
};

const TPacks& packs()
{
    static const TPacks instance;
    return instance;
}

using YEncSimd::load16;

// As decodeAvx512, 16 bytes at a time, packed by table shuffles 8 bytes per shuffle.
QUORVEL_SSSE3 void decodeSsse3(TDecodeState& s)
{
    const TPacks& t = packs();
    while (s.end - s.p >= 16) {
        const __m128i v = load16(s.p);
        const __m128i equalsVector = _mm_cmpeq_epi8(v, _mm_set1_epi8('='));
        const unsigned breaks = unsigned(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(v, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')))));
        const unsigned equals = unsigned(_mm_movemask_epi8(equalsVector));
        const unsigned escaped = ((equals << 1) | unsigned(s.escape)) & 0xFFFF;
        const unsigned lineEnds = breaks & ~escaped;
        const unsigned starts = ((lineEnds << 1) | unsigned(s.lineStart)) & 0xFFFF;
        if (equals & (escaped | starts)) {
            decodeScalar(s, s.p + 16);
            if (s.keyword || s.starved)
                return;
            continue;
        }
        const __m128i escapedVector =
            _mm_or_si128(_mm_slli_si128(equalsVector, 1), _mm_cvtsi32_si128(s.escape ? 0xFF : 0));
        const __m128i bytes = _mm_sub_epi8(_mm_sub_epi8(v, _mm_set1_epi8(42)),
                                           _mm_and_si128(escapedVector, _mm_set1_epi8(64)));
        const unsigned keep = ~(equals | lineEnds) & 0xFFFF;
        if (keep == 0xFFFF) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.out), bytes);
            s.out += 16;
        } else {
            const unsigned low = keep & 0xFF, high = keep >> 8;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.out),
                             _mm_shuffle_epi8(bytes, load16(t.pack[low])));
            s.out += _mm_popcnt_u32(low);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.out),
                             _mm_shuffle_epi8(_mm_srli_si128(bytes, 8), load16(t.pack[high])));
            s.out += _mm_popcnt_u32(high);
        }
        s.escape = (equals >> 15) & 1;
        s.lineStart = (lineEnds >> 15) & 1;
        s.p += 16;
    }
}
#endif

} // namespace

TYEncDecoder::TResult TYEncDecoder::Decode(const char* data, qint64 size, uchar* out)
{
    TDecodeState s{data, data + qMax<qint64>(size, 0), out, m_lineStart, m_escape};
#ifdef QUORVEL_YENC_X86
    if (YEncVector::UseAvx512())
        decodeAvx512(s);
    else if (YEncVector::UseSsse3())
        decodeSsse3(s);
#endif
    if (!s.keyword && !s.starved)
        decodeScalar(s, s.end);
    m_lineStart = s.lineStart;
    m_escape = s.escape;
    return {s.p - data, s.out - out, s.keyword};
}

void TYEncDecoder::Reset()
{
    m_lineStart = true;
    m_escape = false;
}
