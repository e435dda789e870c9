#pragma once
#include <string>

#include "apartado/export.h"

namespace apartado {

// The platform date value: days since 1899-12-30, the time of day as the
// fraction (0.5 is noon).
using Date = double;

// Builds a date from its calendar parts. Throws Failure("Overflow") outside
// the years 100 to 9999.
APARTADO_EXPORT Date MakeDate(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);

// Splits a date into calendar parts, rounded to the nearest second.
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};
APARTADO_EXPORT DateParts SplitDate(Date d);

// "YYYY-MM-DD HH:MM:SS": the form the suite uses in SQL and in look-ups.
APARTADO_EXPORT std::string FormatDateTime(Date d);
// ISO 8601 "YYYY-MM-DDTHH:MM:SS", used by the host's JSON.
APARTADO_EXPORT std::string FormatIsoDateTime(Date d);

// Reads "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" or the same with a 'T'
// between date and time. Throws Failure("Type mismatch") for anything else.
APARTADO_EXPORT Date ParseDateTime(const std::string& text);

// d + days, failing with "Overflow" when the result leaves the date range.
APARTADO_EXPORT Date AddDays(Date d, double days);

}  // namespace apartado
