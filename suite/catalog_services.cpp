// Catalogue look-ups, dates, product relations and unit factors.
#include <ctime>

#include "apartado/failure.h"
#include "catalogue_rows.h"
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {
namespace {

// Table and column names reach the statement text, so they must be plain
// identifiers; values are always bound.
const std::string& RequireIdentifier(const std::string& name) {
  bool plain = !name.empty();
  for (const char c : name) {
    plain = plain && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
  }
  if (!plain) throw Failure(texts::BadIdentifier(name));
  return name;
}

// A value in the look-up's text form: dates as 'YYYY-MM-DD HH:MM:SS',
// numbers in the general number form, null as "".
std::string LookupText(const Variant& value) {
  if (value.IsNull() || value.IsEmpty()) return "";
  if (value.GetKind() == Variant::Kind::Date) return FormatDateTime(value.ToDate());
  return value.ToText();
}

bool HasActiveRow(Database& db, const std::string& sql, const std::vector<Variant>& params) {
  return !db.CachedQuery(sql, params).Eof();
}

std::vector<Variant> Texts(std::initializer_list<std::string> values) {
  std::vector<Variant> params;
  for (const std::string& v : values) params.push_back(Variant::FromText(v));
  return params;
}

}  // namespace

// The first row whose key (and second key, when its column is given) match;
// "" when none does or when excludedStatus is given and the row's
// Es_Cve_Estado equals it. The whole number is not used. The row is read
// whole, so that asking for its other columns in the same transaction (on
// SQLite, while nothing changed it) reads nothing more.
std::string SuiteCatalogServices::LookupValue(const std::string& table, const std::string& keyColumn,
                                              const std::string& keyValue, const std::string& resultColumn,
                                              std::int32_t, const std::string& keyColumn2, const std::string& keyValue2,
                                              const std::string& excludedStatus) {
  std::vector<std::string> columns = {RequireIdentifier(resultColumn)};
  if (!excludedStatus.empty()) columns.push_back("Es_Cve_Estado");
  RowKey key{RequireIdentifier(table), RequireIdentifier(keyColumn), keyValue, "", ""};
  if (!keyColumn2.empty()) {
    key.column2 = RequireIdentifier(keyColumn2);
    key.value2 = keyValue2;
  }
  TableRecordset rows = RowsShowing(Db(), key, columns);
  if (rows.Eof()) return "";
  if (!excludedStatus.empty()) {
    const Variant status = rows.Field("Es_Cve_Estado");
    if (!status.IsNull() && status.ToText() == excludedStatus) return "";
  }
  return LookupText(rows.Field(resultColumn));
}

// Local time, whole seconds: the databases keep no fractions of a second.
Date SuiteCatalogServices::GetCurrentDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

// Both forms keep the time of day: every backend reads 'YYYY-MM-DD HH:MM:SS'
// as a date and time literal.
std::string SuiteCatalogServices::FormatDateForSql(Date date) { return FormatDateTime(date); }
std::string SuiteCatalogServices::FormatDateTimeForSql(Date date) { return FormatDateTime(date); }

// A relation row withdrawn ('BA') counts as missing.
Boolean SuiteCatalogServices::CheckProductSize(const std::string& product, const std::string& size) {
  return ToBoolean(HasActiveRow(Db(),
                                "SELECT Pr_Cve_Producto FROM Producto_Talla WHERE Pr_Cve_Producto = :p1 AND "
                                "Tl_Cve_Talla = :p2 AND COALESCE(Es_Cve_Estado, '') <> 'BA'",
                                Texts({product, size})));
}

Boolean SuiteCatalogServices::CheckProductColour(const std::string& product, const std::string& colour) {
  return ToBoolean(HasActiveRow(Db(),
                                "SELECT Pr_Cve_Producto FROM Producto_Color WHERE Pr_Cve_Producto = :p1 AND "
                                "Cl_Cve_Color = :p2 AND COALESCE(Es_Cve_Estado, '') <> 'BA'",
                                Texts({product, colour})));
}

Boolean SuiteCatalogServices::CheckProductSizeColour(const std::string& product, const std::string& size,
                                                     const std::string& colour) {
  return ToBoolean(HasActiveRow(Db(),
                                "SELECT Pr_Cve_Producto FROM Producto_Talla_Color WHERE Pr_Cve_Producto = :p1 AND "
                                "Tl_Cve_Talla = :p2 AND Cl_Cve_Color = :p3 AND COALESCE(Es_Cve_Estado, '') <> 'BA'",
                                Texts({product, size, colour})));
}

// The product's own conversion row, else the row with an empty product key
// (valid for every product), else 0. Withdrawn rows ('BA') and null factors
// do not count.
double SuiteCatalogServices::GetUnitFactor(const std::string& product, const std::string& fromUnit,
                                           const std::string& toUnit) {
  TableRecordset rows = Db().CachedQuery(
      "SELECT Pr_Cve_Producto, Uc_Factor FROM Unidad_Conversion WHERE Un_Cve_Unidad_Origen = :p1 AND "
      "Un_Cve_Unidad_Destino = :p2 AND (Pr_Cve_Producto = :p3 OR Pr_Cve_Producto = '') AND "
      "COALESCE(Es_Cve_Estado, '') <> 'BA' AND Uc_Factor IS NOT NULL",
      Texts({fromUnit, toUnit, product}));
  double shared = 0;
  for (; !rows.Eof(); rows.MoveNext()) {
    const double factor = rows.Field("Uc_Factor").ToDouble();
    if (rows.Field("Pr_Cve_Producto").ToText() == product) return factor;
    shared = factor;
  }
  return shared;
}

}  // namespace apartado::suite
