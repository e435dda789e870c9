#include <gtest/gtest.h>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "apartado/type_library.h"
#include "support/fakes.h"

namespace apartado {
namespace {

using testing::FakeSuite;

tApEncabezado FullHeader(const std::string& tag) {
  tApEncabezado h;
  h.Ap_Folio = "F-" + tag;
  h.Ap_Fecha = MakeDate(2026, 5, 2, 9, 15);
  h.Ap_Fecha_Entrega = MakeDate(2026, 5, 9);
  h.Ap_Tabla = "PEDIDO";
  h.Ap_Documento = "D-" + tag;
  h.Ap_Referencia = "R-" + tag;
  h.Ap_Comentario = "C-" + tag;
  h.Mn_Cve_Moneda = "MXN";
  h.Ap_Tipo_Cambio = 17.5;
  h.Ap_Descuento_Global_Cuenta_Contable = "GL-" + tag;
  h.Ap_Descuento_Global_Factor = 0.05;
  h.Ap_Descuento_Global_Importe = 12;
  h.Zona.Zn_Cve_Zona = "Z-" + tag;
  h.Sucursal = {"S-" + tag, "SCC", "SCTA", {"sucursal-userdef"}};
  h.Almacen = {"AS-" + tag, "A-" + tag, "ACC", "ACTA", {"almacen-userdef"}};
  h.Cliente.Cl_Cve_Cliente = "CL-" + tag;
  h.Cliente.Cl_Cve_Maestro = "M-" + tag;
  h.Cliente.Cl_Centro_Costo = "CC";
  h.Cliente.Cadena_Comercial.Cc_Cve_Cadena_Comercia = "CAD";
  h.Cliente.UserDef.Data = "cliente-userdef";
  h.Vendedor = {"V-" + tag, "VCC", "VCTA"};
  h.Ap_Sin_Cargo = "SI";
  h.Ap_Condicion_Venta = "CV-" + tag;
  return h;
}

TEST(ApartadoObject, FreshObjectHoldsEmptyRecords) {
  FakeSuite suite;
  Apartado object;
  EXPECT_EQ(object.Encabezado(), tApEncabezado{});
  EXPECT_EQ(object.Detalle(), tApDetalle{});
  EXPECT_EQ(object.Error(), "");
  EXPECT_EQ(object.Apartar_Productos(), kTrue);
}

TEST(ApartadoObject, RecordsCopyNestedMembersAndUserDef) {
  const tApEncabezado original = FullHeader("1");
  tApEncabezado copy = original;
  EXPECT_EQ(copy, original);
  copy.Cliente.UserDef.Data = "changed";
  EXPECT_EQ(original.Cliente.UserDef.Data, "cliente-userdef");
}

TEST(ApartadoObject, EncabezadoCopiesOnlyTheListedMembersAndAsksCapabilities) {
  FakeSuite suite;
  suite.script().Lookup("Sucursal", "Sc_Servidor_Id", "SRV2");
  suite.script().Answer("Warehouse.HandlesSizes", Variant::FromInteger(kTrue));
  Apartado object;
  suite.script().ClearCalls();
  const tApEncabezado given = FullHeader("1");
  object.Encabezado(given);

  EXPECT_EQ(suite.script().CallTexts(),
            (std::vector<std::string>{"Catalog.LookupValue(Sucursal, Sc_Cve_Sucursal, S-1, Sc_Servidor_Id, 0, , , )",
                                      "Warehouse.HandlesSizes(S-1, A-1)", "Warehouse.HandlesColours(S-1, A-1)",
                                      "Warehouse.HandlesLots(S-1, A-1)", "Warehouse.HandlesSeries(S-1, A-1)"}));
  tApEncabezado expected;  // what a fresh object holds, plus the copied members
  expected.Ap_Fecha = given.Ap_Fecha;
  expected.Ap_Fecha_Entrega = given.Ap_Fecha_Entrega;
  expected.Ap_Comentario = given.Ap_Comentario;
  expected.Ap_Referencia = given.Ap_Referencia;
  expected.Ap_Tabla = given.Ap_Tabla;
  expected.Ap_Documento = given.Ap_Documento;
  expected.Mn_Cve_Moneda = given.Mn_Cve_Moneda;
  expected.Ap_Tipo_Cambio = given.Ap_Tipo_Cambio;
  expected.Ap_Descuento_Global_Factor = given.Ap_Descuento_Global_Factor;
  expected.Sucursal.Sc_Cve_Sucursal = "S-1";
  expected.Almacen.Al_Cve_Almacen = "A-1";
  expected.Vendedor.Vn_Cve_Vendedor = "V-1";
  expected.Cliente.Cl_Cve_Cliente = "CL-1";
  expected.Ap_Condicion_Venta = "CV-1";
  EXPECT_EQ(object.Encabezado(), expected);

  // A second assignment before the first line wins for every copied member.
  object.Encabezado(FullHeader("2"));
  EXPECT_EQ(object.Encabezado().Sucursal.Sc_Cve_Sucursal, "S-2");
  EXPECT_EQ(object.Encabezado().Ap_Comentario, "C-2");
  EXPECT_EQ(object.Encabezado().Zona, tApZona{});
  EXPECT_EQ(object.Encabezado().Ap_Sin_Cargo, "");
}

TEST(ApartadoObject, EncabezadoFailurePassesToTheCallerAndKeepsEarlierChanges) {
  FakeSuite suite;
  Apartado object;
  suite.script().ThrowAt("Warehouse.HandlesLots", 1, "warehouse service down");
  try {
    object.Encabezado(FullHeader("1"));
    FAIL() << "the failure should reach the caller";
  } catch (const Failure& f) {
    EXPECT_STREQ(f.what(), "warehouse service down");
  }
  EXPECT_EQ(object.Encabezado().Sucursal.Sc_Cve_Sucursal, "S-1");
  EXPECT_EQ(object.Error(), "");
}

TEST(ApartadoObject, NuevoResetsTheListedMembersOnly) {
  FakeSuite suite;
  suite.script().Answer("Catalog.GetCurrentDate", Variant::FromDate(MakeDate(2026, 7, 1, 10, 0)));
  Apartado object;
  object.Encabezado(FullHeader("1"));
  object.Apartar_Productos(0);
  object.Nuevo();
  const tApEncabezado h = object.Encabezado();
  EXPECT_EQ(h.Ap_Folio, "");
  EXPECT_EQ(h.Ap_Fecha, MakeDate(2026, 7, 1, 10, 0));
  EXPECT_EQ(h.Sucursal.Sc_Cve_Sucursal, "");
  EXPECT_EQ(h.Almacen.Al_Cve_Almacen, "");
  EXPECT_EQ(h.Cliente.Cl_Cve_Cliente, "");
  EXPECT_EQ(h.Ap_Tabla, "");
  EXPECT_EQ(h.Ap_Documento, "");
  EXPECT_EQ(h.Ap_Referencia, "");
  EXPECT_EQ(h.Ap_Comentario, "");
  EXPECT_EQ(h.Ap_Sin_Cargo, "NO");
  // Members Nuevo does not name keep their values.
  EXPECT_EQ(h.Mn_Cve_Moneda, "MXN");
  EXPECT_EQ(h.Vendedor.Vn_Cve_Vendedor, "V-1");
  EXPECT_EQ(h.Ap_Condicion_Venta, "CV-1");
  EXPECT_EQ(h.Ap_Fecha_Entrega, MakeDate(2026, 5, 9));
  EXPECT_EQ(object.Apartar_Productos(), kTrue);
}

TEST(ApartadoObject, ApartarProductosStoresTheValueUnchanged) {
  FakeSuite suite;
  Apartado object;
  object.Apartar_Productos(1);
  EXPECT_EQ(object.Apartar_Productos(), 1);
  object.Apartar_Productos(0);
  EXPECT_EQ(object.Apartar_Productos(), 0);
}

TEST(ApartadoObject, NuevoFailurePassesToTheCaller) {
  FakeSuite suite;
  Apartado object;
  suite.script().ThrowAt("Catalog.GetCurrentDate", 1, "no clock");
  EXPECT_THROW(object.Nuevo(), Failure);
}

TEST(TypeLibrary, PublishesTheInterfaceInSlotOrder) {
  const TypeLibrary& library = PublishedTypeLibrary();
  EXPECT_EQ(library.Name, "apartadoQZL");
  EXPECT_EQ(library.HelpString, "Quenzal - Apartados");
  EXPECT_EQ(library.MajorVersion * 10 + library.MinorVersion, 12);
  EXPECT_EQ(library.InterfaceName, "_Apartado");
  ASSERT_EQ(library.Members.size(), 15u);
  EXPECT_EQ(library.Members.front().Name, "Desapartar_Producto");
  EXPECT_EQ(library.Members.front().DispatchId, 0x60030004u);
  EXPECT_EQ(library.Members.back().Name, "Finalizar_Apartado");
  EXPECT_EQ(library.Members.back().DispatchId, 0x60030013u);
}

}  // namespace
}  // namespace apartado
