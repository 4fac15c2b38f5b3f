#include "article/LineCodec.h"

#include <array>
#include <cstring>

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

} // namespace

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
    return int(encodeGroups(t, in, count, p) - out);
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
    const int decoded = int(decodeGroups(t, in + 1, length - 1, out) - out);
    return decoded < announced ? decoded : announced;
}

} // namespace LineCodec
