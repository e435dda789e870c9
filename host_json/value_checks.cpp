#include "value_checks.h"

#include <cctype>
#include <cmath>

#include "apartado/number_text.h"
#include "apartado/text_values.h"

namespace apartado::host_json {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool Holds(const std::string& lowerName, const char* part) { return lowerName.find(part) != std::string::npos; }

}  // namespace

double NumberLimit(const std::string& name) {
  const std::string lower = Lower(name);
  if (Holds(lower, "cantidad")) return kMaxQuantity;
  if (Holds(lower, "factor") || Holds(lower, "tasa") || Holds(lower, "tipo_cambio") || Holds(lower, "porcentaje"))
    return kMaxFactor;
  return kMaxAmount;
}

void CheckText(const std::string& value, const std::string& what) {
  const std::string fault = TextValueFault(value);
  if (!fault.empty())
    throw InputError(what + " " + fault + " (text may not hold quotes, backslashes or control characters)");
}

void CheckNumber(double value, const std::string& name, const std::string& what) {
  const double limit = NumberLimit(name);
  if (std::isfinite(value) && std::fabs(value) <= limit) return;
  throw InputError(what + " must be a number from -" + NumberText(limit) + " to " + NumberText(limit) + ", not " +
                   NumberText(value));
}

void CheckLoadedValue(const std::string& column, const Json& value, const std::string& where) {
  const std::string suffix = "_descripcion", lower = Lower(column);
  const bool description =
      lower.size() >= suffix.size() && lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) == 0;
  if (value.is_string() && !description) CheckText(value.get<std::string>(), where + ":");
  if (value.is_number()) CheckNumber(value.get<double>(), column, where + ":");
}

std::optional<std::int16_t> ShortValue(const Json& value) {
  if (value.is_number_unsigned()) {
    if (value.get<std::uint64_t>() <= 32767) return static_cast<std::int16_t>(value.get<std::uint64_t>());
  } else if (value.is_number_integer()) {
    const std::int64_t number = value.get<std::int64_t>();
    if (number >= -32768 && number <= 32767) return static_cast<std::int16_t>(number);
  }
  return std::nullopt;
}

}  // namespace apartado::host_json
