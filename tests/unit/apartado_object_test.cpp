#include <gtest/gtest.h>

#include "apartado/type_library.h"
#include "capture_fixture.h"

namespace apartado::capture_testing {
namespace {

class ApartadoObject : public ::testing::Test, public testing::FakeSuite {};

TEST_F(ApartadoObject, EncabezadoCopiesTheListedMembersAndNuevoResetsItsOwn) {
  GetScript().Answer("Catalog.GetCurrentDate", Variant::FromDate(MakeDate(2026, 7, 1, 10, 0)));
  Apartado object;
  EXPECT_EQ(object.Encabezado(), tApEncabezado{});
  EXPECT_EQ(object.Detalle(), tApDetalle{});
  EXPECT_EQ(object.Apartar_Productos(), kTrue);
  tApEncabezado copied = SampleHeader();  // every member it sets is copied
  copied.Ap_Descuento_Global_Factor = 0.05;
  tApEncabezado given = copied;  // and these never are
  given.Ap_Folio = "F", given.Ap_Descuento_Global_Cuenta_Contable = "GL", given.Ap_Descuento_Global_Importe = 12;
  given.Zona.Zn_Cve_Zona = "Z", given.Sucursal.Sc_Centro_Costo = "SCC", given.Almacen.Sc_Cve_Sucursal = "AS";
  given.Cliente.Cl_Cve_Maestro = "M", given.Vendedor.Vn_Centro_Costo = "VCC", given.Ap_Sin_Cargo = "SI";
  GetScript().ClearCalls();
  object.Encabezado(given);
  EXPECT_EQ(GetScript().CallTexts(),
            (std::vector<std::string>{"Catalog.LookupValue(Sucursal, Sc_Cve_Sucursal, S1, Sc_Servidor_Id, 0, , , )",
                                      "Warehouse.HandlesSizes(S1, W1)", "Warehouse.HandlesColours(S1, W1)",
                                      "Warehouse.HandlesLots(S1, W1)", "Warehouse.HandlesSeries(S1, W1)"}));
  EXPECT_EQ(object.Encabezado(), copied);
  given.Ap_Comentario = copied.Ap_Comentario = "otro";  // before the first line the last one wins
  object.Encabezado(given);
  EXPECT_EQ(object.Encabezado(), copied);

  object.Apartar_Productos(1);  // stored as given
  EXPECT_EQ(object.Apartar_Productos(), 1);
  object.Nuevo();
  copied.Ap_Fecha = MakeDate(2026, 7, 1, 10, 0);
  copied.Sucursal = {}, copied.Almacen = {}, copied.Cliente = {}, copied.Ap_Sin_Cargo = "NO";
  copied.Ap_Tabla = copied.Ap_Documento = copied.Ap_Referencia = copied.Ap_Comentario = "";
  EXPECT_EQ(object.Encabezado(), copied);
  EXPECT_EQ(object.Apartar_Productos(), kTrue);
}

TEST_F(ApartadoObject, HeaderFailuresReachTheCallerAndKeepEarlierChanges) {
  Apartado object;
  GetScript().ThrowAt("Warehouse.HandlesLots", 1, "warehouse service down");
  EXPECT_EQ(FailureOf([&] { object.Encabezado(SampleHeader()); }), "warehouse service down");
  EXPECT_EQ(object.Encabezado().Sucursal.Sc_Cve_Sucursal, "S1");
}

TEST(TypeLibrary, PublishesTheInterfaceInSlotOrder) {
  const TypeLibrary& library = PublishedTypeLibrary();
  EXPECT_EQ(library.Name, "apartadoQZL");
  EXPECT_EQ(library.HelpString, "Quenzal - Apartados");
  EXPECT_EQ(library.MajorVersion * 10 + library.MinorVersion, 12);
  EXPECT_EQ(library.InterfaceName, "_Apartado");
  ASSERT_EQ(library.Members.size(), 15u);
  EXPECT_EQ(library.Members.front().Name, "Desapartar_Producto");
  EXPECT_EQ(library.Members.back().DispatchId, 0x60030013u);
}

}  // namespace
}  // namespace apartado::capture_testing
