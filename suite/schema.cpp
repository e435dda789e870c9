// The suite schema rendered for each backend from the one table description
// in schema_tables.cpp. Every statement is idempotent, so creating the schema
// again over an existing database changes nothing; over a database created by
// an earlier release it adds what that release lacked.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "apartado/suite.h"
#include "schema_tables.h"

namespace apartado::suite {
namespace {

std::string TypeName(Backend backend, ColumnKind kind) {
  switch (backend) {
    case Backend::SQLite:
      switch (kind) {
        case ColumnKind::Key:
        case ColumnKind::Text:
          return "TEXT";
        case ColumnKind::Number:
        case ColumnKind::Quantity:
          return "REAL";
        case ColumnKind::Date:
          return "DATETIME";
        case ColumnKind::Whole:
          return "INTEGER";
        case ColumnKind::Counter:
          return "BIGINT";
      }
      break;
    case Backend::PostgreSQL:
      switch (kind) {
        case ColumnKind::Key:
        case ColumnKind::Text:
          return "VARCHAR";
        case ColumnKind::Number:
          return "DOUBLE PRECISION";
        case ColumnKind::Quantity:
          return "NUMERIC(" + std::to_string(kQuantityDigits) + "," + std::to_string(kQuantityDecimals) + ")";
        case ColumnKind::Date:
          return "TIMESTAMP(0)";
        case ColumnKind::Whole:
          return "INTEGER";
        case ColumnKind::Counter:
          return "BIGINT";
      }
      break;
    case Backend::ODBC:  // SQL Server
      switch (kind) {
        case ColumnKind::Key:
          return "VARCHAR(60)";
        case ColumnKind::Text:
          return "VARCHAR(255)";
        case ColumnKind::Number:
          return "FLOAT";
        case ColumnKind::Quantity:
          return "DECIMAL(" + std::to_string(kQuantityDigits) + "," + std::to_string(kQuantityDecimals) + ")";
        case ColumnKind::Date:
          return "DATETIME2(0)";
        case ColumnKind::Whole:
          return "INT";
        case ColumnKind::Counter:
          return "BIGINT";
      }
      break;
  }
  return "TEXT";
}

std::string List(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string ColumnDefinition(Backend backend, const ColumnSpec& column) {
  std::string text = column.name + ' ' + TypeName(backend, column.kind);
  if (column.notNull) text += " NOT NULL";
  if (!column.defaultValue.empty()) text += " DEFAULT " + column.defaultValue;
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::vector<std::string> QuantityColumns(const TableSpec& table) {
  std::vector<std::string> names;
  for (const ColumnSpec& column : table.columns)
    if (column.kind == ColumnKind::Quantity) names.push_back(column.name);
  return names;
}

void WriteTable(std::ostream& out, Backend backend, const TableSpec& table) {
  if (backend == Backend::ODBC) {
    out << "IF OBJECT_ID(N'" << table.name << "', N'U') IS NULL CREATE TABLE " << table.name << " (\n";
  } else {
    out << "CREATE TABLE IF NOT EXISTS " << table.name << " (\n";
  }
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    const ColumnSpec& column = table.columns[i];
    out << "  " << ColumnDefinition(backend, column);
    if (i + 1 < table.columns.size() || !table.primaryKey.empty()) out << ',';
    out << '\n';
  }
  if (!table.primaryKey.empty()) out << "  PRIMARY KEY (" << List(table.primaryKey) << ")\n";
  out << ");\n";
  for (const IndexSpec& index : table.indexes) {
    const std::string create = std::string(index.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ");
    if (backend == Backend::ODBC) {
      out << "IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'" << index.name << "') " << create << index.name;
    } else {
      out << create << "IF NOT EXISTS " << index.name;
    }
    out << " ON " << table.name << " (" << List(index.columns) << ")";
    if (!index.where.empty()) out << " WHERE " << index.where;
    out << ";\n";
  }
}

// Columns a table created by an earlier release lacks. SQLite has no
// ADD COLUMN IF NOT EXISTS: CreateSchema adds them there before the script.
void WriteAddedColumns(std::ostream& out, Backend backend, const TableSpec& table) {
  for (const ColumnSpec& column : table.columns) {
    if (!column.addedLater) continue;
    if (backend == Backend::PostgreSQL) {
      out << "ALTER TABLE " << table.name << " ADD COLUMN IF NOT EXISTS " << ColumnDefinition(backend, column) << ";\n";
    } else if (backend == Backend::ODBC) {
      // WITH VALUES gives the rows already there the default, as the other
      // backends do.
      out << "IF COL_LENGTH(N'" << table.name << "', N'" << column.name << "') IS NULL ALTER TABLE " << table.name
          << " ADD " << ColumnDefinition(backend, column) << (column.defaultValue.empty() ? "" : " WITH VALUES")
          << ";\n";
    }
  }
}

// The double nearest the value's decimal. SQLite 3.40 reads some decimals one
// unit in the last place off (the literal 0.736512, and round(x, 6) of it,
// give 0.7365120000000001), while a whole number divided by 10^6 is rounded
// correctly: the quantities stored are those the host and the services hold
// (for magnitudes below 2^53 / 10^6).
std::string SqliteRounded(const std::string& value) {
  // Appended piece by piece: GCC 12 at -O2 warns (-Wrestrict, wrongly) on
  // "literal" + std::string&& here.
  std::string scale(kQuantityDecimals + 1, '0');
  scale[0] = '1';
  std::string text = "round(";
  text.append(value).append(" * ").append(scale).append(") / ").append(scale);
  return text;
}

// True when some quantity of the row (its columns prefixed by `row`) is a
// number not rounded yet. Text and null are left as they are.
std::string SqliteUnrounded(const std::vector<std::string>& columns, const std::string& row) {
  std::string text;
  for (const std::string& column : columns) {
    const std::string value = row + column;
    text += (text.empty() ? "" : " OR ") + ("(typeof(" + value + ") = 'real' AND " + value + " <> ") +
            SqliteRounded(value) + ")";
  }
  return text;
}

std::string SqliteRoundingSet(const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) {
    text += (text.empty() ? "" : ", ") + column + " = CASE WHEN typeof(" + column + ") = 'real' THEN " +
            SqliteRounded(column) + " ELSE " + column + " END";
  }
  return text;
}

// Quantity columns hold exact decimals. PostgreSQL and SQL Server store them
// in fixed point. SQLite stores doubles: after every insert and every update
// of a quantity, a trigger rounds the row's quantities to the double nearest
// their decimal, so that adding and taking away the same fractions comes back
// to the same value (0.2 + 0.5 - 0.2 gives 0.5, and 0.5 - 0.5 gives 0). The
// WHEN clause keeps the extra update for rows that need it; the trigger's own
// update does not fire it again (recursive triggers are off).
void WriteQuantityRounding(std::ostream& out, const TableSpec& table) {
  const std::vector<std::string> columns = QuantityColumns(table);
  if (columns.empty()) return;
  // Rows stored before the triggers existed.
  out << "UPDATE " << table.name << " SET " << SqliteRoundingSet(columns) << " WHERE " << SqliteUnrounded(columns, "")
      << ";\n";
  for (const char* event : {"Insert", "Update"}) {
    out << "CREATE TRIGGER IF NOT EXISTS TR_" << table.name << "_Redondeo_" << event << " AFTER "
        << (event[0] == 'I' ? "INSERT" : "UPDATE OF " + List(columns)) << " ON " << table.name << " FOR EACH ROW WHEN "
        << SqliteUnrounded(columns, "NEW.") << "\nBEGIN\n  UPDATE " << table.name << " SET "
        << SqliteRoundingSet(columns) << " WHERE rowid = NEW.rowid;\nEND;\n";
  }
}

// A database whose quantities were created as DOUBLE PRECISION gets them in
// fixed point; a table already converted is left alone (no lock, no rewrite).
void WritePostgresQuantityUpgrade(std::ostream& out) {
  out << "DO $$\nBEGIN\n";
  for (const TableSpec& table : SuiteTables()) {
    const std::vector<std::string> columns = QuantityColumns(table);
    if (columns.empty()) continue;
    std::string names, alters;
    for (const std::string& column : columns) {
      names += (names.empty() ? "'" : ", '") + Lower(column) + "'";
      alters += std::string(alters.empty() ? "" : ",\n") + "      ALTER COLUMN " + column + " TYPE " +
                TypeName(Backend::PostgreSQL, ColumnKind::Quantity);
    }
    out << "  IF EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = current_schema() AND "
           "table_name = '"
        << Lower(table.name) << "' AND column_name IN (" << names
        << ") AND NOT (data_type = 'numeric' AND numeric_precision = " << kQuantityDigits
        << " AND numeric_scale = " << kQuantityDecimals << ")) THEN\n    ALTER TABLE " << table.name << "\n"
        << alters << ";\n  END IF;\n";
  }
  out << "END\n$$;\n";
}

// The lot keys a draw-down names: the lot row it was taken from.
const std::vector<std::string> kLotKeys = {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto",
                                           "Tl_Cve_Talla",    "Cl_Cve_Color",   "Lt_Cve_Lote"};

std::string Matching(const std::string& left, const std::string& right, const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns)
    text += (text.empty() ? "" : " AND ") + left + "." + column + " = " + right + "." + column;
  return text;
}

std::string Qualified(const std::string& prefix, const std::vector<std::string>& columns) {
  std::string text;
  for (const std::string& column : columns) text += (text.empty() ? "" : ", ") + prefix + column;
  return text;
}

// A layaway line whose status turns to 'CA' (cancelled) from anything else,
// null included, gives back what it holds: the lot draw-downs recorded for it
// and not given back yet return to the lot rows they came from and are marked
// 'CA', and the serial number assigned to it is free again. Marking a
// draw-down and returning its quantity happen together, so nothing returns
// twice, whatever the status does later. The line is the document line
// ('APARTADO', Ap_Folio, Ap_ID) the assignment services record.
void WriteCancellationTrigger(std::ostream& out, Backend backend) {
  switch (backend) {
    case Backend::SQLite: {
      // The draw-downs of the line not given back yet, their columns prefixed by `row`.
      auto standing = [](const std::string& row) {
        return row + "La_Tipo_Documento = 'APARTADO' AND " + row + "La_Folio = NEW.Ap_Folio AND " + row +
               "La_ID = NEW.Ap_ID AND COALESCE(" + row + "Es_Cve_Estado, 'AC') <> 'CA'";
      };
      const std::string ofLot = standing("a.") + " AND " + Matching("a", "Lote", kLotKeys);
      out << "CREATE TRIGGER IF NOT EXISTS TR_Apartado_Cancelacion AFTER UPDATE OF Es_Cve_Estado ON Apartado "
             "FOR EACH ROW\nWHEN NEW.Es_Cve_Estado = 'CA' AND OLD.Es_Cve_Estado IS NOT 'CA'\nBEGIN\n"
          << "  UPDATE Lote SET Lt_Cantidad = Lt_Cantidad + (SELECT SUM(COALESCE(a.La_Cantidad_1, 0)) FROM "
             "Lote_Asignacion a WHERE "
          << ofLot << ")\n    WHERE EXISTS (SELECT 1 FROM Lote_Asignacion a WHERE " << ofLot << ");\n"
          << "  UPDATE Lote_Asignacion SET Es_Cve_Estado = 'CA' WHERE " << standing("") << ";\n"
          << "  UPDATE Serie SET Sr_Tipo_Documento = NULL, Sr_Folio = NULL, Sr_ID = NULL\n"
             "    WHERE Sr_Tipo_Documento = 'APARTADO' AND Sr_Folio = NEW.Ap_Folio AND Sr_ID = NEW.Ap_ID;\n"
             "END;\n";
      break;
    }
    case Backend::PostgreSQL:
      // Marking the draw-downs and giving them back is one statement: a
      // transaction that reaches them while another is giving them back
      // waits for it, then finds them marked and gives back nothing.
      out << "CREATE OR REPLACE FUNCTION Apartado_Cancelacion() RETURNS trigger AS $$\nBEGIN\n"
          << "  WITH Devueltas AS (\n    UPDATE Lote_Asignacion SET Es_Cve_Estado = 'CA'\n"
             "    WHERE La_Tipo_Documento = 'APARTADO' AND La_Folio = NEW.Ap_Folio AND La_ID = NEW.Ap_ID\n"
             "      AND COALESCE(Es_Cve_Estado, 'AC') <> 'CA'\n    RETURNING "
          << List(kLotKeys) << ", La_Cantidad_1)\n  UPDATE Lote SET Lt_Cantidad = Lote.Lt_Cantidad + d.Cantidad\n"
          << "  FROM (SELECT " << List(kLotKeys) << ", SUM(COALESCE(La_Cantidad_1, 0)) AS Cantidad FROM Devueltas "
          << "GROUP BY " << List(kLotKeys) << ") d\n  WHERE " << Matching("Lote", "d", kLotKeys) << ";\n"
          << "  UPDATE Serie SET Sr_Tipo_Documento = NULL, Sr_Folio = NULL, Sr_ID = NULL\n"
             "  WHERE Sr_Tipo_Documento = 'APARTADO' AND Sr_Folio = NEW.Ap_Folio AND Sr_ID = NEW.Ap_ID;\n"
             "  RETURN NULL;\nEND\n$$ LANGUAGE plpgsql;\n"
          << "CREATE OR REPLACE TRIGGER TR_Apartado_Cancelacion AFTER UPDATE OF Es_Cve_Estado ON Apartado "
             "FOR EACH ROW\n  WHEN (NEW.Es_Cve_Estado = 'CA' AND OLD.Es_Cve_Estado IS DISTINCT FROM 'CA')\n"
             "  EXECUTE FUNCTION Apartado_Cancelacion();\n";
      break;
    case Backend::ODBC: {
      // One statement per trigger, run alone: no ';' inside the body.
      const std::string key = TypeName(backend, ColumnKind::Key);
      std::string lotColumns;
      for (const std::string& column : kLotKeys) lotColumns += column + ' ' + key + ", ";
      out << "CREATE OR ALTER TRIGGER TR_Apartado_Cancelacion ON Apartado AFTER UPDATE AS\nBEGIN\n"
             "  SET NOCOUNT ON\n  IF NOT UPDATE(Es_Cve_Estado) RETURN\n"
          << "  DECLARE @Lineas TABLE (Ap_Folio " << key << ", Ap_ID " << key << ")\n"
          << "  INSERT INTO @Lineas (Ap_Folio, Ap_ID) SELECT i.Ap_Folio, i.Ap_ID FROM inserted i\n"
             "    JOIN deleted d ON d.Ap_Folio = i.Ap_Folio AND d.Ap_ID = i.Ap_ID\n"
             "    WHERE i.Es_Cve_Estado = 'CA' AND (d.Es_Cve_Estado IS NULL OR d.Es_Cve_Estado <> 'CA')\n"
             "  IF NOT EXISTS (SELECT 1 FROM @Lineas) RETURN\n"
          << "  DECLARE @Devueltas TABLE (" << lotColumns << "La_Cantidad_1 " << TypeName(backend, ColumnKind::Quantity)
          << ")\n"
          << "  UPDATE a SET Es_Cve_Estado = 'CA'\n    OUTPUT " << Qualified("inserted.", kLotKeys)
          << ", inserted.La_Cantidad_1 INTO @Devueltas\n"
             "    FROM Lote_Asignacion a JOIN @Lineas l ON a.La_Folio = l.Ap_Folio AND a.La_ID = l.Ap_ID\n"
             "    WHERE a.La_Tipo_Documento = 'APARTADO' AND COALESCE(a.Es_Cve_Estado, 'AC') <> 'CA'\n"
          << "  UPDATE lt SET Lt_Cantidad = lt.Lt_Cantidad + d.Cantidad\n    FROM Lote lt JOIN (SELECT "
          << List(kLotKeys) << ", SUM(COALESCE(La_Cantidad_1, 0)) AS Cantidad FROM @Devueltas GROUP BY "
          << List(kLotKeys) << ") d\n    ON " << Matching("lt", "d", kLotKeys) << "\n"
          << "  UPDATE s SET Sr_Tipo_Documento = NULL, Sr_Folio = NULL, Sr_ID = NULL\n"
             "    FROM Serie s JOIN @Lineas l ON s.Sr_Folio = l.Ap_Folio AND s.Sr_ID = l.Ap_ID\n"
             "    WHERE s.Sr_Tipo_Documento = 'APARTADO'\nEND;\n";
      break;
    }
  }
}

// The catalogue tables whose rows connections keep answers of across
// transactions on PostgreSQL (Database::CachedQuery): every statement that
// writes one raises its version in Version_Tabla, in the writer's own
// transaction, so that a connection that finds a table's version unchanged
// knows that no one changed its rows. The trigger fires whatever the
// session's replication role (ENABLE ALWAYS), and the function runs with
// the schema's search path whoever writes.
const char* const kVersionedTables[] = {
    "Sucursal", "Almacen", "Moneda", "Vendedor",       "Cliente",        "Condicion_Venta",      "Producto",
    "Talla",    "Color",   "Unidad", "Producto_Talla", "Producto_Color", "Producto_Talla_Color", "Unidad_Conversion"};

void WritePostgresTableVersions(std::ostream& out) {
  out << "CREATE TABLE IF NOT EXISTS Version_Tabla (Vt_Tabla VARCHAR(63) PRIMARY KEY, Vt_Version BIGINT NOT NULL);\n"
         "CREATE OR REPLACE FUNCTION Version_Tabla_Cambio() RETURNS trigger AS $$\nBEGIN\n"
         "  INSERT INTO Version_Tabla (Vt_Tabla, Vt_Version) VALUES (TG_TABLE_NAME, 1)\n"
         "  ON CONFLICT (Vt_Tabla) DO UPDATE SET Vt_Version = Version_Tabla.Vt_Version + 1;\n"
         "  RETURN NULL;\nEND\n$$ LANGUAGE plpgsql SET search_path FROM CURRENT;\n";
  for (const char* table : kVersionedTables) {
    out << "INSERT INTO Version_Tabla (Vt_Tabla, Vt_Version) VALUES ('" << Lower(table)
        << "', 1) ON CONFLICT (Vt_Tabla) DO NOTHING;\n"
        << "CREATE OR REPLACE TRIGGER TR_" << table << "_Version AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON "
        << table << " FOR EACH STATEMENT EXECUTE FUNCTION Version_Tabla_Cambio();\n"
        << "ALTER TABLE " << table << " ENABLE ALWAYS TRIGGER TR_" << table << "_Version;\n";
  }
}

// SQLite's ALTER TABLE has no IF NOT EXISTS: a column is added when the
// table exists without it (a table still to be created gets every column).
void AddMissingColumnsSqlite(Database& db) {
  for (const TableSpec& table : SuiteTables()) {
    for (const ColumnSpec& column : table.columns) {
      if (!column.addedLater) continue;
      TableRecordset present = db.Query("SELECT name FROM pragma_table_info(:p1)", {Variant::FromText(table.name)});
      if (present.Eof()) continue;
      bool found = false;
      for (; !present.Eof() && !found; present.MoveNext())
        found = Lower(present.Field("name").ToText()) == Lower(column.name);
      if (!found)
        db.RunScript("ALTER TABLE " + table.name + " ADD COLUMN " + ColumnDefinition(Backend::SQLite, column));
    }
  }
}

}  // namespace

std::string SchemaScript(Backend backend) {
  std::ostringstream out;
  if (backend == Backend::PostgreSQL) {
    // The component's statements stamp rows with GETDATE(), as on SQL Server.
    out << "CREATE OR REPLACE FUNCTION getdate() RETURNS timestamp AS $$ SELECT LOCALTIMESTAMP(0) $$ "
           "LANGUAGE sql;\n";
  }
  for (const TableSpec& table : SuiteTables()) {
    WriteTable(out, backend, table);
    WriteAddedColumns(out, backend, table);
  }
  if (backend == Backend::PostgreSQL) {
    WritePostgresQuantityUpgrade(out);
    WritePostgresTableVersions(out);
  }
  if (backend == Backend::SQLite)
    for (const TableSpec& table : SuiteTables()) WriteQuantityRounding(out, table);
  WriteCancellationTrigger(out, backend);
  return out.str();
}

void CreateSchema(Database& db) {
  if (db.GetBackend() == Backend::SQLite) AddMissingColumnsSqlite(db);
  db.RunScript(SchemaScript(db.GetBackend()));
}

}  // namespace apartado::suite
