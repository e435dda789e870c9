// The stock ledger as the commands read it back.
#include "ledger_rows.h"

#include <cmath>

#include "output.h"

namespace apartado::cli::ledger {
namespace {

const std::vector<std::string> kChangeHeaders = {"available-1", "available-2", "reserved-1", "reserved-2"};

}  // namespace

bool SameQuantity(double a, double b) { return std::fabs(a - b) < 0.5e-6; }

double Number(const Variant& value) { return value.IsNull() || value.IsEmpty() ? 0.0 : value.ToDouble(); }

std::string Signed(const Variant& value) {
  const double number = Number(value);
  if (SameQuantity(number, 0)) return "0";
  return (number > 0 ? "+" : "") + VariantToText(Variant::FromDouble(number));
}

std::string Text(const Variant& value) { return value.IsNull() ? "" : value.ToText(); }

const char* const kMovementColumns =
    "Me_ID, Me_Fecha, Me_Tabla, Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
    "Me_Cambio_Control_1, Me_Cambio_Control_2, Me_Cambio_Apartado_Control_1, Me_Cambio_Apartado_Control_2, "
    "Me_Operador, Me_Operacion, Me_Folio";

void PrintMovements(std::ostream& out, TableRecordset rows, const std::string& indent) {
  std::vector<std::vector<std::string>> cells;
  for (; !rows.Eof(); rows.MoveNext()) {
    std::vector<std::string> line = {Text(rows.Field("Me_ID")), VariantToText(rows.Field("Me_Fecha"))};
    std::string row = Text(rows.Field("Me_Tabla")) == "Existencia_Kit" ? "kit " : "";
    for (const std::string& key : kKeys) row += (key == kKeys.front() ? "" : "/") + Text(rows.Field(key));
    line.push_back(row);
    for (const std::string& change : kChanges) line.push_back(Signed(rows.Field(change)));
    for (const char* column : {"Me_Operador", "Me_Operacion", "Me_Folio"}) {
      const std::string text = Text(rows.Field(column));
      line.push_back(text.empty() ? "-" : text);
    }
    cells.push_back(std::move(line));
  }
  std::vector<std::string> headers = {"#", "moment", "stock row"};
  headers.insert(headers.end(), kChangeHeaders.begin(), kChangeHeaders.end());
  headers.insert(headers.end(), {"operator", "operation", "folio"});
  PrintTable(out, headers, cells, indent);
}

}  // namespace apartado::cli::ledger
