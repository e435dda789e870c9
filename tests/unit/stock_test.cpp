// Moving the stock of one product, and of every line of a folio. The private
// reservation is reached through Apartar with folio F1 of one stored line
// (S1/A1/P1/T1/C1, quantities 2.5 and 0.75, operator OPER).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "apartado/apartado.h"
#include "component/publico.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using Texts = std::vector<std::string>;
Variant Text(std::string s) { return Variant::FromText(std::move(s)); }
Variant Number(double d) { return Variant::FromDouble(d); }

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
const std::string kPlace = "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1\r\nTalla:T1\r\nColor:C1\r\n";
const std::string kPlaceWithDescription =
    "sucursal:S1\r\nAlmacén: A1\r\nProducto:P1 - Camisa roja\r\nTalla:T1\r\nColor:C1\r\n";

// A stored line of F1 in inventory branch S1; HEADER, the header's branch, must not be used.
std::vector<Variant> LineRow(const std::string& product, Variant quantity1) {
  return {Text("HEADER"), Text("S1"), Text("A1"),           Text(product),
          Text("T1"),     Text("C1"), std::move(quantity1), Number(0.75)};
}

struct Bench {
  Bench() { suite.script().ClearCalls(); }
  void Lines(std::vector<std::vector<Variant>> rows) {
    suite.connection().AnswerNext(
        "FROM Apartado",
        {"Sc_Cve_Sucursal", "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario", "Pr_Cve_Producto", "Tl_Cve_Talla",
         "Cl_Cve_Color", "Ap_Cantidad_Control_1", "Ap_Cantidad_Control_2"},
        std::move(rows));
  }
  void Product(const std::string& product, const std::string& type) {
    suite.connection().AnswerAlways("FROM Producto WHERE    Pr_Cve_Producto = '" + product,
                                    {"Pr_Tipo_Producto", "Pr_Descripcion"}, {{Text(type), Text("Camisa roja")}});
  }
  // F1 holds one line of P1 (of no product when type is empty); the warehouse answers these stocks.
  void StoreLine(const std::string& type, double stock1 = 1000, double stock2 = 1000) {
    Lines({LineRow("P1", Number(2.5))});
    if (!type.empty()) Product("P1", type);
    suite.script().AnswerAt("Warehouse.GetStock", 1, Number(stock1));
    suite.script().AnswerAt("Warehouse.GetStock", 2, Number(stock2));
  }
  // The next look-up of a plain or kit stock row answers these reserved quantities.
  void Reserved(Variant reserved1, Variant reserved2 = Number(10)) {
    suite.connection().AnswerNext("FROM Existencia WHERE",
                                  {"Ex_Cantidad_Apartado_Control_1", "Ex_Cantidad_Apartado_Control_2"},
                                  {{reserved1, std::move(reserved2)}});
    suite.connection().AnswerNext("FROM Existencia_Kit WHERE", {"Ek_Cantidad_Apartado"}, {{std::move(reserved1)}});
  }
  Boolean Release(double quantity1 = 2.5, double quantity2 = 0.75) {
    return object.Desapartar_Producto("S1", "A1", "P1", "T1", "C1", quantity1, quantity2, "SER-001");
  }
  int Count(const std::string& operation) { return suite.script().Count(operation); }
  const Texts& Statements() { return suite.connection().Statements(); }

  testing::FakeSuite suite;
  Apartado object;
};

// Stock is asked in both units for every product found, whatever its type; a
// kit tests and moves its control-1 quantity only. Stock equal to the quantity
// is enough.
TEST(ReserveProduct, OutcomeFollowsTheTypeAndTheStock) {
  struct Case {
    std::string type;
    double stock1, stock2;
    std::string update, refusal;
  };
  const std::string both = "\r\nExistencia-control-2:0.5 -> Apartar-control-2:0.75\r\n";
  const Texts asked = {"Warehouse.GetStock(S1, A1, P1, T1, C1, 1, )", "Warehouse.GetStock(S1, A1, P1, T1, C1, 2, )"};
  const std::vector<Case> cases = {
      {"01", 2.5, 0.75, kStatementB, ""},
      {"03", 2.5, 0.75, kStatementB, ""},
      {"04", 2.5, 0, kStatementC, ""},
      {"05", 0, 0, "", ""},
      {"99", 0, 0, "", ""},
      {"06", 1000, 1000, "", "El tipo de producto:06, no está programado!!!"},
      {"", 1000, 1000, "", "El código del producto es incorrecto"},  // no product row
      {"02", 2, 0.5, "",                                             // both units short: control 1 reported
       "No hay suficiente existencia en el control-1 para apartar\r\n" + kPlaceWithDescription +
           "Existencia-control-1:2 -> Apartar-control-1:2.5" + both},
      {"01", 10, 0.5, "",
       "No hay suficiente existencia en el Control-2 para apartar\r\n" + kPlaceWithDescription +
           "Existencia-control-1:10 -> Apartar-control-1:2.5" + both},
      {"04", 2.25, 1e6, "",
       "No hay suficiente existencia en el kit para apartar\r\n" + kPlaceWithDescription +
           "EXISTENCIA:2.25 -> APARTAR:2.5\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + c.type + ": " + c.refusal);
    Bench b;
    b.StoreLine(c.type, c.stock1, c.stock2);
    EXPECT_EQ(b.object.Apartar("F1"), c.refusal.empty() ? kTrue : kFalse);
    EXPECT_EQ(b.object.Error(), c.refusal.empty() ? "" : kWalk + kReserveTag + c.refusal);
    Texts expected = {kFolioQuery, kStatementA};
    if (!c.update.empty()) expected.push_back(c.update);
    EXPECT_EQ(b.Statements(), expected);
    EXPECT_EQ(b.suite.script().CallTexts("Warehouse."), c.type.empty() ? Texts{} : asked);
    EXPECT_EQ(b.Count("Session.GetOperator"), c.update.empty() ? 0 : 1);
  }
}

// Every case passes a Series, which is accepted and ignored; no warehouse
// service is asked.
TEST(ReleaseProduct, OutcomeFollowsTheTypeAndTheReservedStock) {
  struct Case {
    std::string type;
    Variant reserved1, reserved2;  // the stock row's reserved quantities; Empty: no row
    double quantity1, quantity2;
    std::string read, update, text;  // the statements after the look-up, the error text
  };
  const Variant none;
  const std::string noRow = kReleaseTag + "Imposible desapartar el producto actual, no hay registro de apartado\r\n";
  const std::vector<Case> cases = {
      {"02", Number(2.5), Number(0.75), 2.5, 0.75, kStatementD, kStatementE, ""},  // exactly what is reserved
      // A kit tests and moves only its single quantity, here read from a numeric text.
      {"04", Text("2.5"), none, 2.5, 1e6, kStatementF, kStatementG, ""},
      {"05", none, none, 2.5, 0.75, "", "", ""},
      {"99", none, none, 2.5, 0.75, "", "", ""},
      {"", none, none, 2.5, 0.75, "", "", kReleaseLookupTag + "El código del producto es incorrecto"},
      {"06", none, none, 2.5, 0.75, "", "", kReleaseLookupTag + "El tipo de producto:06, no está programado!!!"},
      {"01", none, none, 0, 0, kStatementD, "", noRow + kPlace},
      {"04", none, none, 0, 0, kStatementF, "", noRow + kPlace},
      // Control 1 short whatever control 2.
      {"01", Number(2), Number(0.5), 2.5, 0.75, kStatementD, "",
       kReleaseTag + "No hay suficiente existencia apartada en el Control-1\r\n" + kPlace +
           "EXISTENCIA-APARTADA-CONTROL-1:2 -> DESAPARTAR-CONTROL-1:2.5\r\n"
           "EXISTENCIA-APARTADA-CONTROL-2:0.5 -> DESAPARTAR-CONTROL-2:0.75\r\n"},
      {"03", Number(10), Number(0.5), 2.5, 0.75, kStatementD, "",
       kReleaseTag + "No hay suficiente existencia apartada en el Control-2 para desapartar\r\n" + kPlace +
           "Existencia-control-1:10 -> DESAPARTAR-CONTROL-1:2.5\r\n"
           "Existencia-control-2:0.5 -> DESAPARTAR-CONTROL-2:0.75\r\n"},
      // The kit text stops right after the asked quantity.
      {"04", Number(1.5), none, 2.5, 0, kStatementF, "",
       kReleaseTag + "No hay suficiente existencia apartada en el Control-1\r\n" + kPlace +
           "EXISTENCIA-APARTADA:1.5 -> DESAPARTAR:2.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("type " + c.type + ": " + c.text);
    Bench b;
    if (!c.type.empty()) b.Product("P1", c.type);
    if (!c.reserved1.IsEmpty()) b.Reserved(c.reserved1, c.reserved2);
    EXPECT_EQ(b.Release(c.quantity1, c.quantity2), c.text.empty() ? kTrue : kFalse);
    EXPECT_EQ(b.object.Error(), c.text);
    Texts expected = {kStatementA};
    for (const std::string& s : {c.read, c.update})
      if (!s.empty()) expected.push_back(s);
    EXPECT_EQ(b.Statements(), expected);
    EXPECT_EQ(b.Count("Session.GetOperator"), c.update.empty() ? 0 : 1);
    EXPECT_EQ(b.Count("Warehouse.GetStock"), 0);
  }
}

// A failure raised inside an operation becomes its tag, one line break and the
// description, behind the walk's tag when a walk called it. The operator is
// asked once the first piece of an update is written, so a failing session
// leaves exactly that piece behind.
TEST(StockFailures, BecomeTheOperationsTagAndTheDescription) {
  struct Case {
    char operation;  // A: Apartar, D: Desapartar, R: Desapartar_Producto
    std::string type;
    std::function<void(Bench&)> arrange;
    std::string error, sqlTextLeft;
  };
  const auto noOperator = [](Bench& b) { b.suite.script().ThrowAt("Session.GetOperator", 1, "no op"); };
  const auto failAt = [](int n) { return [n](Bench& b) { b.suite.connection().FailAt(n, "rejected"); }; };
  const auto unconvertible = [](Bench& b) { b.Lines({LineRow("P1", Text("x"))}); };
  const std::vector<Case> cases = {
      {'A', "01", failAt(1), kWalk + "rejected", kFolioQuery},
      {'A', "01", unconvertible, kWalk + "Type mismatch", kFolioQuery},
      {'A', "01", failAt(2), kWalk + kReserveTag + "rejected", kStatementA},
      {'A', "03", noOperator, kWalk + kReserveTag + "no op", "UPDATE Existencia SET "},
      {'A', "04", noOperator, kWalk + kReserveTag + "no op", "UPDATE Existencia_Kit SET "},
      {'D', "01", failAt(1), kReleaseWalk + "rejected", kFolioQuery},
      {'D', "01", unconvertible, kReleaseWalk + "Type mismatch", kFolioQuery},
      {'R', "01", [](Bench& b) { b.Reserved(Text("abc")); }, kReleaseTag + "Type mismatch", kStatementD},
      {'R', "04", noOperator, kReleaseTag + "no op", "UPDATE Existencia_Kit SET "},
      {'R', "01", failAt(3), kReleaseTag + "rejected", kStatementE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation + (" " + c.error));
    Bench b;
    c.arrange(b);  // answers queued here come before the defaults below
    b.StoreLine(c.type);
    b.Reserved(Number(10));
    const Variant result = c.operation == 'A'   ? Variant::FromInteger(b.object.Apartar("F1"))
                           : c.operation == 'R' ? Variant::FromInteger(b.Release())
                                                : b.object.Desapartar("F1");
    EXPECT_EQ(result, c.operation == 'D' ? Variant::FromBoolean(false) : Variant::FromInteger(kFalse));
    EXPECT_EQ(b.object.Error(), c.error);
    EXPECT_EQ(Publico().SqlText, c.sqlTextLeft);
  }
}

// Nothing marks the object or the folio: a folio without rows succeeds, and no
// success clears a text an earlier failure left.
TEST(WholeLayaway, SuccessKeepsAnEarlierErrorAndAFolioWithoutRowsSucceeds) {
  Bench b;
  EXPECT_EQ(b.object.Desapartar_Producto("S1", "A1", "P1", "T1", "C1", 1, 1), kFalse);  // no product row
  const std::string earlier = b.object.Error();
  b.suite.script().ClearCalls();
  EXPECT_EQ(b.object.Apartar("O'Brien 7"), kTrue);
  EXPECT_EQ(b.object.Desapartar("O'Brien 7"), Variant::FromBoolean(true));
  const std::string query = "Connection.Execute(SELECT * FROM Apartado WHERE Ap_Folio = 'O'Brien 7' )";
  EXPECT_EQ(b.suite.script().CallTexts(), (Texts{"Session.GetConnection()", query, "Session.GetConnection()", query}));
  b.StoreLine("01");
  EXPECT_EQ(b.object.Apartar("F1"), kTrue);
  b.Reserved(Number(10));
  EXPECT_EQ(b.Release(), kTrue);
  EXPECT_EQ(b.object.Error(), earlier);
}

// The second of three rows is refused: the first keeps its move, the third is
// never read (its quantity would not even convert). The release text shows the
// row's own keys and quantities were passed.
TEST(WholeLayaway, StopsAtTheFirstRefusedRow) {
  const auto threeLines = [](Bench& b) {
    b.Lines({LineRow("P1", Number(1)), LineRow("P2", Text("2")), LineRow("P3", Text("abc"))});
    for (const char* product : {"P1", "P2", "P3"}) b.Product(product, "01");
  };
  {
    Bench b;
    threeLines(b);
    b.suite.script().AnswerAt("Warehouse.GetStock", 3, Number(1));  // P2's control-1 stock
    EXPECT_EQ(b.object.Apartar("F1"), kFalse);
    EXPECT_THAT(b.object.Error(), ::testing::StartsWith(kWalk + kReserveTag +
                                                        "No hay suficiente existencia en el control-1 para apartar"));
    EXPECT_EQ(b.Statements().size(), 4u);  // the folio, P1's look-up and update, P2's look-up
  }
  Bench b;
  threeLines(b);
  b.Reserved(Number(5));
  b.Reserved(Number(1));
  EXPECT_EQ(b.object.Desapartar("F1"), Variant::FromBoolean(false));
  EXPECT_EQ(b.object.Error(),
            kReleaseWalk + kReleaseTag +
                "No hay suficiente existencia apartada en el Control-1\r\nsucursal:S1\r\nAlmacén: A1\r\nProducto:P2\r\n"
                "Talla:T1\r\nColor:C1\r\nEXISTENCIA-APARTADA-CONTROL-1:1 -> DESAPARTAR-CONTROL-1:2\r\n"
                "EXISTENCIA-APARTADA-CONTROL-2:10 -> DESAPARTAR-CONTROL-2:0.75\r\n");
  EXPECT_EQ(b.Statements().size(), 6u);  // the folio, P1's look-up, read and update, P2's look-up and read
  EXPECT_THAT(b.Statements()[3], ::testing::StartsWith("UPDATE Existencia SET "));
}

}  // namespace
}  // namespace apartado
