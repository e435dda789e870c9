// list: one line per layaway, newest first.
#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <optional>
#include <ostream>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "commands.h"
#include "output.h"

namespace apartado::cli {
namespace {

struct LayawaySummary {
  std::string folio, customer, state;
  Variant date, delivery;
  long lines = 0;
  double net = 0;
  long ageDays = 0;
  bool overdue = false;
};

// Today at midnight, local time.
Date Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

bool HasDate(const Variant& value) { return !value.IsNull() && !value.IsEmpty(); }

std::string DayText(const Variant& value) {
  return HasDate(value) ? FormatDateTime(value.ToDate()).substr(0, 10) : "-";
}

Json DateJson(const Variant& value) { return HasDate(value) ? Json(FormatIsoDateTime(value.ToDate())) : Json(); }

Date ParseListDate(const std::string& text) {
  try {
    return ParseDateTime(text);
  } catch (const Failure&) {
    throw InputError("--since takes a date as YYYY-MM-DD, not \"" + text + "\"");
  }
}

}  // namespace

int ListCommand(Host& host, const ListFilter& filter) {
  const std::optional<Date> since =
      filter.since.empty() ? std::nullopt : std::optional<Date>(ParseListDate(filter.since));
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening(true));
  std::string sql =
      "SELECT Ap_Folio, Cl_Cve_Cliente, Ap_Fecha, Ap_Fecha_Entrega, Ap_Precio_Neto_Importe, Es_Cve_Estado "
      "FROM Apartado";
  std::vector<Variant> params;
  if (!filter.customer.empty()) {
    sql += " WHERE Cl_Cve_Cliente = :p1";
    params.push_back(Variant::FromText(filter.customer));
  }
  TableRecordset rows = db->Query(sql + " ORDER BY Ap_Folio, Ap_ID", params);

  // A layaway's header values are on each of its rows; its state is the one
  // its rows share ('CA' once cancelled), or the first row's.
  std::map<std::string, LayawaySummary> layaways;
  for (; !rows.Eof(); rows.MoveNext()) {
    const std::string folio = rows.Field("Ap_Folio").ToText();
    auto [it, first] = layaways.try_emplace(folio);
    LayawaySummary& l = it->second;
    if (first) {
      l.folio = folio;
      const Variant customer = rows.Field("Cl_Cve_Cliente");
      l.customer = customer.IsNull() ? "" : customer.ToText();
      l.date = rows.Field("Ap_Fecha");
      l.delivery = rows.Field("Ap_Fecha_Entrega");
      const Variant state = rows.Field("Es_Cve_Estado");
      l.state = state.IsNull() ? "" : state.ToText();
    }
    ++l.lines;
    const Variant net = rows.Field("Ap_Precio_Neto_Importe");
    if (!net.IsNull()) l.net += net.ToDouble();
  }

  const Date today = Today();
  std::vector<LayawaySummary> shown;
  for (auto& [folio, l] : layaways) {
    if (HasDate(l.date)) l.ageDays = static_cast<long>(std::floor(today - std::floor(l.date.ToDate())));
    l.overdue = l.state != "CA" && HasDate(l.delivery) && std::floor(l.delivery.ToDate()) < today;
    if (!filter.state.empty() && l.state != filter.state) continue;
    if (since && (!HasDate(l.date) || l.date.ToDate() < *since)) continue;
    if (filter.overdue && !l.overdue) continue;
    shown.push_back(l);
  }
  // Newest first; a layaway without a date last.
  std::stable_sort(shown.begin(), shown.end(), [](const LayawaySummary& a, const LayawaySummary& b) {
    const double da = HasDate(a.date) ? a.date.ToDate() : -1e18;
    const double db = HasDate(b.date) ? b.date.ToDate() : -1e18;
    if (da != db) return da > db;
    return a.folio > b.folio;
  });

  if (host.options.json) {
    Json list = Json::array();
    for (const LayawaySummary& l : shown)
      list.push_back({{"Ap_Folio", l.folio},
                      {"Cl_Cve_Cliente", l.customer},
                      {"Ap_Fecha", DateJson(l.date)},
                      {"Ap_Fecha_Entrega", DateJson(l.delivery)},
                      {"lines", l.lines},
                      {"net_amount", l.net},
                      {"Es_Cve_Estado", l.state},
                      {"age_days", l.ageDays},
                      {"overdue", l.overdue}});
    PrintJson(host.out, Json{{"layaways", std::move(list)}});
    return kExitOk;
  }
  if (shown.empty()) {
    host.out << "(no layaways)\n";
    return kExitOk;
  }
  std::vector<std::vector<std::string>> cells;
  for (const LayawaySummary& l : shown)
    cells.push_back({l.folio, l.customer, DayText(l.date), DayText(l.delivery), std::to_string(l.lines),
                     VariantToText(Variant::FromDouble(l.net)), l.state.empty() ? "-" : l.state,
                     std::to_string(l.ageDays), l.overdue ? "yes" : "no"});
  PrintTable(host.out,
             {"folio", "customer", "date", "delivery", "lines", "net amount", "state", "age (days)", "overdue"}, cells);
  return kExitOk;
}

}  // namespace apartado::cli
