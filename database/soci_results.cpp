#include "database/soci_results.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <climits>
#include <ctime>

#include "database/odbc_direct.h"
#include "database/postgres_text.h"

namespace apartado {
namespace {

Variant FromWholeNumber(long long value) {
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant::FromLong(static_cast<std::int32_t>(value));
  return Variant::FromDouble(static_cast<double>(value));
}

Variant FromTm(const std::tm& t) {
  return Variant::FromDate(MakeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec));
}

// Removes the first occurrence of prefix and everything before it.
void DropThrough(std::string& text, const std::string& prefix) {
  const std::size_t at = text.find(prefix);
  if (at != std::string::npos) text.erase(0, at + prefix.size());
}

}  // namespace

Variant ColumnValue(const soci::row& row, std::size_t i) {
  if (row.get_indicator(i) == soci::i_null) return Variant::MakeNull();
  switch (row.get_properties(i).get_data_type()) {
    case soci::dt_string:
    case soci::dt_xml:
      return Variant::FromText(row.get<std::string>(i));
    case soci::dt_integer:
      return FromWholeNumber(row.get<int>(i));
    case soci::dt_long_long:
      return FromWholeNumber(row.get<long long>(i));
    case soci::dt_unsigned_long_long: {
      const unsigned long long v = row.get<unsigned long long>(i);
      return v <= INT32_MAX ? Variant::FromLong(static_cast<std::int32_t>(v))
                            : Variant::FromDouble(static_cast<double>(v));
    }
    case soci::dt_double:
      return Variant::FromDouble(row.get<double>(i));
    case soci::dt_date:
      return FromTm(row.get<std::tm>(i));
    case soci::dt_blob:
      break;
  }
  return Variant::MakeNull();  // binary columns have no Variant form here
}

std::vector<std::string> ColumnNames(const soci::row& row) {
  std::vector<std::string> names;
  names.reserve(row.size());
  for (std::size_t i = 0; i < row.size(); ++i) names.push_back(row.get_properties(i).get_name());
  return names;
}

TableRecordset ReadAll(soci::statement& statement, soci::row& row) {
  std::vector<std::vector<Variant>> rows;
  // With data exchange the first row arrives with the execution: without it
  // SQLite would not run a statement that answers no rows at all.
  if (statement.execute(true) && row.size() > 0) {
    do {
      std::vector<Variant> values;
      values.reserve(row.size());
      for (std::size_t i = 0; i < row.size(); ++i) values.push_back(ColumnValue(row, i));
      rows.push_back(std::move(values));
    } while (statement.fetch());
  }
  return TableRecordset(ColumnNames(row), std::move(rows));
}

std::string DatabaseMessage(const soci::soci_error& error) {
  // ODBC keeps the driver's own diagnostic apart from SOCI's framing
  // ("Error executing query: ... (SQL state 42S02)").
  if (const auto* odbc = dynamic_cast<const soci::odbc_soci_error*>(&error))
    return OdbcMessage(reinterpret_cast<const char*>(odbc->odbc_error_message()));
  std::string message = error.get_error_message();
  const bool sqlite = message.rfind("sqlite3_", 0) == 0;
  if (sqlite) {
    // "sqlite3_statement_backend::prepare: no such table: x"
    const std::size_t colon = message.find(": ");
    if (colon != std::string::npos) message.erase(0, colon + 2);
  }
  // SOCI's sentence before the reason ("unable to open database file",
  // "connection to server ... failed: ...").
  const std::string connecting = "Cannot establish connection to the database.";
  if (message.rfind(connecting, 0) == 0) {
    message.erase(0, connecting.size());
    while (!message.empty() && (message.front() == ' ' || message.front() == '\n')) message.erase(0, 1);
  }
  if (!sqlite) {
    // "Cannot execute query. Fatal error. ERROR:  relation ... \nLINE 1: ..."
    if (message.find("ERROR:  ") != std::string::npos) {
      DropThrough(message, "ERROR:  ");
      const std::size_t lineBreak = message.find('\n');
      if (lineBreak != std::string::npos) message.erase(lineBreak);
    } else {
      DropThrough(message, "Fatal error. ");
    }
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

bool IsConflict(const soci::soci_error& error) {
  if (const auto* pg = dynamic_cast<const soci::postgresql_soci_error*>(&error))
    return IsPostgresConflict(pg->sqlstate());
  if (const auto* lite = dynamic_cast<const soci::sqlite3_soci_error*>(&error)) {
    const int primary = lite->result() & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
  }
  if (const auto* odbc = dynamic_cast<const soci::odbc_soci_error*>(&error))
    return IsOdbcConflict(reinterpret_cast<const char*>(odbc->odbc_error_code()));
  return false;
}

}  // namespace apartado
