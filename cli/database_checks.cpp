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

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
}

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

// Drops the "key=value" items of a list separated by `separator` whose key is
// one of `keys` (any letter case). A value in braces ({...}, as ODBC writes
// one holding the separator) is taken whole.
std::string WithoutItems(const std::string& list, char separator, const std::set<std::string>& keys) {
  std::string kept;
  std::size_t start = 0;
  while (start < list.size()) {
    std::size_t end = start;
    for (bool braced = false; end < list.size() && (braced || list[end] != separator); ++end) {
      if (list[end] == '{' || list[end] == '}') braced = list[end] == '{';
    }
    const std::string item = list.substr(start, end - start);
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos || keys.count(Lower(Trimmed(item.substr(0, equals)))) == 0) {
      kept += (kept.empty() ? "" : std::string(1, separator)) + item;
    }
    start = end + 1;
  }
  return kept;
}

std::string InitHint(const std::string& connection) {
  return "create it with `apartado --db " + WithoutPassword(connection) + " init`";
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
    throw InputError("unknown kind of database \"" + scheme + ":\" in --db " + WithoutPassword(connection) +
                     ": give a file path, sqlite:PATH, postgresql://... or odbc:...");
  }
}

std::string WithoutPassword(const std::string& connection) {
  if (StartsWith(connection, "odbc:")) return "odbc:" + WithoutItems(connection.substr(5), ';', {"pwd", "password"});
  if (!StartsWith(connection, "postgresql://") && !StartsWith(connection, "postgres://")) return connection;
  std::string uri = connection;
  const std::size_t authority = uri.find("//") + 2;
  const std::size_t at = uri.find('@', authority);
  const std::size_t slash = uri.find('/', authority);
  if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
    const std::size_t colon = uri.find(':', authority);
    if (colon != std::string::npos && colon < at) uri.erase(colon, at - colon);
  }
  const std::size_t query = uri.find('?');
  if (query == std::string::npos) return uri;
  const std::string parameters = WithoutItems(uri.substr(query + 1), '&', {"password"});
  return uri.substr(0, query) + (parameters.empty() ? "" : "?" + parameters);
}

std::vector<std::string> MissingSuiteTables(Database& db) {
  std::string sql;
  switch (db.GetBackend()) {
    case Backend::SQLite:
      sql = "SELECT name FROM sqlite_master WHERE type = 'table'";
      break;
    case Backend::PostgreSQL:
      sql = "SELECT table_name AS name FROM information_schema.tables WHERE table_schema = current_schema()";
      break;
    case Backend::ODBC:
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

void RequireSuiteDatabase(const std::string& connection) {
  const std::string file = SqliteFile(connection);
  if (!file.empty() && !std::filesystem::exists(file)) {
    throw InputError("no such database: " + file + " (create it with `apartado init`)");
  }
  std::unique_ptr<Database> db = Database::Open(connection);
  const std::vector<std::string> missing = MissingSuiteTables(*db);
  if (missing.size() == suite::DescribeSchema().size()) {
    throw InputError(WithoutPassword(connection) + " has no suite schema: " + InitHint(connection));
  }
  if (!missing.empty()) {
    std::string names;
    for (const std::string& name : missing) names += (names.empty() ? "" : ", ") + name;
    throw InputError(WithoutPassword(connection) + " lacks the suite tables " + names +
                     ": bring it up to date with `apartado --db " + WithoutPassword(connection) + " init`");
  }
}

}  // namespace apartado::cli
