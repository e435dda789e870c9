#pragma once
#include <exception>
#include <string>
#include <string_view>

#include "apartado/boolean.h"

namespace apartado {

inline constexpr std::string_view kCrLf = "\r\n";

// Runs an operation's body under its failure path: any failure raised inside
// replaces errorText with the source tag, one or two line breaks and the
// failure's description, and the operation answers False. Nothing done before
// the failure is undone.
template <typename Body>
Boolean RunWithFailurePath(std::string& errorText, std::string_view tag, int lineBreaks, Body&& body) {
  try {
    return body();
  } catch (const std::exception& failure) {
    errorText.assign(tag);
    for (int i = 0; i < lineBreaks; ++i) errorText += kCrLf;
    errorText += failure.what();
    return kFalse;
  }
}

}  // namespace apartado
