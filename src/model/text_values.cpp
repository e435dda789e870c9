#include "apartado/text_values.h"

#include <cstdint>
#include <cstdio>
#include <utility>

namespace apartado {
namespace {

// The code point of the UTF-8 sequence at text[i] and its length; length 0
// when the bytes there are not UTF-8 (an overlong form, a surrogate, a
// value beyond U+10FFFF or a sequence cut short).
std::pair<std::uint32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return {lead, 1};
  std::size_t length = 0;
  std::uint32_t code = 0, smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  } else {
    return {0, 0};
  }
  if (i + length > text.size()) return {0, 0};
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return {0, 0};
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {0, 0};
  return {code, length};
}

std::string Hex(std::uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(code));
  return text;
}

}  // namespace

std::string TextValueFault(std::string_view value) {
  std::size_t character = 0;
  for (std::size_t i = 0; i < value.size();) {
    ++character;
    const auto [code, length] = DecodeUtf8(value, i);
    std::string what;
    if (length == 0) {
      what = "a byte that is not UTF-8";
    } else if (code == '\'') {
      what = "a single quote (')";
    } else if (code == '\\') {
      what = "a backslash (\\)";
    } else if (code == 0) {
      what = "a NUL character";
    } else if ((code < 0x20 && code != '\t' && code != '\n' && code != '\r') || (code >= 0x7F && code <= 0x9F)) {
      what = "the control character " + Hex(code);
    }
    if (!what.empty()) return "holds " + what + " at character " + std::to_string(character);
    i += length;
  }
  return "";
}

}  // namespace apartado
