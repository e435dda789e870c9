// Cancelling layaway F1. Its products P1 and P2 keep no stock, so their
// release ends after the product look-up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "component/publico.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using Texts = std::vector<std::string>;
Variant Text(std::string s) { return Variant::FromText(std::move(s)); }

const std::string kTag = "ApartadosQZL.dll - Cancelar_Apartado()\r\n";
const std::string kRowsQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' ORDER BY Ap_ID";
const std::string kReceivableQuery =
    "SELECT Cxc_Folio FROM Cuenta_X_Cobrar WHERE Cxc_Tabla = 'APARTADO' AND Cxc_Documento = 'F1'";
const std::string kStatusUpdate =
    "UPDATE Apartado SET    Es_Cve_Estado = 'CA',    Oper_Ult_Modif = 'OP1',    Fecha_Ult_Modif = 'AUDIT',    "
    "Oper_Baja = 'OP2',    Fecha_Baja = 'AUDIT' WHERE Ap_Folio = 'F1' ";
std::string LookUp(const std::string& product) {
  return "SELECT    Pr_Cve_Producto,    Pr_Tipo_Producto,    Pr_Descripcion FROM Producto WHERE    Pr_Cve_Producto = "
         "'" +
         product + "' ";
}

// A row of F1 in inventory branch S2, warehouse A2, size T1, colour C1, quantities 2.5 and 4.
std::vector<Variant> Row(Variant status, const std::string& product) {
  return {std::move(status), Text("S2"), Text("A2"), Text(product), Text("T1"), Text("C1"), Text("2.5"), Text("4")};
}

struct Bench {
  Bench() {
    testing::Script& s = suite.script();
    s.Answer("Catalog.FormatDateTimeForSql", Text("AUDIT"));
    s.AnswerAt("Session.GetOperator", 1, Text("OP1"));
    s.AnswerAt("Session.GetOperator", 2, Text("OP2"));
    s.Lookup("Apartado", "Ap_Fecha", "2026-03-10 15:30:00");
    s.Lookup("Apartado", "Cl_Cve_Cliente", "C1");
    for (const char* product : {"P1", "P2"}) Product(product, "05");
    s.ClearCalls();
  }
  void Product(const std::string& product, const std::string& type) {
    suite.connection().AnswerAlways("Pr_Descripcion FROM Producto WHERE    Pr_Cve_Producto = '" + product,
                                    {"Pr_Tipo_Producto", "Pr_Descripcion"}, {{Text(type), Text("")}});
  }
  void Rows(std::vector<std::vector<Variant>> rows, bool receivable = true) {
    suite.connection().AnswerNext(
        "ORDER BY Ap_ID",
        {"Es_Cve_Estado", "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario", "Pr_Cve_Producto", "Tl_Cve_Talla",
         "Cl_Cve_Color", "Ap_Cantidad_Control_1", "Ap_Cantidad_Control_2"},
        std::move(rows));
    if (receivable) suite.connection().AnswerNext("FROM Cuenta_X_Cobrar", {"Cxc_Folio"}, {{Text("9")}});
  }
  int Count(const std::string& operation) { return suite.script().Count(operation); }
  const Texts& Statements() { return suite.connection().Statements(); }

  testing::FakeSuite suite;
  Apartado object;
};

TEST(CancelarApartado, CancelsTheReceivableReleasesEveryRowAndMarksTheLayaway) {
  Bench b;
  ASSERT_EQ(b.object.Finalizar_Apartado("GONE"), kFalse);  // leaves an error text behind
  b.suite.script().ClearCalls();
  b.Rows({Row(Text("VI"), "P1"), Row(Text("VI"), "P2")});
  EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.object.Error(), "");
  const std::string history =
      "Catalog.AddFollowUpHistory(CRM, APARTADO, F1, CLIENTE, C1, 2026-03-10 15:30:00, Baja del apartado)";
  const auto run = [](const std::string& statement) { return "Connection.Execute(" + statement + ")"; };
  EXPECT_EQ(b.suite.script().CallTexts(), (Texts{"Catalog.GetCurrentDate()",
                                                 "Catalog.FormatDateTimeForSql(2026-03-10 15:30:00)",
                                                 "Session.GetConnection()",
                                                 run(kRowsQuery),
                                                 "Session.GetConnection()",
                                                 run(kReceivableQuery),
                                                 "Factory.CreateReceivableDocument()",
                                                 "Receivable.CancelReceivable(APARTADO, F1)",
                                                 "Session.GetConnection()",
                                                 run(LookUp("P1")),
                                                 "Session.GetConnection()",
                                                 run(LookUp("P2")),
                                                 "Session.GetOperator()",
                                                 "Session.GetOperator()",
                                                 "Session.GetConnection()",
                                                 run(kStatusUpdate),
                                                 "Catalog.LookupValue(Apartado, Ap_Folio, F1, Ap_Fecha, 0, , , )",
                                                 "Catalog.LookupValue(Apartado, Ap_Folio, F1, Cl_Cve_Cliente, 0, , , )",
                                                 history,
                                                 "Catalog.NotifyDocument(APARTADO, F1, )"}));
  EXPECT_EQ(Publico().SqlText, kStatusUpdate);
}

// Only the exact code "CA" on the first row refuses; the update then covers
// every row whatever its status. Without a receivable no receivable component
// is made; with Apartar_Productos False (any non-zero value counts as True)
// the rows are only marked.
TEST(CancelarApartado, ReleasesAccordingToApartarProductosAndTheFirstRowsStatus) {
  struct Case {
    Boolean apartarProductos;
    Variant firstStatus;
    bool receivable, released;
  };
  const std::vector<Case> cases = {{kTrue, Text("ca"), false, true},     {kTrue, Text("Ca"), false, true},
                                   {kTrue, Text(""), false, true},       {kTrue, Variant::MakeNull(), false, true},
                                   {Boolean{1}, Text("VI"), true, true}, {kFalse, Text("VI"), true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE((c.firstStatus.IsNull() ? "null" : c.firstStatus.ToText()) + " / " +
                 std::to_string(c.apartarProductos));
    Bench b;
    b.object.Apartar_Productos(c.apartarProductos);
    b.Rows({Row(c.firstStatus, "P1"), Row(Text("CA"), "P2")}, c.receivable);
    EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kTrue);
    const Texts released = {kRowsQuery, kReceivableQuery, LookUp("P1"), LookUp("P2"), kStatusUpdate};
    EXPECT_EQ(b.Statements(), c.released ? released : (Texts{kRowsQuery, kStatusUpdate}));
    EXPECT_EQ(b.Count("Factory.CreateReceivableDocument"), c.receivable && c.released ? 1 : 0);
    EXPECT_EQ(b.Count("Catalog.AddFollowUpHistory"), 1);
    EXPECT_EQ(b.Count("Catalog.NotifyDocument"), 1);
  }
}

// P7 has too little reserved: P1 before it stays released, P2 after it is
// never visited, and the receivable cancelled before stays cancelled. The text
// shows the row's own keys and quantities were passed.
TEST(CancelarApartado, ARowThatCannotBeReleasedStopsBeforeTheStatusChange) {
  Bench b;
  b.Product("P7", "01");
  b.suite.connection().AnswerNext("FROM Existencia WHERE",
                                  {"Ex_Cantidad_Apartado_Control_1", "Ex_Cantidad_Apartado_Control_2"},
                                  {{Text("2"), Text("10")}});
  b.Rows({Row(Text("VI"), "P1"), Row(Text("VI"), "P7"), Row(Text("VI"), "P2")});
  EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(b.object.Error(), kTag +
                                  "apartadoQZL.dll - Desapartar_Producto() \r\nNo hay suficiente existencia apartada "
                                  "en el Control-1\r\nsucursal:S2\r\nAlmacén: A2\r\nProducto:P7\r\nTalla:T1\r\n"
                                  "Color:C1\r\nEXISTENCIA-APARTADA-CONTROL-1:2 -> DESAPARTAR-CONTROL-1:2.5\r\n"
                                  "EXISTENCIA-APARTADA-CONTROL-2:10 -> DESAPARTAR-CONTROL-2:4\r\n");
  EXPECT_EQ(b.Count("Receivable.CancelReceivable"), 1);
  EXPECT_EQ(b.Statements().size(), 5u);  // rows, receivable, P1, P7 and its stock row
  EXPECT_EQ(b.Count("Session.GetOperator") + b.Count("Catalog.AddFollowUpHistory"), 0);
}

// Refusals: one line break after the tag; unexpected failures: two. Only a
// failure after the status change leaves the rows marked.
TEST(CancelarApartado, RefusalsAndFailuresLeaveTheirTextAndStopWhereTheyShould) {
  struct Case {
    std::string name;
    std::vector<std::vector<Variant>> rows;
    std::function<void(testing::FakeSuite&)> arrange;
    std::string error;
    std::size_t statements;  // 4 when the status update was sent
    int entries, notices;
  };
  const auto answer = [](const std::string& operation, std::int16_t value) {
    return [=](testing::FakeSuite& s) { s.script().Answer(operation, Variant::FromInteger(value)); };
  };
  const auto none = [](testing::FakeSuite&) {};
  const auto failAt = [](int n) { return [=](testing::FakeSuite& s) { s.connection().FailAt(n, "deadlock"); }; };
  const std::vector<std::vector<Variant>> inForce = {Row(Text("VI"), "P1")};
  const std::vector<Case> cases = {
      {"no rows", {}, none, "Imposible localizar el apartado: F1", 1, 0, 0},
      {"first row cancelled",
       {Row(Text("CA"), "P1"), Row(Text("VI"), "P2")},
       none,
       "Imposible cancelar el apartado: F1, con estado = 'CA'",
       1,
       0,
       0},
      {"receivable not cancelled", inForce, answer("Receivable.CancelReceivable", 0), "receivable refused", 2, 0, 0},
      {"receivable answered 1", inForce, answer("Receivable.CancelReceivable", 1), "receivable refused", 2, 0, 0},
      {"history refused", inForce, answer("Catalog.AddFollowUpHistory", 0),
       "Crm_Historial_Seguimiento()\r\ncatalogue refused", 4, 1, 0},
      {"notice answered 1", inForce, answer("Catalog.NotifyDocument", 1), "catalogue refused", 4, 1, 1},
      {"rows query rejected", inForce, failAt(1), "\r\ndeadlock", 1, 0, 0},
      {"status update rejected", inForce, failAt(4), "\r\ndeadlock", 4, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bench b;
    c.arrange(b.suite);
    b.Rows(c.rows);
    EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kTag + c.error);
    EXPECT_EQ(b.Statements().size(), c.statements);
    EXPECT_EQ(b.Statements().back() == kStatusUpdate, c.statements == 4);
    EXPECT_EQ(b.Count("Catalog.AddFollowUpHistory"), c.entries);
    EXPECT_EQ(b.Count("Catalog.NotifyDocument"), c.notices);
  }
}

// The operator is asked once the first two pieces are written; the audit
// moment is taken before the failure path is armed, so its failures reach the
// caller and leave the error text alone.
TEST(CancelarApartado, FailuresAroundTheAuditMomentAndTheOperator) {
  Bench b;
  b.Rows({Row(Text("VI"), "P1")});
  b.suite.script().ThrowAt("Session.GetOperator", 1, "no session");
  EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(b.object.Error(), kTag + "\r\nno session");
  EXPECT_EQ(Publico().SqlText, "UPDATE Apartado SET    Es_Cve_Estado = 'CA', ");
  for (const char* operation : {"Catalog.GetCurrentDate", "Catalog.FormatDateTimeForSql"}) {
    SCOPED_TRACE(operation);
    b.suite.script().ThrowAt(operation, b.Count(operation) + 1, "clock stopped");
    EXPECT_THAT([&] { b.object.Cancelar_Apartado("F1"); },
                ::testing::ThrowsMessage<Failure>(::testing::StrEq("clock stopped")));
    EXPECT_EQ(b.object.Error(), kTag + "\r\nno session");
    EXPECT_EQ(b.Statements().size(), 3u);  // none since the first call's
  }
}

}  // namespace
}  // namespace apartado
