#pragma once

// Which vector code the yEnc coders run: the best the processor has, up to the limit that
// YEnc::SetVectorCode sets.
namespace YEncVector {

// AVX-512 with byte expansion and compression (VBMI2), and BMI2.
bool UseAvx512();
bool UseSsse3();

} // namespace YEncVector
