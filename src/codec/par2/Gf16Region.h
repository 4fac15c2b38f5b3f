#pragma once

#include <QtGlobal>

// Multiplying a whole region of 16-bit little-endian words by one constant of GF(2^16) and
// adding (XOR) the product into another region: the work of making recovery data. The
// product of a word splits by the word's four nibbles into four lookups in 16-entry tables,
// which vector shuffles (SSSE3, AVX2, AVX-512) do for 16 to 64 bytes at once, or with GFNI
// two bit-matrix products of each byte; the code used
// is chosen once, from what the processor has.
class TGf16Factor
{
public:
    explicit TGf16Factor(quint16 factor = 0);

    // dst ^= factor * src over bytes (even) bytes.
    void MulAdd(uchar* dst, const uchar* src, qint64 bytes) const;

    // The code MulAdd runs: "gfni", "avx512", "avx2", "ssse3" or "portable".
    static const char* Kind();
    // Runs that code alone (tests compare each with par2); false when the processor lacks it.
    // Null: the fastest again.
    static bool Force(const char* kind);

    // Product bytes of nibble n of the word's nibble k (0 lowest): low and high byte.
    alignas(16) uchar Low[4][16];
    alignas(16) uchar High[4][16];
    // The same as bit matrices for GFNI: low byte to low, low to high, high to low, high to high.
    quint64 Matrix[4];
};
