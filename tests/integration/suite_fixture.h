#pragma once
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "apartado/suite.h"
#include "integration/test_databases.h"

namespace apartado::testing {

inline Variant T(std::string text) { return Variant::FromText(std::move(text)); }
inline Variant N(double number) { return Variant::FromDouble(number); }

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
  void Insert(const std::string& table, const std::vector<std::pair<std::string, Variant>>& values) {
    std::string columns, marks;
    std::vector<Variant> params;
    for (const auto& [column, value] : values) {
      columns += (columns.empty() ? "" : ", ") + column;
      marks += (marks.empty() ? ":p" : ", :p") + std::to_string(params.size() + 1);
      params.push_back(value);
    }
    Db().Command("INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")", params);
  }

  // Inserts one row of a table keyed by branch, warehouse, product, size
  // and colour: those five keys, then the values given.
  void InsertKeyed(const std::string& table, const std::array<const char*, 5>& keys,
                   std::vector<std::pair<std::string, Variant>> values) {
    static const char* const kKeyColumns[] = {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla",
                                              "Cl_Cve_Color"};
    for (std::size_t i = 0; i < keys.size(); ++i) values.emplace_back(kKeyColumns[i], T(keys[i]));
    Insert(table, values);
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

// A receivable of the layaway `document` for customer C1: subtotal 160, tax
// 28; designated members only, the rest keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
inline ReceivableHeader Header(const std::string& document, double total = 188, const std::string& branch = "01") {
  return {.DocumentDate = MakeDate(2026, 3, 10, 15, 30, 0), .DueDate = MakeDate(2026, 4, 9, 15, 30, 0),
          .OriginTable = "APARTADO", .OriginDocument = document, .Reference = "REF", .Comment = "Comentario",
          .Branch = {.Key = branch}, .Customer = {.Key = "C1"}, .Subtotal1 = 160, .Tax1 = 28, .Total1 = total,
          .Currency = {.CurrencyKey = "MXN"}, .ExchangeRate = 1.5};
}
#pragma GCC diagnostic pop

// The text of the Failure a call throws, else "(no failure)".
inline std::string Thrown(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.what();
  }
  return "(no failure)";
}

}  // namespace apartado::testing
