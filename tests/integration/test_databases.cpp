#include "integration/test_databases.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace apartado::testing {
namespace fs = std::filesystem;

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
  if (const char* pg = std::getenv("APARTADO_TEST_PG"); pg != nullptr && *pg != '\0') strings.emplace_back(pg);
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
