#include "database/postgres_text.h"

#include <libpq-fe.h>

#include <charconv>
#include <climits>
#include <cstdio>
#include <memory>

#include "apartado/date.h"
#include "apartado/failure.h"

namespace apartado {
namespace {

// Type OIDs of pg_type (fixed since PostgreSQL 7).
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701, kNumeric = 1700,
              kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184;

struct ResultDeleter {
  void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

std::string FirstLine(std::string text) {
  const std::size_t end = text.find('\n');
  if (end != std::string::npos) text.erase(end);
  return text;
}

[[noreturn]] void Throw(PGconn* connection, const PGresult* result) {
  const char* primary = result != nullptr ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  const char* state = result != nullptr ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  std::string message = primary != nullptr ? primary : FirstLine(PQerrorMessage(connection));
  if (message.empty()) message = "The PostgreSQL server gave no answer";
  throw PostgresError(message, state != nullptr ? state : "");
}

Variant WholeNumber(const char* text, std::size_t length) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text, text + length, value);
  if (error != std::errc() || end != text + length) return Variant::FromText(std::string(text, length));
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant::FromLong(static_cast<std::int32_t>(value));
  return Variant::FromDouble(static_cast<double>(value));
}

Variant RealNumber(const char* text, std::size_t length) {
  double value = 0;
  const auto [end, error] = std::from_chars(text, text + length, value);
  if (error != std::errc() || end != text + length) return Variant::FromText(std::string(text, length));
  return Variant::FromDouble(value);
}

// "YYYY-MM-DD[ HH:MM:SS[.ffffff][+zone]]" to the second, the fraction and the
// zone dropped; anything else ("infinity", a date BC) stays text.
Variant DateValue(const char* text, std::size_t length) {
  const std::string value(text, length);
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, read = 0;
  const int parts = std::sscanf(value.c_str(), "%4d-%2d-%2d%n %2d:%2d:%2d%n", &year, &month, &day, &read, &hour,
                                &minute, &second, &read);
  const bool dateOnly = parts == 3 && static_cast<std::size_t>(read) == length;
  const bool withTime = parts == 6 && value.find(" BC") == std::string::npos;
  if (dateOnly || withTime) {
    try {
      return Variant::FromDate(MakeDate(year, month, day, hour, minute, second));
    } catch (const Failure&) {
      // Outside the platform's years: left as the server wrote it.
    }
  }
  return Variant::FromText(value);
}

Variant ColumnValue(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return Variant::MakeNull();
  const char* text = PQgetvalue(result, row, column);
  const auto length = static_cast<std::size_t>(PQgetlength(result, row, column));
  switch (PQftype(result, column)) {
    case kBool:
      return Variant::FromLong(text[0] == 't' ? 1 : 0);
    case kInt2:
    case kInt4:
    case kInt8:
      return WholeNumber(text, length);
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return RealNumber(text, length);
    case kDate:
    case kTimestamp:
    case kTimestampTz:
      return DateValue(text, length);
    default:
      return Variant::FromText(std::string(text, length));
  }
}

}  // namespace

TableRecordset RunPostgresText(PGconn* connection, const std::string& text) {
  // Text results; no parameter types, values or formats.
  Result result(PQexecParams(connection, text.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_EMPTY_QUERY) return TableRecordset();
  if (status != PGRES_TUPLES_OK) Throw(connection, result.get());

  const int columns = PQnfields(result.get());
  const int rows = PQntuples(result.get());
  std::vector<std::string> names;
  names.reserve(static_cast<std::size_t>(columns));
  for (int c = 0; c < columns; ++c) names.emplace_back(PQfname(result.get(), c));
  std::vector<std::vector<Variant>> values(static_cast<std::size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    std::vector<Variant>& row = values[static_cast<std::size_t>(r)];
    row.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) row.push_back(ColumnValue(result.get(), r, c));
  }
  return TableRecordset(std::move(names), std::move(values));
}

bool IsPostgresConflict(const std::string& sqlstate) {
  return sqlstate == "40001" || sqlstate == "40P01" || sqlstate == "55P03";
}

}  // namespace apartado
