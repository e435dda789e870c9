#include <ostream>

#include "commands.h"
#include "output.h"
#include "database_reads.h"
#include "stock_view.h"

namespace apartado::cli {
namespace {

const std::vector<std::string> kKeys = {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla",
                                        "Cl_Cve_Color"};
const std::vector<std::string> kKeyHeaders = {"branch", "warehouse", "product", "size", "colour"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace

void PrintStockTables(std::ostream& out, Database& db, const StockFilter& filter, const std::string& indent) {
  TableRecordset plain = StockRows(db, "Existencia", filter);
  TableRecordset kits = StockRows(db, "Existencia_Kit", filter);
  if (plain.Rows().empty() && kits.Rows().empty()) {
    out << indent << "(no stock rows)\n";
    return;
  }
  if (!plain.Rows().empty()) {
    PrintTable(
        out, Concat(kKeyHeaders, {"available-1", "available-2", "reserved-1", "reserved-2"}),
        SelectedCells(plain, Concat(kKeys, {"Ex_Cantidad_Control_1", "Ex_Cantidad_Control_2",
                                            "Ex_Cantidad_Apartado_Control_1", "Ex_Cantidad_Apartado_Control_2"})),
        indent);
  }
  if (!kits.Rows().empty()) {
    if (!plain.Rows().empty()) out << "\n";
    PrintTable(out, Concat(kKeyHeaders, {"kits available", "kits reserved"}),
               SelectedCells(kits, Concat(kKeys, {"Ek_Cantidad", "Ek_Cantidad_Apartado"})), indent);
  }
}

int ShowCommand(Host& host, const std::string& folio, bool full) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening(true));
  TableRecordset rows = LayawayRows(*db, folio);
  if (host.options.json) {
    PrintJson(host.out, Json{{"rows", RowsToJson(rows)}});
    return kExitOk;
  }
  if (rows.Rows().empty()) {
    host.out << "No stored rows for folio " << folio << ".\n";
    return kExitOk;
  }
  const std::vector<std::vector<std::string>> layaway =
      SelectedCells(rows, {"Ap_Fecha", "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Cl_Cve_Cliente", "Mn_Cve_Moneda"});
  const std::vector<std::string>& first = layaway.front();
  host.out << "Layaway " << folio << ", dated " << first[0] << ": branch " << first[1] << ", warehouse " << first[2]
           << ", customer " << first[3] << ", currency " << first[4] << "; " << rows.Rows().size()
           << (rows.Rows().size() == 1 ? " row" : " rows") << "\n";
  if (full) {
    PrintRecords(host.out, rows);
    return kExitOk;
  }
  PrintTable(
      host.out,
      {"line", "product", "size", "colour", "quantity", "control-1", "control-2", "unit", "net amount", "status"},
      SelectedCells(
          rows, {"Ap_ID", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color", "Ap_Cantidad_1", "Ap_Cantidad_Control_1",
                 "Ap_Cantidad_Control_2", "Ap_Unidad_1", "Ap_Precio_Neto_Importe", "Es_Cve_Estado"}),
      "  ");
  return kExitOk;
}

int StockCommand(Host& host, const StockFilter& filter) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening(true));
  if (!host.options.json) {
    PrintStockTables(host.out, *db, filter);
    return kExitOk;
  }
  Json rows = Json::array();
  for (const char* table : {"Existencia", "Existencia_Kit"}) {
    for (Json& row : RowsToJson(StockRows(*db, table, filter))) {
      Json tagged = {{"Table", table}};
      tagged.update(row);
      rows.push_back(std::move(tagged));
    }
  }
  PrintJson(host.out, Json{{"rows", std::move(rows)}});
  return kExitOk;
}

}  // namespace apartado::cli
