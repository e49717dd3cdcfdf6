#include "HalfFloat.h"

#include <bit>

uint16_t FloatToHalf(float value)
{
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    const auto sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    const uint32_t magnitude = bits & 0x7FFFFFFFu;

    constexpr uint32_t FloatInfinity = 0x7F800000u;
    constexpr uint32_t HalfInfinity = 0x7C00u;
    if (magnitude >= FloatInfinity)
    {
        if (magnitude == FloatInfinity)
            return static_cast<uint16_t>(sign | HalfInfinity);
        // The top nine payload bits below the float's quiet bit land below the half's quiet bit.
        constexpr uint32_t HalfQuietBit = 0x0200u;
        return static_cast<uint16_t>(sign | HalfInfinity | HalfQuietBit | ((magnitude >> 13) & 0x01FFu));
    }
    // 65520 lies halfway between the largest half, 65504, and the next power of two; the tie
    // goes to the even side, which is infinity.
    constexpr uint32_t FirstOverflow = 0x477FF000u;
    if (magnitude >= FirstOverflow)
        return static_cast<uint16_t>(sign | HalfInfinity);

    constexpr uint32_t SmallestNormalHalf = 0x38800000u; // 2^-14
    if (magnitude >= SmallestNormalHalf)
    {
        // Re-bias the exponent from 127 to 15 and round the 13 dropped mantissa bits; a carry
        // out of the mantissa correctly steps the exponent up.
        const uint32_t rebased = magnitude - (112u << 23);
        uint32_t half = rebased >> 13;
        const uint32_t dropped = rebased & 0x1FFFu;
        if (dropped > 0x1000u || (dropped == 0x1000u && (half & 1u) != 0))
            ++half;
        return static_cast<uint16_t>(sign | half);
    }

    // Subnormal halves count units of 2^-24. The float is (1.mantissa) x 2^(exponent - 127), so
    // in those units it is the 24-bit significand shifted right by 126 - exponent.
    const uint32_t exponent = magnitude >> 23;
    const uint32_t shift = 126u - exponent;
    if (shift > 24u)
        return sign; // below 2^-25: nearer to zero than to the smallest subnormal
    const uint32_t significand = (magnitude & 0x007FFFFFu) | 0x00800000u;
    uint32_t half = significand >> shift;
    const uint32_t dropped = significand & ((1u << shift) - 1u);
    const uint32_t halfway = 1u << (shift - 1u);
    if (dropped > halfway || (dropped == halfway && (half & 1u) != 0))
        ++half;
    return static_cast<uint16_t>(sign | half);
}
