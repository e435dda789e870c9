#include "data/connection_string.h"

#include <libpq-fe.h>

#include <cctype>

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
  try {
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
      if (o->val == nullptr) continue;
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
  return conninfo;
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

BackendTarget ParseConnectionString(const std::string& connectionString) {
  const std::string& c = connectionString;
  if (c.empty()) throw Failure("The database connection string is empty");
  if (StartsWith(c, "postgresql://") || StartsWith(c, "postgres://")) return {Backend::PostgreSQL, PostgresConnect(c)};
  if (StartsWith(c, "odbc:")) {
    if (c.size() == 5) throw Failure("The ODBC connection string is empty");
    return {Backend::ODBC, c.substr(5)};
  }
  if (StartsWith(c, "sqlite:")) {
    const std::string path = c.substr(7);
    return {Backend::SQLite, SqliteConnect(path), path == ":memory:"};
  }
  std::string scheme;
  if (HasScheme(c, scheme))
    throw Failure("Unknown database kind \"" + scheme +
                  ":\" in the connection string: use a file path, sqlite:PATH, postgresql://... or odbc:...");
  return {Backend::SQLite, SqliteConnect(c), c == ":memory:"};
}

}  // namespace apartado
