// The component end to end on a real database through the reference suite:
// stock reserved and released, layaways captured (rows, stock, lots, serial
// numbers), and the whole life of a layaway up to a refused second cancel.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/number_text.h"
#include "component/publico.h"
#include "integration/suite_fixture.h"

namespace apartado::testing {
namespace {

// Branch S1: warehouse A1 keeps sizes, colours, lots and serials. Customer C1
// buys on 30 days' credit. Products: P1 (type 01, also sold by the box of
// twelve), L1 (02, lots), SR (03, serials) and K1 (04, a kit). L1's lot LT-C
// expires first, then LT-B, then LT-A.
class LayawayOnDatabase : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    Db().RunScript(
        "INSERT INTO Sucursal (Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id) VALUES ('S1', 'Centro', 'S1');"
        "INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, Al_Maneja_Colores,"
        " Al_Maneja_Lotes, Al_Maneja_Series) VALUES ('S1', 'A1', 'Uno', 1, 1, 1, 1);"
        "INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES ('MXN', 'Peso');"
        "INSERT INTO Vendedor (Vn_Cve_Vendedor, Vn_Descripcion) VALUES ('V1', 'Ana');"
        "INSERT INTO Cliente (Cl_Cve_Cliente, Cl_Descripcion, Cl_Tipo_Cuenta, Cl_Dias_Credito, Cl_Limite_Credito)"
        " VALUES ('C1', 'Luis', 'CR', 30, 10000);"
        "INSERT INTO Condicion_Venta (Cv_Cve_Condicion_Venta, Cv_Descripcion) VALUES ('CONT', 'Contado');"
        "INSERT INTO Talla (Tl_Cve_Talla, Tl_Descripcion) VALUES ('T1', 'T1'), ('00', '00');"
        "INSERT INTO Color (Cl_Cve_Color, Cl_Descripcion) VALUES ('R1', 'R1'), ('00', '00');"
        "INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES ('PZA', 'PZA'), ('CJA', 'CJA'), ('KG', 'KG');"
        "INSERT INTO Unidad_Conversion (Pr_Cve_Producto, Un_Cve_Unidad_Origen, Un_Cve_Unidad_Destino, Uc_Factor)"
        " VALUES ('P1', 'CJA', 'PZA', 12);"
        "INSERT INTO Producto (Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, Pr_Tipo_Costeo, Pr_Unidad_Control_1,"
        " Pr_Unidad_Control_2, Pr_Unidad_Costo, Pr_Costo, Pr_Tasa_Impuesto) SELECT column1, 'Art. ' || column1,"
        " column2, 'PROM', 'PZA', 'KG', 'PZA', 10, 0.16 FROM (VALUES ('P1', '01'), ('L1', '02'), ('SR', '03'),"
        " ('K1', '04')) AS v;"
        "INSERT INTO Producto_Talla_Color (Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color)"
        " SELECT Pr_Cve_Producto, 'T1', 'R1' FROM Producto;"
        // Available control 1 and 2, and an average cost for P1 only.
        "INSERT INTO Existencia (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color,"
        " Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, Ex_Costo_Promedio) VALUES"
        " ('S1', 'A1', 'P1', 'T1', 'R1', 100, 50, 8.5), ('S1', 'A1', 'L1', 'T1', 'R1', 30, 0, 0),"
        " ('S1', 'A1', 'SR', 'T1', 'R1', 5, 2.5, 0);"
        "INSERT INTO Existencia_Kit (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color,"
        " Ek_Cantidad) VALUES ('S1', 'A1', 'K1', 'T1', 'R1', 10);"
        "INSERT INTO Lote (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, Lt_Cve_Lote,"
        " Lt_Fecha_Caducidad, Lt_Cantidad) VALUES ('S1', 'A1', 'L1', 'T1', 'R1', 'LT-A', '2026-06-01 00:00:00', 10),"
        " ('S1', 'A1', 'L1', 'T1', 'R1', 'LT-B', '2026-05-01 00:00:00', 4),"
        " ('S1', 'A1', 'L1', 'T1', 'R1', 'LT-C', '2026-04-01 00:00:00', 1);"
        "INSERT INTO Serie (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, Sr_Cve_Serie)"
        " VALUES ('S1', 'A1', 'SR', 'T1', 'R1', 'SN-1');"
        "INSERT INTO Parametro (Pa_Nombre, Pa_Valor) VALUES ('GEN_LOTE_AUTOMATICO', '1');");
    DiscardModuleState();
    InstallServiceFactory(factory_);
  }
  void TearDown() override {
    DiscardModuleState();
    InstallServiceFactory(nullptr);
  }

  // Starts a layaway for S1/C1 dated 2026-03-10 09:05:07, 10 % global discount.
  static void Begin(Apartado& layaway, const std::string& warehouse) {
    layaway.Nuevo();
    tApEncabezado h;
    h.Ap_Fecha = MakeDate(2026, 3, 10, 9, 5, 7);
    h.Ap_Fecha_Entrega = MakeDate(2026, 4, 1, 18, 0);
    h.Ap_Tabla = "PEDIDO";
    h.Ap_Documento = "D-7";
    h.Ap_Referencia = "REF";
    h.Ap_Comentario = "Almacén de prueba";
    h.Mn_Cve_Moneda = "MXN";
    h.Ap_Tipo_Cambio = 1;
    h.Ap_Descuento_Global_Factor = 0.1;
    h.Sucursal.Sc_Cve_Sucursal = "S1";
    h.Almacen.Al_Cve_Almacen = warehouse;
    h.Vendedor.Vn_Cve_Vendedor = "V1";
    h.Cliente.Cl_Cve_Cliente = "C1";
    h.Ap_Condicion_Venta = "CONT";
    layaway.Encabezado(h);
  }
  // A line at size T1, colour R1 and a list price of 100.
  static tApDetalle Line(const std::string& product, double quantity, const std::string& unit = "PZA") {
    tApDetalle d;
    d.Producto.Pr_Cve_Producto = product;
    d.Tl_Cve_Talla = "T1";
    d.Cl_Cve_Color = "R1";
    d.Ap_Cantidad_1 = quantity;
    d.Ap_Unidad_1 = unit;
    d.Ap_Precio_Lista = 100;
    return d;
  }
  // Assigns and adds a line; true when both went through.
  bool Add(Apartado& layaway, const tApDetalle& line) {
    const std::size_t reports = reported_.size();
    layaway.Detalle(line);
    EXPECT_EQ(reported_.size(), reports) << reported_.back().message;
    return layaway.Add_Apartado_Detalle() == kTrue;
  }
  // A product's stock row in A1: available control 1 and 2, reserved
  // control 1 and 2, then who changed it last and when ("just now" within a
  // minute of the suite's current date). A kit's row has one quantity each.
  std::string Stock(const std::string& product) {
    const std::string row = Rows(product == "K1" ? "SELECT Ek_Cantidad, Ek_Cantidad_Apartado, Oper_Ult_Modif, "
                                                   "Fecha_Ult_Modif FROM Existencia_Kit WHERE Pr_Cve_Producto = :p1"
                                                 : "SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, "
                                                   "Ex_Cantidad_Apartado_Control_1, Ex_Cantidad_Apartado_Control_2, "
                                                   "Oper_Ult_Modif, Fecha_Ult_Modif FROM Existencia WHERE "
                                                   "Pr_Cve_Producto = :p1",
                                 {Text(product)});
    const std::size_t when = row.rfind('|') + 1;
    const Date changed = ParseDateTime(row.substr(when, 19));
    return std::fabs(Publico().CatalogServices->GetCurrentDate() - changed) * 86400 < 60
               ? row.substr(0, when) + "just now"
               : row;
  }
};

TEST_P(LayawayOnDatabase, CaptureStoresAndReservesPlainProductsAndAKit) {
  Apartado layaway;
  Begin(layaway, "A1");
  tApDetalle first = Line("P1", 2);
  first.Ap_Concepto = "Camisa";
  first.Ap_Cantidad_Control_2 = 1;
  first.Ap_Descuento_Factor = 0.25;
  ASSERT_TRUE(Add(layaway, first)) << layaway.Error();
  ASSERT_TRUE(Add(layaway, Line("P1", 1, "CJA"))) << layaway.Error();  // a box of twelve
  ASSERT_TRUE(Add(layaway, Line("K1", 3))) << layaway.Error();
  EXPECT_EQ(layaway.Encabezado().Ap_Folio, "0000000001");

  // 2 x 100 less 25 % is 150; the global 10 % takes 15; tax is 16 % of 135.
  // The cost is the stock row's average cost; dates come back as dates, and
  // the state and the operator are the database's and the suite's.
  EXPECT_EQ(Rows("SELECT Ap_Fecha, Ap_Fecha_Entrega, Ap_Unidad_Control_2, Ap_Costo, Ap_Costo_Importe, "
                 "Ap_Descuento_Global_Importe, Ap_Impuesto_Importe, Ap_Precio_Neto_Importe, Lt_Fecha_Caducidad, "
                 "Oper_Alta, Es_Cve_Estado FROM Apartado WHERE Ap_ID = '0001'"),
            "2026-03-10 09:05:07|2026-04-01 18:00:00|KG|8.5|17|15|21.6|156.6|1899-12-30 00:00:00|OPER1|AC\n");
  EXPECT_EQ(Stock("P1"), "86|49|14|1|OPER1|just now");
  EXPECT_EQ(Stock("K1"), "7|3|OPER1|just now");
  EXPECT_EQ(Count("Apartado"), 3);
}

TEST_P(LayawayOnDatabase, WholeLifeCaptureReceivableFinalizeCancelAndNoSecondCancellation) {
  Apartado layaway;
  Begin(layaway, "A1");
  tApDetalle kit = Line("K1", 2);
  kit.Ap_Precio_Lista = 50;
  ASSERT_TRUE(Add(layaway, Line("P1", 3))) << layaway.Error();
  ASSERT_TRUE(Add(layaway, kit)) << layaway.Error();
  const std::string folio = layaway.Encabezado().Ap_Folio;

  // 300 + 100 less the global 10 %, 16 % tax, due 30 days after the layaway
  // at its time of day.
  ASSERT_EQ(layaway.Genera_Cuenta_x_Cobrar_Apartado(folio), kTrue) << layaway.Error();
  EXPECT_EQ(Rows("SELECT Cxc_Tabla, Cxc_Documento, Cxc_Subtotal, Cxc_Impuesto, Cxc_Total, Cxc_Fecha, "
                 "Cxc_Fecha_Vencimiento, Cl_Cve_Cliente, Mn_Cve_Moneda, Cxc_Referencia, Cxc_Comentario, "
                 "Es_Cve_Estado FROM Cuenta_X_Cobrar"),
            "APARTADO|" + folio +
                "|360|57.6|417.6|2026-03-10 09:05:07|2026-04-09 09:05:07|C1|MXN|REF|Almacén de prueba|AC\n");

  ASSERT_EQ(layaway.Finalizar_Apartado(folio), kTrue) << layaway.Error();
  ASSERT_EQ(layaway.Cancelar_Apartado(folio), kTrue) << layaway.Error();
  EXPECT_EQ(Stock("P1"), "100|50|0|0|OPER1|just now");
  EXPECT_EQ(Stock("K1"), "10|0|OPER1|just now");
  EXPECT_EQ(Rows("SELECT Es_Cve_Estado FROM Cuenta_X_Cobrar"), "CA\n");
  EXPECT_EQ(Rows("SELECT DISTINCT Es_Cve_Estado FROM Apartado"), "CA\n");
  EXPECT_EQ(Rows("SELECT Nd_Texto FROM Notificacion_Documento WHERE Nd_Tipo_Documento = 'APARTADO' AND "
                 "Nd_Folio = :p1",
                 {Text(folio)}),
            "\n\n");

  // Once cancelled: refused, and nothing moves or is written again.
  EXPECT_EQ(layaway.Cancelar_Apartado(folio), kFalse);
  EXPECT_EQ(Count("Historial_Seguimiento") + Count("Notificacion_Documento") + Count("Cuenta_X_Cobrar"), 5);
}

// Stock quantities are kept exact to six decimals: the fractions a layaway
// reserves come back to the very values they left, however they are added
// up (0.2 + 0.5 - 0.2 is not 0.5 in binary floating point).
TEST_P(LayawayOnDatabase, FractionsReservedAndReleasedReturnStockToExactlyWhereItWas) {
  // Available, then reserved, control 1 and 2 of P1 in A1, as numbers.
  using Quantities = std::vector<double>;
  auto quantities = [&] {
    Quantities values;
    const TableRecordset row = Db().Query(
        "SELECT Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, Ex_Cantidad_Apartado_Control_1, "
        "Ex_Cantidad_Apartado_Control_2 FROM Existencia WHERE Pr_Cve_Producto = 'P1' AND Al_Cve_Almacen = 'A1'");
    for (const std::string& column : row.Columns()) {
      EXPECT_EQ(row.Field(column).GetKind(), Variant::Kind::Double) << column;
      values.push_back(row.Field(column).ToDouble());
    }
    return values;
  };
  // Compared exactly; a failure shows every digit (0.49999999999999994 is not 0.5).
  auto expectQuantities = [&](const Quantities& expected, const char* when) {
    const Quantities got = quantities();
    std::ostringstream digits;
    digits << std::setprecision(17);
    for (const double value : got) digits << value << ' ';
    EXPECT_EQ(got, expected) << when << ": " << digits.str();
  };
  Apartado layaway;
  Begin(layaway, "A1");
  for (const auto& [one, two] : {std::pair{0.2, 0.1}, std::pair{0.5, 0.2}}) {
    tApDetalle line = Line("P1", one);
    line.Ap_Cantidad_Control_2 = two;
    ASSERT_TRUE(Add(layaway, line)) << layaway.Error();
  }
  expectQuantities({99.3, 49.7, 0.7, 0.3}, "reserved");

  // Released line by line, in the order they were reserved.
  ASSERT_EQ(layaway.Desapartar_Producto("S1", "A1", "P1", "T1", "R1", 0.2, 0.1), kTrue) << layaway.Error();
  expectQuantities({99.5, 49.8, 0.5, 0.2}, "first line released");
  ASSERT_EQ(layaway.Desapartar_Producto("S1", "A1", "P1", "T1", "R1", 0.5, 0.2), kTrue) << layaway.Error();
  expectQuantities({100, 50, 0, 0}, "both released");

  // Reserved again from the stored rows and given back by the cancellation.
  const std::string folio = layaway.Encabezado().Ap_Folio;
  ASSERT_EQ(layaway.Apartar(folio), kTrue) << layaway.Error();
  ASSERT_EQ(layaway.Cancelar_Apartado(folio), kTrue) << layaway.Error();
  expectQuantities({100, 50, 0, 0}, "cancelled");
}

// A cancelled layaway lets go of what it held: its serial number can be
// taken by another layaway, and its lot draw-downs return to the lots they
// came from, once, however often the layaway is cancelled.
TEST_P(LayawayOnDatabase, CancellationFreesTheSerialNumberAndGivesTheLotBackOnce) {
  tApDetalle serial = Line("SR", 1);
  serial.Serie.Sr_Cve_Serie = "SN-1";
  tApDetalle lot = Line("L1", 2.5);
  lot.Lote.Lt_Cve_Lote = "LT-A";
  Apartado first;
  Begin(first, "A1");
  ASSERT_TRUE(Add(first, serial)) << first.Error();
  ASSERT_TRUE(Add(first, lot)) << first.Error();
  const std::string folio = first.Encabezado().Ap_Folio;
  const std::string lots = "SELECT Lt_Cve_Lote, Lt_Cantidad FROM Lote ORDER BY Lt_Cve_Lote";
  const std::string serials = "SELECT Sr_Tipo_Documento, Sr_Folio, Sr_ID FROM Serie";
  ASSERT_EQ(Rows(lots), "LT-A|7.5\nLT-B|4\nLT-C|1\n");

  ASSERT_EQ(first.Cancelar_Apartado(folio), kTrue) << first.Error();
  EXPECT_EQ(Rows(lots), "LT-A|10\nLT-B|4\nLT-C|1\n");
  EXPECT_EQ(Rows(serials), "NULL|NULL|NULL\n");
  EXPECT_EQ(Rows("SELECT La_Folio, La_ID, Lt_Cve_Lote, Es_Cve_Estado FROM Lote_Asignacion"), folio + "|0002|LT-A|CA\n");

  Apartado second;
  Begin(second, "A1");
  ASSERT_TRUE(Add(second, serial)) << second.Error();
  const std::string secondFolio = second.Encabezado().Ap_Folio;
  ASSERT_NE(secondFolio, folio);
  EXPECT_EQ(Rows(serials), "APARTADO|" + secondFolio + "|0001\n");

  // Refused once cancelled; set back to active and cancelled again (its
  // stock left alone), it gives back nothing more and takes no serial
  // number from the layaway that holds it now.
  EXPECT_EQ(first.Cancelar_Apartado(folio), kFalse);
  Db().Command("UPDATE Apartado SET Es_Cve_Estado = 'AC' WHERE Ap_Folio = :p1", {Text(folio)});
  first.Apartar_Productos(kFalse);
  ASSERT_EQ(first.Cancelar_Apartado(folio), kTrue) << first.Error();
  EXPECT_EQ(Rows(lots), "LT-A|10\nLT-B|4\nLT-C|1\n");
  EXPECT_EQ(Rows(serials), "APARTADO|" + secondFolio + "|0001\n");
}

APARTADO_INSTANTIATE_BACKENDS(LayawayOnDatabase);

}  // namespace
}  // namespace apartado::testing
