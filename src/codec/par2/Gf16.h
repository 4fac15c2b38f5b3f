#pragma once

#include <QtGlobal>

// Arithmetic in GF(2^16) as the PAR2 2.0 format defines it: 16-bit words, addition is XOR,
// multiplication modulo the generator x^16 + x^12 + x^3 + x + 1 (0x1100B), with 2 a generator
// of the multiplicative group of order 65535.
namespace Gf16 {

constexpr int Order = 65535;

quint16 Exp(int power); // 2^power, power taken modulo Order
int Log(quint16 value); // the power of 2 that gives value (not 0)
quint16 Mul(quint16 a, quint16 b);

// The power of 2 that is the constant of input slice index (0, 1, ...): the index-th number
// that shares no factor with 65535 (none divisible by 3, 5, 17 or 257), so that every
// constant has the full order and the recovery matrix can always be inverted.
int InputLog(int index);

// The factor input slice index is multiplied by in the recovery slice of exponent.
quint16 Factor(int index, quint32 exponent);

} // namespace Gf16
