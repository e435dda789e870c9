#include <gtest/gtest.h>

#include <span>

#include "capture_fixture.h"
#include "component/publico.h"

namespace apartado::capture_testing {
namespace {

using AddTest = CaptureTest;

const std::string kAddTag = "ApartadosQZL.dll - Add_Apartado_Detalle()\r\n\r\n";

// A catalogue check: key exists and is not withdrawn ("BA").
std::string Check(const std::string& args, const std::string& secondKey = ", ") {
  return "Catalog.LookupValue(" + args + ", 0, " + secondKey + ", BA)";
}
std::string Product(const std::string& column) {
  return "Catalog.LookupValue(Producto, Pr_Cve_Producto, P1, " + column + ", 0, , , )";
}

// One line from its assignment to its reservation: the calls of each step in
// order, and the row with every column.
TEST_F(AddTest, TheRoadOfOneLine) {
  GetScript().Answer("Warehouse.HandlesSizes", Flag(kTrue));
  GetScript().Answer("Warehouse.HandlesColours", Flag(kTrue));
  GetScript().Answer("Catalog.GetUnitFactor", Variant::FromDouble(12));
  GetScript().Answer("Warehouse.GetCost", Variant::FromDouble(10.5));
  GetScript().AnswerAt("Catalog.FormatDateForSql", 2, Text("20260401"));  // the catalogue's own form
  GetScript().AnswerAt("Session.GetOperator", 1, Text("OP1"));
  GetScript().AnswerAt("Session.GetOperator", 2, Text("OP2"));
  GetScript().calculate = [](std::vector<double*>& r, std::int16_t) {
    *r[2] = 200, *r[3] = 0.1, *r[4] = 20, *r[5] = 90, *r[6] = 180, *r[7] = 0.1, *r[8] = 9;
    *r[10] = 27.36, *r[11] = 99.18, *r[12] = 198.36;
  };
  Publico().AmountCalculationMode = 3;
  tApEncabezado header = SampleHeader();
  header.Ap_Comentario = "it's";  // texts go as held, quotes and all
  header.Ap_Descuento_Global_Factor = 0.05;
  header.Ap_Tipo_Cambio = 17.5;
  Begin(header);
  tApDetalle line = SampleLine();
  line.Ap_Unidad_1 = "CJA";
  line.Ap_Sucursal_Inventario = "S2";
  line.Ap_Almacen_Inventario = "W2";
  line.Ap_Concepto = "Venta";
  line.Pr_Folio = "PF-1";
  line.Producto.Pr_Unidad_Control_1 = "HOST";  // the product's own members stay the host's
  line.Lote = {"L-9", MakeDate(2027, 1, 31), "PED-4", MakeDate(2025, 12, 1), {}};  // the row keeps no lot key
  line.Serie.Sr_Cve_Serie = "SR-1";
  GetScript().ClearCalls();
  object->Detalle(line);
  EXPECT_EQ(GetScript().CallTexts(),
            (std::vector<std::string>{
                "Warehouse.HandlesSizes(S2, W2)", "Warehouse.HandlesColours(S2, W2)", "Warehouse.HandlesLots(S2, W2)",
                "Warehouse.HandlesSeries(S2, W2)", Product("Pr_Tipo_Producto"), Product("Pr_Tipo_Costeo"),
                Product("Pr_Unidad_Control_1"), Product("Pr_Unidad_Control_2"), Product("Pr_Unidad_Costo"),
                "Catalog.GetUnitFactor(P1, CJA, PZA)",
                "Warehouse.GetCost(S1, W1, P1, T1, R1, 24, )",  // the header's warehouse, not the inventory one
                "Tax.GetTaxFactor(S1, C1, P1)",
                "Catalog.CalculateLineAmounts(2, 100, 0, 0, 0, 0, 0, 0.05, 0, 0.16, 0, 0, 0, 3)"}));
  EXPECT_EQ(object->Detalle().Producto.Pr_Unidad_Control_1, "HOST");
  EXPECT_EQ(object->Detalle().Producto.Pr_Tipo_Costeo, "PEPS");

  GetScript().ClearCalls();
  ASSERT_EQ(object->Add_Apartado_Detalle(), kTrue) << object->Error();
  EXPECT_EQ(
      ShortCalls(GetScript()),
      (std::vector<std::string>{
          "Session.IsRemoteServer()", Check("Moneda, Mn_Cve_Moneda, MXN, Mn_Descripcion"),
          Check("Almacen, Al_Cve_Almacen, W1, Al_Descripcion", "Sc_Cve_Sucursal, S1"),
          Check("Vendedor, Vn_Cve_Vendedor, V1, Vn_Descripcion"), Check("Cliente, Cl_Cve_Cliente, C1, Cl_Descripcion"),
          Check("Condicion_Venta, Cv_Cve_Condicion_Venta, CONT, Cv_Descripcion"),
          "Catalog.GetNextFolio(S1, APARTADO, 10, -1)", "Catalog.GetCurrentDate()",
          "Catalog.FormatDateTimeForSql(2026-03-10 15:30:00)",
          Check("Almacen, Al_Cve_Almacen, W2, Al_Descripcion", "Sc_Cve_Sucursal, S2"),
          Check("Producto, Pr_Cve_Producto, P1, Pr_Descripcion"), Check("Talla, Tl_Cve_Talla, T1, Tl_Descripcion"),
          Check("Color, Cl_Cve_Color, R1, Cl_Descripcion"), "Catalog.CheckProductSizeColour(P1, T1, R1)",
          Check("Unidad, Un_Cve_Unidad, CJA, Un_Descripcion"), "Catalog.FormatDateForSql(2026-03-10 09:05:07)",
          "Catalog.FormatDateForSql(2026-04-01 00:00:00)", "Catalog.FormatDateForSql(2027-01-31 00:00:00)",
          "Catalog.FormatDateForSql(2025-12-01 00:00:00)", "Session.GetOperator()", "Session.GetOperator()",
          "Session.GetConnection()", "Connection.Execute(INSERT)",
          // the reservation, on the line's inventory warehouse
          "Session.GetConnection()", "Connection.Execute(SELECT)", "Warehouse.GetStock(S2, W2, P1, T1, R1, 1, )",
          "Warehouse.GetStock(S2, W2, P1, T1, R1, 2, )", "Session.GetOperator()", "Session.GetConnection()",
          "Connection.Execute(UPDATE)"}));
  EXPECT_EQ(Inserts(),
            std::vector<std::string>{
                "INSERT INTO Apartado (Ap_Folio, Ap_ID, Ap_Tabla, Ap_Documento, Ap_Referencia, Ap_Fecha, "
                "Ap_Fecha_Entrega, Ap_Comentario, Sc_Cve_Sucursal, Al_Cve_Almacen, Ap_Sucursal_Inventario, "
                "Ap_Almacen_Inventario, Cl_Cve_Cliente, Vn_Cve_Vendedor, Ap_Condicion_Venta, Pr_Cve_Producto, "
                "Cl_Cve_Color, Tl_Cve_Talla, Ap_Concepto, Ap_Descuento_Global_Cuenta_Contable, "
                "Ap_Descuento_Global_Factor, Ap_Descuento_Global_Importe, Ap_Cantidad_1, Ap_Unidad_1, "
                "Ap_Cantidad_Control_1, Ap_Unidad_Control_1, Ap_Cantidad_Control_2, Ap_Unidad_Control_2, "
                "Ap_Cantidad_Costo, Ap_Unidad_Costo, Ap_Costo, Ap_Costo_Importe, Pr_Folio, Ap_Precio_Lista, "
                "Ap_Precio_Lista_Importe, Ap_Descuento_Factor, Ap_Descuento_Importe, Ap_Precio_Descontado, "
                "Ap_Precio_Descontado_Importe, Ap_Impuesto_Factor, Ap_Impuesto_Importe, Ap_Precio_Neto, "
                "Ap_Precio_Neto_Importe, Lt_Cve_Lote, Lt_Fecha_Caducidad, Lt_Pedimento, Lt_Fecha_Pedimento, "
                "Mn_Cve_Moneda, Ap_Tipo_Cambio, Oper_Alta, Fecha_Alta, Oper_Ult_Modif, Fecha_Ult_Modif) VALUES ( "
                "'A0000001', '0001', 'PEDIDO', 'D-7', 'REF', '2026-03-10 09:05:07', '20260401', 'it's', 'S1', "
                "'W1', 'S2', 'W2', 'C1', 'V1', 'CONT', 'P1', 'R1', 'T1', 'Venta', '', 0.1, 9, 2, 'CJA', 24, 'PZA', "
                "0.5, 'KG', 24, 'PZA', 10.5, 252, 'PF-1', 100, 200, 0.1, 20, 90, 180, 0.16, 27.36, 99.18, 198.36, "
                "'', '2027-01-31 00:00:00', 'PED-4', '2025-12-01 00:00:00', 'MXN', 17.5, "
                "'OP1', '2026-03-10 15:30:00', 'OP2', '2026-03-10 15:30:00') "});
}

// The checks run in this order and the first refusal is the whole error text:
// each step mends what the one before refused. The header's checks and the
// line's are walked apart, every catalogue description missing at the start.
class CheckOrderTest : public AddTest {
 public:
  CheckOrderTest() {
    for (const auto& [table, column] : kDescriptions) GetScript().Lookup(table, column, "");
    line.Ap_Sucursal_Inventario = "S9";
    line.Ap_Almacen_Inventario = "W9";
  }
  void Refused(const std::string& message) {
    EXPECT_EQ(Add(line), kFalse);
    EXPECT_EQ(object->Error(), message);
  }
  void RefusedThenMend(const std::string& message, const char* table, const char* column) {
    Refused(message);
    GetScript().Lookup(table, column, "descripcion");
  }
  tApEncabezado header = SampleHeader();
  tApDetalle line = SampleLine();
};

TEST_F(CheckOrderTest, HeaderChecksRunInOrderAndTheFirstRefusalIsTheWholeText) {
  Publico().CurrentServerId = "S1";
  GetScript().Lookup("Sucursal", "Sc_Servidor_Id", "S2");
  GetScript().Answer("Session.IsRemoteServer", Flag(1));  // any non-zero answer
  GetScript().Answer("Catalog.GetNextFolio", Variant());
  header.Ap_Tipo_Cambio = 0;
  Begin(header);
  auto reassign = [&] { object->Encabezado(header); };  // allowed while the layaway has no folio

  Refused("Esta operación solo puede realizarse en el servidor con id: S2\r\nel id del servidor actual es: S1");
  GetScript().Lookup("Sucursal", "Sc_Servidor_Id", "");
  reassign();
  Refused("Esta operación solo puede realizarse en el servidor central");
  GetScript().Lookup("Sucursal", "Sc_Servidor_Id", "S1");  // the current server passes, remote or not
  reassign();
  RefusedThenMend("La moneda: MXN, no existe o está dada de baja", "Moneda", "Mn_Descripcion");
  Refused("El tipo de cambio: 0, no es válido");
  header.Ap_Tipo_Cambio = -17.25;
  reassign();
  Refused("El tipo de cambio: -17.25, no es válido");
  header.Ap_Tipo_Cambio = 0.0001;
  reassign();
  RefusedThenMend("El almacén: W1, de la sucursal: S1, no existe o esta dado de baja", "Almacen", "Al_Descripcion");
  RefusedThenMend("El vendedor: V1, no existe o esta dado de baja", "Vendedor", "Vn_Descripcion");
  RefusedThenMend("El cliente: C1, no existe o esta dado de baja", "Cliente", "Cl_Descripcion");
  RefusedThenMend("La condición de venta: CONT, no existe o está dada de baja", "Condicion_Venta", "Cv_Descripcion");
  Refused("Error al intentar obtener el folio de la apartado!");
  EXPECT_EQ(object->Encabezado().Ap_Folio, "");
  EXPECT_TRUE(Inserts().empty());
}

// The header passes, its exchange rate as small as it may be; the line's
// catalogues are missing.
TEST_F(CheckOrderTest, LineChecksRunInOrderAndTheFirstRefusalIsTheWholeText) {
  for (const auto& [table, column] : std::span(kDescriptions).first(5))  // the header's
    GetScript().Lookup(table, column, "descripcion");
  header.Ap_Tipo_Cambio = 0.0001;
  Begin(header);
  // The assignment's five look-ups and the header's five come before it.
  GetScript().AnswerAt("Catalog.LookupValue", GetScript().Count("Catalog.LookupValue") + 5 + 6, Text(""));
  Refused("El almacén de inventario: W9, de la sucursal: S9, no existe o esta dado de baja");
  EXPECT_EQ(object->Encabezado().Ap_Folio, "A0000001");  // kept from now on
  RefusedThenMend("El producto: P1, no existe o esta dado de baja", "Producto", "Pr_Descripcion");
  // Size and colour are looked up also where the warehouse keeps neither.
  RefusedThenMend("La talla: 00, no existe o está dada de baja", "Talla", "Tl_Descripcion");
  RefusedThenMend("El color: 00, no existe o esta dado de baja", "Color", "Cl_Descripcion");
  GetScript().Answer("Warehouse.HandlesSizes", Flag(kTrue));
  GetScript().Answer("Warehouse.HandlesColours", Flag(kTrue));
  GetScript().Answer("Catalog.CheckProductSizeColour", Flag(kFalse));
  Refused("No se encuentra la relación producto/talla/color: P1/T1/R1");
  GetScript().Answer("Warehouse.HandlesColours", Flag(kFalse));
  GetScript().Answer("Catalog.CheckProductSize", Flag(kFalse));
  Refused("No se encuentra la relación producto/talla: P1/T1");
  GetScript().Answer("Warehouse.HandlesSizes", Flag(kFalse));
  GetScript().Answer("Warehouse.HandlesColours", Flag(kTrue));
  GetScript().Answer("Catalog.CheckProductColour", Flag(kFalse));
  Refused("No se encuentra la relación producto/color: P1/R1");
  GetScript().Answer("Catalog.CheckProductColour", Flag(1));
  RefusedThenMend("La unidad: PZA, no existe o está dada de baja", "Unidad", "Un_Descripcion");
  // Sold in boxes that convert to nothing, costed in the second unit.
  line.Ap_Unidad_1 = "CJA", line.Ap_Cantidad_1 = 3, line.Ap_Cantidad_Control_2 = 0;
  GetScript().Answer("Catalog.GetUnitFactor", Variant::FromDouble(0));
  GetScript().Lookup("Producto", "Pr_Unidad_Costo", "KG");
  Refused(
      "La cantidad no puede ser cero: \r\nCantidad-1: 3\r\nCantidad-Control-1: 0\r\nCantidad-Control-2: 0\r\n"
      "CANTIDAD-COSTO: 0");
  line.Ap_Cantidad_Control_2 = -0.5;
  Refused("las cantidades deben ser positivas!");
  line.Ap_Cantidad_Control_2 = 5, line.Ap_Cantidad_1 = -1;
  Refused("las cantidades deben ser positivas!");
  line.Ap_Cantidad_1 = 3;
  GetScript().Answer("Warehouse.GetCost", Variant::FromDouble(-0.01));
  Refused("El costo no puede ser negativo: \r\nCosto: -0.01");
  EXPECT_TRUE(Inserts().empty());

  // A zero cost and a first control quantity of 0 beside a second one pass;
  // the refused lines used no number.
  GetScript().Answer("Warehouse.GetCost", Variant::FromDouble(0));
  ASSERT_EQ(Add(line), kTrue) << object->Error();
  EXPECT_NE(Inserts()[0].find("VALUES ( 'A0000001', '0001', "), std::string::npos);
  EXPECT_NE(Inserts()[0].find("'MXN', 0.0001, "), std::string::npos);
  // Costed in its second unit: the cost quantity is the host's second control quantity.
  EXPECT_NE(Inserts()[0].find("3, 'CJA', 0, 'PZA', 5, 'KG', 5, 'KG', 0, 0, "), std::string::npos) << Inserts()[0];
}

// Later lines of a folio run no server, header or folio check, nor a relation
// check where the warehouse keeps neither sizes nor colours, and keep the
// header and audit moment of the folio; Nuevo starts a new one.
TEST_F(AddTest, LaterLinesShareTheFolioUntilNuevo) {
  GetScript().AnswerAt("Catalog.GetCurrentDate", 2, Variant::FromDate(MakeDate(2026, 1, 2, 3, 4, 5)));
  GetScript().AnswerAt("Catalog.GetNextFolio", 2, Text(""));
  GetScript().AnswerAt("Catalog.GetNextFolio", 3, Text("B7"));
  Begin();  // the first current date; the second is the audit moment
  ASSERT_EQ(Add(SampleLine()), kTrue) << object->Error();
  GetScript().Lookup("Moneda", "Mn_Descripcion", "");
  for (const char* check : {"Catalog.CheckProductSize", "Catalog.CheckProductColour", "Catalog.CheckProductSizeColour"})
    GetScript().Answer(check, Flag(kFalse));
  tApEncabezado other = SampleHeader();
  other.Ap_Comentario = "otro";
  object->Encabezado(other);  // ignored
  ASSERT_EQ(Add(SampleLine(3)), kTrue) << object->Error();
  EXPECT_EQ(GetScript().Count("Session.IsRemoteServer"), 1);
  EXPECT_EQ(GetScript().Count("Catalog.GetUnitFactor"), 0);  // sold in the control unit
  EXPECT_NE(Inserts()[1].find("VALUES ( 'A0000001', '0002', 'PEDIDO', 'D-7', 'REF', '2026-03-10 09:05:07', "
                              "'2026-04-01 00:00:00', 'sin prisa', "),
            std::string::npos);
  EXPECT_TRUE(Inserts()[1].ends_with("'OPER', '2026-01-02 03:04:05', 'OPER', '2026-01-02 03:04:05') "));

  // A new layaway whose folio cannot be obtained stores no audit moment.
  GetScript().Lookup("Moneda", "Mn_Descripcion", "descripcion");
  Begin();
  EXPECT_EQ(Add(SampleLine()), kFalse);
  EXPECT_EQ(GetScript().Count("Catalog.FormatDateTimeForSql"), 1);
  ASSERT_EQ(Add(SampleLine()), kTrue) << object->Error();
  EXPECT_NE(Inserts()[2].find("VALUES ( 'B7', '0001', "), std::string::npos);
  EXPECT_TRUE(Inserts()[2].ends_with("'OPER', '2026-03-10 15:30:00', 'OPER', '2026-03-10 15:30:00') "));
}

// A line whose insertion fails has used its number; at least four digits;
// numbering past 32767 is an overflow.
TEST_F(AddTest, NumbersStayUsedAndOverflowPast32767) {
  Begin();
  object->Apartar_Productos(kFalse);  // keeps each line to its INSERT
  object->Detalle(SampleLine());
  std::vector<std::string> ids;
  auto addAndKeepId = [&] {
    EXPECT_EQ(object->Add_Apartado_Detalle(), kTrue) << object->Error();
    ids.push_back(object->Detalle().Ap_ID);
  };
  addAndKeepId();
  GetConnection().FailAt(static_cast<int>(GetConnection().Statements().size()) + 1, "disco lleno");
  EXPECT_EQ(object->Add_Apartado_Detalle(), kFalse);
  EXPECT_EQ(object->Error(), "ApartadosQZL.dll - Inserta_Apartado()\r\n\r\ndisco lleno");
  for (int n = 3; n <= 10; ++n) addAndKeepId();
  // Walking the counter up line by line takes seconds; jump close to each edge.
  ApartadoTestAccess::LineCounter(*object) = 9998;
  addAndKeepId();
  addAndKeepId();
  ApartadoTestAccess::LineCounter(*object) = 32766;
  addAndKeepId();
  EXPECT_EQ(ids, (std::vector<std::string>{"0001", "0003", "0004", "0005", "0006", "0007", "0008", "0009", "0010",
                                           "9999", "10000", "32767"}));
  const std::size_t rows = Inserts().size();
  EXPECT_EQ(object->Add_Apartado_Detalle(), kFalse);
  EXPECT_EQ(object->Error(), kAddTag + "Overflow");
  EXPECT_EQ(Inserts().size(), rows);
  EXPECT_EQ(object->Detalle().Ap_ID, "32767");
}

// The failure path keeps what the steps before it did, such as the folio.
TEST_F(AddTest, UnexpectedFailuresCarryTheTagAndTwoLineBreaks) {
  for (const auto& [failing, folio, error, folioAfter] :
       std::initializer_list<std::tuple<const char*, Variant, std::string, const char*>>{
           {"Session.IsRemoteServer", Text("F1"), kAddTag + "perdida", ""},
           {"Catalog.FormatDateTimeForSql", Text("F1"), kAddTag + "perdida", "F1"},
           {"", Variant::MakeNull(), kAddTag + "Invalid use of Null", ""},
           {"", Variant::FromLong(12), "", "12"}}) {
    GetScript().Answer("Catalog.GetNextFolio", folio);
    if (*failing) ThrowSoon(failing, "perdida");
    Begin();
    EXPECT_EQ(Add(SampleLine()), error.empty() ? kTrue : kFalse);
    EXPECT_EQ(object->Error(), error);
    EXPECT_EQ(object->Encabezado().Ap_Folio, folioAfter);
  }
}

}  // namespace
}  // namespace apartado::capture_testing
