#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "integration/suite_fixture.h"

namespace apartado::testing {
namespace {

// Warehouse answers, and the lots drawn for a document.
class SuiteWarehouseTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    warehouse_ = Factory().CreateWarehouseServices();
  }
  // Products as (key, type, cost, tax rate).
  void Products(const std::vector<std::vector<Cell>>& rows) {
    Insert("Producto", "Pr_Cve_Producto, Pr_Tipo_Producto, Pr_Costo, Pr_Tasa_Impuesto", rows);
  }
  std::shared_ptr<WarehouseServices> warehouse_;
};

TEST_P(SuiteWarehouseTest, CapabilitiesComeFromTheWarehouseRowOfTheBranch) {
  Insert("Almacen", "Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Maneja_Tallas, Al_Maneja_Colores, Al_Maneja_Lotes",
         {{"01", "A1", 1, 0, 1}});
  EXPECT_EQ(warehouse_->HandlesSizes("01", "A1"), kTrue);
  EXPECT_EQ(warehouse_->HandlesColours("01", "A1"), kFalse);
  EXPECT_EQ(warehouse_->HandlesLots("01", "A1"), kTrue);
  EXPECT_EQ(warehouse_->HandlesSeries("01", "A1"), kFalse);  // null
  EXPECT_EQ(warehouse_->HandlesSizes("02", "A1"), kFalse);   // the same key under another branch
}

TEST_P(SuiteWarehouseTest, StockCostAndTaxComeFromTheStockAndProductRows) {
  Products({{"P1", "01", 7.25, 0.16}, {"P2", "01", Variant::MakeNull(), 0}, {"K1", "04", 0, 0}});
  Insert("Existencia", kStockKey + ", Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, Ex_Costo_Promedio",
         {{"01", "A1", "P1", "T1", "00", 10.5, 3, 12.5},
          {"01", "A1", "P1", "T2", "00", 0, 0, 0},
          {"01", "A1", "P1", "T3", "00", 0, 0, -3},
          {"01", "A1", "K1", "00", "00", 99, 0, 0}});  // not a kit's stock
  Insert("Existencia_Kit", kStockKey + ", Ek_Cantidad", {{"01", "A1", "K1", "00", "00", 4}});
  for (const auto& [product, size, control, available] :
       {std::tuple{"P1", "T1", 1, 10.5}, {"P1", "T1", 2, 3.0}, {"P1", "T9", 1, 0.0}, {"K1", "00", 1, 4.0},
        {"K1", "00", 2, 4.0}})
    EXPECT_EQ(warehouse_->GetStock("01", "A1", product, size, "00", control, ""), available)
        << product << " " << size << " control " << control;
  // Cost: the average when above 0, else the product's cost, else 0.
  for (const auto& [product, size, unitCost] : {std::tuple{"P1", "T1", 12.5}, {"P1", "T2", 7.25}, {"P1", "T3", 7.25},
                                                {"P1", "T9", 7.25}, {"P2", "T1", 0.0}, {"P9", "T1", 0.0}})
    EXPECT_EQ(warehouse_->GetCost("01", "A1", product, size, "00", 5, ""), unitCost) << product << " " << size;
  auto tax = Factory().CreateTaxCalculator();
  EXPECT_EQ(tax->GetTaxFactor("01", "C1", "P1"), 0.16);
  EXPECT_EQ(tax->GetTaxFactor("01", "C1", "P9"), 0);
}

// Inside a transaction on PostgreSQL the stock row is read locked once for
// both controls; the connection's own write of it makes the next read go
// to the server, which answers the new value. The values are checked on
// SQLite too, which reads the row every time.
TEST_P(SuiteWarehouseTest, BothControlsOfAStockRowAreOneLockedReadUntilTheConnectionWritesIt) {
  Products({{"P1", "01", 1, 0}, {"K1", "04", 1, 0}});
  Insert("Existencia", kStockKey + ", Ex_Cantidad_Control_1, Ex_Cantidad_Control_2",
         {{"01", "A1", "P1", "00", "00", 10, 3}});
  Insert("Existencia_Kit", kStockKey + ", Ek_Cantidad", {{"01", "A1", "K1", "00", "00", 4}});
  // Reads the stock, and on PostgreSQL through libpq (the only connection
  // that keeps answers) checks how many statements it sent.
  auto stock = [&](const char* product, int control, double expected, int sent) {
    const std::uint64_t before = Database::StatementsSent();
    EXPECT_EQ(warehouse_->GetStock("01", "A1", product, "00", "00", control, ""), expected)
        << product << " control " << control;
    if (IsPostgres() && !IsOdbc() && sent >= 0) {
      EXPECT_EQ(Database::StatementsSent() - before, static_cast<std::uint64_t>(sent))
          << product << " control " << control;
    }
  };
  // The services' own connection.
  Connection& services = Factory().CreateSessionServices()->GetConnection();
  services.BeginTrans();
  stock("P1", 1, 10, -1);  // also reads the product and the schema
  stock("P1", 2, 3, 0);
  stock("P1", 1, 10, 0);
  stock("K1", 1, 4, -1);
  stock("K1", 2, 4, 0);
  services.Execute("UPDATE Existencia SET Ex_Cantidad_Control_2 = 9 WHERE Pr_Cve_Producto = 'P1'");
  stock("P1", 2, 9, 1);
  stock("P1", 1, 10, 0);
  stock("K1", 1, 4, 0);  // the kit's table was not written
  services.CommitTrans();
  // A later transaction reads the row again.
  services.BeginTrans();
  stock("P1", 1, 10, 1);
  services.CommitTrans();
}

TEST_P(SuiteWarehouseTest, AutomaticLotIsTheEarliestExpiryThatCoversTheQuantity) {
  Insert("Lote", kStockKey + ", Lt_Cve_Lote, Lt_Fecha_Caducidad, Lt_Cantidad, Es_Cve_Estado",
         {{"01", "A1", "P2", "00", "00", "L-SHORT", "2026-01-01 00:00:00", 2, "AC"},
          {"01", "A1", "P2", "00", "00", "L-LATE", "2026-09-01 00:00:00", 50, "AC"},
          {"01", "A1", "P2", "00", "00", "L-EARLY", "2026-03-01 08:00:00", 5, "AC"},
          {"01", "A1", "P2", "00", "00", "L-EARLIER-BA", "2026-02-01 00:00:00", 50, "BA"},
          {"01", "A1", "P2", "00", "00", "L-NO-EXPIRY", Variant::MakeNull(), 100, "AC"}});
  auto pick = [&](const char* warehouse, double quantity) {
    return warehouse_->PickAutomaticLot("01", warehouse, "P2", "00", "00", quantity, 0);
  };
  EXPECT_EQ(pick("A1", 2), "L-SHORT");
  EXPECT_EQ(pick("A1", 5), "L-EARLY");
  EXPECT_EQ(pick("A1", 6), "L-LATE");
  EXPECT_EQ(pick("A1", 51), "L-NO-EXPIRY");
  EXPECT_EQ(pick("A1", 101), "");
  EXPECT_EQ(pick("A2", 1), "");
}

TEST_P(SuiteWarehouseTest, ADrawDownTakesTheFirstBranchWhoseLotCoversItAndIsRecorded) {
  // Lot L1 of product P2 is held in two branches: 10 free in 01, 3 in 02.
  Insert("Lote", kStockKey + ", Lt_Cve_Lote, Lt_Cantidad",
         {{"01", "A1", "P2", "00", "00", "L1", 10.0}, {"02", "A1", "P2", "00", "00", "L1", 3.0}});
  auto lots = Factory().CreateLotAssignment();
  for (const auto& [line, q1, q2] : {std::tuple{"0001", 4.0, 2.5},
                                     {"0002", 6.0, 0.0},
                                     {"0003", 3.0, 0.0},
                                     {"0004", 0.0, 0.0}})  // nothing to draw is still recorded
    EXPECT_EQ(lots->AssignLot("APARTADO", "F1", line, "P2", "00", "00", "L1", q1, q2), kTrue) << line;
  EXPECT_EQ(Rows("SELECT Lt_Cantidad FROM Lote ORDER BY Sc_Cve_Sucursal"), "0\n0\n");
  EXPECT_EQ(Rows("SELECT La_ID, Sc_Cve_Sucursal, Al_Cve_Almacen, La_Cantidad_1, La_Cantidad_2, Oper_Alta "
                 "FROM Lote_Asignacion ORDER BY La_ID"),
            "0001|01|A1|4|2.5|OPER1\n0002|01|A1|6|0|OPER1\n0003|02|A1|3|0|OPER1\n0004|01|A1|0|0|OPER1\n");
}

// Lots are drawn to exactly nothing by decimal quantities, also one the host
// added up in floating point (0.1 + 0.2 is 0.30000000000000004).
TEST_P(SuiteWarehouseTest, DecimalDrawDownsTakeALotExactlyToNothing) {
  Insert("Lote", kStockKey + ", Lt_Cve_Lote, Lt_Cantidad",
         {{"01", "A1", "P2", "00", "00", "L1", 0.3}, {"01", "A1", "P2", "00", "00", "L2", 0.1}});
  auto lots = Factory().CreateLotAssignment();
  EXPECT_EQ(Factory().CreateWarehouseServices()->PickAutomaticLot("01", "A1", "P2", "00", "00", 0.1 + 0.2, 0), "L1");
  for (const auto& [lot, quantity] : {std::pair{"L1", 0.1 + 0.2}, {"L2", 0.1}})
    EXPECT_EQ(lots->AssignLot("APARTADO", "F1", "0001", "P2", "00", "00", lot, quantity, 0), kTrue)
        << lots->GetErrorText();
  EXPECT_EQ(Rows("SELECT Lt_Cantidad FROM Lote"), "0\n0\n");
}

// The ledger's label is sent once while it stays the same; rolling back to a
// savepoint brings back the label from before it, which the next movement
// carries and which a label set again must replace.
TEST_P(SuiteWarehouseTest, StockMovementsCarryTheLabelInForceWhichIsSentOnlyWhenItChanges) {
  Insert("Existencia", kStockKey + ", Ex_Cantidad_Control_1", {{"01", "A1", "P1", "00", "00", 10}});
  auto take = [this](double left) {
    Db().Command("UPDATE Existencia SET Ex_Cantidad_Control_1 = :p1", {Number(left)});
  };
  Db().Begin();
  Db().LabelMovements("Apartar", "F1", "CAJA1");
  const std::uint64_t sent = Database::StatementsSent();
  Db().LabelMovements("Apartar", "F1", "CAJA1");
  EXPECT_EQ(Database::StatementsSent(), sent);
  take(9);
  Db().Begin();
  Db().LabelMovements("Desapartar", "F2", "CAJA1");
  Db().Rollback();
  take(8);
  Db().LabelMovements("Desapartar", "F2", "CAJA1");
  take(7);
  Db().Commit();
  EXPECT_EQ(Rows("SELECT Me_Operacion, Me_Folio, Me_Operador, Me_Cambio_Control_1 FROM Movimiento_Existencia "
                 "WHERE Me_Operacion <> 'INICIAL' ORDER BY Me_ID"),
            "Apartar|F1|CAJA1|-1\nApartar|F1|CAJA1|-1\nDesapartar|F2|CAJA1|-1\n");
}

APARTADO_INSTANTIATE_BACKENDS(SuiteWarehouseTest);

}  // namespace
}  // namespace apartado::testing
