// Stock moves of one product (S1/A1/P1/T1/C1, 2.5 and 0.75, operator OPER) and of every line of a folio;
// the private reservation is reached through Apartar on folio F1.
#include <gtest/gtest.h>

#include <functional>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado {
namespace {

using Texts = std::vector<std::string>;
using testing::Number;
using testing::Text;

const std::string kFolioQuery = "SELECT * FROM Apartado WHERE Ap_Folio = 'F1' ";
const std::string kStatementA =
    "SELECT    Pr_Cve_Producto,    Pr_Tipo_Producto,    Pr_Descripcion FROM Producto WHERE    Pr_Cve_Producto = "
    "'P1' ";
const std::string kStatementB =
    "UPDATE Existencia SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    "
    "Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 + 2.5,    Ex_Cantidad_Apartado_Control_2 = "
    "Ex_Cantidad_Apartado_Control_2 + 0.75,    Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 - 2.5,    "
    "Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 - 0.75 WHERE    Existencia.Sc_Cve_Sucursal = 'S1' AND    "
    "Existencia.Al_Cve_Almacen = 'A1' AND     Existencia.Pr_Cve_Producto = 'P1' AND    Existencia.Tl_Cve_Talla = "
    "'T1' AND     Existencia.Cl_Cve_Color = 'C1' ";
const std::string kStatementC =
    "UPDATE Existencia_Kit SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    Ek_Cantidad_Apartado "
    "= Ek_Cantidad_Apartado + 2.5,    Ek_Cantidad = Ek_Cantidad - 2.5  WHERE    Existencia_Kit.Sc_Cve_Sucursal = "
    "'S1' AND    Existencia_Kit.Al_Cve_Almacen = 'A1' AND     Existencia_Kit.Pr_Cve_Producto = 'P1' AND    "
    "Existencia_Kit.Tl_Cve_Talla = 'T1' AND     Existencia_Kit.Cl_Cve_Color = 'C1' ";
const std::string kStatementD =
    "SELECT    Ex_Cantidad_Control_1,    Ex_Cantidad_Control_2,    Ex_Cantidad_Apartado_Control_1,    "
    "Ex_Cantidad_Apartado_Control_2 FROM Existencia WHERE   Existencia.Sc_Cve_Sucursal = 'S1' AND    "
    "Existencia.Al_Cve_Almacen = 'A1' AND    Existencia.Pr_Cve_Producto = 'P1' AND    Existencia.Tl_Cve_Talla = "
    "'T1' AND    Existencia.Cl_Cve_Color = 'C1' ";
const std::string kStatementE =
    "UPDATE Existencia SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    "
    "Ex_Cantidad_Apartado_Control_1 = Ex_Cantidad_Apartado_Control_1 - 2.5,    Ex_Cantidad_Apartado_Control_2 = "
    "Ex_Cantidad_Apartado_Control_2 - 0.75,    Ex_Cantidad_Control_1 = Ex_Cantidad_Control_1 + 2.5,    "
    "Ex_Cantidad_Control_2 = Ex_Cantidad_Control_2 + 0.75 WHERE    Existencia.Sc_Cve_Sucursal = 'S1' AND    "
    "Existencia.Al_Cve_Almacen = 'A1' AND    Existencia.Pr_Cve_Producto = 'P1' AND    Existencia.Tl_Cve_Talla = "
    "'T1' AND     Existencia.Cl_Cve_Color = 'C1' ";
const std::string kStatementF =
    "SELECT    Ek_Cantidad,    Ek_Cantidad_Apartado FROM Existencia_Kit WHERE   Existencia_Kit.Sc_Cve_Sucursal = "
    "'S1' AND    Existencia_Kit.Al_Cve_Almacen = 'A1' AND    Existencia_Kit.Pr_Cve_Producto = 'P1' AND    "
    "Existencia_Kit.Tl_Cve_Talla = 'T1' AND    Existencia_Kit.Cl_Cve_Color = 'C1' ";
const std::string kStatementG =
    "UPDATE Existencia_Kit SET    Oper_Ult_Modif = 'OPER',    Fecha_Ult_Modif = GETDATE(),    Ek_Cantidad_Apartado "
    "= Ek_Cantidad_Apartado - 2.5,    Ek_Cantidad = Ek_Cantidad + 2.5 WHERE    Existencia_Kit.Sc_Cve_Sucursal = "
    "'S1' AND    Existencia_Kit.Al_Cve_Almacen = 'A1' AND    Existencia_Kit.Pr_Cve_Producto = 'P1' AND    "
    "Existencia_Kit.Tl_Cve_Talla = 'T1' AND     Existencia_Kit.Cl_Cve_Color = 'C1' ";

const std::string kWalk = "condicionApartadoQZL.dll - Apartar()\r\n";
const std::string kReleaseWalk = "condicionApartadoQZL.dll - Desapartar()\r\n";
const std::string kReserveTag = "apartadoQZL.dll - Aparta_Producto() \r\n";
const std::string kReleaseTag = "apartadoQZL.dll - Desapartar_Producto() \r\n";
const std::string kReleaseLookupTag = "apartadoQZL.dll - Desaparta_Producto() \r\n";
const std::string kEarlier = kReleaseLookupTag + "El código del producto es incorrecto";
const std::string kPlace = "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1\r\nTalla:T1\r\nColor:C1\r\n";
const std::string kDescribedPlace =
    "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1 - Camisa roja\r\nTalla:T1\r\nColor:C1\r\n";

// A stored line of F1 in inventory branch S1; HEADER, the header's branch, must not be used.
std::vector<Variant> LineRow(const std::string& product, Variant quantity1) {
  return {Text("HEADER"), Text("S1"), Text("A1"), Text(product), Text("T1"), Text("C1"), quantity1, Number(0.75)};
}

struct Bench : capture_testing::StoredBench {
  Bench() {
    object.Desapartar_Producto("S0", "A0", "P0", "T0", "C0", 1, 1);  // leaves kEarlier behind
    GetScript().ClearCalls();
  }
  void Lines(std::vector<std::vector<Variant>> rows) {
    GetConnection().AnswerNext("FROM Apartado",
                               {"Sc_Cve_Sucursal", "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario", "Pr_Cve_Producto",
                                "Tl_Cve_Talla", "Cl_Cve_Color", "Ap_Cantidad_Control_1", "Ap_Cantidad_Control_2"},
                               std::move(rows));
  }
  // F1 holds one line of P1 (of no product for an empty type); the warehouse answers these stocks.
  void StoreLine(const std::string& type, double stock1 = 1000, double stock2 = 1000) {
    Lines({LineRow("P1", Number(2.5))});
    if (!type.empty()) Product("P1", type);
    GetScript().AnswerAt("Warehouse.GetStock", 1, Number(stock1));
    GetScript().AnswerAt("Warehouse.GetStock", 2, Number(stock2));
  }
  Boolean Release(double quantity1 = 2.5, double quantity2 = 0.75) {
    return object.Desapartar_Producto("S1", "A1", "P1", "T1", "C1", quantity1, quantity2, "SER-001");
  }
};

// Both units are asked for every product found; a kit moves control 1 only; equal stock is enough.
// Success leaves an earlier text in place.
TEST(ReserveProduct, OutcomeFollowsTheTypeAndTheStock) {
  const std::string both = "\r\nExistencia-control-2:0.5 -> Apartar-control-2:0.75\r\n";
  const Texts asked = {"Warehouse.GetStock(S1, A1, P1, T1, C1, 1, )", "Warehouse.GetStock(S1, A1, P1, T1, C1, 2, )"};
  for (const auto& [type, stock1, stock2, update, refusal] :
       std::vector<std::tuple<std::string, double, double, std::string, std::string>>{
           {"01", 2.5, 0.75, kStatementB, ""},
           {"04", 2.5, 0, kStatementC, ""},
           {"99", 0, 0, "", ""},
           {"06", 1000, 1000, "", "El tipo de producto:06, no está programado!!!"},
           {"", 1000, 1000, "", "El código del producto es incorrecto"},  // no product row
           {"02", 2, 0.5, "",                                             // both short: control 1 reported
            "No hay suficiente existencia en el control-1 para apartar\r\n" + kDescribedPlace +
                "Existencia-control-1:2 -> Apartar-control-1:2.5" + both},
           {"01", 10, 0.5, "",
            "No hay suficiente existencia en el Control-2 para apartar\r\n" + kDescribedPlace +
                "Existencia-control-1:10 -> Apartar-control-1:2.5" + both},
           {"04", 2.25, 1e6, "",
            "No hay suficiente existencia en el kit para apartar\r\n" + kDescribedPlace +
                "EXISTENCIA:2.25 -> APARTAR:2.5\r\n"}}) {
    SCOPED_TRACE("type " + type + ": " + refusal);
    Bench b;
    b.StoreLine(type, stock1, stock2);
    EXPECT_EQ(b.object.Apartar("F1"), refusal.empty() ? kTrue : kFalse);
    EXPECT_EQ(b.object.Error(), refusal.empty() ? kEarlier : kWalk + kReserveTag + refusal);
    Texts expected = {kFolioQuery, kStatementA};
    if (!update.empty()) expected.push_back(update);
    EXPECT_EQ(b.Statements(), expected);
    EXPECT_EQ(b.GetScript().CallTexts("Warehouse."), type.empty() ? Texts{} : asked);
    EXPECT_EQ(b.Count("Session.GetOperator"), update.empty() ? 0 : 1);
  }
}

// Every case passes a Series, which is accepted and ignored; no warehouse service is asked.
TEST(ReleaseProduct, OutcomeFollowsTheTypeAndTheReservedStock) {
  const Variant none;
  const std::string noRow = kReleaseTag + "Imposible desapartar el producto actual, no hay registro de apartado\r\n";
  // The stock row's reserved quantities (Empty: no row), the quantities, the statements after the
  // look-up and the error text.
  for (const auto& [type, reserved1, reserved2, quantity1, quantity2, read, update, text] :
       std::vector<std::tuple<std::string, Variant, Variant, double, double, std::string, std::string, std::string>>{
           {"02", Number(2.5), Number(0.75), 2.5, 0.75, kStatementD, kStatementE, ""},  // exactly what is reserved
           {"04", Text("2.5"), none, 2.5, 1e6, kStatementF, kStatementG, ""},           // a kit moves one quantity
           {"05", none, none, 2.5, 0.75, "", "", ""},
           {"", none, none, 2.5, 0.75, "", "", kReleaseLookupTag + "El código del producto es incorrecto"},
           {"06", none, none, 2.5, 0.75, "", "", kReleaseLookupTag + "El tipo de producto:06, no está programado!!!"},
           {"01", none, none, 0, 0, kStatementD, "", noRow + kPlace},
           {"04", none, none, 0, 0, kStatementF, "", noRow + kPlace},
           {"01", Number(2), Number(0.5), 2.5, 0.75, kStatementD, "",  // control 1 short whatever control 2
            kReleaseTag + "No hay suficiente existencia apartada en el Control-1\r\n" + kPlace +
                "EXISTENCIA-APARTADA-CONTROL-1:2 -> DESAPARTAR-CONTROL-1:2.5\r\n"
                "EXISTENCIA-APARTADA-CONTROL-2:0.5 -> DESAPARTAR-CONTROL-2:0.75\r\n"},
           {"03", Number(10), Number(0.5), 2.5, 0.75, kStatementD, "",
            kReleaseTag + "No hay suficiente existencia apartada en el Control-2 para desapartar\r\n" + kPlace +
                "Existencia-control-1:10 -> DESAPARTAR-CONTROL-1:2.5\r\n"
                "Existencia-control-2:0.5 -> DESAPARTAR-CONTROL-2:0.75\r\n"},
           {"04", Number(1.5), none, 2.5, 0, kStatementF, "",  // the kit text ends after the quantity
            kReleaseTag + "No hay suficiente existencia apartada en el Control-1\r\n" + kPlace +
                "EXISTENCIA-APARTADA:1.5 -> DESAPARTAR:2.5"}}) {
    SCOPED_TRACE("type " + type + ": " + text);
    Bench b;
    if (!type.empty()) b.Product("P1", type);
    if (!reserved1.IsEmpty()) b.Reserved(reserved1, reserved2);
    EXPECT_EQ(b.Release(quantity1, quantity2), text.empty() ? kTrue : kFalse);
    EXPECT_EQ(b.object.Error(), text.empty() ? kEarlier : text);
    Texts expected = {kStatementA};
    for (const std::string& s : {read, update})
      if (!s.empty()) expected.push_back(s);
    EXPECT_EQ(b.Statements(), expected);
    EXPECT_EQ(b.Count("Session.GetOperator"), update.empty() ? 0 : 1);
    EXPECT_EQ(b.Count("Warehouse.GetStock"), 0);
  }
}

// Tag, one line break, description (behind the walk's tag); the operator is asked after an update's first piece.
TEST(StockFailures, BecomeTheOperationsTagAndTheDescription) {
  const auto noOperator = [](Bench& b) { b.GetScript().ThrowAt("Session.GetOperator", 1, "no op"); };
  const auto failAt = [](int n) { return [n](Bench& b) { b.GetConnection().FailAt(n + 1, "rejected"); }; };
  // A: Apartar, D: Desapartar, R: Desapartar_Producto.
  for (const auto& [operation, type, arrange, error, sqlTextLeft] :
       std::vector<std::tuple<char, std::string, std::function<void(Bench&)>, std::string, std::string>>{
           {'A', "01", failAt(1), kWalk + "rejected", kFolioQuery},
           {'A', "01", failAt(2), kWalk + kReserveTag + "rejected", kStatementA},
           {'A', "03", noOperator, kWalk + kReserveTag + "no op", "UPDATE Existencia SET "},
           {'A', "04", noOperator, kWalk + kReserveTag + "no op", "UPDATE Existencia_Kit SET "},
           {'D', "01", failAt(1), kReleaseWalk + "rejected", kFolioQuery},
           {'R', "01", [](Bench& b) { b.Reserved(Text("abc")); }, kReleaseTag + "Type mismatch", kStatementD},
           {'R', "04", noOperator, kReleaseTag + "no op", "UPDATE Existencia_Kit SET "},
           {'R', "01", failAt(3), kReleaseTag + "rejected", kStatementE}}) {
    SCOPED_TRACE(operation + (" " + error));
    Bench b;
    arrange(b);  // answers queued here come before the defaults below
    b.StoreLine(type);
    b.Reserved(Number(10));
    const Variant result = operation == 'A'   ? Variant::FromInteger(b.object.Apartar("F1"))
                           : operation == 'R' ? Variant::FromInteger(b.Release())
                                              : b.object.Desapartar("F1");
    EXPECT_EQ(result, operation == 'D' ? Variant::FromBoolean(false) : Variant::FromInteger(kFalse));
    EXPECT_EQ(b.object.Error(), error);
    EXPECT_EQ(Publico().SqlText, sqlTextLeft);
  }
}

// A folio without rows succeeds, written as held, and leaves the earlier text.
TEST(WholeLayaway, AFolioWithoutRowsSucceeds) {
  Bench b;
  EXPECT_EQ(b.object.Apartar("O'Brien 7"), kTrue);
  EXPECT_EQ(b.object.Desapartar("O'Brien 7"), Variant::FromBoolean(true));
  const std::string query = "Connection.Execute(SELECT * FROM Apartado WHERE Ap_Folio = 'O'Brien 7' )";
  EXPECT_EQ(b.GetScript().CallTexts("Connection."), (Texts{query, query}));
  EXPECT_EQ(b.object.Error(), kEarlier);
}

// Row 2 of 3 is refused: row 1 stays released, row 3 is never read; the text quotes row 2's own values.
TEST(WholeLayaway, ReleaseStopsAtTheFirstRefusedRow) {
  Bench b;
  b.Lines({LineRow("P1", Number(1)), LineRow("P2", Text("2")), LineRow("P3", Text("abc"))});
  for (const char* product : {"P1", "P2", "P3"}) b.Product(product, "01");
  b.Reserved(Number(5));
  b.Reserved(Number(1));
  EXPECT_EQ(b.object.Desapartar("F1"), Variant::FromBoolean(false));
  EXPECT_EQ(b.object.Error(),
            kReleaseWalk + kReleaseTag +
                "No hay suficiente existencia apartada en el Control-1\r\nsucursal:S1\r\nAlmacén: A1\r\nProducto:P2\r\n"
                "Talla:T1\r\nColor:C1\r\nEXISTENCIA-APARTADA-CONTROL-1:1 -> DESAPARTAR-CONTROL-1:2\r\n"
                "EXISTENCIA-APARTADA-CONTROL-2:10 -> DESAPARTAR-CONTROL-2:0.75\r\n");
  EXPECT_EQ(b.Statements().size(), 6u);  // the folio, P1's look-up, read and update, P2's look-up and read
}

}  // namespace
}  // namespace apartado
