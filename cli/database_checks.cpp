#include "database_checks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "apartado/schema.h"
#include "host.h"

namespace apartado::cli {
namespace {

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool IsServer(const std::string& connection) {
  return StartsWith(connection, "postgresql://") || StartsWith(connection, "postgres://") ||
         StartsWith(connection, "odbc:");
}

// The "word:" a connection string starts with, as the database layer reads
// it (two characters at least, so that a drive letter "C:" stays a path).
std::string Scheme(const std::string& connection) {
  std::size_t i = 0;
  while (i < connection.size() &&
         (std::isalnum(static_cast<unsigned char>(connection[i])) || connection[i] == '+' || connection[i] == '-'))
    ++i;
  if (i < 2 || i >= connection.size() || connection[i] != ':' ||
      !std::isalpha(static_cast<unsigned char>(connection[0])))
    return "";
  return connection.substr(0, i);
}

std::string InitHint(const std::string& connection) {
  return "create it with `apartado --db " + Database::DisplayName(connection) + " init`";
}

}  // namespace

std::string SqliteFile(const std::string& connection) {
  if (IsServer(connection)) return "";
  const std::string path = StartsWith(connection, "sqlite:") ? connection.substr(7) : connection;
  return path == ":memory:" ? "" : path;
}

void RequireKnownBackend(const std::string& connection) {
  if (IsServer(connection) || StartsWith(connection, "sqlite:")) return;
  const std::string scheme = Scheme(connection);
  if (!scheme.empty()) {
    throw InputError("unknown kind of database \"" + scheme + ":\" in --db " + Database::DisplayName(connection) +
                     ": give a file path, sqlite:PATH, postgresql://... or odbc:...");
  }
}

std::vector<std::string> MissingSuiteTables(Database& db) {
  std::string sql;
  switch (db.GetDialect()) {
    case SqlDialect::SQLite:
      sql = "SELECT name FROM sqlite_master WHERE type = 'table'";
      break;
    case SqlDialect::PostgreSQL:
      sql = "SELECT table_name AS name FROM information_schema.tables WHERE table_schema = current_schema()";
      break;
    case SqlDialect::SqlServer:
      sql = "SELECT table_name AS name FROM information_schema.tables";
      break;
  }
  std::set<std::string> present;
  for (TableRecordset rows = db.Query(sql); !rows.Eof(); rows.MoveNext())
    present.insert(Lower(rows.Field("name").ToText()));
  std::vector<std::string> missing;
  for (const suite::SchemaTable& table : suite::DescribeSchema()) {
    if (present.count(Lower(table.name)) == 0) missing.push_back(table.name);
  }
  return missing;
}

void RequireSuiteDatabase(const std::string& connection, const OpenOptions& options) {
  const std::string file = SqliteFile(connection);
  if (!file.empty() && !std::filesystem::exists(file)) {
    throw InputError("no such database: " + file + " (create it with `apartado init`)");
  }
  std::unique_ptr<Database> db = Database::Open(connection, options);
  const std::vector<std::string> missing = MissingSuiteTables(*db);
  if (missing.size() == suite::DescribeSchema().size()) {
    throw InputError(Database::DisplayName(connection) + " has no suite schema: " + InitHint(connection));
  }
  if (!missing.empty()) {
    std::string names;
    for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
    throw InputError(Database::DisplayName(connection) + " lacks the suite tables " + names +
                     ": bring it up to date with `apartado --db " + Database::DisplayName(connection) + " init`");
  }
}

}  // namespace apartado::cli
