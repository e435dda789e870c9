#pragma once
// Rows the fake connection answers for the stock and whole-layaway tests.
#include <string>
#include <vector>

#include "apartado/variant.h"
#include "support/fakes.h"

namespace apartado::testing {

inline Variant Text(std::string s) { return Variant::FromText(std::move(s)); }
inline Variant Number(double d) { return Variant::FromDouble(d); }

// The columns of an Apartado row the walks read, plus the header branch, which
// they must not use.
inline const std::vector<std::string> kLineColumns = {
    "Ap_Folio",     "Sc_Cve_Sucursal",       "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario", "Pr_Cve_Producto",
    "Tl_Cve_Talla", "Cl_Cve_Color",          "Ap_Cantidad_Control_1",  "Ap_Cantidad_Control_2"};

// A stored line of folio F1 in branch S1, warehouse A1, size T1, colour C1.
inline std::vector<Variant> LineRow(const std::string& product, Variant quantity1, Variant quantity2) {
  return {Text("F1"), Text("HEADER"), Text("S1"), Text("A1"), Text(product), Text("T1"), Text("C1"),
          std::move(quantity1), std::move(quantity2)};
}

// The product look-up of `product` answers one row.
inline void AnswerProduct(FakeConnection& connection, const std::string& product, const std::string& type,
                          const std::string& description = "Camisa roja") {
  connection.AnswerAlways("FROM Producto WHERE    Pr_Cve_Producto = '" + product + "'",
                          {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"},
                          {{Text(product), Text(type), Text(description)}});
}

}  // namespace apartado::testing
