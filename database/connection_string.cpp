#include "database/connection_string.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <utility>
#include <vector>

#include "apartado/failure.h"

namespace apartado {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// "db=\"...\"" when SOCI's SQLite backend would otherwise read the path as
// key=value options.
std::string SqliteConnect(const std::string& path) {
  if (path.empty()) throw Failure("The SQLite connection string names no database file");
  if (path.find('=') == std::string::npos) return path;
  if (path.find('"') != std::string::npos)
    throw Failure("An SQLite database path cannot hold both '=' and '\"': " + path);
  return "db=\"" + path + "\"";
}

// The path as an SQLite URI opening it for reading only (see
// ParseConnectionString).
std::string SqliteReadOnly(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      static const char* const kHex = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0xF];
    }
  }
  uri += "?mode=ro";
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ignored;
  if (::access(folder.c_str(), W_OK) != 0 && !std::filesystem::exists(path + "-wal", ignored)) uri += "&immutable=1";
  return "db=\"" + uri + "\"";
}

std::string QuoteConninfoValue(const std::string& keyword, const std::string& value) {
  std::string quoted = "'";
  for (char c : value) {
    if (std::isspace(static_cast<unsigned char>(c)))
      throw Failure("The PostgreSQL connection value of " + keyword + " holds a blank, which cannot be passed on");
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

std::string PostgresConnect(const std::string& uri) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.c_str(), &error);
  if (options == nullptr) {
    std::string message = error != nullptr ? error : "out of memory";
    if (error != nullptr) PQfreemem(error);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    throw Failure("Invalid PostgreSQL connection string: " + message);
  }
  std::string conninfo;
  bool timeoutGiven = false;
  try {
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
      if (o->val == nullptr) continue;
      timeoutGiven = timeoutGiven || std::string(o->keyword) == "connect_timeout";
      if (!conninfo.empty()) conninfo += ' ';
      conninfo += o->keyword;
      conninfo += '=';
      conninfo += QuoteConninfoValue(o->keyword, o->val);
    }
  } catch (...) {
    PQconninfoFree(options);
    throw;
  }
  PQconninfoFree(options);
  const char* environment = std::getenv("PGCONNECT_TIMEOUT");
  if (!timeoutGiven && (environment == nullptr || *environment == '\0'))
    conninfo += " connect_timeout='" + std::to_string(kPostgresConnectTimeoutSeconds) + "'";
  return conninfo;
}

// Whether the text from `at` starts with key (any letter case) and '='.
bool KeyIs(const std::string& text, std::size_t at, const std::string& key) {
  if (text.size() < at + key.size() + 1 || text[at + key.size()] != '=') return false;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != key[i]) return false;
  return true;
}

// A libpq URI without user:password@'s password and without password=.
std::string UriWithoutPassword(std::string uri) {
  const std::size_t authority = uri.find("://") + 3;
  const std::size_t authorityEnd = std::min(uri.find_first_of("/?", authority), uri.size());
  const std::size_t at = uri.rfind('@', authorityEnd);
  if (at != std::string::npos && at >= authority) {
    const std::size_t colon = uri.find(':', authority);
    if (colon < at) uri.erase(colon, at - colon);
  }
  const std::size_t query = uri.find('?');
  if (query == std::string::npos) return uri;
  std::string kept;
  std::size_t start = query + 1;
  while (start <= uri.size()) {
    const std::size_t end = std::min(uri.find('&', start), uri.size());
    if (!KeyIs(uri, start, "password")) kept += (kept.empty() ? "" : "&") + uri.substr(start, end - start);
    start = end + 1;
  }
  return uri.substr(0, query) + (kept.empty() ? "" : "?" + kept);
}

// The items of an ODBC connection string, each as [start, end) with end at
// its ';' or the end of the text (a {braced} value may hold ';', and "}}"
// inside it stands for '}'), and where its keyword starts.
struct OdbcItem {
  std::size_t start, end, key;
};

std::vector<OdbcItem> OdbcItems(const std::string& text) {
  std::vector<OdbcItem> items;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = start;
    while (end < text.size() && text[end] != ';') {
      if (text[end] == '{') {
        for (++end; end < text.size(); ++end) {
          if (text[end] != '}') continue;
          if (end + 1 < text.size() && text[end + 1] == '}') {
            ++end;
          } else {
            break;
          }
        }
      }
      if (end < text.size()) ++end;
    }
    std::size_t key = start;
    while (key < end && text[key] == ' ') ++key;
    items.push_back({start, end, key});
    start = end + 1;
  }
  return items;
}

// An ODBC connection string without PWD= and Password=.
std::string OdbcWithoutPassword(const std::string& text) {
  std::string kept;
  for (const OdbcItem& item : OdbcItems(text)) {
    if (!KeyIs(text, item.key, "pwd") && !KeyIs(text, item.key, "password"))
      kept += text.substr(item.start, std::min(item.end + 1, text.size()) - item.start);
  }
  // The separator of a last item taken out goes with it.
  if (!kept.empty() && kept.back() == ';' && text.back() != ';') kept.pop_back();
  return kept;
}

// A "word:" scheme at the start (two letters at least, so that a Windows
// drive "C:" stays a path).
bool HasScheme(const std::string& text, std::string& scheme) {
  std::size_t i = 0;
  while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '+' || text[i] == '-'))
    ++i;
  if (i < 2 || i >= text.size() || text[i] != ':' || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
  scheme = text.substr(0, i);
  return true;
}

}  // namespace

std::string DisplayedConnection(const std::string& connectionString) {
  if (StartsWith(connectionString, "postgresql://") || StartsWith(connectionString, "postgres://"))
    return UriWithoutPassword(connectionString);
  if (StartsWith(connectionString, "odbc:")) return "odbc:" + OdbcWithoutPassword(connectionString.substr(5));
  return connectionString;
}

BackendTarget ParseConnectionString(const std::string& connectionString, bool readOnly) {
  const std::string& c = connectionString;
  if (c.empty()) throw Failure("The database connection string is empty");
  if (StartsWith(c, "postgresql://") || StartsWith(c, "postgres://")) return {Backend::PostgreSQL, PostgresConnect(c)};
  if (StartsWith(c, "odbc:")) {
    if (c.size() == 5) throw Failure("The ODBC connection string is empty");
    return {Backend::ODBC, c.substr(5)};
  }
  std::string path = c;
  if (StartsWith(c, "sqlite:")) {
    path = c.substr(7);
  } else if (std::string scheme; HasScheme(c, scheme)) {
    throw Failure("Unknown database kind \"" + scheme +
                  ":\" in the connection string: use a file path, sqlite:PATH, postgresql://... or odbc:...");
  }
  const bool memory = path == ":memory:";
  if (readOnly && !memory && !path.empty()) return {Backend::SQLite, SqliteReadOnly(path), false};
  return {Backend::SQLite, SqliteConnect(path), memory};
}

bool OdbcSetsKeyword(const std::string& odbc, const std::string& keyword) {
  std::string lower;
  for (const char c : keyword) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const OdbcItem& item : OdbcItems(odbc))
    if (KeyIs(odbc, item.key, lower)) return true;
  return false;
}

std::string WithPsqlOdbcDefaults(const std::string& odbc) {
  std::string text = odbc;
  for (const auto& [keyword, item] :
       {std::pair{"Protocol", kPsqlOdbcProtocol}, std::pair{"MaxVarcharSize", kPsqlOdbcVarchar},
        std::pair{"UseServerSidePrepare", kPsqlOdbcPrepare}}) {
    if (OdbcSetsKeyword(odbc, keyword)) continue;
    text += (text.empty() || text.back() == ';' ? "" : ";") + std::string(item);
  }
  return text;
}

SqlDialect DialectOfDbms(const std::string& dbmsName) {
  if (dbmsName == "PostgreSQL") return SqlDialect::PostgreSQL;
  if (dbmsName.rfind("SQLite", 0) == 0) return SqlDialect::SQLite;
  return SqlDialect::SqlServer;
}

}  // namespace apartado
