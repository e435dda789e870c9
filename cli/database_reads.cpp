#include "database_reads.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "apartado/schema.h"

namespace apartado::cli {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::toupper(ch); });
  return text;
}

bool Contains(const std::string& text, const char* piece) { return text.find(piece) != std::string::npos; }

// The primary-key columns of a table on a server database, in upper case.
std::set<std::string> ServerKeyColumns(Database& db, const std::vector<Variant>& table, const std::string& schema) {
  TableRecordset rows = db.Query(
      "SELECT kcu.column_name AS name FROM information_schema.table_constraints tc "
      "JOIN information_schema.key_column_usage kcu ON kcu.constraint_name = tc.constraint_name "
      "AND kcu.table_schema = tc.table_schema AND kcu.table_name = tc.table_name "
      "WHERE tc.constraint_type = 'PRIMARY KEY' AND lower(tc.table_name) = lower(:p1)" +
          schema,
      table);
  std::set<std::string> keys;
  for (; !rows.Eof(); rows.MoveNext()) keys.insert(Upper(rows.Field("name").ToText()));
  return keys;
}

// The columns of the suite's tables that the host shows, as the schema
// spells them.
const std::vector<std::string>& KnownColumns() {
  // clang-format off
  static const std::vector<std::string> names = {
      "Ap_Folio", "Ap_ID", "Ap_Tabla", "Ap_Documento", "Ap_Referencia", "Ap_Fecha", "Ap_Fecha_Entrega",
      "Ap_Comentario", "Sc_Cve_Sucursal", "Al_Cve_Almacen", "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario",
      "Cl_Cve_Cliente", "Vn_Cve_Vendedor", "Ap_Condicion_Venta", "Pr_Cve_Producto", "Cl_Cve_Color", "Tl_Cve_Talla",
      "Ap_Concepto", "Ap_Descuento_Global_Cuenta_Contable", "Ap_Descuento_Global_Factor",
      "Ap_Descuento_Global_Importe", "Ap_Cantidad_1", "Ap_Unidad_1", "Ap_Cantidad_Control_1",
      "Ap_Unidad_Control_1", "Ap_Cantidad_Control_2", "Ap_Unidad_Control_2", "Ap_Cantidad_Costo",
      "Ap_Unidad_Costo", "Ap_Costo", "Ap_Costo_Importe", "Pr_Folio", "Ap_Precio_Lista", "Ap_Precio_Lista_Importe",
      "Ap_Descuento_Factor", "Ap_Descuento_Importe", "Ap_Precio_Descontado", "Ap_Precio_Descontado_Importe",
      "Ap_Impuesto_Factor", "Ap_Impuesto_Importe", "Ap_Precio_Neto", "Ap_Precio_Neto_Importe", "Lt_Cve_Lote",
      "Lt_Fecha_Caducidad", "Lt_Pedimento", "Lt_Fecha_Pedimento", "Mn_Cve_Moneda", "Ap_Tipo_Cambio", "Oper_Alta",
      "Fecha_Alta", "Oper_Ult_Modif", "Fecha_Ult_Modif", "Es_Cve_Estado", "Oper_Baja", "Fecha_Baja",
      "Ex_Cantidad_Control_1", "Ex_Cantidad_Control_2", "Ex_Cantidad_Apartado_Control_1",
      "Ex_Cantidad_Apartado_Control_2", "Ex_Costo_Promedio", "Ek_Cantidad", "Ek_Cantidad_Apartado",
      "Me_ID", "Me_Fecha", "Me_Tabla", "Me_Cambio_Control_1", "Me_Cambio_Control_2", "Me_Cambio_Apartado_Control_1",
      "Me_Cambio_Apartado_Control_2", "Me_Operador", "Me_Operacion", "Me_Folio"};
  // clang-format on
  return names;
}

// A column's name as the suite schema spells it (a server that folds names
// answers "ap_folio"), or as given when the schema has no such column.
std::string SchemaSpelling(const std::string& table, const std::string& column) {
  static const std::vector<suite::SchemaTable> schema = suite::DescribeSchema();
  for (const suite::SchemaTable& t : schema) {
    if (Upper(t.name) != Upper(table)) continue;
    for (const suite::SchemaColumn& c : t.columns)
      if (Upper(c.name) == Upper(column)) return c.name;
  }
  return column;
}

}  // namespace

bool RowExists(Database& db, const std::string& table, const std::vector<std::string>& columns,
               const std::vector<Variant>& values) {
  std::string sql = "SELECT COUNT(*) AS n FROM " + table + " WHERE 1 = 1";
  for (std::size_t i = 0; i < columns.size(); ++i) sql += " AND " + columns[i] + " = :p" + std::to_string(i + 1);
  return db.Query(sql, values).Field("n").ToDouble() > 0;
}

TableRecordset WithSchemaNames(TableRecordset rows) {
  std::vector<std::string> columns = rows.Columns();
  for (std::string& column : columns) {
    for (const std::string& known : KnownColumns()) {
      if (Upper(known) == Upper(column)) column = known;
    }
  }
  return TableRecordset(std::move(columns), rows.Rows());
}

ColumnKind KindOfDeclaredType(const std::string& declaredType) {
  const std::string type = Upper(declaredType);
  if (Contains(type, "CHAR") || Contains(type, "TEXT") || Contains(type, "CLOB")) return ColumnKind::Text;
  if (Contains(type, "DATE") || Contains(type, "TIME")) return ColumnKind::DateTime;
  if (Contains(type, "INT") || Contains(type, "BOOL") || Contains(type, "BIT")) return ColumnKind::Integer;
  if (Contains(type, "REAL") || Contains(type, "FLOA") || Contains(type, "DOUB") || Contains(type, "NUM") ||
      Contains(type, "DEC") || Contains(type, "MONEY")) {
    return ColumnKind::Number;
  }
  return ColumnKind::Any;
}

std::optional<std::vector<ColumnInfo>> DescribeTable(Database& db, const std::string& table) {
  TableRecordset rows;
  const std::vector<Variant> name = {Variant::FromText(table)};
  std::set<std::string> keys;
  switch (db.GetDialect()) {
    case SqlDialect::SQLite:
      rows = db.Query("SELECT name, type, pk FROM pragma_table_info(:p1)", name);
      for (TableRecordset r = rows; !r.Eof(); r.MoveNext()) {
        if (r.Field("pk").ToDouble() > 0) keys.insert(Upper(r.Field("name").ToText()));
      }
      break;
    case SqlDialect::PostgreSQL:
    case SqlDialect::SqlServer: {
      // PostgreSQL's catalogue shows the tables of every schema: only the
      // current one is the suite's.
      const bool postgres = db.GetDialect() == SqlDialect::PostgreSQL;
      rows = db.Query(std::string("SELECT column_name AS name, data_type AS type FROM information_schema.columns "
                                  "WHERE lower(table_name) = lower(:p1)") +
                          (postgres ? " AND table_schema = current_schema()" : "") + " ORDER BY ordinal_position",
                      name);
      keys = ServerKeyColumns(db, name, postgres ? " AND tc.table_schema = current_schema()" : "");
      break;
    }
  }
  std::vector<ColumnInfo> columns;
  for (; !rows.Eof(); rows.MoveNext()) {
    const std::string column = rows.Field("name").ToText();
    columns.push_back({SchemaSpelling(table, column), KindOfDeclaredType(rows.Field("type").ToText()),
                       keys.count(Upper(column)) > 0});
  }
  if (columns.empty()) return std::nullopt;
  return columns;
}

TableRecordset LayawayRows(Database& db, const std::string& folio) {
  return WithSchemaNames(
      db.Query("SELECT * FROM Apartado WHERE Ap_Folio = :p1 ORDER BY Ap_ID", {Variant::FromText(folio)}));
}

TableRecordset StockRows(Database& db, const std::string& table, const StockFilter& filter) {
  std::string sql = "SELECT * FROM " + table + " WHERE 1 = 1";
  std::vector<Variant> params;
  auto narrow = [&](const std::string& column, const std::string& value) {
    if (value.empty()) return;
    params.push_back(Variant::FromText(value));
    sql += " AND " + column + " = :p" + std::to_string(params.size());
  };
  narrow("Sc_Cve_Sucursal", filter.branch);
  narrow("Al_Cve_Almacen", filter.warehouse);
  narrow("Pr_Cve_Producto", filter.product);
  sql += " ORDER BY Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color";
  return WithSchemaNames(db.Query(sql, params));
}

}  // namespace apartado::cli
