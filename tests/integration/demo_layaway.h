#pragma once
// Layaways for the demo catalogue (branch 01, warehouse 01, seller V01,
// customer C001, terms AP30) in the JSON the command-line host reads.
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace apartado::testing::demo {

using nlohmann::json;

// quantity pieces of product, as many in control unit 2; extra is merged over it.
inline json Line(const std::string& product, double quantity, const json& extra = json::object()) {
  json line = {{"Producto", {{"Pr_Cve_Producto", product}}},
               {"Ap_Cantidad_1", quantity},
               {"Ap_Unidad_1", "PZA"},
               {"Ap_Cantidad_Control_2", quantity}};
  line.update(extra, true);
  return line;
}

// One chair (P100), extra merged over it.
inline json Chair(const json& extra = json::object()) { return Line("P100", 1, extra); }

// The lines under the demo header, header merged over it.
inline json Layaway(const std::vector<json>& lines = {Chair()}, const json& header = json::object()) {
  json layaway = {{"Encabezado",
                   {{"Mn_Cve_Moneda", "MXN"},
                    {"Ap_Tipo_Cambio", 1},
                    {"Sucursal", {{"Sc_Cve_Sucursal", "01"}}},
                    {"Almacen", {{"Al_Cve_Almacen", "01"}}},
                    {"Cliente", {{"Cl_Cve_Cliente", "C001"}}},
                    {"Vendedor", {{"Vn_Cve_Vendedor", "V01"}}},
                    {"Ap_Condicion_Venta", "AP30"}}},
                  {"Detalles", lines}};
  layaway["Encabezado"].update(header, true);
  return layaway;
}

// The lines under the header of docs/examples/shop.json's customer C1, seller
// V1 and terms CONTADO (its branch, warehouse and currency are the demo's).
inline json ShopLayaway(const std::vector<json>& lines) {
  return Layaway(lines, {{"Cliente", {{"Cl_Cve_Cliente", "C1"}}},
                         {"Vendedor", {{"Vn_Cve_Vendedor", "V1"}}},
                         {"Ap_Condicion_Venta", "CONTADO"}});
}

// A layaway stored without reserving its stock.
inline json Unreserved(json layaway) {
  layaway["Apartar_Productos"] = false;
  return layaway;
}

}  // namespace apartado::testing::demo
