// report --html FILE: one self-contained page of plain inline SVG charts, so
// that it opens offline in any browser with nothing to fetch or run. Each
// figure is also kept in data- attributes, which is what tests read.
#include <cmath>
#include <ctime>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "apartado/date.h"
#include "commands.h"
#include "output.h"

namespace apartado::cli {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Num(double value) { return VariantToText(Variant::FromDouble(value)); }

std::string Text(const Variant& value) { return value.IsNull() ? "" : value.ToText(); }

double Number(const Variant& value) { return value.IsNull() || value.IsEmpty() ? 0.0 : value.ToDouble(); }

// One bar of a chart: its label, one value per series, and the data-
// attributes that name it.
struct Bar {
  std::string label;
  std::vector<double> values;
  std::string attributes;
};

struct Series {
  std::string name, colour, attribute;  // attribute: data-NAME holding the value
};

// A horizontal bar chart: one row per bar, the series side by side.
std::string BarChart(const std::string& id, const std::vector<Series>& series, const std::vector<Bar>& bars) {
  constexpr int kLabelWidth = 170, kBarHeight = 16, kWidth = 720, kValueWidth = 60;
  double largest = 0;
  for (const Bar& bar : bars)
    for (double value : bar.values) largest = std::max(largest, value);
  const int rowHeight = kBarHeight * static_cast<int>(series.size()) + 10;
  const int height = rowHeight * static_cast<int>(bars.size()) + 30;
  const double scale = largest > 0 ? (kWidth - kLabelWidth - kValueWidth) / largest : 0;
  std::ostringstream svg;
  svg << "<svg id=\"" << id << "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << height
      << "\" role=\"img\">\n";
  int x = kLabelWidth;
  for (const Series& s : series) {
    svg << "  <rect x=\"" << x << "\" y=\"4\" width=\"12\" height=\"12\" fill=\"" << s.colour << "\"/><text x=\""
        << x + 16 << "\" y=\"14\" font-size=\"12\">" << Escaped(s.name) << "</text>\n";
    x += 140;
  }
  for (std::size_t b = 0; b < bars.size(); ++b) {
    const Bar& bar = bars[b];
    const int top = 26 + static_cast<int>(b) * rowHeight;
    svg << "  <g class=\"bar\" " << bar.attributes;
    for (std::size_t k = 0; k < series.size(); ++k)
      svg << " data-" << series[k].attribute << "=\"" << Num(bar.values[k]) << "\"";
    svg << ">\n    <text x=\"" << kLabelWidth - 6 << "\" y=\"" << top + rowHeight / 2 + 2
        << "\" font-size=\"12\" text-anchor=\"end\">" << Escaped(bar.label) << "</text>\n";
    for (std::size_t k = 0; k < series.size(); ++k) {
      const int y = top + static_cast<int>(k) * kBarHeight;
      const double width = std::max(0.0, bar.values[k] * scale);
      svg << "    <rect x=\"" << kLabelWidth << "\" y=\"" << y << "\" width=\"" << Num(std::round(width * 10) / 10)
          << "\" height=\"" << kBarHeight - 2 << "\" fill=\"" << series[k].colour << "\"/><text x=\""
          << kLabelWidth + width + 4 << "\" y=\"" << y + kBarHeight - 4 << "\" font-size=\"11\">" << Num(bar.values[k])
          << "</text>\n";
    }
    svg << "  </g>\n";
  }
  svg << "</svg>\n";
  return svg.str();
}

std::string Attribute(const std::string& name, const std::string& value) {
  return "data-" + name + "=\"" + Escaped(value) + "\"";
}

// Available and reserved per product, all branches, warehouses, sizes and
// colours together, in control unit 1 (kits: kits).
std::vector<Bar> StockBars(Database& db) {
  std::map<std::string, std::pair<double, double>> products;
  for (TableRecordset r = db.Query("SELECT Pr_Cve_Producto, Ex_Cantidad_Control_1, Ex_Cantidad_Apartado_Control_1 "
                                   "FROM Existencia");
       !r.Eof(); r.MoveNext()) {
    auto& p = products[Text(r.Field("Pr_Cve_Producto"))];
    p.first += Number(r.Field("Ex_Cantidad_Control_1"));
    p.second += Number(r.Field("Ex_Cantidad_Apartado_Control_1"));
  }
  for (TableRecordset r = db.Query("SELECT Pr_Cve_Producto, Ek_Cantidad, Ek_Cantidad_Apartado FROM Existencia_Kit");
       !r.Eof(); r.MoveNext()) {
    auto& p = products[Text(r.Field("Pr_Cve_Producto"))];
    p.first += Number(r.Field("Ek_Cantidad"));
    p.second += Number(r.Field("Ek_Cantidad_Apartado"));
  }
  std::vector<Bar> bars;
  for (const auto& [product, quantities] : products)
    bars.push_back({product, {quantities.first, quantities.second}, Attribute("product", product)});
  return bars;
}

Date Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// Open layaways (not cancelled) by age band, and every layaway by state.
void LayawayBars(Database& db, std::vector<Bar>& byAge, std::vector<Bar>& byState) {
  struct Layaway {
    std::string state;
    Variant date;
  };
  std::map<std::string, Layaway> layaways;
  for (TableRecordset r = db.Query("SELECT Ap_Folio, Ap_Fecha, Es_Cve_Estado FROM Apartado ORDER BY Ap_Folio, Ap_ID");
       !r.Eof(); r.MoveNext())
    layaways.try_emplace(Text(r.Field("Ap_Folio")), Layaway{Text(r.Field("Es_Cve_Estado")), r.Field("Ap_Fecha")});
  const char* const bands[] = {"0-30", "31-60", "61-90", "over 90"};
  double counts[4] = {0, 0, 0, 0};
  std::map<std::string, double> states;
  const Date today = Today();
  for (const auto& [folio, layaway] : layaways) {
    ++states[layaway.state.empty() ? "-" : layaway.state];
    if (layaway.state == "CA" || layaway.date.IsNull() || layaway.date.IsEmpty()) continue;
    const double age = std::floor(today - std::floor(layaway.date.ToDate()));
    ++counts[age <= 30 ? 0 : age <= 60 ? 1 : age <= 90 ? 2 : 3];
  }
  for (int b = 0; b < 4; ++b)
    byAge.push_back({std::string(bands[b]) + " days", {counts[b]}, Attribute("band", bands[b])});
  for (const auto& [state, count] : states) byState.push_back({state, {count}, Attribute("state", state)});
}

// What each customer still owes on receivables in force.
std::vector<Bar> ReceivableBars(Database& db) {
  std::map<std::string, double> balances;
  for (TableRecordset r = db.Query("SELECT Cl_Cve_Cliente, Cxc_Saldo FROM Cuenta_X_Cobrar WHERE "
                                   "COALESCE(Es_Cve_Estado, 'AC') <> :p1",
                                   {Variant::FromText("CA")});
       !r.Eof(); r.MoveNext())
    balances[Text(r.Field("Cl_Cve_Cliente"))] += Number(r.Field("Cxc_Saldo"));
  std::vector<Bar> bars;
  for (const auto& [customer, balance] : balances)
    if (std::fabs(balance) >= 0.005) bars.push_back({customer, {balance}, Attribute("customer", customer)});
  return bars;
}

std::string LatestMovements(Database& db) {
  TableRecordset rows = db.Query(
      "SELECT * FROM (SELECT Me_ID, Me_Fecha, Me_Tabla, Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, "
      "Tl_Cve_Talla, Cl_Cve_Color, Me_Cambio_Control_1, Me_Cambio_Apartado_Control_1, Me_Operador, Me_Operacion, "
      "Me_Folio FROM Movimiento_Existencia ORDER BY Me_ID DESC LIMIT 20) m ORDER BY Me_ID DESC");
  std::ostringstream html;
  html << "<table id=\"movements\">\n<tr><th>#</th><th>moment</th><th>stock row</th><th>available</th>"
          "<th>reserved</th><th>operator</th><th>operation</th><th>folio</th></tr>\n";
  for (; !rows.Eof(); rows.MoveNext()) {
    std::string row;
    for (const char* key : {"Sc_Cve_Sucursal", "Al_Cve_Almacen", "Pr_Cve_Producto", "Tl_Cve_Talla", "Cl_Cve_Color"})
      row += (row.empty() ? "" : "/") + Text(rows.Field(key));
    const double available = Number(rows.Field("Me_Cambio_Control_1"));
    const double reserved = Number(rows.Field("Me_Cambio_Apartado_Control_1"));
    html << "<tr class=\"movement\" data-id=\"" << Text(rows.Field("Me_ID")) << "\" data-available=\"" << Num(available)
         << "\" data-reserved=\"" << Num(reserved) << "\"><td>" << Text(rows.Field("Me_ID")) << "</td><td>"
         << Escaped(VariantToText(rows.Field("Me_Fecha"))) << "</td><td>"
         << (Text(rows.Field("Me_Tabla")) == "Existencia_Kit" ? "kit " : "") << Escaped(row) << "</td><td>"
         << Num(available) << "</td><td>" << Num(reserved) << "</td><td>" << Escaped(Text(rows.Field("Me_Operador")))
         << "</td><td>" << Escaped(Text(rows.Field("Me_Operacion"))) << "</td><td>"
         << Escaped(Text(rows.Field("Me_Folio"))) << "</td></tr>\n";
  }
  html << "</table>\n";
  return html.str();
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:24px;color:#222}h1{font-size:22px}h2{font-size:17px;margin-top:28px}"
    "table{border-collapse:collapse;font-size:12px}td,th{border:1px solid #ccc;padding:3px 6px;text-align:left}"
    "p.none{color:#777}";

std::string Section(const std::string& title, const std::string& body, bool empty) {
  return "<h2>" + Escaped(title) + "</h2>\n" + (empty ? "<p class=\"none\">nothing to show</p>\n" : body);
}

}  // namespace

int ReportCommand(Host& host, const std::string& file) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening(true));
  const std::vector<Bar> stock = StockBars(*db);
  std::vector<Bar> byAge, byState;
  LayawayBars(*db, byAge, byState);
  const std::vector<Bar> receivables = ReceivableBars(*db);
  const std::string movements = LatestMovements(*db);

  std::ostringstream page;
  page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Stock and layaways</title>\n"
       << "<style>" << kStyle << "</style>\n</head>\n<body>\n<h1>Stock and layaways</h1>\n<p>"
       << Escaped(Database::DisplayName(host.options.connectionString)) << ", " << FormatDateTime(Today()).substr(0, 10)
       << "</p>\n"
       << Section(
              "Available and reserved per product",
              BarChart("stock", {{"available", "#4e79a7", "available"}, {"reserved", "#f28e2b", "reserved"}}, stock),
              stock.empty())
       << Section("Open layaways by age (days)", BarChart("ages", {{"layaways", "#59a14f", "count"}}, byAge), false)
       << Section("Layaways by state", BarChart("states", {{"layaways", "#76b7b2", "count"}}, byState), byState.empty())
       << Section("Receivable balances", BarChart("receivables", {{"balance", "#e15759", "balance"}}, receivables),
                  receivables.empty())
       << "<h2>Latest stock movements</h2>\n"
       << movements << "</body>\n</html>\n";

  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) throw InputError("cannot write " + file);
  out << page.str();
  out.close();
  if (!out) throw InputError("cannot write " + file);
  if (host.options.json)
    PrintJson(host.out, Json{{"ok", true}, {"file", file}});
  else
    host.out << "Wrote " << file << ".\n";
  return kExitOk;
}

}  // namespace apartado::cli
