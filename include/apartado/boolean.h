#pragma once
#include <cstdint>

namespace apartado {

// The component model's Boolean: a 16-bit signed integer holding -1 for True
// and 0 for False. Kept as an integer (not bool) so that a service answering 1
// is seen exactly as the host platform would see it: some callers test for -1,
// others for non-zero.
using Boolean = std::int16_t;

inline constexpr Boolean kTrue = -1;
inline constexpr Boolean kFalse = 0;

// True only for the all-ones value -1.
constexpr bool IsTrue(Boolean b) { return b == kTrue; }
// True for any value other than 0.
constexpr bool IsNonZero(Boolean b) { return b != 0; }
constexpr Boolean ToBoolean(bool b) { return b ? kTrue : kFalse; }

}  // namespace apartado
