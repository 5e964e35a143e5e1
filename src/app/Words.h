#pragma once
#include <cstdint>

// The two halves of a 32-bit message parameter, signed, as the wheel
// message packs them: the wheel distance is the high word.
inline std::int32_t HiWord(std::int32_t value)
{
    return value / 65536;
}
inline std::int32_t LoWord(std::int32_t value)
{
    return value % 65536;
}
