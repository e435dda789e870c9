#include "input_checks.h"

#include <cstdlib>

#include "apartado/number_text.h"

namespace apartado::cli {
namespace {

constexpr double kMaxTimeoutSeconds = 86400;

// Digits with at most one '.', and a digit somewhere: "2", "0.5", "10.".
bool IsPlainDecimal(const std::string& text) {
  bool digit = false, point = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digit;
}

CLI::Validator PlainDecimalUpTo(double limit, const std::string& description) {
  return CLI::Validator(
      [limit, description](std::string& text) -> std::string {
        if (!IsPlainDecimal(text) || std::strtod(text.c_str(), nullptr) > limit)
          return "must be " + description + ", not " + text;
        return "";
      },
      "", "");
}

}  // namespace

void CheckSessionValues(const HostOptions& options) {
  CheckText(options.operatorKey, "--operator (or APARTADO_OPERATOR)");
  CheckText(options.serverId, "--server-id (or APARTADO_SERVER_ID)");
}

CLI::Validator PlainQuantity() {
  return PlainDecimalUpTo(
      kMaxQuantity, "a decimal number from 0 to " + NumberText(kMaxQuantity) + " in plain notation, such as 2 or 0.5");
}

CLI::Validator TimeoutSeconds() {
  return PlainDecimalUpTo(kMaxTimeoutSeconds, "seconds from 0 to " + NumberText(kMaxTimeoutSeconds) +
                                                  " in plain notation, such as 30 or 2.5");
}

}  // namespace apartado::cli
