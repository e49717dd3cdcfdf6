#pragma once

#include <cstdint>

/// The IEEE 754 half-precision bits nearest to `value`, ties to even: magnitudes from 65520 up
/// become infinity of the same sign, infinities stay infinities, a NaN stays a NaN with its quiet
/// bit set and the top nine bits of its payload kept, magnitudes below 2^-14 become subnormal
/// halves and those up to 2^-25 become zero of the same sign. Texels of the magnetism textures
/// are stored this way.
uint16_t FloatToHalf(float value);
