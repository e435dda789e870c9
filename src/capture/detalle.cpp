// Assigning a layaway line: the line is taken as given and completed from the
// catalogue, warehouse and tax services. Nothing here reaches the caller: the
// refusals and the failures go to the session's message report.
#include <cmath>
#include <exception>
#include <optional>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "component/publico.h"

namespace apartado {
namespace {

constexpr const char* kDetalleTitle = "ApartadosQZL.dll - Property Let Detalle()";

void Report(const std::string& message, const std::string& errorId) {
  Publico().SessionServices->ReportMessage(message, 16, kDetalleTitle, std::nullopt, "apartadoQZL", errorId);
}

// A product the platform's arithmetic cannot represent fails like it would.
double Multiply(double a, double b) {
  const double product = a * b;
  if (!std::isfinite(product)) throw Failure("Overflow");
  return product;
}

std::string ProductValue(const std::string& product, const char* column) {
  return Publico().CatalogServices->LookupValue("Producto", "Pr_Cve_Producto", product, column, 0, "", "", "");
}

}  // namespace

void Apartado::Detalle(const tApDetalle& value) {
  try {
    if (value.Ap_Cantidad_Control_1 != 0) {
      Report("EL PARAMETRO Ap_Cantidad_Control_1, ES DE SOLO LECTURA!", "ERR-ID:7500001");
      return;
    }
    if (!value.Ap_Unidad_Costo.empty()) {
      Report("EL PARAMETRO Ap_Unidad_Costo, ES DE SOLO LECTURA!", "ERR-ID:7500002");
      return;
    }
    ApplyDetalle(value);
  } catch (const std::exception& failure) {
    try {
      Report(failure.what(), "ERR-ID:7500003");
    } catch (const std::exception&) {
      // The report itself failed: there is nowhere left to say so, and the
      // assignment must still return normally.
    }
  }
}

void Apartado::ApplyDetalle(const tApDetalle& value) {
  ModuleState& m = Publico();
  Line = value;
  if (Line.Ap_Almacen_Inventario.empty()) {
    Line.Ap_Sucursal_Inventario = Header.Sucursal.Sc_Cve_Sucursal;
    Line.Ap_Almacen_Inventario = Header.Almacen.Al_Cve_Almacen;
  }

  // From here on the flags describe the warehouse whose stock the line uses.
  WarehouseServices& warehouse = *m.WarehouseServices;
  HandlesSizes = warehouse.HandlesSizes(Line.Ap_Sucursal_Inventario, Line.Ap_Almacen_Inventario);
  HandlesColours = warehouse.HandlesColours(Line.Ap_Sucursal_Inventario, Line.Ap_Almacen_Inventario);
  HandlesLots = warehouse.HandlesLots(Line.Ap_Sucursal_Inventario, Line.Ap_Almacen_Inventario);
  HandlesSeries = warehouse.HandlesSeries(Line.Ap_Sucursal_Inventario, Line.Ap_Almacen_Inventario);

  const std::string& product = Line.Producto.Pr_Cve_Producto;
  Line.Producto.Pr_Tipo_Producto = ProductValue(product, "Pr_Tipo_Producto");
  Line.Producto.Pr_Tipo_Costeo = ProductValue(product, "Pr_Tipo_Costeo");

  if (!IsNonZero(HandlesSizes)) Line.Tl_Cve_Talla = "00";
  if (!IsNonZero(HandlesColours)) Line.Cl_Cve_Color = "00";
  if (Line.Producto.Pr_Tipo_Producto == "02" && !IsNonZero(HandlesLots)) Line.Lote.Lt_Cve_Lote.clear();
  if (Line.Producto.Pr_Tipo_Producto == "03" && !IsNonZero(HandlesSeries)) Line.Serie.Sr_Cve_Serie.clear();

  Line.Ap_Unidad_Control_1 = ProductValue(product, "Pr_Unidad_Control_1");
  Line.Ap_Unidad_Control_2 = ProductValue(product, "Pr_Unidad_Control_2");
  Line.Ap_Unidad_Costo = ProductValue(product, "Pr_Unidad_Costo");

  if (Line.Ap_Unidad_Control_1 == Line.Ap_Unidad_1) {
    Line.Ap_Cantidad_Control_1 = Line.Ap_Cantidad_1;
  } else {
    const double factor = m.CatalogServices->GetUnitFactor(product, Line.Ap_Unidad_1, Line.Ap_Unidad_Control_1);
    Line.Ap_Cantidad_Control_1 = Multiply(Line.Ap_Cantidad_1, factor);
  }
  // Otherwise the cost quantity is the second control quantity the host gave.
  if (Line.Ap_Unidad_Costo == Line.Ap_Unidad_Control_1)
    Line.Ap_Cantidad_Costo = Line.Ap_Cantidad_Control_1;
  else
    Line.Ap_Cantidad_Costo = Line.Ap_Cantidad_Control_2;

  // The cost is that of the header's warehouse, not the inventory one.
  Line.Ap_Costo = warehouse.GetCost(Header.Sucursal.Sc_Cve_Sucursal, Header.Almacen.Al_Cve_Almacen, product,
                                    Line.Tl_Cve_Talla, Line.Cl_Cve_Color, Line.Ap_Cantidad_Costo, "");
  Line.Ap_Costo_Importe = Multiply(Line.Ap_Costo, Line.Ap_Cantidad_Costo);
  Line.Ap_Impuesto_Factor =
      TaxCalculator->GetTaxFactor(Header.Sucursal.Sc_Cve_Sucursal, Header.Cliente.Cl_Cve_Cliente, product);

  m.CatalogServices->CalculateLineAmounts(
      Line.Ap_Cantidad_1, Line.Ap_Precio_Lista, Line.Ap_Precio_Lista_Importe, Line.Ap_Descuento_Factor,
      Line.Ap_Descuento_Importe, Line.Ap_Precio_Descontado, Line.Ap_Precio_Descontado_Importe,
      Header.Ap_Descuento_Global_Factor, Header.Ap_Descuento_Global_Importe, Line.Ap_Impuesto_Factor,
      Line.Ap_Impuesto_Importe, Line.Ap_Precio_Neto, Line.Ap_Precio_Neto_Importe, m.AmountCalculationMode);
}

}  // namespace apartado
