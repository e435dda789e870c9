// check: every stock row reconciled with the ledger and the layaways.
#include <map>
#include <ostream>

#include "commands.h"
#include "ledger_rows.h"
#include "output.h"
#include "database_reads.h"

namespace apartado::cli {
namespace {

using namespace ledger;

std::vector<Variant> KeyValues(TableRecordset& row) {
  std::vector<Variant> values;
  for (const std::string& key : kKeys) values.push_back(row.Field(key));
  return values;
}

// One quantity of a stock row that its movements do not account for: they
// do not add up to it (the ledger misses a change); or, for a reserved
// quantity, the movements of operations do not (something changed it
// outside any operation); or what the layaways not cancelled hold, with what
// operations reserved outside any layaway, does not (a cancelled layaway
// still holds stock nobody will release).
struct Mismatch {
  enum class Against { Ledger, Operations, ActiveLayaways };
  std::string column;
  double recorded = 0;
  double accounted = 0;  // what the movements compared against add up to
  Against against = Against::Ledger;
};

const char* JsonKey(Mismatch::Against against) {
  switch (against) {
    case Mismatch::Against::Ledger:
      return "ledger";
    case Mismatch::Against::Operations:
      return "by_operations";
    case Mismatch::Against::ActiveLayaways:
      return "by_active_layaways";
  }
  return "";
}

// "Ex_Cantidad_Apartado_Control_1 is 2 but the operations' movements reserved 1: +1 changed outside any operation"
std::string Explained(const Mismatch& m) {
  const std::string recorded = VariantToText(Variant::FromDouble(m.recorded));
  const std::string accounted = VariantToText(Variant::FromDouble(m.accounted));
  const std::string difference = Signed(Variant::FromDouble(m.recorded - m.accounted));
  switch (m.against) {
    case Mismatch::Against::Ledger:
      return m.column + " is " + recorded + " but its movements add up to " + accounted + ": " + difference +
             " not in the ledger";
    case Mismatch::Against::Operations:
      return m.column + " is " + recorded + " but the operations' movements reserved " + accounted + ": " +
             difference + " changed outside any operation";
    case Mismatch::Against::ActiveLayaways:
      return m.column + " is " + recorded + " but the layaways not cancelled hold " + accounted + ": " + difference +
             " held by cancelled layaways";
  }
  return "";
}

// A layaway that names a stock row: what its lines there hold and what its
// movements of the row add up to.
struct Holder {
  std::string folio, state;
  double lines1 = 0, lines2 = 0;
  double held1 = 0, held2 = 0;
};

std::vector<Holder> HoldersOf(Database& db, const StockTable& table, const std::vector<Variant>& keys) {
  std::map<std::string, Holder> holders;
  TableRecordset lines = db.Query(
      "SELECT Ap_Folio, MIN(COALESCE(Es_Cve_Estado, '')) AS Estado, SUM(Ap_Cantidad_Control_1) AS Cantidad_1, "
      "SUM(Ap_Cantidad_Control_2) AS Cantidad_2 FROM Apartado WHERE Ap_Sucursal_Inventario = :p1 AND "
      "Ap_Almacen_Inventario = :p2 AND Pr_Cve_Producto = :p3 AND Tl_Cve_Talla = :p4 AND Cl_Cve_Color = :p5 "
      "GROUP BY Ap_Folio",
      keys);
  for (; !lines.Eof(); lines.MoveNext()) {
    Holder& h = holders[Text(lines.Field("Ap_Folio"))];
    h.folio = Text(lines.Field("Ap_Folio"));
    h.state = Text(lines.Field("Estado"));
    h.lines1 = Number(lines.Field("Cantidad_1"));
    h.lines2 = Number(lines.Field("Cantidad_2"));
  }
  std::vector<Variant> params = {Variant::FromText(table.name)};
  params.insert(params.end(), keys.begin(), keys.end());
  TableRecordset moved = db.Query(
      "SELECT Me_Folio, SUM(Me_Cambio_Apartado_Control_1) AS Apartado_1, SUM(Me_Cambio_Apartado_Control_2) AS "
      "Apartado_2 FROM Movimiento_Existencia WHERE Me_Tabla = :p1 AND Sc_Cve_Sucursal = :p2 AND Al_Cve_Almacen = :p3 "
      "AND Pr_Cve_Producto = :p4 AND Tl_Cve_Talla = :p5 AND Cl_Cve_Color = :p6 AND Me_Folio IS NOT NULL "
      "GROUP BY Me_Folio",
      params);
  for (; !moved.Eof(); moved.MoveNext()) {
    Holder& h = holders[Text(moved.Field("Me_Folio"))];
    h.folio = Text(moved.Field("Me_Folio"));
    h.held1 = Number(moved.Field("Apartado_1"));
    h.held2 = Number(moved.Field("Apartado_2"));
  }
  std::vector<Holder> list;
  for (auto& [folio, holder] : holders) {
    // Layaways done with the row (cancelled, nothing held) are left out.
    const bool holds = !SameQuantity(holder.held1, 0) || !SameQuantity(holder.held2, 0);
    if (holder.state == "CA" && !holds) continue;
    list.push_back(holder);
  }
  return list;
}

TableRecordset LatestMovements(Database& db, const StockTable& table, const std::vector<Variant>& keys) {
  std::vector<Variant> params = {Variant::FromText(table.name)};
  params.insert(params.end(), keys.begin(), keys.end());
  // The ten latest, shown oldest first.
  return WithSchemaNames(db.Query(
      std::string("SELECT * FROM (SELECT ") + kMovementColumns +
          " FROM Movimiento_Existencia WHERE Me_Tabla = :p1 AND Sc_Cve_Sucursal = :p2 AND Al_Cve_Almacen = :p3 AND "
          "Pr_Cve_Producto = :p4 AND Tl_Cve_Talla = :p5 AND Cl_Cve_Color = :p6 ORDER BY Me_ID DESC LIMIT 10) m "
          "ORDER BY Me_ID",
      params));
}

// Each stock row of the table with the sums of its movements.
TableRecordset StockWithLedger(Database& db, const StockTable& table) {
  std::string select = "SELECT ", sums;
  for (const std::string& key : kKeys) select += "s." + key + ", ";
  for (std::size_t i = 0; i < kChanges.size(); ++i) {
    if (table.quantities[i].empty()) continue;
    const std::string n = std::to_string(i);
    select += "s." + table.quantities[i] + " AS Registrado_" + n + ", COALESCE(m.Suma_" + n + ", 0) AS Suma_" + n +
              ", COALESCE(m.Operaciones_" + n + ", 0) AS Operaciones_" + n + ", ";
    sums += ", SUM(" + kChanges[i] + ") AS Suma_" + n + ", SUM(CASE WHEN Me_Operacion IS NULL THEN 0 ELSE " +
            kChanges[i] + " END) AS Operaciones_" + n;
    if (!IsReserved(i)) continue;
    select += "COALESCE(m.Activos_" + n + ", 0) AS Activos_" + n + ", ";
    sums += ", SUM(CASE WHEN Me_Operacion IS NULL OR Me_Folio IN (SELECT Ap_Folio FROM Apartado WHERE "
            "Es_Cve_Estado = 'CA') THEN 0 ELSE " +
            kChanges[i] + " END) AS Activos_" + n;
  }
  std::string join;
  for (const std::string& key : kKeys) join += (join.empty() ? "" : " AND ") + ("m." + key + " = s." + key);
  select.resize(select.size() - 2);
  return db.Query(select + " FROM " + table.name + " s LEFT JOIN (SELECT Sc_Cve_Sucursal, Al_Cve_Almacen, " +
                      "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color" + sums +
                      " FROM Movimiento_Existencia WHERE Me_Tabla = :p1 GROUP BY Sc_Cve_Sucursal, Al_Cve_Almacen, "
                      "Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color) m ON " +
                      join +
                      " ORDER BY s.Sc_Cve_Sucursal, s.Al_Cve_Almacen, s.Pr_Cve_Producto, s.Tl_Cve_Talla, "
                      "s.Cl_Cve_Color",
                  {Variant::FromText(table.name)});
}
}  // namespace

int CheckCommand(Host& host) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening(true));
  Json differences = Json::array();
  std::size_t checked = 0;
  for (const StockTable& table : kStockTables) {
    TableRecordset rows = StockWithLedger(*db, table);
    for (; !rows.Eof(); rows.MoveNext()) {
      ++checked;
      std::vector<Mismatch> mismatches;
      for (std::size_t i = 0; i < kChanges.size(); ++i) {
        if (table.quantities[i].empty()) continue;
        const double recorded = Number(rows.Field("Registrado_" + std::to_string(i)));
        const double ledger = Number(rows.Field("Suma_" + std::to_string(i)));
        const double byOperations = Number(rows.Field("Operaciones_" + std::to_string(i)));
        if (!SameQuantity(recorded, ledger)) {
          mismatches.push_back({table.quantities[i], recorded, ledger, Mismatch::Against::Ledger});
        } else if (!IsReserved(i)) {
          continue;
        } else if (!SameQuantity(recorded, byOperations)) {
          mismatches.push_back({table.quantities[i], recorded, byOperations, Mismatch::Against::Operations});
        } else if (const double active = Number(rows.Field("Activos_" + std::to_string(i)));
                   !SameQuantity(recorded, active)) {
          mismatches.push_back({table.quantities[i], recorded, active, Mismatch::Against::ActiveLayaways});
        }
      }
      if (mismatches.empty()) continue;
      const std::vector<Variant> keys = KeyValues(rows);
      std::string name = table.name;
      name += " ";
      for (const Variant& key : keys) name += (&key == &keys.front() ? "" : "/") + Text(key);
      const std::vector<Holder> holders = HoldersOf(*db, table, keys);
      TableRecordset movements = LatestMovements(*db, table, keys);

      Json difference = {{"Table", table.name}};
      for (std::size_t k = 0; k < kKeys.size(); ++k) difference[kKeys[k]] = Text(keys[k]);
      Json quantities = Json::array();
      for (const Mismatch& m : mismatches)
        quantities.push_back(
            {{"column", m.column}, {"recorded", m.recorded}, {JsonKey(m.against), m.accounted}});
      difference["quantities"] = std::move(quantities);
      Json layaways = Json::array();
      for (const Holder& h : holders)
        layaways.push_back({{"Ap_Folio", h.folio},
                            {"Es_Cve_Estado", h.state},
                            {"lines_control_1", h.lines1},
                            {"lines_control_2", h.lines2},
                            {"reserved_by_movements_1", h.held1},
                            {"reserved_by_movements_2", h.held2}});
      difference["layaways"] = std::move(layaways);
      difference["movements"] = RowsToJson(movements);
      differences.push_back(std::move(difference));

      if (host.options.json) continue;
      host.out << name << ":\n";
      for (const Mismatch& m : mismatches) host.out << "  " << Explained(m) << "\n";
      if (holders.empty()) {
        host.out << "  no layaway names this row\n";
      } else {
        host.out << "  layaways that name it:\n";
        std::vector<std::vector<std::string>> cells;
        for (const Holder& h : holders)
          cells.push_back({h.folio, h.state.empty() ? "-" : h.state, VariantToText(Variant::FromDouble(h.lines1)),
                           VariantToText(Variant::FromDouble(h.lines2)), VariantToText(Variant::FromDouble(h.held1)),
                           VariantToText(Variant::FromDouble(h.held2))});
        PrintTable(host.out, {"folio", "state", "lines-1", "lines-2", "reserved by its movements-1", "-2"}, cells,
                   "    ");
      }
      if (movements.Rows().empty()) {
        host.out << "  no movements of this row\n";
      } else {
        host.out << "  its latest movements:\n";
        PrintMovements(host.out, movements, "    ");
      }
    }
  }
  const std::size_t found = differences.size();
  if (host.options.json) {
    PrintJson(host.out, Json{{"ok", found == 0}, {"rows_checked", checked}, {"differences", std::move(differences)}});
  } else {
    host.out << checked << (checked == 1 ? " stock row" : " stock rows") << " checked against the ledger: "
             << (found == 0 ? "all agree" : std::to_string(found) + (found == 1 ? " differs" : " differ")) << ".\n";
  }
  if (found == 0) return kExitOk;
  host.err << "apartado: check: " << found << (found == 1 ? " stock row differs" : " stock rows differ")
           << " from the ledger\n";
  return kExitRefused;
}

}  // namespace apartado::cli
