#include <gtest/gtest.h>

#include <sstream>

#include "database/statement_analysis.h"
#include "integration/suite_fixture.h"
#include "apartado/schema.h"

namespace apartado {
namespace {

using testing::Number;
using testing::kStockKey;
using testing::SuiteTest;
using testing::Text;

class SuiteSchemaTest : public SuiteTest {};

// Every column the schema description names (the one `apartado schema` lists
// and data is loaded into from outside) exists, with its name, on every backend.
TEST_P(SuiteSchemaTest, EveryDescribedColumnExists) {
  for (const suite::SchemaTable& table : suite::DescribeSchema()) {
    std::string columns;
    for (const suite::SchemaColumn& column : table.columns) columns += (columns.empty() ? "" : ", ") + column.name;
    EXPECT_NO_THROW(Db().Query("SELECT " + columns + " FROM " + table.name + " WHERE 1 = 0")) << table.name;
  }
}

TEST_P(SuiteSchemaTest, CreatingAgainKeepsRowsAndRowsRoundTripTheirValues) {
  // As the component writes them: date texts and numbers inside the statement.
  Db().GetConnection().Execute(
      "INSERT INTO Apartado (Ap_Folio, Ap_ID, Ap_Fecha, Ap_Precio_Neto_Importe, Ap_Costo, Ap_Cantidad_1, "
      "Ap_Cantidad_Control_1, Ap_Cantidad_Control_2) VALUES ('F1', '0001', '2026-03-10 15:30:45', 3000000000.25, "
      "0.1234564, 0.1, 0.1234564, 0.736512)");
  suite::CreateSchema(Db());
  // A new row is active; its date keeps the time of day, its amounts and
  // costs their fraction; quantities keep six decimals.
  EXPECT_EQ(Rows("SELECT Es_Cve_Estado, Ap_Fecha, Ap_Precio_Neto_Importe, Ap_Costo, Ap_Cantidad_1, "
                 "Ap_Cantidad_Control_1 FROM Apartado"),
            "AC|2026-03-10 15:30:45|3000000000.25|0.1234564|0.1|0.123456\n");
  // Exactly the double the host holds for the decimal, which is not the one
  // SQLite reads from the statement's text.
  EXPECT_EQ(Scalar("SELECT Ap_Cantidad_Control_2 AS V FROM Apartado").ToDouble(), 0.736512);
  EXPECT_EQ(Db().Query("SELECT Ap_Fecha FROM Apartado").Field("Ap_Fecha").GetKind(), Variant::Kind::Date);
  // (Ap_Folio, Ap_ID) is the key, and the status is never null.
  EXPECT_THROW(Insert("Apartado", "Ap_Folio, Ap_ID", {{"F1", "0001"}}), Failure);
  EXPECT_THROW(Insert("Apartado", "Ap_Folio, Ap_ID, Es_Cve_Estado", {{"F1", "2", Variant::MakeNull()}}), Failure);
  // One active receivable per document; cancelled ones do not count.
  const std::string receivable = "Sc_Cve_Sucursal, Cxc_Folio, Cxc_Tabla, Cxc_Documento, Es_Cve_Estado";
  Insert("Cuenta_X_Cobrar", receivable, {{"01", "1", "APARTADO", "F1", "CA"}, {"01", "2", "APARTADO", "F1", "AC"}});
  EXPECT_THROW(Insert("Cuenta_X_Cobrar", receivable, {{"01", "3", "APARTADO", "F1", "AC"}}), Failure);
}

// A database made by an earlier release: quantities in binary floating point
// (one drifted off its decimal) and lot draw-downs without a status.
TEST_P(SuiteSchemaTest, CreatingOverAnEarlierReleaseMakesItsQuantitiesExactAndItsDrawDownsReturnable) {
  std::string earlier =
      "DROP TABLE Existencia; DROP TABLE Lote_Asignacion; "
      "CREATE TABLE Existencia (Sc_Cve_Sucursal VARCHAR, Al_Cve_Almacen VARCHAR, Pr_Cve_Producto VARCHAR, "
      "Tl_Cve_Talla VARCHAR, Cl_Cve_Color VARCHAR, Ex_Cantidad_Control_1 REAL, Ex_Cantidad_Control_2 REAL, "
      "Ex_Cantidad_Apartado_Control_1 REAL, Ex_Cantidad_Apartado_Control_2 REAL, Ex_Costo_Promedio REAL, "
      "Oper_Ult_Modif VARCHAR, Fecha_Ult_Modif TIMESTAMP, "
      "PRIMARY KEY (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color)); "
      "CREATE TABLE Lote_Asignacion (La_Tipo_Documento VARCHAR, La_Folio VARCHAR, La_ID VARCHAR, "
      "Sc_Cve_Sucursal VARCHAR, Al_Cve_Almacen VARCHAR, Pr_Cve_Producto VARCHAR, Tl_Cve_Talla VARCHAR, "
      "Cl_Cve_Color VARCHAR, Lt_Cve_Lote VARCHAR, La_Cantidad_1 REAL, La_Cantidad_2 REAL, Oper_Alta VARCHAR, "
      "Fecha_Alta TIMESTAMP)";
  // REAL is single precision on PostgreSQL: the earlier release had double.
  for (std::size_t at; IsPostgres() && (at = earlier.find(" REAL")) != std::string::npos;)
    earlier.replace(at, 5, " DOUBLE PRECISION");
  Db().RunScript(earlier);
  Insert("Existencia", kStockKey + ", Ex_Cantidad_Control_1, Ex_Cantidad_Apartado_Control_1",
         {{"S1", "A1", "P1", "00", "00", 99.5, 0.7 - 0.2}});
  Insert("Lote_Asignacion", kStockKey + ", La_Tipo_Documento, La_Folio, La_ID, Lt_Cve_Lote, La_Cantidad_1",
         {{"S1", "A1", "L1", "00", "00", "APARTADO", "F1", "0001", "LT", 2}});
  suite::CreateSchema(Db());
  suite::CreateSchema(Db());

  const std::string reserved = "SELECT Ex_Cantidad_Apartado_Control_1 AS V FROM Existencia";
  EXPECT_EQ(Scalar(reserved).ToDouble(), 0.5);
  // Moved as the layaway moves it, the reserved quantity stays on its decimals.
  for (const char* step : {"+ 0.1", "+ 0.7", "- 1.3"}) {
    Db().GetConnection().Execute(
        std::string("UPDATE Existencia SET Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 ") + step);
  }
  EXPECT_EQ(Scalar(reserved).ToDouble(), 0.0);

  // The draw-down recorded before goes back to its lot when its line is cancelled.
  Insert("Lote", kStockKey + ", Lt_Cve_Lote, Lt_Cantidad", {{"S1", "A1", "L1", "00", "00", "LT", 8}});
  Insert("Apartado", "Ap_Folio, Ap_ID", {{"F1", "0001"}});
  Db().Command("UPDATE Apartado SET Es_Cve_Estado = 'CA'");
  EXPECT_EQ(Rows("SELECT Lt_Cantidad FROM Lote"), "10\n");
  EXPECT_EQ(Rows("SELECT Es_Cve_Estado FROM Lote_Asignacion"), "CA\n");
}

TEST(SuiteSchemaScript, SqlServerScriptGuardsEveryCreationAndRunsEachTriggerWhole) {
  // Not run against a server here: every CREATE must at least sit behind an
  // existence test (SQL Server has no CREATE ... IF NOT EXISTS) or replace
  // what exists (CREATE OR ALTER).
  const std::string script = suite::SchemaScript(SqlDialect::SqlServer);
  std::size_t creates = 0, guarded = 0;
  for (std::size_t at = script.find("CREATE "); at != std::string::npos; at = script.find("CREATE ", at + 1)) {
    ++creates;
    const std::size_t line = script.rfind('\n', at) + 1;
    guarded += script.compare(line, 3, "IF ") == 0 || (line == at && script.compare(at, 16, "CREATE OR ALTER ") == 0);
  }
  EXPECT_GT(creates, 25u);
  EXPECT_EQ(guarded, creates);
  // The script runs one statement per ';': a trigger's body must hold none.
  std::size_t triggers = 0;
  for (const std::string& statement : SplitScript(script, SqlDialect::SqlServer)) {
    if (statement.find("TRIGGER") == std::string::npos) continue;
    ++triggers;
    EXPECT_EQ(statement.substr(statement.size() - 4), "\nEND") << statement;
  }
  EXPECT_EQ(triggers, 1u);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteSchemaTest);

}  // namespace
}  // namespace apartado
