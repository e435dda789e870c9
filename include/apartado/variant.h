#pragma once
#include <cstdint>
#include <string>
#include <variant>

#include "apartado/boolean.h"
#include "apartado/date.h"
#include "apartado/export.h"

namespace apartado {

// A value of the component model's variant type, with the usual conversions.
// Conversions that cannot be made throw Failure with the platform's texts:
// "Overflow" (out of range), "Invalid use of Null" (a null converted to a
// plain type) and "Type mismatch" (anything else).
class APARTADO_EXPORT Variant {
 public:
  enum class Kind { Empty, Null, Boolean, Integer, Long, Double, Date, Text };

  Variant() = default;  // Empty
  static Variant MakeNull();
  static Variant FromBoolean(bool b);
  static Variant FromInteger(std::int16_t v);
  static Variant FromLong(std::int32_t v);
  static Variant FromDouble(double v);
  static Variant FromDate(Date v);
  static Variant FromText(std::string v);

  Kind GetKind() const { return kind_; }
  bool IsEmpty() const { return kind_ == Kind::Empty; }
  bool IsNull() const { return kind_ == Kind::Null; }

  // To a 16-bit integer: nearest whole number, halves to the even neighbour
  // (2.5 -> 2, 3.5 -> 4); "Overflow" outside -32768..32767.
  std::int16_t ToInteger() const;
  // To a 32-bit integer, rounded the same way.
  std::int32_t ToLong() const;
  double ToDouble() const;
  // Zero is False, any other number True; a text converts as the number or
  // the word True/False (any letter case) it holds.
  bool ToBool() const;
  // As ToBool, in the component model's 16-bit form (-1 / 0).
  Boolean ToBoolean() const { return apartado::ToBoolean(ToBool()); }
  // Numbers in the general number form, dates as "YYYY-MM-DD HH:MM:SS",
  // Booleans as "True"/"False", Empty as "".
  std::string ToText() const;
  Date ToDate() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  Kind kind_ = Kind::Empty;
  std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::string> value_;
};

}  // namespace apartado
