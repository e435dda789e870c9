#pragma once
#include <string_view>

namespace apartado {

// The line break of every text the component writes: messages and refusals.
inline constexpr std::string_view kCrLf = "\r\n";

}  // namespace apartado
