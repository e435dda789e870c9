// The stock ledger through the real program: the movements the database's
// triggers record for each operation (sign, operator, operation, folio), a
// ledger nobody can rewrite, and `check`, which agrees after the component's
// own work and names a stock change made by hand.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "apartado/failure.h"
#include "apartado/number_text.h"
#include "demo_catalogue.h"
#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using nlohmann::json;

using demo::Layaway;
using ::testing::HasSubstr;

// quantity pieces of product, quantity2 in control unit 2.
json Line(const std::string& product, double quantity, double quantity2) {
  return demo::Line(product, quantity, {{"Ap_Cantidad_Control_2", quantity2}});
}

// A movement as "table/product change1 change2 reserved1 reserved2 operator
// operation folio", "-" for a null.
std::string Movement(const json& m) {
  std::string text = m.at("Me_Tabla").get<std::string>() + "/" + m.at("Pr_Cve_Producto").get<std::string>();
  for (const char* change :
       {"Me_Cambio_Control_1", "Me_Cambio_Control_2", "Me_Cambio_Apartado_Control_1", "Me_Cambio_Apartado_Control_2"})
    text += " " + NumberText(m.at(change).get<double>());
  for (const char* label : {"Me_Operador", "Me_Operacion", "Me_Folio"})
    text += " " + (m.at(label).is_null() ? "-" : m.at(label).get<std::string>());
  return text;
}

class HostLedgerTest : public HostProgramTest {
 protected:
  void SetUp() override {
    HostProgramTest::SetUp();
    ASSERT_EQ(Run({"init"}).status, 0);
    const ProgramRun load =
        Run({"--operator", "ALMACEN", "load", File("catalogue.json", cli::demo::Catalogue().dump())});
    ASSERT_EQ(load.status, 0) << load.err;
  }

  std::vector<std::string> Ledger(std::vector<std::string> args) {
    args.insert(args.begin(), "ledger");
    std::vector<std::string> movements;
    const json answer = RunJson(args);
    for (const json& m : answer.at("movements")) movements.push_back(Movement(m));
    return movements;
  }
};

TEST_P(HostLedgerTest, EachOperationOfAFolioIsRecordedWithItsSignOperatorAndOperation) {
  const std::string folio = Capture(Layaway({Line("P100", 2, 2), Line("K200", 1, 0)}), {"--operator", "CAJA1"});
  ASSERT_EQ(Run({"--operator", "CAJA2", "release", folio}).status, 0);
  ASSERT_EQ(Run({"--operator", "CAJA3", "reserve", folio}).status, 0);
  ASSERT_EQ(Run({"--operator", "GERENTE", "cancel", folio}).status, 0);

  const std::vector<std::string> expected = {"Existencia/P100 -2 -2 2 2 CAJA1 Add_Apartado_Detalle " + folio,
                                             "Existencia_Kit/K200 -1 0 1 0 CAJA1 Add_Apartado_Detalle " + folio,
                                             "Existencia/P100 2 2 -2 -2 CAJA2 Desapartar " + folio,
                                             "Existencia_Kit/K200 1 0 -1 0 CAJA2 Desapartar " + folio,
                                             "Existencia/P100 -2 -2 2 2 CAJA3 Apartar " + folio,
                                             "Existencia_Kit/K200 -1 0 1 0 CAJA3 Apartar " + folio,
                                             "Existencia/P100 2 2 -2 -2 GERENTE Cancelar_Apartado " + folio,
                                             "Existencia_Kit/K200 1 0 -1 0 GERENTE Cancelar_Apartado " + folio};
  EXPECT_EQ(Ledger({"--folio", folio}), expected);

  const ProgramRun text = Run({"ledger", "--folio", folio});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_THAT(text.out, HasSubstr("kit 01/01/K200/00/00"));
  EXPECT_THAT(text.out, HasSubstr("+2"));
  EXPECT_THAT(text.out, HasSubstr("Cancelar_Apartado"));
}

TEST_P(HostLedgerTest, TwoLayawaysOfOneProductKeepTheirFoliosAndAProductReleaseHasNone) {
  const std::string first = Capture(Layaway({Line("P100", 3, 3)}), {"--operator", "CAJA1"});
  const std::string second = Capture(Layaway({Line("P100", 1, 1)}), {"--operator", "CAJA2"});
  ASSERT_NE(first, second);
  ASSERT_EQ(Run({"release-product", "01", "01", "P100", "00", "00", "1", "1"}).status, 0);

  EXPECT_EQ(Ledger({"P100"}),
            (std::vector<std::string>{"Existencia/P100 12 12 0 0 ALMACEN load -",
                                      "Existencia/P100 -3 -3 3 3 CAJA1 Add_Apartado_Detalle " + first,
                                      "Existencia/P100 -1 -1 1 1 CAJA2 Add_Apartado_Detalle " + second,
                                      "Existencia/P100 1 1 -1 -1 ADMIN Desapartar_Producto -"}));
}

TEST_P(HostLedgerTest, NobodyChangesOrDeletesAMovement) {
  Capture(Layaway({Line("P100", 2, 2)}));
  const long long before = Count("Movimiento_Existencia");
  for (const char* sql : {"UPDATE Movimiento_Existencia SET Me_Folio = 'X'", "DELETE FROM Movimiento_Existencia"}) {
    EXPECT_THAT([&] { Db().Command(sql); },
                ::testing::ThrowsMessage<Failure>(HasSubstr("Movimiento_Existencia is a ledger")))
        << sql;
  }
  EXPECT_EQ(Count("Movimiento_Existencia"), before);
}

TEST_P(HostLedgerTest, CheckAgreesAfterTheComponentsWorkAndNamesAStockRowChangedByHandAndItsLayaway) {
  const std::string folio = Capture(Layaway({Line("P100", 2, 2), Line("K200", 1, 0)}));
  ASSERT_EQ(Run({"release", folio}).status, 0);
  ASSERT_EQ(Run({"reserve", folio}).status, 0);
  EXPECT_EQ(RunJson({"check"}), json::parse(R"({"ok": true, "rows_checked": 3, "differences": []})"));

  // Behind the component's back: one more reserved than the layaway took.
  Db().Command(
      "UPDATE Existencia SET Ex_Cantidad_Apartado_Control_2 = Ex_Cantidad_Apartado_Control_2 + 1 "
      "WHERE Pr_Cve_Producto = 'P100'");
  const ProgramRun found = Run({"--json", "check"});
  EXPECT_EQ(found.status, 1) << found.out;
  EXPECT_THAT(found.err, HasSubstr("apartado: check: 1 stock row differs from the ledger"));
  const json report = json::parse(found.out);
  EXPECT_EQ(report.at("ok"), false);
  ASSERT_EQ(report.at("differences").size(), 1u) << report.dump();
  const json& difference = report.at("differences")[0];
  EXPECT_EQ(difference.at("Table"), "Existencia");
  EXPECT_EQ(difference.at("Pr_Cve_Producto"), "P100");
  EXPECT_EQ(difference.at("quantities"),
            json::parse(R"([{"column": "Ex_Cantidad_Apartado_Control_2", "recorded": 3.0, "by_operations": 2.0}])"));
  // The hand-made change is the row's last movement, made by no operation.
  const json& last = difference.at("movements").back();
  EXPECT_TRUE(last.at("Me_Operacion").is_null()) << last.dump();
  EXPECT_EQ(last.at("Me_Cambio_Apartado_Control_2"), 1.0);
  // The layaway that holds the row, with what its movements reserved.
  ASSERT_EQ(difference.at("layaways").size(), 1u);
  EXPECT_EQ(difference.at("layaways")[0].at("Ap_Folio"), folio);
  EXPECT_EQ(difference.at("layaways")[0].at("reserved_by_movements_2"), 2.0);

  const ProgramRun text = Run({"check"});
  EXPECT_EQ(text.status, 1);
  EXPECT_THAT(text.out, HasSubstr("Existencia 01/01/P100/00/00:\n  Ex_Cantidad_Apartado_Control_2 is 3 but the "
                                  "operations' movements reserved 2: +1 changed outside any operation"));
  EXPECT_THAT(text.out, HasSubstr("3 stock rows checked against the ledger: 1 differs."));
}

// A layaway cancelled with --keep-stock keeps its reservation: every
// movement is an operation's, yet no layaway that still counts holds it.
TEST_P(HostLedgerTest, CheckNamesStockStillHeldByACancelledLayaway) {
  const std::string kept = Capture(Layaway({Line("P100", 2, 2)}));
  const std::string released = Capture(Layaway({Line("P100", 1, 0)}));
  ASSERT_EQ(Run({"cancel", released}).status, 0);
  EXPECT_EQ(Run({"check"}).status, 0);
  ASSERT_EQ(Run({"cancel", "--keep-stock", kept}).status, 0);

  const ProgramRun found = Run({"--json", "check"});
  EXPECT_EQ(found.status, 1) << found.out;
  const json report = json::parse(found.out);
  ASSERT_EQ(report.at("differences").size(), 1u) << report.dump();
  EXPECT_EQ(report.at("differences")[0].at("quantities"), json::parse(R"([
      {"column": "Ex_Cantidad_Apartado_Control_1", "recorded": 2.0, "by_active_layaways": 0.0},
      {"column": "Ex_Cantidad_Apartado_Control_2", "recorded": 2.0, "by_active_layaways": 0.0}])"));
  const json& holder = report.at("differences")[0].at("layaways")[0];
  EXPECT_EQ(holder.at("Ap_Folio"), kept);
  EXPECT_EQ(holder.at("Es_Cve_Estado"), "CA");

  const ProgramRun text = Run({"check"});
  EXPECT_THAT(text.out, HasSubstr("Ex_Cantidad_Apartado_Control_1 is 2 but the layaways not cancelled hold 0: +2 "
                                  "held by cancelled layaways"));
}

TEST_P(HostLedgerTest, InitOverADatabaseWithoutTheLedgerOpensEachStockRowWithWhatItHolds) {
  // A database made before the ledger: no table, no triggers.
  if (IsPostgres()) {
    Db().RunScript(
        "DROP TRIGGER TR_Existencia_Movimiento ON Existencia; DROP TRIGGER TR_Existencia_Kit_Movimiento ON "
        "Existencia_Kit; DROP TABLE Movimiento_Existencia");
  } else {
    Db().RunScript(
        "DROP TRIGGER TR_Existencia_Movimiento_Insert; DROP TRIGGER TR_Existencia_Movimiento_Update; DROP TRIGGER "
        "TR_Existencia_Movimiento_Delete; DROP TRIGGER TR_Existencia_Kit_Movimiento_Insert; DROP TRIGGER "
        "TR_Existencia_Kit_Movimiento_Update; DROP TRIGGER TR_Existencia_Kit_Movimiento_Delete; DROP TABLE "
        "Movimiento_Existencia");
  }
  Db().Command("UPDATE Existencia SET Ex_Cantidad_Apartado_Control_1 = 5 WHERE Pr_Cve_Producto = 'P100'");
  const ProgramRun before = Run({"check"});
  EXPECT_EQ(before.status, 2);
  EXPECT_THAT(before.err, HasSubstr("lacks the suite tables Movimiento_Existencia"));

  ASSERT_EQ(Run({"init"}).status, 0);
  ASSERT_EQ(Run({"init"}).status, 0);  // again: no second opening
  EXPECT_EQ(Ledger({"P100"}), std::vector<std::string>{"Existencia/P100 12 12 5 0 - INICIAL -"});
  EXPECT_EQ(Ledger({"K200"}), std::vector<std::string>{"Existencia_Kit/K200 3 0 0 0 - INICIAL -"});
  EXPECT_EQ(Run({"check"}).status, 0);
}

APARTADO_INSTANTIATE_BACKENDS(HostLedgerTest);

}  // namespace
}  // namespace apartado::testing
