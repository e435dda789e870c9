#include "queries.h"

#include <algorithm>
#include <cctype>

namespace apartado::cli {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::toupper(ch); });
  return text;
}

bool Contains(const std::string& text, const char* piece) { return text.find(piece) != std::string::npos; }

}  // namespace

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
  switch (db.GetBackend()) {
    case Backend::SQLite:
      rows = db.Query("SELECT name, type FROM pragma_table_info(:p1)", {Variant::FromText(table)});
      break;
    case Backend::PostgreSQL:
      rows = db.Query(
          "SELECT column_name AS name, data_type AS type FROM information_schema.columns "
          "WHERE lower(table_name) = lower(:p1) AND table_schema = current_schema() ORDER BY ordinal_position",
          {Variant::FromText(table)});
      break;
    case Backend::ODBC:
      rows = db.Query(
          "SELECT column_name AS name, data_type AS type FROM information_schema.columns "
          "WHERE lower(table_name) = lower(:p1) ORDER BY ordinal_position",
          {Variant::FromText(table)});
      break;
  }
  std::vector<ColumnInfo> columns;
  for (; !rows.Eof(); rows.MoveNext()) {
    columns.push_back({rows.Field("name").ToText(), KindOfDeclaredType(rows.Field("type").ToText())});
  }
  if (columns.empty()) return std::nullopt;
  return columns;
}

TableRecordset LayawayRows(Database& db, const std::string& folio) {
  return db.Query("SELECT * FROM Apartado WHERE Ap_Folio = :p1 ORDER BY Ap_ID", {Variant::FromText(folio)});
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
  return db.Query(sql, params);
}

}  // namespace apartado::cli
