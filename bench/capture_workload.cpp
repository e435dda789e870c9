// The workload the capture benchmark runs: a small catalogue, stored
// layaways of other folios, and layaways of ten lines captured through the
// component.
#include "capture_workload.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "apartado/failure.h"
#include "apartado/operation_scope.h"
#include "apartado/suite.h"

namespace apartado::bench {
namespace {

using Clock = std::chrono::steady_clock;

std::string ProductKey(int i) {
  std::string key = "P";  // appended, not "P" + ...: g++ 12 -O3 warns falsely (-Wrestrict) on the latter
  key += std::to_string(100 + i);
  return key;
}

tApDetalle LineNumber(int n, const ProductRange& products) {
  tApDetalle d;
  d.Producto.Pr_Cve_Producto = ProductKey(products.first + n % products.count);
  d.Tl_Cve_Talla = "00";
  d.Cl_Cve_Color = "00";
  d.Ap_Cantidad_1 = 2;
  d.Ap_Unidad_1 = "PZA";
  d.Ap_Cantidad_Control_2 = 2;
  d.Ap_Precio_Lista = 100;
  return d;
}

// One layaway of lines first .. first + count - 1.
void CaptureLayaway(Apartado& layaway, int first, int count, Mode mode, const ProductRange& products) {
  std::vector<tApDetalle> lines;
  for (int n = first; n < first + count; ++n) lines.push_back(LineNumber(n, products));
  Operations operations(layaway);
  auto work = [&] {
    layaway.Nuevo();
    tApEncabezado h = layaway.Encabezado();
    h.Sucursal.Sc_Cve_Sucursal = "01";
    h.Almacen.Al_Cve_Almacen = "A1";
    h.Cliente.Cl_Cve_Cliente = "C1";
    h.Vendedor.Vn_Cve_Vendedor = "V1";
    h.Mn_Cve_Moneda = "MXN";
    h.Ap_Tipo_Cambio = 1;
    h.Ap_Condicion_Venta = "CONT";
    layaway.Encabezado(h);
    // As the command-line host does: the stock rows first, in one order.
    if (mode == Mode::PerLayaway) operations.HoldStock(StockRowsOf(layaway.Encabezado(), lines));
    for (const tApDetalle& line : lines) {
      Boolean added;
      if (mode == Mode::Autocommit) {
        layaway.Detalle(line);
        added = layaway.Add_Apartado_Detalle();
      } else {
        OperationScope scope(layaway);
        layaway.Detalle(line);
        added = scope.Finish(layaway.Add_Apartado_Detalle());
      }
      if (!IsTrue(added)) throw Failure("capture refused a line: " + layaway.Error());
    }
    return kTrue;
  };
  if (mode == Mode::Autocommit) {
    work();
  } else {
    operations.Group(work);
  }
}

}  // namespace

void LoadCatalogue(Database& db, int products) {
  suite::CreateSchema(db);
  Transaction tx(db);
  auto text = [](const std::string& s) { return Variant::FromText(s); };
  auto number = [](double d) { return Variant::FromDouble(d); };
  db.Command("INSERT INTO Sucursal (Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id) VALUES (:p1, :p2, :p3)",
             {text("01"), text("Matriz"), text("")});
  db.Command(
      "INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, Al_Maneja_Colores, "
      "Al_Maneja_Lotes, Al_Maneja_Series) VALUES (:p1, :p2, :p3, 0, 0, 0, 0)",
      {text("01"), text("A1"), text("General")});
  db.Command("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES (:p1, :p2)", {text("MXN"), text("Peso")});
  db.Command("INSERT INTO Vendedor (Vn_Cve_Vendedor, Vn_Descripcion) VALUES (:p1, :p2)", {text("V1"), text("Ana")});
  db.Command("INSERT INTO Cliente (Cl_Cve_Cliente, Cl_Descripcion, Cl_Dias_Credito) VALUES (:p1, :p2, 30)",
             {text("C1"), text("Cliente uno")});
  db.Command("INSERT INTO Condicion_Venta (Cv_Cve_Condicion_Venta, Cv_Descripcion) VALUES (:p1, :p2)",
             {text("CONT"), text("Contado")});
  db.Command("INSERT INTO Talla (Tl_Cve_Talla, Tl_Descripcion) VALUES (:p1, :p2)", {text("00"), text("Sin talla")});
  db.Command("INSERT INTO Color (Cl_Cve_Color, Cl_Descripcion) VALUES (:p1, :p2)", {text("00"), text("Sin color")});
  db.Command("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES (:p1, :p2)", {text("PZA"), text("Pieza")});
  for (int i = 0; i < products; ++i) {
    db.Command(
        "INSERT INTO Producto (Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, Pr_Tipo_Costeo, "
        "Pr_Unidad_Control_1, Pr_Unidad_Control_2, Pr_Unidad_Costo, Pr_Costo, Pr_Tasa_Impuesto) "
        "VALUES (:p1, :p2, '01', 'PROM', 'PZA', 'PZA', 'PZA', :p3, 0.16)",
        {text(ProductKey(i)), text("Producto " + std::to_string(i)), number(10 + i)});
    db.Command(
        "INSERT INTO Existencia (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
        "Ex_Cantidad_Control_1, Ex_Cantidad_Control_2) VALUES ('01', 'A1', :p1, '00', '00', 1e12, 1e12)",
        {text(ProductKey(i))});
  }
  tx.Commit();
}

void Prefill(Database& db, long rows) {
  Transaction tx(db);
  for (long r = 0; r < rows; ++r) {
    std::string folio = "H";  // appended, not "H" + ...: g++ 12 -O2 warns falsely (-Wrestrict) on the latter
    folio += std::to_string(r / kLinesPerLayaway);
    char id[8];
    std::snprintf(id, sizeof id, "%04ld", r % kLinesPerLayaway + 1);
    db.Command(
        "INSERT INTO Apartado (Ap_Folio, Ap_ID, Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Cl_Cve_Cliente, "
        "Ap_Cantidad_1, Ap_Precio_Neto_Importe, Ap_Fecha) VALUES (:p1, :p2, '01', 'A1', :p3, 'C1', 1, 116, "
        "'2025-01-01 10:00:00')",
        {Variant::FromText(folio), Variant::FromText(id),
         Variant::FromText(ProductKey(static_cast<int>(r % kProducts)))});
  }
  tx.Commit();
}

const char* ModeName(Mode mode) { return mode == Mode::Autocommit ? "autocommit" : "per layaway"; }

double CaptureLines(Apartado& layaway, int lines, Mode mode, ProductRange products) {
  const auto start = Clock::now();
  for (int done = 0; done < lines; done += kLinesPerLayaway)
    CaptureLayaway(layaway, done, std::min(kLinesPerLayaway, lines - done), mode, products);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace apartado::bench
