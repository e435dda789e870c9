// The stock ledger: triggers on Existencia and Existencia_Kit append one row
// to Movimiento_Existencia for every change of a stock row's quantities,
// whoever makes it, so that no statement of the component changes and a
// change made behind its back is recorded too. The operation, the folio and
// the operator come from what the running operation set for its
// transaction (Database::LabelMovements): on SQLite the one row of
// Movimiento_Contexto, which exists only inside that transaction; on
// PostgreSQL the transaction's settings apartado.operacion, apartado.folio
// and apartado.operador. A layaway's first line learns its folio only when
// the component writes it: inserting a row of Apartado inside a labelled
// transaction sets the folio for the movements that follow.
#include <ostream>
#include <string>
#include <vector>

#include "apartado/schema.h"
#include "schema_tables.h"

namespace apartado::suite {

const std::vector<std::string>& LedgerKeyColumns() {
  static const std::vector<std::string> keys = {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto",
                                                "Tl_Cve_Talla", "Cl_Cve_Color"};
  return keys;
}

const std::vector<std::string>& LedgerChangeColumns() {
  static const std::vector<std::string> changes = {"Me_Cambio_Control_1", "Me_Cambio_Control_2",
                                                   "Me_Cambio_Apartado_Control_1", "Me_Cambio_Apartado_Control_2"};
  return changes;
}

const std::vector<LedgerStockTable>& LedgerStockTables() {
  static const std::vector<LedgerStockTable> tables = {
      {"Existencia",
       {"Ex_Cantidad_Control_1", "Ex_Cantidad_Control_2", "Ex_Cantidad_Apartado_Control_1",
        "Ex_Cantidad_Apartado_Control_2"}},
      {"Existencia_Kit", {"Ek_Cantidad", "", "Ek_Cantidad_Apartado", ""}},
  };
  return tables;
}

namespace {

using StockTable = LedgerStockTable;
const std::vector<std::string>& kKeys = LedgerKeyColumns();
const std::vector<std::string>& kChanges = LedgerChangeColumns();
const std::vector<StockTable>& kStockTables = LedgerStockTables();

const char* const kRefusal = "Movimiento_Existencia is a ledger: its rows are never changed or deleted";

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : separator) + part;
  return text;
}

std::string LedgerColumns() {
  return "Me_Fecha, Me_Tabla, " + Join(kKeys, ", ") + ", " + Join(kChanges, ", ") +
         ", Me_Operador, Me_Operacion, Me_Folio";
}

// Each quantity of the table through `f` (the column's name), or "0".
template <typename F>
std::vector<std::string> EachQuantity(const StockTable& table, F f) {
  std::vector<std::string> values;
  for (const std::string& column : table.quantities) values.push_back(column.empty() ? "0" : f(column));
  return values;
}

std::string Prefixed(const std::string& prefix, const std::vector<std::string>& names) {
  std::vector<std::string> parts;
  for (const std::string& name : names) parts.push_back(prefix + name);
  return Join(parts, ", ");
}

std::string AnyNonZero(const std::vector<std::string>& values) {
  std::vector<std::string> tests;
  for (const std::string& value : values)
    if (value != "0") tests.push_back(value + " <> 0");
  return "(" + Join(tests, " OR ") + ")";
}

// --- SQLite ---------------------------------------------------------------

std::string SqliteQuantity(const std::string& value) { return SqliteRounded("COALESCE(" + value + ", 0)"); }

const char* const kSqliteContext =
    "(SELECT Mc_Operador FROM Movimiento_Contexto), (SELECT Mc_Operacion FROM Movimiento_Contexto), "
    "(SELECT Mc_Folio FROM Movimiento_Contexto)";

// One movement of the row `row` ("NEW." or "OLD.") with these changes, when `condition` holds.
std::string SqliteMovement(const StockTable& table, const std::string& row, const std::vector<std::string>& changes,
                           const std::string& condition) {
  return "  INSERT INTO Movimiento_Existencia (" + LedgerColumns() + ")\n    SELECT datetime('now', 'localtime'), '" +
         table.name + "', " + Prefixed(row, kKeys) + ", " + Join(changes, ", ") + ", " + kSqliteContext + " WHERE " +
         condition + ";\n";
}

void WriteSqliteLedger(std::ostream& out) {
  out << "CREATE TABLE IF NOT EXISTS Movimiento_Contexto (Mc_ID INTEGER PRIMARY KEY CHECK (Mc_ID = 1), "
         "Mc_Operacion TEXT, Mc_Folio TEXT, Mc_Operador TEXT);\n";
  for (const StockTable& table : kStockTables) {
    const std::vector<std::string> added =
        EachQuantity(table, [](const std::string& c) { return SqliteQuantity("NEW." + c); });
    const std::vector<std::string> removed =
        EachQuantity(table, [](const std::string& c) { return "-" + SqliteQuantity("OLD." + c); });
    const std::vector<std::string> changed = EachQuantity(table, [](const std::string& c) {
      return SqliteRounded("(" + SqliteQuantity("NEW." + c) + " - " + SqliteQuantity("OLD." + c) + ")");
    });
    std::vector<std::string> sameKeys;
    for (const std::string& key : kKeys) sameKeys.push_back("NEW." + key + " IS OLD." + key);
    const std::string same = "(" + Join(sameKeys, " AND ") + ")";

    // What a row held when the ledger began.
    std::vector<std::string> match;
    for (const std::string& key : kKeys) match.push_back("m." + key + " = s." + key);
    const std::vector<std::string> held =
        EachQuantity(table, [](const std::string& c) { return SqliteQuantity("s." + c); });
    out << "INSERT INTO Movimiento_Existencia (" << LedgerColumns() << ")\n  SELECT datetime('now', 'localtime'), '"
        << table.name << "', " << Prefixed("s.", kKeys) << ", " << Join(held, ", ") << ", NULL, 'INICIAL', NULL FROM "
        << table.name << " s WHERE " << AnyNonZero(held)
        << " AND NOT EXISTS (SELECT 1 FROM Movimiento_Existencia m WHERE m.Me_Tabla = '" << table.name << "' AND "
        << Join(match, " AND ") << ");\n";

    out << "CREATE TRIGGER IF NOT EXISTS TR_" << table.name << "_Movimiento_Insert AFTER INSERT ON " << table.name
        << " FOR EACH ROW\nBEGIN\n"
        << SqliteMovement(table, "NEW.", added, AnyNonZero(added)) << "END;\n";
    // The rounding trigger's own update changes nothing once rounded: no movement.
    out << "CREATE TRIGGER IF NOT EXISTS TR_" << table.name << "_Movimiento_Update AFTER UPDATE ON " << table.name
        << " FOR EACH ROW\nBEGIN\n"
        << SqliteMovement(table, "NEW.", changed, same + " AND " + AnyNonZero(changed))
        << SqliteMovement(table, "OLD.", removed, "NOT " + same + " AND " + AnyNonZero(removed))
        << SqliteMovement(table, "NEW.", added, "NOT " + same + " AND " + AnyNonZero(added)) << "END;\n";
    out << "CREATE TRIGGER IF NOT EXISTS TR_" << table.name << "_Movimiento_Delete AFTER DELETE ON " << table.name
        << " FOR EACH ROW\nBEGIN\n"
        << SqliteMovement(table, "OLD.", removed, AnyNonZero(removed)) << "END;\n";
  }
  for (const char* event : {"UPDATE", "DELETE"}) {
    out << "CREATE TRIGGER IF NOT EXISTS TR_Movimiento_Existencia_" << (event[0] == 'U' ? "Update" : "Delete")
        << " BEFORE " << event << " ON Movimiento_Existencia\nBEGIN\n  SELECT RAISE(ABORT, '" << kRefusal
        << "');\nEND;\n";
  }
  out << "CREATE TRIGGER IF NOT EXISTS TR_Apartado_Movimiento_Folio AFTER INSERT ON Apartado FOR EACH ROW\n"
         "BEGIN\n  UPDATE Movimiento_Contexto SET Mc_Folio = NEW.Ap_Folio;\nEND;\n";
}

// --- PostgreSQL -----------------------------------------------------------

std::string PostgresMovement(const StockTable& table, const std::string& row, const std::vector<std::string>& changes) {
  return "    INSERT INTO Movimiento_Existencia (" + LedgerColumns() + ")\n      VALUES (LOCALTIMESTAMP(0), '" +
         table.name + "', " + Prefixed(row, kKeys) + ", " + Join(changes, ", ") + ", operador, operacion, folio);\n";
}

void WritePostgresLedger(std::ostream& out) {
  for (const StockTable& table : kStockTables) {
    auto value = [](const std::string& row) {
      return [row](const std::string& c) { return "COALESCE(" + row + c + ", 0)"; };
    };
    const std::vector<std::string> added = EachQuantity(table, value("NEW."));
    const std::vector<std::string> removed =
        EachQuantity(table, [](const std::string& c) { return "-COALESCE(OLD." + c + ", 0)"; });
    const std::vector<std::string> changed = EachQuantity(
        table, [](const std::string& c) { return "COALESCE(NEW." + c + ", 0) - COALESCE(OLD." + c + ", 0)"; });

    std::vector<std::string> match;
    for (const std::string& key : kKeys) match.push_back("m." + key + " = s." + key);
    const std::vector<std::string> held = EachQuantity(table, value("s."));
    out << "INSERT INTO Movimiento_Existencia (" << LedgerColumns() << ")\n  SELECT LOCALTIMESTAMP(0), '" << table.name
        << "', " << Prefixed("s.", kKeys) << ", " << Join(held, ", ") << ", NULL, 'INICIAL', NULL FROM " << table.name
        << " s WHERE " << AnyNonZero(held)
        << " AND NOT EXISTS (SELECT 1 FROM Movimiento_Existencia m WHERE m.Me_Tabla = '" << table.name << "' AND "
        << Join(match, " AND ") << ");\n";

    out << "CREATE OR REPLACE FUNCTION " << table.name << "_Movimiento() RETURNS trigger AS $$\nDECLARE\n"
        << "  operacion VARCHAR := NULLIF(current_setting('apartado.operacion', true), '');\n"
        << "  folio VARCHAR := NULLIF(current_setting('apartado.folio', true), '');\n"
        << "  operador VARCHAR := COALESCE(NULLIF(current_setting('apartado.operador', true), ''), session_user);\n"
        << "BEGIN\n"
        << "  IF TG_OP = 'UPDATE' AND (" << Prefixed("NEW.", kKeys) << ") IS NOT DISTINCT FROM ("
        << Prefixed("OLD.", kKeys) << ") THEN\n"
        << "    IF NOT " << AnyNonZero(changed) << " THEN RETURN NULL; END IF;\n"
        << PostgresMovement(table, "NEW.", changed) << "    RETURN NULL;\n  END IF;\n"
        << "  IF TG_OP IN ('UPDATE', 'DELETE') AND " << AnyNonZero(removed) << " THEN\n"
        << PostgresMovement(table, "OLD.", removed) << "  END IF;\n"
        << "  IF TG_OP IN ('UPDATE', 'INSERT') AND " << AnyNonZero(added) << " THEN\n"
        << PostgresMovement(table, "NEW.", added) << "  END IF;\n"
        << "  RETURN NULL;\nEND\n$$ LANGUAGE plpgsql SET search_path FROM CURRENT;\n"
        << "CREATE OR REPLACE TRIGGER TR_" << table.name << "_Movimiento AFTER INSERT OR UPDATE OR DELETE ON "
        << table.name << " FOR EACH ROW EXECUTE FUNCTION " << table.name << "_Movimiento();\n"
        << "ALTER TABLE " << table.name << " ENABLE ALWAYS TRIGGER TR_" << table.name << "_Movimiento;\n";
  }
  out << "CREATE OR REPLACE FUNCTION Movimiento_Existencia_Sin_Cambios() RETURNS trigger AS $$\nBEGIN\n"
         "  RAISE EXCEPTION '"
      << kRefusal
      << "';\nEND\n$$ LANGUAGE plpgsql;\n"
         "CREATE OR REPLACE TRIGGER TR_Movimiento_Existencia_Sin_Cambios BEFORE UPDATE OR DELETE ON "
         "Movimiento_Existencia FOR EACH ROW EXECUTE FUNCTION Movimiento_Existencia_Sin_Cambios();\n"
         "CREATE OR REPLACE TRIGGER TR_Movimiento_Existencia_Sin_Vaciar BEFORE TRUNCATE ON Movimiento_Existencia "
         "FOR EACH STATEMENT EXECUTE FUNCTION Movimiento_Existencia_Sin_Cambios();\n"
         "ALTER TABLE Movimiento_Existencia ENABLE ALWAYS TRIGGER TR_Movimiento_Existencia_Sin_Cambios;\n"
         "ALTER TABLE Movimiento_Existencia ENABLE ALWAYS TRIGGER TR_Movimiento_Existencia_Sin_Vaciar;\n"
         "CREATE OR REPLACE FUNCTION Apartado_Movimiento_Folio() RETURNS trigger AS $$\nBEGIN\n"
         "  IF NULLIF(current_setting('apartado.operacion', true), '') IS NOT NULL THEN\n"
         "    PERFORM set_config('apartado.folio', NEW.Ap_Folio, true);\n  END IF;\n"
         "  RETURN NULL;\nEND\n$$ LANGUAGE plpgsql;\n"
         "CREATE OR REPLACE TRIGGER TR_Apartado_Movimiento_Folio AFTER INSERT ON Apartado FOR EACH ROW "
         "EXECUTE FUNCTION Apartado_Movimiento_Folio();\n";
}

}  // namespace

void WriteStockLedger(std::ostream& out, SqlDialect dialect) {
  switch (dialect) {
    case SqlDialect::SQLite:
      WriteSqliteLedger(out);
      break;
    case SqlDialect::PostgreSQL:
      WritePostgresLedger(out);
      break;
    case SqlDialect::SqlServer:
      // SQL Server gets the table; its triggers are still to be written
      // (its session context is not rolled back with a transaction).
      break;
  }
}

}  // namespace apartado::suite
