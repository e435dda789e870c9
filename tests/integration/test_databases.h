#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "apartado/database.h"

namespace apartado::testing {

// The databases integration tests run on: a new SQLite file in the temporary
// directory (a different one on every call), plus the PostgreSQL server named
// by the environment variable APARTADO_TEST_PG (a libpq URI) when it is set.
std::vector<std::string> TestConnectionStrings();

// Opens the database emptied: an SQLite file is deleted first (with its WAL
// files), a PostgreSQL database gets a new, empty public schema.
std::unique_ptr<Database> OpenFresh(const std::string& connectionString);

// "SQLite" or "PostgreSQL": the backend a test connection string names.
std::string BackendName(const std::string& connectionString);

// A test suite run once per backend:
//   class MyTest : public BackendTest {};
//   TEST_P(MyTest, Works) { Db().Command(...); }
//   APARTADO_INSTANTIATE_BACKENDS(MyTest);
// Each test starts on an emptied database; GetParam() is its connection
// string, for opening further connections to the same database.
class BackendTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override;
  Database& Db() { return *db_; }
  bool IsPostgres() const;

  std::unique_ptr<Database> db_;
};

struct BackendParamName {
  std::string operator()(const ::testing::TestParamInfo<std::string>& info) const { return BackendName(info.param); }
};

}  // namespace apartado::testing

#define APARTADO_INSTANTIATE_BACKENDS(Suite)                                                                   \
  INSTANTIATE_TEST_SUITE_P(Backends, Suite, ::testing::ValuesIn(::apartado::testing::TestConnectionStrings()), \
                           ::apartado::testing::BackendParamName())
