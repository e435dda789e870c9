#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "apartado/number_text.h"
#include "apartado/variant.h"

namespace apartado {
namespace {

using Convert = std::string (*)(const Variant&);

// What converting each value gives, or the description of the Failure it throws, joined by "|".
std::string Outcomes(Convert convert, const std::vector<Variant>& values) {
  std::string all;
  for (const Variant& v : values) {
    try {
      all += "|" + convert(v);
    } catch (const Failure& f) {
      all += "|" + std::string(f.what());
    }
  }
  return all.substr(1);
}

void Fails(Convert convert, const std::string& message, const std::vector<Variant>& values) {
  for (const Variant& v : values) EXPECT_EQ(Outcomes(convert, {v}), message) << "value " << &v - values.data();
}

Variant T(const char* text) { return Variant::FromText(text); }
Variant D(double value) { return Variant::FromDouble(value); }
const Variant kNull = Variant::MakeNull();

TEST(VariantConversions, WholeNumbersRoundHalvesToEvenAndBooleansReadWordsOrNumbers) {
  const Convert integer = [](const Variant& v) { return std::to_string(v.ToInteger()); };
  EXPECT_EQ(Outcomes(integer, {D(2.5), D(3.5), D(-2.5), D(-3.5), D(0.5), D(2.5001), D(32766.5), D(32767.4), D(-32768.5),
                               T(" 3.5 "), Variant(), Variant::FromBoolean(true), kNull}),
            "2|4|-2|-4|0|3|32766|32767|-32768|4|0|-1|Invalid use of Null");
  Fails(integer, "Overflow", {D(32767.5), D(-32768.6), Variant::FromLong(40000), T("40000"), T("1e400"), D(NAN)});
  Fails(integer, "Type mismatch", {T("abc"), T(""), T("12abc"), T("nan"), T("inf"), T("+-5")});
  EXPECT_EQ(Outcomes([](const Variant& v) { return std::to_string(v.ToLong()); },
                     {D(-3.5), D(2147483647.4), D(2147483647.5)}),
            "-4|2147483647|Overflow");
  EXPECT_EQ(Outcomes([](const Variant& v) { return std::to_string(v.ToBoolean()); },
                     {T("True"), T(" TRUE "), T("false"), T("0"), T("1"), T("0.0"), T("2.5"), D(0.0001),
                      Variant::FromLong(0), Variant(), T("yes"), T(""), kNull}),
            "-1|-1|0|0|-1|0|-1|-1|0|0|Type mismatch|Type mismatch|Invalid use of Null");
}

TEST(VariantConversions, NumbersAndTextsConvertBothWays) {
  // Numbers come back in the general form, with 15 significant digits.
  const Convert number = [](const Variant& v) { return NumberText(v.ToDouble()); };
  EXPECT_EQ(Outcomes(number, {T("100.0"), T(" -12.5 "), T("+3"), T(".5"), T("5."), T("1e-400"), kNull, D(0.5), D(100),
                              D(1e-5), D(1e15), D(-0.0), D(1.1 * 3), D(1.0 / 3), D(123456789012345678.0)}),
            "100|-12.5|3|0.5|5|0|Invalid use of Null|0.5|100|1E-05|1E+15|0|3.3|0.333333333333333|1.23456789012346E+17");
  Fails(number, "Type mismatch", {T("."), T("-"), T("1e"), T("1e+"), T("--1"), T("1 2"), T("0x10"), T("infinity")});
  EXPECT_EQ(Outcomes([](const Variant& v) { return v.ToText(); },
                     {Variant::FromBoolean(false), Variant(), D(0.1 + 0.2), kNull, Variant::FromDate(46091.5)}),
            "False||0.3|Invalid use of Null|2026-03-10 12:00:00");
}

TEST(Dates, KeepTheTimeOfDayAndRefuseBadTexts) {
  const Convert date = [](const Variant& v) { return FormatDateTime(v.ToDate()); };
  EXPECT_EQ(
      Outcomes(date, {T("2026-03-10T15:30:45"), T("2026-03-10"), T("2026-03-10 15:30"), T("2026-03-10 15:30:45.4"),
                      T("2026-03-10 23:59:59.6"), T("2024-02-29"), T("46091.5"), D(0.75)}),
      "2026-03-10 15:30:45|2026-03-10 00:00:00|2026-03-10 15:30:00|2026-03-10 15:30:45|2026-03-11 00:00:00|"
      "2024-02-29 00:00:00|2026-03-10 12:00:00|1899-12-30 18:00:00");
  Fails(date, "Type mismatch",
        {T(""), T("2026-3-10"), T("2026-13-01"), T("2026-02-29"), T("2026-03-10 24:00"), T("2026-03-10 15:60"),
         T("2026-03-10 15:30:60"), T("2026-03-10X15:30"), T("2026-03-10 15"), T("2026-+3-10"),
         T("2026-03-10 15:30:1e1"), T("2026-03-10 15:30: 5"), T("10/03/2026"), Variant::FromBoolean(true)});
  // Dates stay within the years 100 to 9999.
  Fails(date, "Overflow", {D(3e6), D(-7e5), D(INFINITY)});
  EXPECT_THAT([] { MakeDate(2026, 2, 30); }, ::testing::ThrowsMessage<Failure>("Overflow"));
}

}  // namespace
}  // namespace apartado
