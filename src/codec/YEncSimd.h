#pragma once

// What the yEnc coders' vector code shares: the target attributes that let one function use
// an instruction set the rest of the program does not assume, and the unaligned load.
#if defined(__x86_64__)
#include <immintrin.h>
#define QUORVEL_YENC_X86 1
#define QUORVEL_SSSE3 __attribute__((target("ssse3,popcnt")))
#define QUORVEL_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt")))

namespace YEncSimd {

QUORVEL_SSSE3 inline __m128i load16(const void* at)
{
    return _mm_loadu_si128(static_cast<const __m128i*>(at));
}

} // namespace YEncSimd
#endif
