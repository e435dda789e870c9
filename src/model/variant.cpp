#include "apartado/variant.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "apartado/failure.h"
#include "apartado/number_text.h"

namespace apartado {
namespace {

[[noreturn]] void Overflow() { throw Failure("Overflow"); }
[[noreturn]] void Mismatch() { throw Failure("Type mismatch"); }
[[noreturn]] void NullUse() { throw Failure("Invalid use of Null"); }

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  std::size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool EqualsNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && b[i] == 0;
}

// True when t is a decimal number: [+-] digits [. digits] [e [+-] digits],
// with digits on at least one side of the point. Words such as "inf" and
// "nan" that the number readers also accept are not numbers here.
bool IsDecimalNumber(const std::string& t) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t start = i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
    return i - start;
  };
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t mantissa = digits();
  if (i < t.size() && t[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    if (digits() == 0) return false;
  }
  return i == t.size();
}

// A number held in a text; nullopt when the text holds none.
std::optional<double> ParseNumber(const std::string& text) {
  const std::string t = Trim(text);
  if (!IsDecimalNumber(t)) return std::nullopt;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;
  double value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec == std::errc::result_out_of_range) {
    // Too small to hold is zero; too large is an overflow.
    if (t.find("e-") != std::string::npos || t.find("E-") != std::string::npos) return 0.0;
    Overflow();
  }
  if (ec != std::errc() || ptr != last) return std::nullopt;
  return value;
}

template <typename T>
T RoundToInteger(double value) {
  // nearbyint rounds halves to the even neighbour in the default mode.
  const double r = std::nearbyint(value);
  if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
        r <= static_cast<double>(std::numeric_limits<T>::max())))
    Overflow();
  return static_cast<T>(r);
}

}  // namespace

Variant Variant::MakeNull() {
  Variant v;
  v.kind_ = Kind::Null;
  return v;
}
Variant Variant::FromBoolean(bool b) {
  Variant v;
  v.kind_ = Kind::Boolean;
  v.value_ = b;
  return v;
}
Variant Variant::FromInteger(std::int16_t i) {
  Variant v;
  v.kind_ = Kind::Integer;
  v.value_ = i;
  return v;
}
Variant Variant::FromLong(std::int32_t i) {
  Variant v;
  v.kind_ = Kind::Long;
  v.value_ = i;
  return v;
}
Variant Variant::FromDouble(double d) {
  Variant v;
  v.kind_ = Kind::Double;
  v.value_ = d;
  return v;
}
Variant Variant::FromDate(Date d) {
  Variant v;
  v.kind_ = Kind::Date;
  v.value_ = d;
  return v;
}
Variant Variant::FromText(std::string s) {
  Variant v;
  v.kind_ = Kind::Text;
  v.value_ = std::move(s);
  return v;
}

double Variant::ToDouble() const {
  switch (kind_) {
    case Kind::Empty: return 0;
    case Kind::Null: NullUse();
    case Kind::Boolean: return std::get<bool>(value_) ? -1 : 0;
    case Kind::Integer: return std::get<std::int16_t>(value_);
    case Kind::Long: return std::get<std::int32_t>(value_);
    case Kind::Double:
    case Kind::Date: return std::get<double>(value_);
    case Kind::Text: {
      auto n = ParseNumber(std::get<std::string>(value_));
      if (!n) Mismatch();
      return *n;
    }
  }
  Mismatch();
}

std::int16_t Variant::ToInteger() const {
  if (kind_ == Kind::Integer) return std::get<std::int16_t>(value_);
  return RoundToInteger<std::int16_t>(ToDouble());
}

std::int32_t Variant::ToLong() const {
  if (kind_ == Kind::Long) return std::get<std::int32_t>(value_);
  return RoundToInteger<std::int32_t>(ToDouble());
}

bool Variant::ToBool() const {
  switch (kind_) {
    case Kind::Boolean: return std::get<bool>(value_);
    case Kind::Text: {
      const std::string t = Trim(std::get<std::string>(value_));
      if (EqualsNoCase(t, "True")) return true;
      if (EqualsNoCase(t, "False")) return false;
      auto n = ParseNumber(t);
      if (!n) Mismatch();
      return *n != 0;
    }
    default: return ToDouble() != 0;
  }
}

std::string Variant::ToText() const {
  switch (kind_) {
    case Kind::Empty: return {};
    case Kind::Null: NullUse();
    case Kind::Boolean: return std::get<bool>(value_) ? "True" : "False";
    case Kind::Integer: return std::to_string(std::get<std::int16_t>(value_));
    case Kind::Long: return std::to_string(std::get<std::int32_t>(value_));
    case Kind::Double: return NumberText(std::get<double>(value_));
    case Kind::Date: return FormatDateTime(std::get<double>(value_));
    case Kind::Text: return std::get<std::string>(value_);
  }
  Mismatch();
}

Date Variant::ToDate() const {
  switch (kind_) {
    case Kind::Text: {
      const std::string& t = std::get<std::string>(value_);
      try {
        return ParseDateTime(t);
      } catch (const Failure&) {
        auto n = ParseNumber(t);
        if (!n) Mismatch();
        return AddDays(*n, 0);
      }
    }
    case Kind::Boolean: Mismatch();
    default: return AddDays(ToDouble(), 0);
  }
}

}  // namespace apartado
