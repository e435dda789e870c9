#include "integration/test_databases.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>

namespace apartado::testing {
namespace fs = std::filesystem;

std::string OdbcOverPostgres(const std::string& uri) {
  if (uri.find("://") == std::string::npos) return "";
  char* error = nullptr;
  PQconninfoOption* const options = PQconninfoParse(uri.c_str(), &error);
  if (options == nullptr) {
    PQfreemem(error);
    return "";
  }
  std::map<std::string, std::string> given;  // what the URI names, by libpq's keyword
  for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option)
    if (option->val != nullptr && *option->val != '\0') given[option->keyword] = option->val;
  PQconninfoFree(options);
  const auto named = [&](const char* keyword, const char* otherwise) {
    return given.contains(keyword) ? given[keyword] : otherwise;
  };
  std::string odbc = "odbc:DRIVER={PostgreSQL Unicode};SERVER=" + named("host", "localhost") +
                     ";PORT=" + named("port", "5432") + ";DATABASE=" + named("dbname", "postgres");
  if (given.contains("user")) odbc += ";UID=" + given["user"];
  if (given.contains("password")) {
    std::string braced;  // '}' inside braces is written twice
    for (const char c : given["password"]) braced += c == '}' ? "}}" : std::string(1, c);
    odbc += ";PWD={" + braced + "}";
  }
  return odbc;
}

std::vector<std::string> TestConnectionStrings() {
  // The SQLite files of this test program, in one directory removed when the program ends.
  static struct Directory {
    fs::path path = fs::temp_directory_path() / ("apartado-test-" + std::to_string(::getpid()));
    std::error_code ignored;
    std::atomic<int> files{0};
    Directory() { fs::create_directories(path); }
    ~Directory() { fs::remove_all(path, ignored); }
  } directory;
  std::vector<std::string> strings{(directory.path / (std::to_string(++directory.files) + ".db")).string()};
  if (const char* pg = std::getenv("APARTADO_TEST_PG"); pg != nullptr && *pg != '\0') {
    strings.emplace_back(pg);
    if (std::string odbc = OdbcOverPostgres(pg); !odbc.empty()) strings.push_back(std::move(odbc));
  }
  return strings;
}

std::unique_ptr<Database> OpenFresh(const std::string& connectionString) {
  if (IsPostgresString(connectionString)) {
    auto db = Database::Open(connectionString);
    db->RunScript("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    return db;
  }
  const std::string path = connectionString.rfind("sqlite:", 0) == 0 ? connectionString.substr(7) : connectionString;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path + suffix);
  return Database::Open(connectionString);
}

}  // namespace apartado::testing
