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
#include "support/values.h"

namespace apartado::testing {

// A column's value as a test writes it: text, a whole number, a number or
// any Variant (such as null).
struct Cell {
  Cell(const char* text) : value(Variant::FromText(text)) {}
  Cell(const std::string& text) : value(Variant::FromText(text)) {}
  Cell(int whole) : value(Variant::FromLong(whole)) {}
  Cell(double number) : value(Variant::FromDouble(number)) {}
  Cell(Variant given) : value(std::move(given)) {}
  Variant value;
};

// The key of a stock row (Existencia, Existencia_Kit, Lote, Serie...).
inline const std::string kStockKey = "Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color";

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

  // Inserts rows, each a cell per column of `columns` (listed as in an
  // INSERT); every value is bound.
  void Insert(const std::string& table, const std::string& columns, const std::vector<std::vector<Cell>>& rows) {
    for (const std::vector<Cell>& row : rows) {
      std::string marks;
      std::vector<Variant> params;
      for (const Cell& cell : row) {
        marks += (marks.empty() ? ":p" : ", :p") + std::to_string(params.size() + 1);
        params.push_back(cell.value);
      }
      Db().Command("INSERT INTO " + table + " (" + columns + ") VALUES (" + marks + ")", params);
    }
  }

  // The only value of a one-row, one-column query (its column named V).
  Variant Scalar(const std::string& sql, const std::vector<Variant>& params = {}) {
    TableRecordset rows = Db().Query(sql, params);
    EXPECT_FALSE(rows.Eof()) << sql;
    return rows.Eof() ? Variant() : rows.Field("V");
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

}  // namespace apartado::testing
