// Cancelling, finalizing and billing layaway F1 of customer C1, dated 2 May 2026; P1 and P2 keep no stock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "apartado/failure.h"
#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado {
namespace {

using Texts = std::vector<std::string>;
using testing::Number;
using testing::Text;
const Variant kNo = Variant::FromInteger(0), kOne = Variant::FromInteger(1);

const std::string kCancelTag = "ApartadosQZL.dll - Cancelar_Apartado()\r\n";
const std::string kFinalizeTag = "apartadoQZL.dll - Finalizar_Apartado()\r\n";
const std::string kBillTag = "condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()\r\n";
const std::string kHistoryTag = "Crm_Historial_Seguimiento()\r\n";
const std::string kEarlier = kFinalizeTag + "No se encontró el apartado: F9";  // what every bench starts with
const std::string kRowsQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' ORDER BY Ap_ID";
const std::string kReceivableQuery =
    "SELECT Cxc_Folio FROM Cuenta_X_Cobrar WHERE Cxc_Tabla = 'APARTADO' AND Cxc_Documento = 'F1'";
const std::string kStatusUpdate =
    "UPDATE Apartado SET    Es_Cve_Estado = 'CA',    Oper_Ult_Modif = 'OP1',    Fecha_Ult_Modif = 'AUDIT',    "
    "Oper_Baja = 'OP2',    Fecha_Baja = 'AUDIT' WHERE Ap_Folio = 'F1' ";
const std::string kGrouped =
    "   Cliente.Cl_Tipo_Cuenta,    Cliente.Cl_Dias_Credito,    Cliente.Cl_Limite_Credito,    "
    "Cliente.Cc_Cve_Cadena_Comercial,    Cliente.Gc_Cve_Grupo_Comercial,    Apartado.Ap_Folio,    "
    "Apartado.Ap_Fecha,    Apartado.Ap_Comentario,    Apartado.Sc_Cve_Sucursal,    Apartado.Cl_Cve_Cliente,    "
    "Apartado.Ap_Referencia, ";
const std::string kTotalsQuery =
    "SELECT " + kGrouped +
    "   Mn_Cve_Moneda,    Ap_Tipo_Cambio,    SUM(Apartado.Ap_Precio_Descontado_Importe - "
    "Apartado.Ap_Descuento_Global_Importe ) as Ap_Precio_Descontado_Importe,    SUM(Apartado.Ap_Impuesto_Importe) "
    "as Ap_Impuesto_Importe,    SUM(Apartado.Ap_Precio_Neto_Importe) as Ap_Precio_Neto_Importe FROM Apartado   "
    "INNER JOIN Cliente ON Apartado.Cl_Cve_Cliente = Cliente.Cl_Cve_Cliente WHERE    Ap_Folio = 'F1' GROUP BY " +
    kGrouped + "   Mn_Cve_Moneda,    Ap_Tipo_Cambio ";

const std::string kLookUp =
    "SELECT    Pr_Cve_Producto,    Pr_Tipo_Producto,    Pr_Descripcion FROM Producto WHERE    Pr_Cve_Producto = '";
std::string Executed(const std::string& statement) { return "Connection.Execute(" + statement + ")"; }

// A row of F1 in inventory branch S2, warehouse A2, size T1, colour C1, quantities 2.5 and 4.
std::vector<Variant> Row(Variant status, const std::string& product) {
  return {std::move(status), Text("S2"), Text("A2"), Text(product), Text("T1"), Text("C1"), Text("2.5"), Text("4")};
}

// F1 summed by the database: rows of 100-10, 50-0 and 25-5 discounted, 16+8+4 tax and 106+58+24 net.
std::vector<Variant> Totals(Variant date, Variant creditDays, Variant subtotal = Number(160)) {
  return {std::move(creditDays), std::move(date), Text("Coment"),      Text("S1"), Text("C1"), Text("Ref"),
          Text("MXN"),           Number(1),       std::move(subtotal), Number(28), Number(188)};
}
const Variant kMarch10At1530 = Variant::FromDate(MakeDate(2026, 3, 10, 15, 30));

struct Bench : capture_testing::StoredBench {
  Bench() {
    testing::Script& s = GetScript();
    s.Answer("Catalog.FormatDateTimeForSql", Text("AUDIT"));
    s.AnswerAt("Session.GetOperator", 1, Text("OP1"));
    s.AnswerAt("Session.GetOperator", 2, Text("OP2"));
    s.Lookup("Apartado", "Ap_Fecha", "2026-05-02 10:15:00");
    s.Lookup("Apartado", "Cl_Cve_Cliente", "C1");
    for (const char* product : {"P1", "P2"}) Product(product, "05");
    GetConnection().AnswerAlways("'F1' AND Es_Cve_Estado <> 'CA'", {"Ap_Folio"}, {{Text("F1")}});
    object.Finalizar_Apartado("F9");
    s.ClearCalls();
  }
  void Rows(std::vector<std::vector<Variant>> rows, bool receivable = true) {
    GetConnection().AnswerNext("ORDER BY Ap_ID",
                               {"Es_Cve_Estado", "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario", "Pr_Cve_Producto",
                                "Tl_Cve_Talla", "Cl_Cve_Color", "Ap_Cantidad_Control_1", "Ap_Cantidad_Control_2"},
                               std::move(rows));
    if (receivable) GetConnection().AnswerNext("FROM Cuenta_X_Cobrar", {"Cxc_Folio"}, {{Text("9")}});
  }
  void Groups(std::vector<std::vector<Variant>> groups) {
    GetConnection().AnswerNext("GROUP BY",
                               {"Cl_Dias_Credito", "Ap_Fecha", "Ap_Comentario", "Sc_Cve_Sucursal", "Cl_Cve_Cliente",
                                "Ap_Referencia", "Mn_Cve_Moneda", "Ap_Tipo_Cambio", "Ap_Precio_Descontado_Importe",
                                "Ap_Impuesto_Importe", "Ap_Precio_Neto_Importe"},
                               std::move(groups));
  }
  // The operation's n-th call from now answers `answer`, or throws it when it is a text.
  void At(const std::string& operation, int n, const Variant& answer) {
    n += Count(operation);
    if (answer.GetKind() != Variant::Kind::Text) return GetScript().AnswerAt(operation, n, answer);
    GetScript().ThrowAt(operation, n, answer.ToText());
  }
  const ReceivableHeader& Handed() const { return *factory->lastReceivable; }
};

// Only an exact "CA" on row 1 refuses; with Apartar_Productos False (non-zero is True) rows are only marked.
// The history entry carries the layaway's own date, not the audit moment; success clears the text.
TEST(CancelarApartado, ReleasesAccordingToApartarProductosAndTheFirstRowsStatus) {
  const Texts released = {kRowsQuery, kReceivableQuery, kLookUp + "P1' ", kLookUp + "P2' ", kStatusUpdate};
  const Texts catalogue = {
      "Catalog.GetCurrentDate()",
      "Catalog.FormatDateTimeForSql(2026-03-10 15:30:00)",
      "Catalog.LookupValue(Apartado, Ap_Folio, F1, Ap_Fecha, 0, , , )",
      "Catalog.LookupValue(Apartado, Ap_Folio, F1, Cl_Cve_Cliente, 0, , , )",
      "Catalog.AddFollowUpHistory(CRM, APARTADO, F1, CLIENTE, C1, 2026-05-02 10:15:00, Baja del apartado)",
      "Catalog.NotifyDocument(APARTADO, F1, )"};
  const std::vector<std::tuple<Boolean, Variant, bool>> cases = {
      {kTrue, Text("ca"), false},          {kTrue, Text("Ca"), false},     {kTrue, Text(""), false},
      {kTrue, Variant::MakeNull(), false}, {Boolean{1}, Text("VI"), true}, {kFalse, Text("VI"), true}};
  for (const auto& [apartarProductos, firstStatus, receivable] : cases) {
    SCOPED_TRACE((firstStatus.IsNull() ? "null" : firstStatus.ToText()) + " / " + std::to_string(apartarProductos));
    Bench b;
    b.object.Apartar_Productos(apartarProductos);
    b.Rows({Row(firstStatus, "P1"), Row(Text("CA"), "P2")}, receivable);
    EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kTrue);
    EXPECT_EQ(b.object.Error(), "");
    EXPECT_EQ(b.Statements(), apartarProductos ? released : (Texts{kRowsQuery, kStatusUpdate}));
    EXPECT_EQ(b.GetScript().CallTexts("Receivable."),
              receivable && apartarProductos ? Texts{"Receivable.CancelReceivable(APARTADO, F1)"} : Texts{});
    EXPECT_EQ(b.GetScript().CallTexts("Catalog."), catalogue);
  }
}

// P7 is short: P1 stays released, P2 is never visited; the text quotes the row's own keys and quantities.
TEST(CancelarApartado, ARowThatCannotBeReleasedStopsBeforeTheStatusChange) {
  Bench b;
  b.Product("P7", "01");
  b.Reserved(Text("2"), Text("10"));
  b.Rows({Row(Text("VI"), "P1"), Row(Text("VI"), "P7"), Row(Text("VI"), "P2")});
  EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kFalse);
  EXPECT_EQ(b.object.Error(), kCancelTag +
                                  "apartadoQZL.dll - Desapartar_Producto() \r\nNo hay suficiente existencia apartada "
                                  "en el Control-1\r\nsucursal:S2\r\nAlmacén: A2\r\nProducto:P7\r\nTalla:T1\r\n"
                                  "Color:C1\r\nEXISTENCIA-APARTADA-CONTROL-1:2 -> DESAPARTAR-CONTROL-1:2.5\r\n"
                                  "EXISTENCIA-APARTADA-CONTROL-2:10 -> DESAPARTAR-CONTROL-2:4\r\n");
  EXPECT_EQ(b.Statements().size(), 5u);  // rows, receivable, P1, P7 and its stock row
  EXPECT_EQ(b.Count("Session.GetOperator") + b.Count("Catalog.AddFollowUpHistory"), 0);
}

// Refusals take one line break after the tag, failures two; the fourth statement marks the rows.
TEST(CancelarApartado, RefusalsAndFailuresLeaveTheirTextAndStopWhereTheyShould) {
  const std::vector<std::vector<Variant>> inForce = {Row(Text("VI"), "P1")},
                                          cancelled = {Row(Text("CA"), "P1"), Row(Text("VI"), "P2")};
  // The rows; the operation whose n-th call answers, or throws, `answer`; the statements sent;
  // followUps 1: the history entry was asked for, 2: the notice too; SqlText when not the last statement sent.
  for (const auto& [rows, operation, n, answer, error, statements, followUps, sqlText] :
       std::vector<std::tuple<std::vector<std::vector<Variant>>, std::string, int, Variant, std::string, std::size_t,
                              int, std::string>>{
           {{}, "", 0, {}, "Imposible localizar el apartado: F1", 1, 0, ""},
           {cancelled, "", 0, {}, "Imposible cancelar el apartado: F1, con estado = 'CA'", 1, 0, ""},
           {inForce, "Receivable.CancelReceivable", 1, kNo, "receivable refused", 2, 0, ""},
           {inForce, "Receivable.CancelReceivable", 1, kOne, "receivable refused", 2, 0, ""},
           {inForce, "Catalog.AddFollowUpHistory", 1, kNo, kHistoryTag + "catalogue refused", 4, 1, ""},
           {inForce, "Catalog.NotifyDocument", 1, kOne, "catalogue refused", 4, 2, ""},
           {inForce, "Connection.Execute", 1, Text("gone"), "\r\ngone", 1, 0, ""},
           {inForce, "Connection.Execute", 4, Text("deadlock"), "\r\ndeadlock", 4, 0, ""},
           {inForce, "Session.GetOperator", 1, Text("no session"), "\r\nno session", 3, 0,
            "UPDATE Apartado SET    Es_Cve_Estado = 'CA', "}}) {
    SCOPED_TRACE(error);
    Bench b;
    if (!operation.empty()) b.At(operation, n, answer);
    b.Rows(rows);
    EXPECT_EQ(b.object.Cancelar_Apartado("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kCancelTag + error);
    EXPECT_EQ(b.Statements().size(), statements);
    EXPECT_EQ(b.Count("Catalog.AddFollowUpHistory"), followUps > 0 ? 1 : 0);
    EXPECT_EQ(b.Count("Catalog.NotifyDocument"), followUps > 1 ? 1 : 0);
    EXPECT_EQ(Publico().SqlText, sqlText.empty() ? b.Statements().back() : sqlText);
  }
}

// The audit moment is taken before the failure path is armed: its failures reach the caller.
TEST(CancelarApartado, AuditMomentFailuresReachTheCaller) {
  for (const char* operation : {"Catalog.GetCurrentDate", "Catalog.FormatDateTimeForSql"}) {
    SCOPED_TRACE(operation);
    Bench b;
    b.At(operation, 1, Text("clock stopped"));
    EXPECT_THAT([&] { b.object.Cancelar_Apartado("F1"); },
                ::testing::ThrowsMessage<Failure>(::testing::StrEq("clock stopped")));
    EXPECT_EQ(b.object.Error(), kEarlier);
    EXPECT_TRUE(b.Statements().empty());
  }
}

// Success clears an earlier text, each call writes one more entry; a folio not in force writes none.
TEST(FinalizarApartado, WritesTheEntryWithTheLayawaysDateAndCustomerThenNotifies) {
  Bench b;
  EXPECT_EQ(b.object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.object.Error(), "");
  const std::string entry =
      "Catalog.AddFollowUpHistory(CRM, APARTADO, F1, CLIENTE, C1, 2026-05-02 10:15:00, Registro de apartado)";
  EXPECT_EQ(b.GetScript().CallTexts(),
            (Texts{"Session.GetConnection()",
                   Executed("SELECT * FROM Apartado WHERE Ap_Folio = 'F1' AND Es_Cve_Estado <> 'CA' "),
                   "Catalog.LookupValue(Apartado, Ap_Folio, F1, Ap_Fecha, 0, , , )",
                   "Catalog.LookupValue(Apartado, Ap_Folio, F1, Cl_Cve_Cliente, 0, , , )", entry,
                   "Catalog.NotifyDocument(APARTADO, F1, )"}));
  EXPECT_EQ(b.object.Finalizar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.object.Finalizar_Apartado("F9"), kFalse);
  EXPECT_EQ(b.Count("Catalog.AddFollowUpHistory"), 2);
}

// The history routine's texts come behind the tag; a refused notice leaves an empty line before its reason.
TEST(FinalizarApartado, RefusalsAndFailuresLeaveTheirTextAndStopWhereTheyShould) {
  for (const auto& [operation, answer, error, followUps] :
       std::vector<std::tuple<std::string, Variant, std::string, int>>{
           {"Catalog.LookupValue", Text("lookup down"), kHistoryTag + "lookup down", 0},
           {"Catalog.AddFollowUpHistory", kNo, kHistoryTag + "catalogue refused", 1},
           {"Catalog.NotifyDocument", kNo, "\r\ncatalogue refused", 2},
           {"Catalog.NotifyDocument", kOne, "\r\ncatalogue refused", 2},
           {"Catalog.NotifyDocument", Text("queue full"), "queue full", 2}}) {
    SCOPED_TRACE(operation + ": " + error);
    Bench b;
    b.At(operation, 1, answer);
    EXPECT_EQ(b.object.Finalizar_Apartado("F1"), kFalse);
    EXPECT_EQ(b.object.Error(), kFinalizeTag + error);
    EXPECT_EQ(b.Count("Catalog.AddFollowUpHistory"), followUps > 0 ? 1 : 0);
    EXPECT_EQ(b.Count("Catalog.NotifyDocument"), followUps > 1 ? 1 : 0);
  }
}

// Texts convert as numbers and dates; only the first group is billed.
TEST(GeneraCuentaXCobrar, HandsTheSummedLayawayToTheReceivableComponent) {
  Bench b;
  b.Groups(
      {Totals(Text("2026-03-10 15:30:00"), Text("30"), Text("160.0")), Totals(kMarch10At1530, Number(0), Number(1))});
  EXPECT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F1"), kTrue);
  EXPECT_EQ(b.GetScript().CallTexts(), (Texts{"Factory.CreateReceivableDocument()", "Session.GetConnection()",
                                              Executed(kTotalsQuery), "Receivable.GenerateReceivable(F1, 0, -1)"}));
  ReceivableHeader expected;
  expected.DocumentDate = MakeDate(2026, 3, 10, 15, 30);
  expected.DueDate = MakeDate(2026, 4, 9, 15, 30);
  expected.OriginTable = "APARTADO";
  expected.OriginDocument = "F1";
  expected.Reference = "Ref";
  expected.Comment = "Coment";
  expected.Branch.Key = "S1";
  expected.Customer.Key = "C1";
  expected.Subtotal1 = expected.Subtotal2 = 160;
  expected.Tax1 = expected.Tax2 = 28;
  expected.Total1 = expected.Total2 = 188;
  expected.Currency.CurrencyKey = "MXN";
  expected.ExchangeRate = 1;
  EXPECT_EQ(b.Handed(), expected);  // every other member left empty or zero
}

// Any non-zero answer is success and keeps an earlier text; other outcomes replace it (one line break).
// The due date keeps the layaway's time of day.
TEST(GeneraCuentaXCobrar, OutcomesOfTheReceivableComponentAndOfTheReading) {
  const Date march10 = MakeDate(2026, 3, 10, 15, 30);
  for (const auto& [creditDays, operation, answer, error, due] :
       std::vector<std::tuple<Variant, std::string, Variant, std::string, Date>>{
           {Number(0), "Receivable.GenerateReceivable", kOne, "", march10},
           {Number(-10), "Receivable.GenerateReceivable", Variant::FromInteger(2), "", MakeDate(2026, 2, 28, 15, 30)},
           {Number(30), "Receivable.GenerateReceivable", kNo, "receivable refused", 0},
           {{}, "", {}, "Imposible localizar el apartado con folio: F1", 0},  // no rows
           {{}, "Factory.CreateReceivableDocument", Text("not registered"), "not registered", 0},
           {{}, "Connection.Execute", Text("no such table: Cliente"), "no such table: Cliente", 0},
           {Number(40000), "", {}, "Overflow", 0},  // credit days beyond 16 bits
           {Text("n/a"), "", {}, "Type mismatch", 0},
           {Number(30), "Receivable.GenerateReceivable", Text("ledger closed"), "ledger closed", 0}}) {
    SCOPED_TRACE(operation + ": " + error);
    Bench b;
    if (!operation.empty()) b.At(operation, 1, answer);
    if (!creditDays.IsEmpty()) b.Groups({Totals(kMarch10At1530, creditDays)});
    EXPECT_EQ(b.object.Genera_Cuenta_x_Cobrar_Apartado("F1"), error.empty() ? kTrue : kFalse);
    EXPECT_EQ(b.object.Error(), error.empty() ? kEarlier : kBillTag + error);
    EXPECT_EQ(b.Count("Receivable.GetErrorText"), answer == kNo ? 1 : 0);
    EXPECT_DOUBLE_EQ(error.empty() ? b.Handed().DueDate : 0, due);
  }
}

}  // namespace
}  // namespace apartado
