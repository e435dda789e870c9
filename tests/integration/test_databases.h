#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "apartado/database.h"

namespace apartado::testing {

// A new SQLite file (another on every call), plus the PostgreSQL server APARTADO_TEST_PG names (a libpq URI) if set.
std::vector<std::string> TestConnectionStrings();

// Opens the database emptied: SQLite files are deleted first, a PostgreSQL database gets a new, empty public schema.
std::unique_ptr<Database> OpenFresh(const std::string& connectionString);

inline bool IsPostgresString(const std::string& connection) { return connection.rfind("postgres", 0) == 0; }

// TEST_Ps run on each backend by APARTADO_INSTANTIATE_BACKENDS(Suite), on an emptied database named by GetParam().
class BackendTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { db_ = OpenFresh(GetParam()); }
  Database& Db() { return *db_; }
  bool IsPostgres() const { return IsPostgresString(GetParam()); }

  std::unique_ptr<Database> db_;
};

}  // namespace apartado::testing

#define APARTADO_INSTANTIATE_BACKENDS(Suite)                                                                     \
  INSTANTIATE_TEST_SUITE_P(                                                                                      \
      Backends, Suite, ::testing::ValuesIn(::apartado::testing::TestConnectionStrings()), [](const auto& info) { \
        return std::string(::apartado::testing::IsPostgresString(info.param) ? "PostgreSQL" : "SQLite");         \
      })
