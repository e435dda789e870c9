#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "apartado/suite.h"
#include "integration/test_databases.h"

namespace apartado::testing {

// A fresh database with the suite schema and a reference-suite factory over
// it (operator "OPER1", server "S1"); reported messages are collected.
class SuiteTest : public BackendTest {
 protected:
  void SetUp() override {
    BackendTest::SetUp();
    suite::CreateSchema(Db());
    factory_ = suite::MakeSuiteFactory(Options());
  }

  suite::SuiteOptions Options() {
    suite::SuiteOptions options;
    options.connectionString = GetParam();
    options.operatorKey = "OPER1";
    options.serverId = "S1";
    options.messageSink = [this](const suite::ReportedMessage& m) { reported_.push_back(m); };
    return options;
  }

  ServiceFactory& Factory() { return *factory_; }

  // Inserts one row; every value is bound.
  void Insert(const std::string& table, std::initializer_list<std::pair<std::string, Variant>> values) {
    std::string columns, marks;
    std::vector<Variant> params;
    for (const auto& [column, value] : values) {
      columns += (columns.empty() ? "" : ", ") + column;
      marks += (marks.empty() ? ":p" : ", :p") + std::to_string(params.size() + 1);
      params.push_back(value);
    }
    Db().Command("INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")", params);
  }

  // The only value of a one-row, one-column query (its column named V).
  Variant Scalar(const std::string& sql, const std::vector<Variant>& params = {}) {
    TableRecordset rows = Db().Query(sql, params);
    EXPECT_FALSE(rows.Eof()) << sql;
    return rows.Eof() ? Variant() : rows.Field("V");
  }

  long long Count(const std::string& table) {
    return static_cast<long long>(Scalar("SELECT COUNT(*) AS V FROM " + table).ToDouble());
  }

  std::shared_ptr<ServiceFactory> factory_;
  std::vector<suite::ReportedMessage> reported_;
};

inline Variant T(std::string text) { return Variant::FromText(std::move(text)); }
inline Variant N(double number) { return Variant::FromDouble(number); }

}  // namespace apartado::testing
