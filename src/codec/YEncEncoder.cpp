#include "codec/YEncEncoder.h"

#include "codec/Crc32.h"
#include "codec/YEncSimd.h"
#include "codec/YEncVector.h"

#include <array>
#include <cstring>

namespace {

// Classes of a shifted byte: escaped everywhere, at the start of a line, at its end.
enum : uchar
{
    EscapeAlways = 1,
    EscapeAtStart = 2,
    EscapeAtEnd = 4,
};

constexpr std::array<uchar, 256> makeClasses()
{
    std::array<uchar, 256> classes{};
    classes[0] = classes['\n'] = classes['\r'] = classes['='] = EscapeAlways;
    classes['\t'] = classes[' '] = EscapeAtStart | EscapeAtEnd;
    classes['.'] = EscapeAtStart;
    return classes;
}
constexpr std::array<uchar, 256> Classes = makeClasses();

// Where a run of bytes is written: the line state and the output.
struct TLineState
{
    char* out;
    int column;
    qint64 lines;
    const char* eol;
    int eolLength;
    int lineLength;

    // One byte; endsData: nothing follows it in the part.
    inline void put(uchar byte, bool endsData)
    {
        const uchar c = uchar(byte + 42);
        const uchar k = Classes[c];
        const bool endsLine = endsData || column + 1 >= lineLength;
        if ((k & EscapeAlways) || (column == 0 && (k & EscapeAtStart)) ||
            (endsLine && (k & EscapeAtEnd))) {
            out[0] = '=';
            out[1] = char(c + 64);
            out += 2;
            column += 2;
        } else {
            *out++ = char(c);
            ++column;
        }
        if (column >= lineLength)
            endLine();
    }

    inline void endLine()
    {
        std::memcpy(out, eol, size_t(eolLength));
        out += eolLength;
        column = 0;
        ++lines;
    }
};

// count bytes; when endsData the last of them ends the part.
void encodeScalar(TLineState& s, const uchar* in, qint64 count, bool endsData)
{
    for (qint64 i = 0; i < count; ++i)
        s.put(in[i], endsData && i + 1 == count);
}

#ifdef QUORVEL_YENC_X86
// Shuffles that spread 8 bytes over 16 with a gap before each escaped one (spread), and the
// "=" for those gaps (equals), by the 8-bit mask of escaped bytes.
struct TSpreads
{
    alignas(16) uchar spread[256][16];
    alignas(16) uchar equals[256][16];

    TSpreads()
    {
        for (int mask = 0; mask < 256; ++mask) {
            int out = 0;
            for (int j = 0; j < 16; ++j) {
                spread[mask][j] = 0x80;
                equals[mask][j] = 0;
            }
            for (int i = 0; i < 8; ++i) {
                if (mask & (1 << i))
                    equals[mask][out++] = '=';
                spread[mask][out++] = uchar(i);
            }
        }
    }
};

const TSpreads& spreads()
{
    static const TSpreads instance;
    return instance;
}

using YEncSimd::load16;

// As encodeAvx512, 16 bytes at a time spread by table shuffles, 8 bytes per shuffle.
QUORVEL_SSSE3 void encodeSsse3(TLineState& s, const uchar* in, qint64 count, bool endsData)
{
    const TSpreads& t = spreads();
    const __m128i shift = _mm_set1_epi8(42);
    const qint64 reserve = endsData ? 16 : 15;
    while (count > reserve) {
        // The first byte of a line also escapes TAB, space and ".".
        const bool escapeFirst = s.column == 0 && (Classes[uchar(*in + 42)] & EscapeAtStart);
        const __m128i c = _mm_add_epi8(load16(in), shift);
        __m128i escaped = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(c, _mm_setzero_si128()),
                                                    _mm_cmpeq_epi8(c, _mm_set1_epi8('\n'))),
                                       _mm_or_si128(_mm_cmpeq_epi8(c, _mm_set1_epi8('\r')),
                                                    _mm_cmpeq_epi8(c, _mm_set1_epi8('='))));
        escaped = _mm_or_si128(escaped, _mm_cvtsi32_si128(escapeFirst ? 0xFF : 0));
        const unsigned mask = unsigned(_mm_movemask_epi8(escaped));
        int length = 16;
        if (mask == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.out), c);
        } else {
            const __m128i chars = _mm_add_epi8(c, _mm_and_si128(escaped, _mm_set1_epi8(64)));
            const unsigned low = mask & 0xFF, high = mask >> 8;
            const int length0 = 8 + _mm_popcnt_u32(low);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(s.out),
                             _mm_or_si128(_mm_shuffle_epi8(chars, load16(t.spread[low])),
                                          load16(t.equals[low])));
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(s.out + length0),
                _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(chars, 8), load16(t.spread[high])),
                             load16(t.equals[high])));
            length = length0 + 8 + _mm_popcnt_u32(high);
        }
        if (s.column + length < s.lineLength) {
            s.out += length;
            s.column += length;
            in += 16;
            count -= 16;
            continue;
        }
        // The byte that reaches the line's length ends it.
        const int need = s.lineLength - s.column;
        int end = 0, taken = 0;
        while (end < need) {
            end += 1 + int((mask >> taken) & 1);
            ++taken;
        }
        s.out += end;
        const uchar last = uchar(in[taken - 1] + 42);
        if ((last == '\t' || last == ' ') && !((mask >> (taken - 1)) & 1)) {
            s.out[-1] = '=';
            *s.out++ = char(last + 64);
        }
        s.endLine();
        in += taken;
        count -= taken;
    }
    encodeScalar(s, in, count, endsData);
}

// The output positions of the data bytes of 32 input bytes whose escapes are marked in
// escapes: an escaped byte takes two positions, "=" first.
QUORVEL_AVX512 inline quint64 dataPositions(quint64 escapes)
{
    constexpr quint64 odd = 0xAAAAAAAAAAAAAAAAull;
    return _pext_u64(odd, odd | _pdep_u64(escapes, 0x5555555555555555ull));
}

// 64 bytes at a time, shifted, escapes marked, and spread out with the "="
// in front of each escaped byte by two expanding stores. Where the line fills up inside the
// 64 bytes, it ends at the byte that reaches its length, which is fixed up if it is a TAB
// or space, and the next line starts with that byte's successor. The last bytes of the
// part go the careful way.
QUORVEL_AVX512 void encodeAvx512(TLineState& s, const uchar* in, qint64 count, bool endsData)
{
    const __m512i shift = _mm512_set1_epi8(42);
    const __m512i escapeShift = _mm512_set1_epi8(64);
    const __m512i equals = _mm512_set1_epi8('=');
    const qint64 reserve = endsData ? 64 : 63;
    while (count > reserve) {
        // The first byte of a line also escapes TAB, space and ".".
        const bool escapeFirst = s.column == 0 && (Classes[uchar(*in + 42)] & EscapeAtStart);
        const __m512i c = _mm512_add_epi8(_mm512_loadu_si512(in), shift);
        const __mmask64 escapes = _mm512_cmpeq_epi8_mask(c, _mm512_setzero_si512()) |
                                  _mm512_cmpeq_epi8_mask(c, _mm512_set1_epi8('\n')) |
                                  _mm512_cmpeq_epi8_mask(c, _mm512_set1_epi8('\r')) |
                                  _mm512_cmpeq_epi8_mask(c, equals) | __mmask64(escapeFirst);
        const __m512i chars = _mm512_mask_add_epi8(c, escapes, c, escapeShift);
        const quint64 low = quint32(escapes), high = quint64(escapes) >> 32;
        const quint64 data0 = dataPositions(low), data1 = dataPositions(high);
        const int length0 = 32 + _mm_popcnt_u64(low);
        const int length1 = 32 + _mm_popcnt_u64(high);
        _mm512_storeu_si512(s.out, _mm512_mask_expand_epi8(equals, data0, chars));
        _mm512_storeu_si512(
            s.out + length0,
            _mm512_mask_expand_epi8(equals, data1,
                                    _mm512_maskz_shuffle_i64x2(0x0F, chars, chars, 0xEE)));
        if (s.column + length0 + length1 < s.lineLength) {
            s.out += length0 + length1;
            s.column += length0 + length1;
            in += 64;
            count -= 64;
            continue;
        }
        // need: characters left on the line; the byte at position need - 1 ends it (or its
        // "=" is there and it takes one more).
        int need = s.lineLength - s.column;
        quint64 data = data0;
        int taken = 0, written = 0;
        if (need > length0) {
            need -= length0;
            data = data1;
            taken = 32;
            written = length0;
        }
        const int end = ((data >> (need - 1)) & 1) ? need : need + 1;
        taken += int(_mm_popcnt_u64(_bzhi_u64(data, unsigned(end))));
        s.out += written + end;
        const uchar last = uchar(in[taken - 1] + 42);
        if ((last == '\t' || last == ' ') && !((quint64(escapes) >> (taken - 1)) & 1)) {
            s.out[-1] = '=';
            *s.out++ = char(last + 64);
        }
        s.endLine();
        in += taken;
        count -= taken;
    }
    encodeScalar(s, in, count, endsData);
}
#endif

void encodeRun(TLineState& s, const uchar* in, qint64 count, bool endsData)
{
#ifdef QUORVEL_YENC_X86
    if (YEncVector::UseAvx512()) {
        encodeAvx512(s, in, count, endsData);
        return;
    }
    if (YEncVector::UseSsse3()) {
        encodeSsse3(s, in, count, endsData);
        return;
    }
#endif
    encodeScalar(s, in, count, endsData);
}

} // namespace

TYEncEncoder::TYEncEncoder(QByteArrayView eol, int lineLength)
    : m_eol(eol.toByteArray()), m_lineLength(qMax(2, lineLength))
{
}

qint64 TYEncEncoder::MaxEncodedSize(qint64 size, int eolLength, int lineLength)
{
    // Every byte escaped; a line then holds at least lineLength / 2 bytes.
    const qint64 lines = size / qMax(1, lineLength / 2) + 2;
    return 2 * size + lines * (eolLength + 1) + 128;
}

qint64 TYEncEncoder::Encode(const uchar* data, qint64 size, char* out, bool last)
{
    if (size < 0)
        size = 0;
    m_size += size;
    TLineState s{out, m_column, m_lines, m_eol.constData(), int(m_eol.size()), m_lineLength};
    if (m_held >= 0 && (size > 0 || last)) {
        s.put(uchar(m_held), last && size == 0);
        m_held = -1;
    }
    if (size > 0) {
        encodeRun(s, data, last ? size : size - 1, last);
        if (!last)
            m_held = data[size - 1];
    }
    if (last && s.column > 0)
        s.endLine();
    // After the encoding, which brought the slice into the cache: summed first, the CRC
    // would pay for the slow reads from memory.
    m_crc = Crc32::Update(m_crc, data, size);
    m_column = s.column;
    m_lines = s.lines;
    return s.out - out;
}

void TYEncEncoder::Reset()
{
    m_column = 0;
    m_held = -1;
    m_crc = 0;
    m_size = 0;
    m_lines = 0;
}
