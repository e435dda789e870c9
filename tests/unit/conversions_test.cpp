#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "apartado/number_text.h"
#include "apartado/variant.h"

namespace apartado {
namespace {

// The description of the Failure the call throws, or "" when it does not.
std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& f) {
    return f.what();
  }
  return "";
}

Variant Text(const char* t) { return Variant::FromText(t); }

TEST(VariantToInteger, RoundsHalvesToTheEvenNeighbour) {
  struct Case {
    double value;
    std::int16_t expected;
  } cases[] = {{2.5, 2},           {3.5, 4},           {-2.5, -2},  {-3.5, -4},      {0.5, 0},
               {1.5, 2},           {2.4999, 2},        {2.5001, 3}, {-0.4, 0},       {32767.4, 32767},
               {-32768.4, -32768}, {-32768.5, -32768}, {7, 7},      {32766.5, 32766}};
  for (const Case& c : cases) {
    EXPECT_EQ(Variant::FromDouble(c.value).ToInteger(), c.expected) << c.value;
    EXPECT_EQ(Variant::FromDouble(c.value).ToLong(), c.expected) << c.value;
  }
  EXPECT_EQ(Text("2.5").ToInteger(), 2);
  EXPECT_EQ(Text(" 3.5 ").ToInteger(), 4);
  EXPECT_EQ(Variant::FromLong(-12).ToInteger(), -12);
  EXPECT_EQ(Variant::FromBoolean(true).ToInteger(), -1);
  EXPECT_EQ(Variant().ToInteger(), 0);
  EXPECT_EQ(Variant::FromDouble(2147483647.4).ToLong(), 2147483647);
}

TEST(VariantToInteger, FailsWithThePlatformTexts) {
  struct Case {
    Variant value;
    const char* message;
  } cases[] = {
      {Variant::FromDouble(32767.5), "Overflow"},
      {Variant::FromDouble(-32768.6), "Overflow"},
      {Variant::FromLong(40000), "Overflow"},
      {Text("40000"), "Overflow"},
      {Variant::FromDouble(std::nan("")), "Overflow"},
      {Variant::MakeNull(), "Invalid use of Null"},
      {Text("abc"), "Type mismatch"},
      {Text(""), "Type mismatch"},
      {Text("12abc"), "Type mismatch"},
      {Text("nan"), "Type mismatch"},
      {Text("inf"), "Type mismatch"},
      {Text("+-5"), "Type mismatch"},
      {Text("1e400"), "Overflow"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FailureOf([&] { c.value.ToInteger(); }), c.message) << static_cast<int>(c.value.GetKind());
  EXPECT_EQ(FailureOf([] { Variant::FromDouble(2147483647.5).ToLong(); }), "Overflow");
  EXPECT_EQ(FailureOf([] { Variant::MakeNull().ToDouble(); }), "Invalid use of Null");
  EXPECT_EQ(FailureOf([] { Variant::MakeNull().ToText(); }), "Invalid use of Null");
}

TEST(VariantToBool, ReadsWordsAndNumbers) {
  struct Case {
    Variant value;
    bool expected;
  } cases[] = {
      {Text("True"), true},
      {Text("true"), true},
      {Text(" TRUE "), true},
      {Text("false"), false},
      {Text("False"), false},
      {Text("0"), false},
      {Text("-1"), true},
      {Text("1"), true},
      {Text("0.0"), false},
      {Text("2.5"), true},
      {Variant::FromDouble(0.0001), true},
      {Variant::FromLong(0), false},
      {Variant::FromInteger(-1), true},
      {Variant(), false},
      {Variant::FromBoolean(true), true},
  };
  for (const Case& c : cases) EXPECT_EQ(c.value.ToBool(), c.expected) << c.value.ToText();
  EXPECT_EQ(Text("True").ToBoolean(), kTrue);
  EXPECT_EQ(Text("1").ToBoolean(), kTrue);  // any non-zero number is True, held as -1
  EXPECT_EQ(Text("false").ToBoolean(), kFalse);
  EXPECT_EQ(FailureOf([] { Text("yes").ToBool(); }), "Type mismatch");
  EXPECT_EQ(FailureOf([] { Text("").ToBool(); }), "Type mismatch");
  EXPECT_EQ(FailureOf([] { Variant::MakeNull().ToBool(); }), "Invalid use of Null");
}

TEST(VariantText, NumbersInTextConvertBothWays) {
  EXPECT_EQ(Text("100.0").ToDouble(), 100.0);
  EXPECT_EQ(Text(" -12.5 ").ToDouble(), -12.5);
  EXPECT_EQ(Text("+3").ToDouble(), 3.0);
  EXPECT_EQ(Text("1E-05").ToDouble(), 1e-5);
  EXPECT_EQ(Text(".5").ToDouble(), 0.5);
  EXPECT_EQ(Text("5.").ToDouble(), 5.0);
  EXPECT_EQ(Text("1e-400").ToDouble(), 0.0);  // too small to hold
  for (const char* text : {".", "-", "1e", "1e+", "--1", "1 2", "0x10", "infinity"})
    EXPECT_EQ(FailureOf([&] { Text(text).ToDouble(); }), "Type mismatch") << text;
  EXPECT_EQ(Variant::FromDouble(0.1 + 0.2).ToText(), "0.3");
  EXPECT_EQ(Variant::FromDouble(1.0 / 3).ToText(), "0.333333333333333");
  EXPECT_EQ(Variant::FromInteger(-5).ToText(), "-5");
  EXPECT_EQ(Variant::FromLong(123456).ToText(), "123456");
  EXPECT_EQ(Variant::FromBoolean(false).ToText(), "False");
  EXPECT_EQ(Variant().ToText(), "");
  EXPECT_EQ(Variant::FromDate(MakeDate(2026, 3, 10, 15, 30, 0)).ToText(), "2026-03-10 15:30:00");
}

TEST(NumberText, GeneralFormWithFifteenDigits) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0.5, "0.5"},
      {100, "100"},
      {1e-5, "1E-05"},
      {1e15, "1E+15"},
      {999999999999999, "999999999999999"},
      {123456789012345678.0, "1.23456789012346E+17"},
      {-0.0, "0"},
      {0, "0"},
      {-2.75, "-2.75"},
      {0.0001, "0.0001"},
      {1234.5678, "1234.5678"},
      {1.1 * 3, "3.3"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberText(c.value), c.text) << c.value;
}

TEST(Dates, FormatAndParseKeepTheTimeOfDay) {
  const Date d = MakeDate(2026, 3, 10, 15, 30, 45);
  EXPECT_EQ(FormatDateTime(d), "2026-03-10 15:30:45");
  EXPECT_EQ(FormatIsoDateTime(d), "2026-03-10T15:30:45");
  EXPECT_EQ(ParseDateTime("2026-03-10 15:30:45"), d);
  EXPECT_EQ(ParseDateTime("2026-03-10T15:30:45"), d);
  EXPECT_EQ(FormatDateTime(ParseDateTime(FormatDateTime(d))), "2026-03-10 15:30:45");
  EXPECT_EQ(FormatDateTime(ParseDateTime("2026-03-10")), "2026-03-10 00:00:00");
  EXPECT_EQ(FormatDateTime(ParseDateTime("2026-03-10 15:30")), "2026-03-10 15:30:00");
  EXPECT_EQ(FormatDateTime(ParseDateTime("2026-03-10 15:30:45.4")), "2026-03-10 15:30:45");
  EXPECT_EQ(FormatDateTime(ParseDateTime("2026-03-10 23:59:59.6")), "2026-03-11 00:00:00");
  EXPECT_EQ(MakeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(MakeDate(1900, 1, 1, 12), 2.5);
  EXPECT_EQ(FormatDateTime(0.75), "1899-12-30 18:00:00");
  EXPECT_EQ(Text("2026-03-10 15:30:45").ToDate(), d);
  EXPECT_EQ(Text("46091.5").ToDate(), 46091.5);
}

TEST(Dates, BadTextsAreTypeMismatch) {
  for (const char* text :
       {"", "abc", "2026-3-10", "2026-13-01", "2026-02-29", "2026-03-10 24:00", "2026-03-10 15:60",
        "2026-03-10 15:30:60", "2026-03-10X15:30", "2026-03-10 15:30:", "2026-03-10 15:30:5x", "2026-03-10 15",
        "+026-03-10", "2026-+3-10", "2026-03-10 +1:30", "2026-03-10 15:30: 5", "2026-03-10 15:30:1e1", "10/03/2026"})
    EXPECT_EQ(FailureOf([&] { ParseDateTime(text); }), "Type mismatch") << text;
  EXPECT_EQ(ParseDateTime("2024-02-29"), MakeDate(2024, 2, 29));
  EXPECT_EQ(FailureOf([] { Text("yesterday").ToDate(); }), "Type mismatch");
  EXPECT_EQ(FailureOf([] { Variant::FromBoolean(true).ToDate(); }), "Type mismatch");
}

TEST(Dates, ArithmeticStaysInRange) {
  EXPECT_EQ(FormatDateTime(AddDays(MakeDate(2026, 3, 10, 15, 30), 30)), "2026-04-09 15:30:00");
  EXPECT_EQ(FormatDateTime(AddDays(MakeDate(2024, 2, 28, 8), 1)), "2024-02-29 08:00:00");
  EXPECT_EQ(FormatDateTime(AddDays(MakeDate(2026, 12, 31, 23, 59, 59), 1.0 / 86400)), "2027-01-01 00:00:00");
  EXPECT_EQ(FormatDateTime(AddDays(MakeDate(9999, 12, 31), 0.5)), "9999-12-31 12:00:00");
  EXPECT_EQ(FailureOf([] { AddDays(MakeDate(9999, 12, 31), 1); }), "Overflow");
  EXPECT_EQ(FailureOf([] { AddDays(MakeDate(100, 1, 1), -1); }), "Overflow");
  EXPECT_EQ(FailureOf([] { AddDays(0, std::numeric_limits<double>::infinity()); }), "Overflow");
  EXPECT_EQ(FailureOf([] { MakeDate(10000, 1, 1); }), "Overflow");
  EXPECT_EQ(FailureOf([] { MakeDate(2026, 2, 30); }), "Overflow");
  EXPECT_EQ(FailureOf([] { Variant::FromDouble(3e6).ToDate(); }), "Overflow");
}

}  // namespace
}  // namespace apartado
