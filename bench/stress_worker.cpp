// A stress worker: one process, one connection, one Apartado object. It runs
// random operations, each one transaction that holds the component's work
// and the run's bookkeeping together, and records in its state file what it
// is about to do, so that after a SIGKILL it can tell from the database
// whether that operation committed and finish it if not.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <random>
#include <sstream>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "apartado/operation_scope.h"
#include "apartado/suite.h"
#include "stress.h"

namespace stress {
namespace {

using namespace apartado;

struct Line {
  std::string product;
  int quantity = 0;
};

std::string LinesText(const std::vector<Line>& lines) {
  std::string text;
  for (const Line& line : lines) text += (text.empty() ? "" : ",") + line.product + ":" + std::to_string(line.quantity);
  return text;
}

std::vector<Line> ParseLines(const std::string& text) {
  std::vector<Line> lines;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const std::size_t colon = item.find(':');
    if (colon == std::string::npos) throw Failure("unreadable capture lines: " + text);
    lines.push_back({item.substr(0, colon), std::stoi(item.substr(colon + 1))});
  }
  return lines;
}

// "W3" for worker 3. Appended, not "W" + ...: g++ 12 -O3 warns falsely
// (-Wrestrict) on the latter.
std::string WorkerName(int id) {
  std::string name = "W";
  name += std::to_string(id);
  return name;
}

enum class Outcome { Committed, Refused, Skipped, GaveUp, Error };

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Committed:
      return "committed";
    case Outcome::Refused:
      return "refused";
    case Outcome::Skipped:
      return "skipped";
    case Outcome::GaveUp:
      return "gaveup";
    case Outcome::Error:
      break;
  }
  return "error";
}

class Worker {
 public:
  explicit Worker(const WorkerArgs& args) : args_(args), statePath_(StatePath(args.dir, args.id)) {
    db_ = std::shared_ptr<Database>(Database::Open(args.connection));
    suite::SuiteOptions options;
    options.connectionString = args.connection;
    options.database = db_;
    options.operatorKey = WorkerName(args.id);
    options.messageSink = [this](const suite::ReportedMessage& message) {
      reported_ = true;
      reportText_ = message.message;
    };
    InstallServiceFactory(suite::MakeSuiteFactory(options));
    object_ = std::make_unique<Apartado>();
    ReadState(statePath_, state_);
    random_.seed(args.seed + 7919u * static_cast<unsigned>(args.id) + static_cast<unsigned>(::getpid()));
  }

  int Run() {
    WaitForTheLastBackend();
    state_.pid = ::getpid();
    state_.backend = ServerProcess();
    ++state_.counts["starts"];
    WriteState(statePath_, state_);
    Recover();
    while (::access(StopPath(args_.dir).c_str(), F_OK) != 0) {
      try {
        ChooseNext();
      } catch (const Failure& failure) {
        Say("choosing an operation failed: " + std::string(failure.what()));
        ++state_.counts["error.choose"];
        ::usleep(10000);
        continue;
      }
      WriteState(statePath_, state_);
      Finish(Execute(), false);
    }
    return 0;
  }

 private:
  void Say(const std::string& text) { std::cerr << "worker " << args_.id << ": " << text << std::endl; }

  // Ends the recorded operation: its outcome counted and the record marked
  // done, in one write of the state file.
  void Finish(Outcome outcome, bool rerun) {
    ++state_.counts[std::string(OutcomeName(outcome)) + "." + state_.op];
    if (rerun) ++state_.counts[std::string("rerun.") + OutcomeName(outcome)];
    state_.pending = false;
    WriteState(statePath_, state_);
  }

  long ServerProcess() {
    if (db_->GetDialect() != SqlDialect::PostgreSQL) return 0;
    return db_->Query("SELECT pg_backend_pid() AS pid").Field("pid").ToLong();
  }

  // A killed worker's server process may still be finishing what it was
  // sent (a COMMIT among it): whether its operation committed is known once
  // that process has gone.
  void WaitForTheLastBackend() {
    if (state_.backend == 0) return;
    const std::vector<Variant> pid = {Variant::FromLong(static_cast<std::int32_t>(state_.backend))};
    while (!db_->Query("SELECT pid FROM pg_stat_activity WHERE pid = :p1", pid).Eof()) ::usleep(1000);
  }

  // The operation the last incarnation recorded and did not see end: if its
  // log row is in the database it committed; otherwise it is run again.
  void Recover() {
    if (!state_.pending) return;
    const bool committed =
        !db_->Query("SELECT Kind FROM Stress_Operation WHERE Worker = :p1 AND Seq = :p2",
                    {Variant::FromLong(args_.id), Variant::FromLong(static_cast<std::int32_t>(state_.seq))})
             .Eof();
    if (committed) {
      ++state_.counts["recovered.committed"];
      Finish(Outcome::Committed, false);
      return;
    }
    ++state_.counts["recovered.rerun"];
    Finish(Execute(), true);
  }

  int Roll(int below) { return static_cast<int>(random_() % static_cast<unsigned>(below)); }

  // A layaway in the given state, picked at random; "" when there is none.
  std::string PickFolio(const std::string& condition) {
    TableRecordset rows =
        db_->Query("SELECT Folio FROM Stress_Layaway WHERE " + condition + " ORDER BY RANDOM() LIMIT 1");
    return rows.Eof() ? "" : rows.Field("Folio").ToText();
  }

  void ChooseNext() {
    WorkerState next;
    next.pid = state_.pid;
    next.backend = state_.backend;
    next.seq = state_.seq + 1;
    next.pending = true;
    next.counts = state_.counts;
    const int roll = Roll(100);
    if (roll >= 35) {
      next.op = roll < 60 ? "reserve" : roll < 90 ? "release" : "cancel";
      next.folio = PickFolio(next.op == "reserve"   ? "Reservado = 0 AND Cancelado = 0"
                             : next.op == "release" ? "Reservado = 1 AND Cancelado = 0"
                                                    : "Cancelado = 0");
    }
    if (next.folio.empty()) {
      next.op = "capture";
      next.reference = WorkerName(args_.id) + "-" + std::to_string(next.seq);
      std::vector<Line> lines(1 + Roll(4));
      for (Line& line : lines) line = {Products()[Roll(static_cast<int>(Products().size()))].key, 1 + Roll(4)};
      next.lines = LinesText(lines);
    }
    state_ = std::move(next);
  }

  void LogOperation(const std::string& folio) {
    db_->Command("INSERT INTO Stress_Operation (Worker, Seq, Kind, Folio) VALUES (:p1, :p2, :p3, :p4)",
                 {Variant::FromLong(args_.id), Variant::FromLong(static_cast<std::int32_t>(state_.seq)),
                  Variant::FromText(state_.op), Variant::FromText(folio)});
  }

  Boolean CaptureWork(const std::vector<Line>& lines) {
    reported_ = false;
    object_->Apartar_Productos(kTrue);
    object_->Nuevo();
    tApEncabezado h = object_->Encabezado();
    h.Sucursal.Sc_Cve_Sucursal = kBranch;
    h.Almacen.Al_Cve_Almacen = kWarehouse;
    h.Cliente.Cl_Cve_Cliente = "C1";
    h.Vendedor.Vn_Cve_Vendedor = "V1";
    h.Mn_Cve_Moneda = "MXN";
    h.Ap_Tipo_Cambio = 1;
    h.Ap_Condicion_Venta = "CONT";
    h.Ap_Referencia = state_.reference;
    object_->Encabezado(h);
    std::vector<tApDetalle> details;
    for (const Line& line : lines) {
      tApDetalle& d = details.emplace_back();
      d.Producto.Pr_Cve_Producto = line.product;
      d.Tl_Cve_Talla = kSize;
      d.Cl_Cve_Color = kColour;
      d.Ap_Cantidad_1 = line.quantity;
      d.Ap_Unidad_1 = "PZA";
      d.Ap_Cantidad_Control_2 = 2.0 * line.quantity;
      d.Ap_Precio_Lista = 100;
    }
    // The stock rows in one order first, as a host capturing lines does; the
    // first line's row names the folio of the movements.
    db_->LabelMovements("Add_Apartado_Detalle", "", WorkerName(args_.id));
    db_->HoldStock(StockRowsOf(object_->Encabezado(), details));
    for (const tApDetalle& d : details) {
      object_->Detalle(d);
      if (reported_) return kFalse;  // the line was not taken: it must not be added
      if (!IsTrue(object_->Add_Apartado_Detalle())) return kFalse;
    }
    const std::string folio = object_->Encabezado().Ap_Folio;
    db_->Command(
        "INSERT INTO Stress_Layaway (Folio, Referencia, Lineas, Reservado, Cancelado) VALUES (:p1, :p2, :p3, 1, 0)",
        {Variant::FromText(folio), Variant::FromText(state_.reference),
         Variant::FromLong(static_cast<std::int32_t>(lines.size()))});
    LogOperation(folio);
    return kTrue;
  }

  // Reserve, release or cancel, on the layaway held first and found still in
  // the state it was picked for; otherwise skipped (nothing done).
  Boolean LayawayWork(bool& skipped) {
    const std::string& folio = state_.folio;
    const std::vector<Variant> key = {Variant::FromText(folio)};
    skipped = false;
    // Named as the command-line host names them: the ledger's movements
    // carry the operation and the folio they belong to.
    const char* name = state_.op == "reserve" ? "Apartar" : state_.op == "release" ? "Desapartar" : "Cancelar_Apartado";
    db_->LabelMovements(name, folio, WorkerName(args_.id));
    db_->HoldLayaway(folio);
    TableRecordset row = db_->Query("SELECT Reservado, Cancelado FROM Stress_Layaway WHERE Folio = :p1", key);
    if (row.Eof()) throw Failure("layaway " + folio + " has no bookkeeping row");
    const bool reserved = row.Field("Reservado").ToLong() != 0;
    const bool cancelled = row.Field("Cancelado").ToLong() != 0;
    const std::string& op = state_.op;
    if (cancelled || (op == "reserve" && reserved) || (op == "release" && !reserved)) {
      skipped = true;
      return kTrue;
    }
    if (op == "reserve") {
      if (!IsTrue(object_->Apartar(folio))) return kFalse;
      db_->Command("UPDATE Stress_Layaway SET Reservado = 1 WHERE Folio = :p1", key);
    } else if (op == "release") {
      if (!IsTrue(object_->Desapartar(folio).ToBoolean())) return kFalse;
      db_->Command("UPDATE Stress_Layaway SET Reservado = 0 WHERE Folio = :p1", key);
    } else {
      // A layaway not reserved has no stock to hand back: releasing its rows
      // would take stock other layaways hold.
      object_->Apartar_Productos(reserved ? kTrue : kFalse);
      const Boolean answer = object_->Cancelar_Apartado(folio);
      object_->Apartar_Productos(kTrue);
      if (!IsTrue(answer)) return kFalse;
      db_->Command("UPDATE Stress_Layaway SET Cancelado = 1, Reservado = 0 WHERE Folio = :p1", key);
    }
    LogOperation(folio);
    return kTrue;
  }

  Outcome Execute() {
    int attempts = 0;
    bool skipped = false;
    reported_ = false;
    try {
      Boolean answer;
      if (state_.op == "capture") {
        const std::vector<Line> lines = ParseLines(state_.lines);
        answer = RunInTransaction(*object_, [&] {
          ++attempts;
          return CaptureWork(lines);
        });
      } else {
        answer = RunInTransaction(*object_, [&] {
          ++attempts;
          return LayawayWork(skipped);
        });
      }
      state_.counts["retries"] += attempts - 1;
      if (!IsTrue(answer)) {
        const std::string why = reported_ ? reportText_ : object_->Error();
        const bool stock = why.find("existencia") != std::string::npos;
        ++state_.counts[std::string("refused.") + state_.op + (stock ? ".stock" : ".other")];
        if (!stock && said_++ < 5) Say(state_.op + " " + state_.folio + " refused: " + why);
        return Outcome::Refused;
      }
      return skipped ? Outcome::Skipped : Outcome::Committed;
    } catch (const TransactionConflict& conflict) {
      state_.counts["retries"] += attempts - 1;
      Say(state_.op + " " + state_.folio + " gave up: " + conflict.what());
      return Outcome::GaveUp;
    } catch (const std::exception& failure) {
      Say(state_.op + " " + state_.folio + state_.reference + " failed: " + failure.what());
      return Outcome::Error;
    }
  }

  WorkerArgs args_;
  std::string statePath_;
  std::shared_ptr<Database> db_;
  std::unique_ptr<Apartado> object_;
  WorkerState state_;
  std::mt19937 random_;
  bool reported_ = false;
  std::string reportText_;
  int said_ = 0;  // refusals other than for stock told on stderr
};

}  // namespace

int RunWorker(const WorkerArgs& args) {
  try {
    Worker worker(args);
    return worker.Run();
  } catch (const std::exception& failure) {
    std::cerr << "worker " << args.id << ": stopped: " << failure.what() << std::endl;
    return 2;
  }
}

}  // namespace stress
