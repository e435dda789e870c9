#include "catalogue_rows.h"

namespace apartado::suite {
namespace {

std::string KeyWhere(const RowKey& key, std::vector<Variant>& params) {
  std::string where = " FROM " + key.table + " WHERE " + key.column + " = :p1";
  params = {Variant::FromText(key.value)};
  if (!key.column2.empty()) {
    where += " AND " + key.column2 + " = :p2";
    params.push_back(Variant::FromText(key.value2));
  }
  return where;
}

}  // namespace

TableRecordset RowsShowing(Database& db, const RowKey& key, const std::vector<std::string>& columns) {
  std::vector<Variant> params;
  const std::string where = KeyWhere(key, params);
  TableRecordset whole = db.CachedQuery("SELECT *" + where, params);
  bool shown = !whole.Columns().empty();
  for (const std::string& column : columns) shown = shown && whole.ColumnIndex(column) >= 0;
  if (shown) return whole;
  std::string list;
  for (const std::string& column : columns) list += (list.empty() ? "" : ", ") + column;
  return db.CachedQuery("SELECT " + list + where, params);
}

}  // namespace apartado::suite
