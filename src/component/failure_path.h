#pragma once
#include <exception>
#include <string>
#include <string_view>

#include "apartado/boolean.h"
#include "model/line_break.h"

namespace apartado {

// How many line breaks stand between an operation's tag and the failure's
// description in its error text.
enum class TagBreaks { One = 1, Two = 2 };

// Runs an operation's body under its failure path: any failure raised inside
// replaces errorText with the source tag, its line breaks and the
// failure's description, and the operation answers False. Nothing done before
// the failure is undone.
template <typename Body>
Boolean RunWithFailurePath(std::string& errorText, std::string_view tag, TagBreaks breaks, Body&& body) {
  try {
    return body();
  } catch (const std::exception& failure) {
    errorText.assign(tag);
    for (int i = 0; i < static_cast<int>(breaks); ++i) errorText += kCrLf;
    errorText += failure.what();
    return kFalse;
  }
}

}  // namespace apartado
