#include "integration/test_databases.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace apartado::testing {
namespace {

bool IsPostgresString(const std::string& c) { return c.rfind("postgres", 0) == 0; }

// The SQLite files handed out, removed when the test program ends.
class TemporaryFiles {
 public:
  std::string NewPath() {
    static std::atomic<int> counter{0};
    const auto path = std::filesystem::temp_directory_path() /
                      ("apartado-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".db");
    std::lock_guard<std::mutex> lock(mutex_);
    paths_.push_back(path.string());
    return path.string();
  }
  ~TemporaryFiles() {
    for (const std::string& p : paths_) RemoveDatabaseFiles(p);
  }
  static void RemoveDatabaseFiles(const std::string& path) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix, ignored);
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> paths_;
};

TemporaryFiles& Files() {
  static TemporaryFiles files;
  return files;
}

}  // namespace

std::vector<std::string> TestConnectionStrings() {
  std::vector<std::string> strings{Files().NewPath()};
  if (const char* pg = std::getenv("APARTADO_TEST_PG"); pg != nullptr && *pg != '\0') strings.emplace_back(pg);
  return strings;
}

std::string BackendName(const std::string& connectionString) {
  return IsPostgresString(connectionString) ? "PostgreSQL" : "SQLite";
}

std::unique_ptr<Database> OpenFresh(const std::string& connectionString) {
  if (IsPostgresString(connectionString)) {
    auto db = Database::Open(connectionString);
    db->RunScript("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    return db;
  }
  std::string path = connectionString.rfind("sqlite:", 0) == 0 ? connectionString.substr(7) : connectionString;
  if (path != ":memory:") TemporaryFiles::RemoveDatabaseFiles(path);
  return Database::Open(connectionString);
}

void BackendTest::SetUp() { db_ = OpenFresh(GetParam()); }

bool BackendTest::IsPostgres() const { return IsPostgresString(GetParam()); }

}  // namespace apartado::testing
