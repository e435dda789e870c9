// ledger: the stock movements the schema's triggers record, oldest first.
#include "commands.h"
#include "ledger_rows.h"
#include "output.h"
#include "database_reads.h"

namespace apartado::cli {

using namespace ledger;

int LedgerCommand(Host& host, const LedgerFilter& filter) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening(true));
  std::string sql = std::string("SELECT ") + kMovementColumns + " FROM Movimiento_Existencia";
  std::vector<Variant> params;
  if (!filter.folio.empty()) {
    sql += " WHERE Me_Folio = :p1";
    params.push_back(Variant::FromText(filter.folio));
  } else if (!filter.product.empty()) {
    sql += " WHERE Pr_Cve_Producto = :p1";
    params.push_back(Variant::FromText(filter.product));
  }
  TableRecordset rows = WithSchemaNames(db->Query(sql + " ORDER BY Me_ID", params));
  if (host.options.json) {
    PrintJson(host.out, Json{{"movements", RowsToJson(rows)}});
    return kExitOk;
  }
  if (rows.Rows().empty()) {
    host.out << "(no movements)\n";
    return kExitOk;
  }
  PrintMovements(host.out, rows, "");
  return kExitOk;
}

}  // namespace apartado::cli
