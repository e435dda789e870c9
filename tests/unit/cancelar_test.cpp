#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "component/publico.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using testing::FakeSuite;
using Texts = std::vector<std::string>;

const std::string kTag = "ApartadosQZL.dll - Cancelar_Apartado()\r\n";
const std::string kRowsQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' ORDER BY Ap_ID";
const std::string kReceivableQuery =
    "SELECT Cxc_Folio FROM Cuenta_X_Cobrar WHERE Cxc_Tabla = 'APARTADO' AND Cxc_Documento = 'F1'";
const std::string kStatusUpdate =
    "UPDATE Apartado SET    Es_Cve_Estado = 'CA',    Oper_Ult_Modif = 'OP1',    Fecha_Ult_Modif = 'AUDIT',    "
    "Oper_Baja = 'OP2',    Fecha_Baja = 'AUDIT' WHERE Ap_Folio = 'F1' ";

std::string ProductLookup(const std::string& product) {
  return "SELECT    Pr_Cve_Producto,    Pr_Tipo_Producto,    Pr_Descripcion FROM Producto WHERE    "
         "Pr_Cve_Producto = '" +
         product + "' ";
}
std::string Executed(const std::string& statement) { return "Connection.Execute(" + statement + ")"; }

const std::vector<std::string> kRowColumns = {
    "Ap_Folio",        "Ap_ID",        "Es_Cve_Estado", "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario",
    "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color",  "Ap_Cantidad_Control_1",  "Ap_Cantidad_Control_2"};

std::vector<Variant> Row(const std::string& id, Variant status, const std::string& product, double q1 = 1,
                         double q2 = 0) {
  return {Variant::FromText("F1"), Variant::FromText(id),      std::move(status),       Variant::FromText("S2"),
          Variant::FromText("A2"), Variant::FromText(product), Variant::FromText("T1"), Variant::FromText("C1"),
          Variant::FromDouble(q1), Variant::FromDouble(q2)};
}
Variant Status(const std::string& s) { return Variant::FromText(s); }

// Matches the product look-up of one product and no stock statement.
std::string ProductKey(const std::string& product) { return "WHERE    Pr_Cve_Producto = '" + product + "'"; }

// A product whose type keeps no stock: its release succeeds after the look-up.
void ProductWithoutStock(testing::FakeConnection& c, const std::string& product) {
  c.AnswerAlways(ProductKey(product), {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"},
                 {{Variant::FromText(product), Variant::FromText("05"), Variant::FromText("Servicio")}});
}

class CancelarApartado : public ::testing::Test {
 protected:
  CancelarApartado() {
    testing::Script& s = suite.script();
    s.Answer("Catalog.FormatDateTimeForSql", Variant::FromText("AUDIT"));
    s.AnswerAt("Session.GetOperator", 1, Variant::FromText("OP1"));
    s.AnswerAt("Session.GetOperator", 2, Variant::FromText("OP2"));
    s.Lookup("Apartado", "Ap_Fecha", "2026-03-10 15:30:00");
    s.Lookup("Apartado", "Cl_Cve_Cliente", "C1");
    ProductWithoutStock(suite.connection(), "P1");
    ProductWithoutStock(suite.connection(), "P2");
    s.ClearCalls();
  }
  void Rows(std::vector<std::vector<Variant>> rows) {
    suite.connection().AnswerNext("ORDER BY Ap_ID", kRowColumns, std::move(rows));
  }
  void ReceivableExists() { suite.connection().AnswerNext("FROM Cuenta_X_Cobrar", {"Cxc_Folio"}, {{Status("9")}}); }
  // Leaves a failure text in the object, as an earlier operation would.
  void LeaveEarlierError() {
    ASSERT_EQ(object.Finalizar_Apartado("GONE"), kFalse);
    ASSERT_FALSE(object.Error().empty());
    suite.script().ClearCalls();
  }
  Texts Statements() { return suite.script().CallTexts("Connection."); }

  FakeSuite suite;
  Apartado object;
};

TEST_F(CancelarApartado, CancelsTheReceivableReleasesEveryRowAndMarksTheLayaway) {
  LeaveEarlierError();
  Rows({Row("0001", Status("VI"), "P1"), Row("0002", Status("VI"), "P2")});
  ReceivableExists();
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kTrue);
  EXPECT_EQ(object.Error(), "");
  EXPECT_EQ(suite.script().CallTexts(),
            (Texts{"Catalog.GetCurrentDate()",
                   "Catalog.FormatDateTimeForSql(2026-03-10 15:30:00)",
                   "Session.GetConnection()",
                   Executed(kRowsQuery),
                   "Session.GetConnection()",
                   Executed(kReceivableQuery),
                   "Factory.CreateReceivableDocument()",
                   "Receivable.CancelReceivable(APARTADO, F1)",
                   "Session.GetConnection()",
                   Executed(ProductLookup("P1")),
                   "Session.GetConnection()",
                   Executed(ProductLookup("P2")),
                   "Session.GetOperator()",
                   "Session.GetOperator()",
                   "Session.GetConnection()",
                   Executed(kStatusUpdate),
                   "Catalog.LookupValue(Apartado, Ap_Folio, F1, Ap_Fecha, 0, , , )",
                   "Catalog.LookupValue(Apartado, Ap_Folio, F1, Cl_Cve_Cliente, 0, , , )",
                   "Catalog.AddFollowUpHistory(CRM, APARTADO, F1, CLIENTE, C1, 2026-03-10 15:30:00, "
                   "Baja del apartado)",
                   "Catalog.NotifyDocument(APARTADO, F1, )"}));
  EXPECT_EQ(Publico().SqlText, kStatusUpdate);
}

TEST_F(CancelarApartado, WithoutAReceivableNoReceivableComponentIsMade) {
  Rows({Row("0001", Status("VI"), "P1")});
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kTrue);
  EXPECT_EQ(suite.script().Count("Factory.CreateReceivableDocument"), 0);
  EXPECT_EQ(suite.script().Count("Receivable.CancelReceivable"), 0);
  EXPECT_EQ(Statements(), (Texts{Executed(kRowsQuery), Executed(kReceivableQuery), Executed(ProductLookup("P1")),
                                 Executed(kStatusUpdate)}));
}

TEST_F(CancelarApartado, WithoutProductReservationTheRowsAreOnlyMarked) {
  object.Apartar_Productos(kFalse);
  Rows({Row("0001", Status("VI"), "P1"), Row("0002", Status("VI"), "P2")});
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kTrue);
  EXPECT_EQ(Statements(), (Texts{Executed(kRowsQuery), Executed(kStatusUpdate)}));
  EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 1);
  EXPECT_EQ(suite.script().Count("Catalog.NotifyDocument"), 1);
}

TEST_F(CancelarApartado, AnyNonZeroApartarProductosReleases) {
  object.Apartar_Productos(1);
  Rows({Row("0001", Status("VI"), "P1")});
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kTrue);
  EXPECT_EQ(suite.script().Count("Session.GetConnection"), 4);  // rows, receivable, product, update
}

// Only the exact code "CA" on the first row refuses; the update then covers
// every row whatever its status.
TEST(CancelarApartadoStatus, OnlyAnExactCaOnTheFirstRowCountsAsCancelled) {
  for (Variant first : {Status("ca"), Status("Ca"), Status(""), Variant::MakeNull(), Status("VI")}) {
    SCOPED_TRACE(first.IsNull() ? "null" : first.ToText());
    FakeSuite suite;
    suite.script().Lookup("Apartado", "Ap_Fecha", "2026-03-10 15:30:00");
    ProductWithoutStock(suite.connection(), "P1");
    ProductWithoutStock(suite.connection(), "P2");
    suite.connection().AnswerNext("ORDER BY Ap_ID", kRowColumns,
                                  {Row("0001", first, "P1"), Row("0002", Status("CA"), "P2")});
    Apartado object;
    EXPECT_EQ(object.Cancelar_Apartado("F1"), kTrue);
    EXPECT_EQ(suite.script().Count("Connection.Execute"), 5);  // rows, receivable, two products, update
    EXPECT_EQ(suite.connection().Statements().back().rfind("UPDATE Apartado SET    Es_Cve_Estado = 'CA', ", 0), 0u);
  }
}

TEST_F(CancelarApartado, ReleasesWithTheInventoryColumnsOfEachRow) {
  // A plain product with enough reserved stock: its release update carries
  // the row's keys and both quantities.
  suite.connection().AnswerAlways(ProductKey("P7"), {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"},
                                  {{Status("P7"), Status("01"), Status("Plain")}});
  suite.connection().AnswerNext(
      "FROM Existencia ",
      {"Ex_Cantidad_Control_1", "Ex_Cantidad_Control_2", "Ex_Cantidad_Apartado_Control_1",
       "Ex_Cantidad_Apartado_Control_2"},
      {{Variant::FromDouble(0), Variant::FromDouble(0), Variant::FromDouble(10), Variant::FromDouble(10)}});
  Rows({Row("0001", Status("VI"), "P7", 2.5, 4)});
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kTrue);
  const Texts statements = Statements();
  ASSERT_EQ(statements.size(), 6u);
  const std::string& release = statements[4];
  for (const char* fragment :
       {"UPDATE Existencia SET ", "Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 - 2.5, ",
        "Ex_Cantidad_Apartado_Control_2 = Ex_Cantidad_Apartado_Control_2 - 4, ",
        "Existencia.Sc_Cve_Sucursal = 'S2' AND ", "Existencia.Al_Cve_Almacen = 'A2' AND ",
        "Existencia.Pr_Cve_Producto = 'P7' AND ", "Existencia.Tl_Cve_Talla = 'T1' AND ",
        "Existencia.Cl_Cve_Color = 'C1' "})
    EXPECT_NE(release.find(fragment), std::string::npos) << fragment << " in " << release;
}

TEST_F(CancelarApartado, ARowThatCannotBeReleasedStopsBeforeTheStatusChange) {
  // P3 has no product row; P4 after it is never visited.
  Rows({Row("0001", Status("VI"), "P1"), Row("0002", Status("VI"), "P3"), Row("0003", Status("VI"), "P4")});
  ReceivableExists();
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "apartadoQZL.dll - Desaparta_Producto() \r\nEl código del producto es incorrecto");
  EXPECT_EQ(suite.script().Count("Receivable.CancelReceivable"), 1);
  EXPECT_EQ(Statements(), (Texts{Executed(kRowsQuery), Executed(kReceivableQuery), Executed(ProductLookup("P1")),
                                 Executed(ProductLookup("P3"))}));
  EXPECT_EQ(suite.script().Count("Session.GetOperator"), 0);
  EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 0);
}

TEST_F(CancelarApartado, ARefusedReleaseNamesTheRowsInventoryKeys) {
  suite.connection().AnswerAlways(ProductKey("P7"), {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"},
                                  {{Status("P7"), Status("01"), Status("Plain")}});
  Rows({Row("0001", Status("VI"), "P7")});
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag +
                                "apartadoQZL.dll - Desapartar_Producto() \r\n"
                                "Imposible desapartar el producto actual, no hay registro de apartado\r\n"
                                "sucursal:S2\r\nAlmacén: A2\r\nProducto:P7\r\nTalla:T1\r\nColor:C1\r\n");
}

// Refusals the operation detects itself, and refusals of the services it
// calls: one line break after the tag.
TEST(CancelarApartadoRefusals, EachLeavesItsTextAndStopsWhereItShould) {
  struct Case {
    const char* name;
    std::vector<std::vector<Variant>> rows;
    bool receivable;
    void (*arrange)(testing::Script&);
    std::string error;
    bool statusChanged;
  };
  auto none = [](testing::Script&) {};
  const std::vector<Case> cases = {
      {"no rows", {}, false, none, "Imposible localizar el apartado: F1", false},
      {"first row cancelled",
       {Row("0001", Status("CA"), "P1"), Row("0002", Status("VI"), "P2")},
       true,
       none,
       "Imposible cancelar el apartado: F1, con estado = 'CA'",
       false},
      {"receivable cancellation refused",
       {Row("0001", Status("VI"), "P1")},
       true,
       [](testing::Script& s) { s.Answer("Receivable.CancelReceivable", Variant::FromInteger(0)); },
       "receivable refused",
       false},
      {"receivable cancellation answered 1",
       {Row("0001", Status("VI"), "P1")},
       true,
       [](testing::Script& s) { s.Answer("Receivable.CancelReceivable", Variant::FromInteger(1)); },
       "receivable refused",
       false},
      {"history entry refused",
       {Row("0001", Status("VI"), "P1")},
       true,
       [](testing::Script& s) { s.Answer("Catalog.AddFollowUpHistory", Variant::FromInteger(0)); },
       "Crm_Historial_Seguimiento()\r\ncatalogue refused",
       true},
      {"history date unreadable",
       {Row("0001", Status("VI"), "P1")},
       true,
       [](testing::Script& s) { s.Lookup("Apartado", "Ap_Fecha", ""); },
       "Crm_Historial_Seguimiento()\r\nType mismatch",
       true},
      {"notice answered 1",
       {Row("0001", Status("VI"), "P1")},
       true,
       [](testing::Script& s) { s.Answer("Catalog.NotifyDocument", Variant::FromInteger(1)); },
       "catalogue refused",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSuite suite;
    suite.script().Lookup("Apartado", "Ap_Fecha", "2026-03-10 15:30:00");
    c.arrange(suite.script());
    ProductWithoutStock(suite.connection(), "P1");
    suite.connection().AnswerNext("ORDER BY Ap_ID", kRowColumns, c.rows);
    if (c.receivable) suite.connection().AnswerNext("FROM Cuenta_X_Cobrar", {"Cxc_Folio"}, {{Status("9")}});
    Apartado object;
    EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
    EXPECT_EQ(object.Error(), kTag + c.error);
    const Texts statements = suite.script().CallTexts("Connection.");
    ASSERT_FALSE(statements.empty());
    EXPECT_EQ(statements.back().find("Connection.Execute(UPDATE Apartado SET ") == 0, c.statusChanged);
    EXPECT_EQ(suite.script().Count("Catalog.NotifyDocument") > 0, c.statusChanged && c.error == "catalogue refused");
    if (!c.statusChanged) {
      EXPECT_EQ(suite.script().Count("Session.GetOperator"), 0);
    }
  }
}

TEST_F(CancelarApartado, ARejectedQueryTakesTwoLineBreaks) {
  suite.connection().FailAt(1, "database gone");
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "\r\ndatabase gone");
  EXPECT_EQ(suite.script().Count("Session.GetOperator"), 0);
}

TEST_F(CancelarApartado, AnUnconvertibleQuantityEndsThroughTheFailurePath) {
  std::vector<Variant> bad = Row("0001", Status("VI"), "P1");
  bad[8] = Variant::FromText("one");
  Rows({bad});
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "\r\nType mismatch");
  EXPECT_EQ(suite.script().Count("Session.GetOperator"), 0);
}

TEST_F(CancelarApartado, AFailedOperatorQuestionLeavesTheStatementHalfBuilt) {
  Rows({Row("0001", Status("VI"), "P1")});
  suite.script().ThrowAt("Session.GetOperator", 1, "no session");
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "\r\nno session");
  EXPECT_EQ(Publico().SqlText, "UPDATE Apartado SET    Es_Cve_Estado = 'CA', ");

  Rows({Row("0001", Status("VI"), "P1")});
  suite.script().ThrowAt("Session.GetOperator", 3, "no session");  // the second question of this call
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(Publico().SqlText,
            "UPDATE Apartado SET    Es_Cve_Estado = 'CA',    Oper_Ult_Modif = 'OP2',    Fecha_Ult_Modif = 'AUDIT', ");
  EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 0);
}

TEST_F(CancelarApartado, AFailedStatusUpdateWritesNoHistory) {
  Rows({Row("0001", Status("VI"), "P1")});
  suite.connection().FailAt(4, "deadlock");  // rows, receivable, product, update
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "\r\ndeadlock");
  EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 0);
}

TEST_F(CancelarApartado, AFailedNoticeCallAfterTheEntryIsCaught) {
  Rows({Row("0001", Status("VI"), "P1")});
  suite.script().ThrowAt("Catalog.NotifyDocument", 1, "notice queue full");
  EXPECT_EQ(object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(object.Error(), kTag + "\r\nnotice queue full");
  EXPECT_EQ(suite.script().Count("Catalog.AddFollowUpHistory"), 1);
}

// The audit moment is taken before the failure path: its failures reach the
// caller and the error text keeps what it held.
TEST_F(CancelarApartado, AuditMomentFailuresReachTheCaller) {
  for (const char* operation : {"Catalog.GetCurrentDate", "Catalog.FormatDateTimeForSql"}) {
    SCOPED_TRACE(operation);
    LeaveEarlierError();
    const std::string earlier = object.Error();
    suite.script().ThrowAt(operation, suite.script().Count(operation) + 1, "clock stopped");
    try {
      object.Cancelar_Apartado("F1");
      ADD_FAILURE() << "the failure should reach the caller";
    } catch (const Failure& failure) {
      EXPECT_STREQ(failure.what(), "clock stopped");
    }
    EXPECT_EQ(object.Error(), earlier);
    EXPECT_TRUE(Statements().empty());
  }
}

}  // namespace
}  // namespace apartado
