#include "apartado/date.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "apartado/failure.h"

namespace apartado {
namespace {

// Days between 1970-01-01 and the civil date (proleptic Gregorian).
constexpr long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Computed at compile time: a date made while a program's globals are
// initialized must not find them still zero.
constexpr long long kEpochOffset = DaysFromCivil(1899, 12, 30);
constexpr double kMinDate = static_cast<double>(DaysFromCivil(100, 1, 1) - kEpochOffset);
constexpr double kMaxDate = static_cast<double>(DaysFromCivil(9999, 12, 31) - kEpochOffset) + 86399.0 / 86400.0;

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0)) return 29;
  return days[m - 1];
}

[[noreturn]] void Mismatch() { throw Failure("Type mismatch"); }

}  // namespace

Date MakeDate(int year, int month, int day, int hour, int minute, double second) {
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    throw Failure("Overflow");
  const double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                                        static_cast<unsigned>(day)) -
                                          kEpochOffset);
  return days + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

DateParts SplitDate(Date d) {
  double whole = std::floor(d);
  long long seconds = std::llround((d - whole) * 86400.0);
  if (seconds >= 86400) {
    whole += 1;
    seconds -= 86400;
  }
  DateParts p;
  CivilFromDays(static_cast<long long>(whole) + kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

static std::string Format(Date d, char separator) {
  const DateParts p = SplitDate(d);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d%c%02d:%02d:%02d", p.year, p.month, p.day, separator, p.hour,
                p.minute, p.second);
  return buffer;
}

std::string FormatDateTime(Date d) { return Format(d, ' '); }
std::string FormatIsoDateTime(Date d) { return Format(d, 'T'); }

namespace {

// Reads exactly `count` digits at text[pos]; false when any is not a digit.
bool ReadDigits(const std::string& text, std::size_t pos, std::size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

Date ParseDateTime(const std::string& text) {
  const std::size_t b = text.find_first_not_of(' ');
  const std::size_t e = text.find_last_not_of(' ');
  if (b == std::string::npos) Mismatch();
  const std::string t = text.substr(b, e - b + 1);
  // YYYY-MM-DD, then optionally ' ' or 'T' and HH:MM, then optionally :SS
  // and a fraction of a second.
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, whole = 0;
  if (!ReadDigits(t, 0, 4, y) || t.size() < 10 || t[4] != '-' || !ReadDigits(t, 5, 2, mo) || t[7] != '-' ||
      !ReadDigits(t, 8, 2, d))
    Mismatch();
  double s = 0;
  if (t.size() > 10) {
    if ((t[10] != ' ' && t[10] != 'T') || !ReadDigits(t, 11, 2, h) || t.size() < 16 || t[13] != ':' ||
        !ReadDigits(t, 14, 2, mi))
      Mismatch();
    if (t.size() > 16) {
      if (t[16] != ':' || !ReadDigits(t, 17, 2, whole)) Mismatch();
      s = whole;
      if (t.size() > 19) {
        int digit = 0;
        if (t[19] != '.' || t.size() == 20) Mismatch();
        double scale = 0.1;
        for (std::size_t i = 20; i < t.size(); ++i, scale /= 10) {
          if (!ReadDigits(t, i, 1, digit)) Mismatch();
          s += digit * scale;
        }
      }
    }
    if (h > 23 || mi > 59 || whole > 59) Mismatch();
  }
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo)) Mismatch();
  return MakeDate(y, mo, d, h, mi, s);
}

Date AddDays(Date d, double days) {
  const double r = d + days;
  if (!std::isfinite(r) || r < kMinDate || r > kMaxDate) throw Failure("Overflow");
  return r;
}

}  // namespace apartado
