#pragma once
// A catalogue in which every key of the sample layaway exists, the sample
// header and line, and a fixture holding one object over the fakes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "support/fakes.h"

namespace apartado {

// Reaches the private steps for states the public operations never produce.
struct ApartadoTestAccess {
  static tApDetalle& Line(Apartado& o) { return o.Line; }
  static std::int16_t& LineCounter(Apartado& o) { return o.LineCounter; }
  static Boolean Inserta_Apartado(Apartado& o) { return o.Inserta_Apartado(); }
};

namespace capture_testing {

inline Variant Txt(std::string s) { return Variant::FromText(std::move(s)); }

// Product P1: type 01, sold and kept in PZA (control 2 in KG, cost in PZA).
inline void ScriptCatalogue(testing::Script& s, testing::FakeConnection& c) {
  for (const auto& [table, column] :
       std::vector<std::pair<std::string, std::string>>{{"Moneda", "Mn_Descripcion"},
                                                        {"Almacen", "Al_Descripcion"},
                                                        {"Vendedor", "Vn_Descripcion"},
                                                        {"Cliente", "Cl_Descripcion"},
                                                        {"Condicion_Venta", "Cv_Descripcion"},
                                                        {"Producto", "Pr_Descripcion"},
                                                        {"Talla", "Tl_Descripcion"},
                                                        {"Color", "Cl_Descripcion"},
                                                        {"Unidad", "Un_Descripcion"}})
    s.Lookup(table, column, "descripcion");
  s.Lookup("Producto", "Pr_Tipo_Producto", "01");
  s.Lookup("Producto", "Pr_Tipo_Costeo", "PEPS");
  s.Lookup("Producto", "Pr_Unidad_Control_1", "PZA");
  s.Lookup("Producto", "Pr_Unidad_Control_2", "KG");
  s.Lookup("Producto", "Pr_Unidad_Costo", "PZA");
  // The stock reservation looks the product up before it moves stock.
  c.AnswerAlways("FROM Producto", {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"},
                 {{Txt("P1"), Txt("01"), Txt("Camisa")}});
}

inline tApEncabezado SampleHeader() {
  tApEncabezado h;
  h.Ap_Fecha = MakeDate(2026, 3, 10, 9, 5, 7);
  h.Ap_Fecha_Entrega = MakeDate(2026, 4, 1);
  h.Ap_Tabla = "PEDIDO";
  h.Ap_Documento = "D-7";
  h.Ap_Referencia = "REF";
  h.Ap_Comentario = "sin prisa";
  h.Mn_Cve_Moneda = "MXN";
  h.Ap_Tipo_Cambio = 1;
  h.Sucursal.Sc_Cve_Sucursal = "S1";
  h.Almacen.Al_Cve_Almacen = "W1";
  h.Vendedor.Vn_Cve_Vendedor = "V1";
  h.Cliente.Cl_Cve_Cliente = "C1";
  h.Ap_Condicion_Venta = "CONT";
  return h;
}

inline tApDetalle SampleLine(double quantity = 2) {
  tApDetalle d;
  d.Producto.Pr_Cve_Producto = "P1";
  d.Tl_Cve_Talla = "T1";
  d.Cl_Cve_Color = "R1";
  d.Ap_Cantidad_1 = quantity;
  d.Ap_Unidad_1 = "PZA";
  d.Ap_Cantidad_Control_2 = 0.5;
  d.Ap_Precio_Lista = 100;
  return d;
}

// The call log with each statement shortened to its first word, so that the
// order of calls can be compared without restating whole statements.
inline std::vector<std::string> ShortCalls(const testing::Script& s) {
  std::vector<std::string> texts;
  for (const testing::Call& c : s.Calls()) {
    if (c.operation == "Connection.Execute")
      texts.push_back("Connection.Execute(" + c.args[0].substr(0, c.args[0].find(' ')) + ")");
    else
      texts.push_back(c.Text());
  }
  return texts;
}

// The calls whose whole text starts with prefix, e.g. "Catalog.LookupValue(Talla".
inline std::vector<std::string> CallsStartingWith(const testing::Script& s, const std::string& prefix) {
  std::vector<std::string> texts;
  for (const testing::Call& c : s.Calls())
    if (std::string text = c.Text(); text.rfind(prefix, 0) == 0) texts.push_back(std::move(text));
  return texts;
}

class CaptureTest : public ::testing::Test {
 protected:
  CaptureTest() {
    ScriptCatalogue(script(), connection());
    object = std::make_unique<Apartado>();
  }
  testing::Script& script() { return suite.script(); }
  testing::FakeConnection& connection() { return suite.connection(); }
  // Starts a layaway with the header given.
  void Begin(const tApEncabezado& header = SampleHeader()) {
    object->Nuevo();
    object->Encabezado(header);
  }
  Boolean Add(const tApDetalle& line) {
    object->Detalle(line);
    return object->Add_Apartado_Detalle();
  }
  // The INSERT statements executed so far.
  std::vector<std::string> Inserts() {
    std::vector<std::string> found;
    for (const std::string& s : connection().Statements())
      if (s.rfind("INSERT", 0) == 0) found.push_back(s);
    return found;
  }

  testing::FakeSuite suite;
  std::unique_ptr<Apartado> object;
};

}  // namespace capture_testing
}  // namespace apartado
