#pragma once

namespace apartado {

// The line break of every text the component writes: messages and refusals.
inline constexpr char kCrLf[] = "\r\n";

}  // namespace apartado
