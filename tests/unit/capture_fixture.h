#pragma once
// A catalogue in which every key of the sample layaway exists, the sample
// header and line, a fixture holding one object over the fakes, and a bench
// for the operations on stored layaways.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "support/fakes.h"

namespace apartado {

// Reaches the private steps for states the public operations never produce.
struct ApartadoTestAccess {
  static tApDetalle& Line(Apartado& o) { return o.Line; }
  static std::int16_t& LineCounter(Apartado& o) { return o.LineCounter; }
  static Boolean Inserta_Apartado(Apartado& o) { return o.Inserta_Apartado(); }
};

namespace capture_testing {

using testing::FailureOf;
using testing::Flag;
using testing::Text;

// The description column of every catalogue the line validation checks.
inline const char* const kDescriptions[][2] = {
    {"Moneda", "Mn_Descripcion"},  {"Almacen", "Al_Descripcion"},         {"Vendedor", "Vn_Descripcion"},
    {"Cliente", "Cl_Descripcion"}, {"Condicion_Venta", "Cv_Descripcion"}, {"Producto", "Pr_Descripcion"},
    {"Talla", "Tl_Descripcion"},   {"Color", "Cl_Descripcion"},           {"Unidad", "Un_Descripcion"},
};

// Product P1: type 01, sold and kept in PZA (control 2 in KG, cost in PZA).
inline void ScriptCatalogue(testing::Script& s, testing::FakeConnection& c) {
  for (const auto& [table, column] : kDescriptions) s.Lookup(table, column, "descripcion");
  const char* const product[][2] = {
      {"Pr_Tipo_Producto", "01"},    {"Pr_Tipo_Costeo", "PEPS"}, {"Pr_Unidad_Control_1", "PZA"},
      {"Pr_Unidad_Control_2", "KG"}, {"Pr_Unidad_Costo", "PZA"},
  };
  for (const auto& [column, value] : product) s.Lookup("Producto", column, value);
  // The stock reservation looks the product up before it moves stock.
  c.AnswerAlways("FROM Producto", {"Pr_Cve_Producto", "Pr_Tipo_Producto", "Pr_Descripcion"},
                 {{Text("P1"), Text("01"), Text("Camisa")}});
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
  for (const testing::Call& c : s.Calls())
    texts.push_back(c.operation == "Connection.Execute"
                        ? "Connection.Execute(" + c.args[0].substr(0, c.args[0].find(' ')) + ")"
                        : c.Text());
  return texts;
}

// Public members, so that the cases of a table can arrange the scene.
class CaptureTest : public ::testing::Test, public testing::FakeSuite {
 public:
  CaptureTest() {
    ScriptCatalogue(GetScript(), GetConnection());
    object = std::make_unique<Apartado>();
  }
  // The n-th call of operation from now on fails with description.
  void ThrowSoon(const std::string& operation, const std::string& description, int n = 1) {
    GetScript().ThrowAt(operation, GetScript().Count(operation) + n, description);
  }
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
    for (const std::string& s : GetConnection().Statements())
      if (s.rfind("INSERT", 0) == 0) found.push_back(s);
    return found;
  }

  std::unique_ptr<Apartado> object;
};

// One object over the fakes, for the operations on stored layaways: the
// product and stock rows their statements read answer what the test says.
struct StoredBench : testing::FakeSuite {
  // Every look-up of the product's row answers its type, described as "Camisa roja".
  void Product(const std::string& product, const std::string& type) {
    GetConnection().AnswerAlways("FROM Producto WHERE    Pr_Cve_Producto = '" + product,
                                 {"Pr_Tipo_Producto", "Pr_Descripcion"}, {{Text(type), Text("Camisa roja")}});
  }
  // The next look-up of a plain or kit stock row answers these reserved quantities.
  void Reserved(Variant reserved1, Variant reserved2 = testing::Number(10)) {
    GetConnection().AnswerNext("FROM Existencia WHERE",
                               {"Ex_Cantidad_Apartado_Control_1", "Ex_Cantidad_Apartado_Control_2"},
                               {{reserved1, std::move(reserved2)}});
    GetConnection().AnswerNext("FROM Existencia_Kit WHERE", {"Ek_Cantidad_Apartado"}, {{std::move(reserved1)}});
  }
  int Count(const std::string& operation) { return GetScript().Count(operation); }
  // The statements after the first, which a bench spends leaving an earlier error text behind.
  std::vector<std::string> Statements() {
    return {GetConnection().Statements().begin() + 1, GetConnection().Statements().end()};
  }

  Apartado object;
};

}  // namespace capture_testing
}  // namespace apartado
