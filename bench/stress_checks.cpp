// The invariants a stress run must leave true, read from the database alone:
// the stock rows, the layaway rows and the run's bookkeeping.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "stress.h"

namespace stress {
namespace {

using apartado::Database;
using apartado::TableRecordset;

bool Differ(double a, double b) { return std::fabs(a - b) > 1e-6; }

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string StockKey(const TableRecordset& r, const char* branch, const char* warehouse) {
  return r.Field(branch).ToText() + "/" + r.Field(warehouse).ToText() + "/" + r.Field("Pr_Cve_Producto").ToText() +
         "/" + r.Field("Tl_Cve_Talla").ToText() + "/" + r.Field("Cl_Cve_Color").ToText();
}

struct StockRow {
  bool kit = false;
  double available1 = 0, available2 = 0, reserved1 = 0, reserved2 = 0;
  double expected1 = 0, expected2 = 0;  // reserved by the layaways marked reserved
};

struct LayawayRow {
  std::string id, reference, stockKey, status;
  double quantity1 = 0, quantity2 = 0;
};

struct Bookkeeping {
  std::string reference;
  long lines = 0;
  bool reserved = false, cancelled = false;
};

class Checker {
 public:
  explicit Checker(Database& db) : db_(db) {}

  CheckResult Run() {
    LoadStock();
    LoadLayaways();
    CheckStockTotals();
    CheckWholeLayaways();
    CheckReservations();
    CheckFolios();
    CheckOperationLog();
    CheckLedger();
    result_.layaways = static_cast<long>(book_.size());
    return std::move(result_);
  }

 private:
  void Fail(int check, const std::string& text) { result_.violations.push_back({check, text}); }

  void LoadStock() {
    for (TableRecordset r = db_.Query("SELECT * FROM Existencia"); !r.Eof(); r.MoveNext()) {
      StockRow& row = stock_[StockKey(r, "Sc_Cve_Sucursal", "Al_Cve_Almacen")];
      row.available1 = r.Field("Ex_Cantidad_Control_1").ToDouble();
      row.available2 = r.Field("Ex_Cantidad_Control_2").ToDouble();
      row.reserved1 = r.Field("Ex_Cantidad_Apartado_Control_1").ToDouble();
      row.reserved2 = r.Field("Ex_Cantidad_Apartado_Control_2").ToDouble();
    }
    for (TableRecordset r = db_.Query("SELECT * FROM Existencia_Kit"); !r.Eof(); r.MoveNext()) {
      StockRow& row = stock_[StockKey(r, "Sc_Cve_Sucursal", "Al_Cve_Almacen")];
      row.kit = true;
      row.available1 = r.Field("Ek_Cantidad").ToDouble();
      row.reserved1 = r.Field("Ek_Cantidad_Apartado").ToDouble();
    }
  }

  void LoadLayaways() {
    for (TableRecordset r = db_.Query("SELECT * FROM Apartado"); !r.Eof(); r.MoveNext()) {
      const auto status = r.Field("Es_Cve_Estado");
      rows_[r.Field("Ap_Folio").ToText()].push_back(
          {r.Field("Ap_ID").ToText(), r.Field("Ap_Referencia").ToText(),
           StockKey(r, "Ap_Sucursal_Inventario", "Ap_Almacen_Inventario"), status.IsNull() ? "" : status.ToText(),
           r.Field("Ap_Cantidad_Control_1").ToDouble(), r.Field("Ap_Cantidad_Control_2").ToDouble()});
      ++result_.rows;
    }
    for (TableRecordset r = db_.Query("SELECT * FROM Stress_Layaway"); !r.Eof(); r.MoveNext()) {
      book_[r.Field("Folio").ToText()].push_back({r.Field("Referencia").ToText(), r.Field("Lineas").ToLong(),
                                                  r.Field("Reservado").ToLong() != 0,
                                                  r.Field("Cancelado").ToLong() != 0});
    }
  }

  // 1 and 2: available plus reserved is what the row started with; nothing
  // below zero, now or after any committed change.
  void CheckStockTotals() {
    std::set<std::string> listed;
    for (TableRecordset r = db_.Query("SELECT * FROM Stress_Stock"); !r.Eof(); r.MoveNext()) {
      const std::string key = std::string(kBranch) + "/" + kWarehouse + "/" + r.Field("Pr_Cve_Producto").ToText() +
                              "/" + kSize + "/" + kColour;
      listed.insert(key);
      const auto found = stock_.find(key);
      if (found == stock_.end()) {
        Fail(1, "stock row " + key + " is gone");
        continue;
      }
      const StockRow& row = found->second;
      const double total1 = r.Field("Total_1").ToDouble();
      const double total2 = r.Field("Total_2").ToDouble();
      if (Differ(row.available1 + row.reserved1, total1))
        Fail(1, key + ": available " + Number(row.available1) + " + reserved " + Number(row.reserved1) + " = " +
                    Number(row.available1 + row.reserved1) + ", started with " + Number(total1) +
                    (row.kit ? " (kit)" : " (control 1)"));
      if (!row.kit && Differ(row.available2 + row.reserved2, total2))
        Fail(1, key + ": available " + Number(row.available2) + " + reserved " + Number(row.reserved2) + " = " +
                    Number(row.available2 + row.reserved2) + ", started with " + Number(total2) + " (control 2)");
    }
    for (TableRecordset r = db_.Query("SELECT * FROM Stress_Below_Zero"); !r.Eof(); r.MoveNext()) {
      std::string quantities;
      for (const char* column : {"Cantidad_1", "Cantidad_2", "Apartado_1", "Apartado_2"}) {
        const apartado::Variant value = r.Field(column);
        quantities += std::string(quantities.empty() ? "" : ", ") + column + " " +
                      (value.IsNull() ? "-" : Number(value.ToDouble()));
      }
      Fail(2, "a committed change left " + r.Field("Tabla").ToText() + " " + r.Field("Pr_Cve_Producto").ToText() +
                  " with " + quantities);
    }
    for (const auto& [key, row] : stock_) {
      if (listed.count(key) == 0) Fail(1, "stock row " + key + " was not there at the start");
      for (double quantity : {row.available1, row.available2, row.reserved1, row.reserved2})
        if (quantity < -1e-9)
          Fail(2, key + ": a quantity below zero (available " + Number(row.available1) + "/" + Number(row.available2) +
                      ", reserved " + Number(row.reserved1) + "/" + Number(row.reserved2) + ")");
    }
  }

  // 3: every layaway stored whole or not at all, each capture once.
  void CheckWholeLayaways() {
    for (const auto& [folio, lines] : rows_) {
      const auto book = book_.find(folio);
      if (book == book_.end()) {
        Fail(3, "folio " + folio + " has " + std::to_string(lines.size()) + " rows and no bookkeeping row");
      } else if (static_cast<long>(lines.size()) != book->second.front().lines) {
        Fail(3, "folio " + folio + " has " + std::to_string(lines.size()) + " rows, captured with " +
                    std::to_string(book->second.front().lines));
      }
    }
    std::map<std::string, std::set<std::string>> foliosOfReference;
    for (const auto& [folio, entries] : book_) {
      if (rows_.count(folio) == 0) Fail(3, "folio " + folio + " is in the bookkeeping and has no rows");
      for (const Bookkeeping& entry : entries) foliosOfReference[entry.reference].insert(folio);
    }
    for (const auto& [folio, lines] : rows_)
      for (const LayawayRow& line : lines) foliosOfReference[line.reference].insert(folio);
    for (const auto& [reference, folios] : foliosOfReference)
      if (folios.size() > 1)
        Fail(3, "capture " + reference + " is stored under " + std::to_string(folios.size()) + " folios");
  }

  // 4: what each stock row holds reserved is what the layaways marked
  // reserved (and not cancelled) asked for.
  void CheckReservations() {
    for (const auto& [folio, lines] : rows_) {
      const auto book = book_.find(folio);
      if (book == book_.end() || !book->second.front().reserved || book->second.front().cancelled) continue;
      for (const LayawayRow& line : lines) {
        const auto row = stock_.find(line.stockKey);
        if (row == stock_.end()) {
          Fail(4, "folio " + folio + " line " + line.id + " is reserved on " + line.stockKey + ", which has no row");
          continue;
        }
        row->second.expected1 += line.quantity1;
        row->second.expected2 += line.quantity2;
      }
    }
    for (const auto& [key, row] : stock_) {
      if (Differ(row.reserved1, row.expected1))
        Fail(4, key + ": reserved " + Number(row.reserved1) + ", the reserved layaways hold " + Number(row.expected1) +
                    (row.kit ? " (kit)" : " (control 1)"));
      if (!row.kit && Differ(row.reserved2, row.expected2))
        Fail(4, key + ": reserved " + Number(row.reserved2) + ", the reserved layaways hold " + Number(row.expected2) +
                    " (control 2)");
    }
  }

  // 5: no folio shared, lines numbered 0001..n, cancelled layaways wholly
  // cancelled and the others not at all.
  void CheckFolios() {
    for (const auto& [folio, entries] : book_)
      if (entries.size() > 1)
        Fail(5, "folio " + folio + " was given to " + std::to_string(entries.size()) + " captures");
    for (const auto& [folio, lines] : rows_) {
      std::vector<std::string> ids;
      for (const LayawayRow& line : lines) ids.push_back(line.id);
      std::sort(ids.begin(), ids.end());
      for (std::size_t i = 0; i < ids.size(); ++i) {
        char expected[24];
        std::snprintf(expected, sizeof expected, "%04zu", i + 1);
        if (ids[i] != expected) {
          Fail(5, "folio " + folio + " line " + std::to_string(i + 1) + " is numbered " + ids[i]);
          break;
        }
      }
      const auto book = book_.find(folio);
      if (book == book_.end()) continue;
      const Bookkeeping& entry = book->second.front();
      long cancelledRows = 0;
      for (const LayawayRow& line : lines) {
        if (line.reference != entry.reference)
          Fail(5, "folio " + folio + " line " + line.id + " belongs to capture " + line.reference + ", not " +
                      entry.reference);
        if (line.status == "CA") ++cancelledRows;
      }
      if (entry.cancelled && cancelledRows != static_cast<long>(lines.size()))
        Fail(5, "folio " + folio + " is cancelled, yet " + std::to_string(lines.size() - cancelledRows) + " of its " +
                    std::to_string(lines.size()) + " rows are not 'CA'");
      if (!entry.cancelled && cancelledRows > 0)
        Fail(5, "folio " + folio + " is not cancelled, yet " + std::to_string(cancelledRows) + " rows are 'CA'");
    }
  }

  // 6: each operation a worker began committed at most once, and each capture
  // logged is the one that stored its folio.
  void CheckOperationLog() {
    std::map<std::pair<long, long>, int> times;
    std::map<std::string, int> capturesOfFolio;
    for (TableRecordset r = db_.Query("SELECT * FROM Stress_Operation"); !r.Eof(); r.MoveNext()) {
      const std::string kind = r.Field("Kind").ToText();
      ++result_.committed[kind];
      ++times[{r.Field("Worker").ToLong(), r.Field("Seq").ToLong()}];
      if (kind == "capture") ++capturesOfFolio[r.Field("Folio").ToText()];
    }
    for (const auto& [operation, count] : times)
      if (count > 1)
        Fail(6, "operation " + std::to_string(operation.second) + " of worker " + std::to_string(operation.first) +
                    " committed " + std::to_string(count) + " times");
    for (const auto& [folio, entries] : book_)
      if (capturesOfFolio.count(folio) == 0) Fail(6, "folio " + folio + " has no capture in the log");
    for (const auto& [folio, count] : capturesOfFolio)
      if (count > 1 || book_.count(folio) == 0)
        Fail(6, "folio " + folio + " has " + std::to_string(count) + " captures in the log and " +
                    std::to_string(book_.count(folio) ? book_.at(folio).size() : 0) + " bookkeeping rows");
  }

  // 7: each stock quantity is the sum of the stock ledger's movements of its
  // row, and each reserved quantity the sum of those made inside an
  // operation: a killed worker's rolled-back transaction left no movement,
  // and every committed change left one.
  void CheckLedger() {
    std::map<std::string, StockRow> sums, byOperations;
    for (TableRecordset r =
             db_.Query("SELECT Me_Tabla, Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
                       "Me_Operacion, Me_Cambio_Control_1, Me_Cambio_Control_2, Me_Cambio_Apartado_Control_1, "
                       "Me_Cambio_Apartado_Control_2 FROM Movimiento_Existencia");
         !r.Eof(); r.MoveNext()) {
      const std::string key = StockKey(r, "Sc_Cve_Sucursal", "Al_Cve_Almacen");
      std::vector<StockRow*> into = {&sums[key]};
      if (!r.Field("Me_Operacion").IsNull()) into.push_back(&byOperations[key]);
      for (StockRow* row : into) {
        row->available1 += r.Field("Me_Cambio_Control_1").ToDouble();
        row->available2 += r.Field("Me_Cambio_Control_2").ToDouble();
        row->reserved1 += r.Field("Me_Cambio_Apartado_Control_1").ToDouble();
        row->reserved2 += r.Field("Me_Cambio_Apartado_Control_2").ToDouble();
      }
    }
    for (const auto& [key, row] : stock_) {
      const StockRow& sum = sums[key];
      const StockRow& operations = byOperations[key];
      if (Differ(row.available1, sum.available1) || Differ(row.available2, sum.available2) ||
          Differ(row.reserved1, sum.reserved1) || Differ(row.reserved2, sum.reserved2))
        Fail(7, key + ": available " + Number(row.available1) + "/" + Number(row.available2) + ", reserved " +
                    Number(row.reserved1) + "/" + Number(row.reserved2) + "; the ledger sums " +
                    Number(sum.available1) + "/" + Number(sum.available2) + ", " + Number(sum.reserved1) + "/" +
                    Number(sum.reserved2));
      if (Differ(row.reserved1, operations.reserved1) || Differ(row.reserved2, operations.reserved2))
        Fail(7, key + ": reserved " + Number(row.reserved1) + "/" + Number(row.reserved2) +
                    ", the operations' movements reserved " + Number(operations.reserved1) + "/" +
                    Number(operations.reserved2));
    }
  }

  Database& db_;
  CheckResult result_;
  std::map<std::string, StockRow> stock_;
  std::map<std::string, std::vector<LayawayRow>> rows_;
  std::map<std::string, std::vector<Bookkeeping>> book_;
};

}  // namespace

const char* CheckName(int check) {
  switch (check) {
    case 1:
      return "available + reserved = initial total, per stock row and unit";
    case 2:
      return "no quantity below zero, at the end or after any committed change";
    case 3:
      return "layaways stored whole or not at all, each capture once";
    case 4:
      return "reserved stock = what the reserved layaways hold";
    case 5:
      return "no folio shared, lines 0001..n, cancelled layaways wholly 'CA'";
    case 6:
      return "no operation committed twice";
    case 7:
      return "stock = the sum of its ledger movements; reserved stock = the operations' movements";
  }
  return "?";
}

CheckResult CheckInvariants(Database& db) { return Checker(db).Run(); }

}  // namespace stress
