#include "demo_catalogue.h"

#include "apartado/date.h"

namespace apartado::cli::demo {

Json Catalogue() {
  return Json::parse(R"json({
  "Sucursal": [{"Sc_Cve_Sucursal": "01", "Sc_Descripcion": "Tienda Centro"}],
  "Almacen": [{"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Al_Descripcion": "Bodega principal",
               "Al_Maneja_Tallas": 0, "Al_Maneja_Colores": 0, "Al_Maneja_Lotes": 1, "Al_Maneja_Series": 0}],
  "Moneda": [{"Mn_Cve_Moneda": "MXN", "Mn_Descripcion": "Peso mexicano"}],
  "Vendedor": [{"Vn_Cve_Vendedor": "V01", "Vn_Descripcion": "Ana López"}],
  "Cliente": [{"Cl_Cve_Cliente": "C001", "Cl_Descripcion": "Mueblería Hernández", "Cl_Tipo_Cuenta": "CR",
               "Cl_Dias_Credito": 30, "Cl_Limite_Credito": 50000}],
  "Condicion_Venta": [{"Cv_Cve_Condicion_Venta": "AP30", "Cv_Descripcion": "Apartado a 30 días"}],
  "Unidad": [{"Un_Cve_Unidad": "PZA", "Un_Descripcion": "Pieza"}],
  "Talla": [{"Tl_Cve_Talla": "00", "Tl_Descripcion": "Sin talla"}],
  "Color": [{"Cl_Cve_Color": "00", "Cl_Descripcion": "Sin color"}],
  "Producto": [
    {"Pr_Cve_Producto": "P100", "Pr_Descripcion": "Silla de madera", "Pr_Tipo_Producto": "01",
     "Pr_Tipo_Costeo": "PROMEDIO", "Pr_Unidad_Control_1": "PZA", "Pr_Unidad_Control_2": "PZA",
     "Pr_Unidad_Costo": "PZA", "Pr_Costo": 450, "Pr_Tasa_Impuesto": 0.16},
    {"Pr_Cve_Producto": "K200", "Pr_Descripcion": "Juego de comedor (kit)", "Pr_Tipo_Producto": "04",
     "Pr_Tipo_Costeo": "PROMEDIO", "Pr_Unidad_Control_1": "PZA", "Pr_Unidad_Control_2": "PZA",
     "Pr_Unidad_Costo": "PZA", "Pr_Costo": 5200, "Pr_Tasa_Impuesto": 0.16},
    {"Pr_Cve_Producto": "L300", "Pr_Descripcion": "Barniz para madera 1 L", "Pr_Tipo_Producto": "02",
     "Pr_Tipo_Costeo": "PROMEDIO", "Pr_Unidad_Control_1": "PZA", "Pr_Unidad_Control_2": "PZA",
     "Pr_Unidad_Costo": "PZA", "Pr_Costo": 95, "Pr_Tasa_Impuesto": 0.16}],
  "Existencia": [
    {"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "P100", "Tl_Cve_Talla": "00",
     "Cl_Cve_Color": "00", "Ex_Cantidad_Control_1": 12, "Ex_Cantidad_Control_2": 12,
     "Ex_Cantidad_Apartado_Control_1": 0, "Ex_Cantidad_Apartado_Control_2": 0, "Ex_Costo_Promedio": 450},
    {"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "L300", "Tl_Cve_Talla": "00",
     "Cl_Cve_Color": "00", "Ex_Cantidad_Control_1": 40, "Ex_Cantidad_Control_2": 40,
     "Ex_Cantidad_Apartado_Control_1": 0, "Ex_Cantidad_Apartado_Control_2": 0, "Ex_Costo_Promedio": 95}],
  "Existencia_Kit": [
    {"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "K200", "Tl_Cve_Talla": "00",
     "Cl_Cve_Color": "00", "Ek_Cantidad": 3, "Ek_Cantidad_Apartado": 0}],
  "Lote": [
    {"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "L300", "Tl_Cve_Talla": "00",
     "Cl_Cve_Color": "00", "Lt_Cve_Lote": "B-2026-01", "Lt_Fecha_Caducidad": "2026-09-30", "Lt_Cantidad": 15},
    {"Sc_Cve_Sucursal": "01", "Al_Cve_Almacen": "01", "Pr_Cve_Producto": "L300", "Tl_Cve_Talla": "00",
     "Cl_Cve_Color": "00", "Lt_Cve_Lote": "B-2027-03", "Lt_Fecha_Caducidad": "2027-03-31", "Lt_Cantidad": 25}]
})json");
}

void FillHeader(tApEncabezado& header) {
  header.Sucursal.Sc_Cve_Sucursal = kBranch;
  header.Almacen.Al_Cve_Almacen = kWarehouse;
  header.Cliente.Cl_Cve_Cliente = kCustomer;
  header.Vendedor.Vn_Cve_Vendedor = "V01";
  header.Mn_Cve_Moneda = "MXN";
  header.Ap_Tipo_Cambio = 1;
  header.Ap_Condicion_Venta = "AP30";
  header.Ap_Referencia = "DEMO";
  header.Ap_Comentario = "Apartado de demostración";
  header.Ap_Fecha_Entrega = AddDays(header.Ap_Fecha, 30);
}

std::vector<tApDetalle> Lines() {
  auto line = [](const char* product, double quantity, double listPrice) {
    tApDetalle d;
    d.Producto.Pr_Cve_Producto = product;
    d.Ap_Cantidad_1 = quantity;
    d.Ap_Unidad_1 = "PZA";
    d.Ap_Cantidad_Control_2 = quantity;
    d.Ap_Precio_Lista = listPrice;
    return d;
  };
  std::vector<tApDetalle> lines = {line("P100", 4, 899), line("K200", 1, 9999), line("L300", 6, 189)};
  lines[1].Ap_Cantidad_Control_2 = 0;  // a kit counts in one unit only
  lines[2].Lote.Lt_Cve_Lote = "B-2026-01";
  return lines;
}

}  // namespace apartado::cli::demo
