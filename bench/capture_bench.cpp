// Capture throughput of the component on SQLite with the reference suite,
// next to the floor: the same statements the component sends, executed
// straight on an identical database without the component. Then the
// per-line cost as the Apartado table grows.
//
//   capture_bench [--lines N] [--sizes 1000,10000,100000,1000000] [--rounds N] [--only memory|file] [--no-pin]
//                 [--quick]
#include <sched.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "apartado/apartado.h"
#include "apartado/database.h"
#include "apartado/failure.h"
#include "apartado/suite.h"

namespace {

using namespace apartado;
using Clock = std::chrono::steady_clock;

constexpr int kProducts = 20;
constexpr int kLinesPerLayaway = 10;

std::string ProductKey(int i) { return "P" + std::to_string(100 + i); }

void LoadCatalogue(Database& db) {
  suite::CreateSchema(db);
  Transaction tx(db);
  auto T = [](const std::string& s) { return Variant::FromText(s); };
  auto N = [](double d) { return Variant::FromDouble(d); };
  db.Command("INSERT INTO Sucursal (Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id) VALUES (:p1, :p2, :p3)",
             {T("01"), T("Matriz"), T("")});
  db.Command(
      "INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, Al_Maneja_Colores, "
      "Al_Maneja_Lotes, Al_Maneja_Series) VALUES (:p1, :p2, :p3, 0, 0, 0, 0)",
      {T("01"), T("A1"), T("General")});
  db.Command("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES (:p1, :p2)", {T("MXN"), T("Peso")});
  db.Command("INSERT INTO Vendedor (Vn_Cve_Vendedor, Vn_Descripcion) VALUES (:p1, :p2)", {T("V1"), T("Ana")});
  db.Command("INSERT INTO Cliente (Cl_Cve_Cliente, Cl_Descripcion, Cl_Dias_Credito) VALUES (:p1, :p2, 30)",
             {T("C1"), T("Cliente uno")});
  db.Command("INSERT INTO Condicion_Venta (Cv_Cve_Condicion_Venta, Cv_Descripcion) VALUES (:p1, :p2)",
             {T("CONT"), T("Contado")});
  db.Command("INSERT INTO Talla (Tl_Cve_Talla, Tl_Descripcion) VALUES (:p1, :p2)", {T("00"), T("Sin talla")});
  db.Command("INSERT INTO Color (Cl_Cve_Color, Cl_Descripcion) VALUES (:p1, :p2)", {T("00"), T("Sin color")});
  db.Command("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES (:p1, :p2)", {T("PZA"), T("Pieza")});
  for (int i = 0; i < kProducts; ++i) {
    db.Command(
        "INSERT INTO Producto (Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, Pr_Tipo_Costeo, "
        "Pr_Unidad_Control_1, Pr_Unidad_Control_2, Pr_Unidad_Costo, Pr_Costo, Pr_Tasa_Impuesto) "
        "VALUES (:p1, :p2, '01', 'PROM', 'PZA', 'PZA', 'PZA', :p3, 0.16)",
        {T(ProductKey(i)), T("Producto " + std::to_string(i)), N(10 + i)});
    db.Command(
        "INSERT INTO Existencia (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
        "Ex_Cantidad_Control_1, Ex_Cantidad_Control_2) VALUES ('01', 'A1', :p1, '00', '00', 1e12, 1e12)",
        {T(ProductKey(i))});
  }
  tx.Commit();
}

// Fills Apartado with rows of other folios, as years of stored layaways would.
void Prefill(Database& db, long rows) {
  Transaction tx(db);
  for (long r = 0; r < rows; ++r) {
    std::string folio = "H";  // appended, not "H" + ...: g++ 12 -O2 warns falsely (-Wrestrict) on the latter
    folio += std::to_string(r / kLinesPerLayaway);
    char id[8];
    std::snprintf(id, sizeof id, "%04ld", r % kLinesPerLayaway + 1);
    db.Command(
        "INSERT INTO Apartado (Ap_Folio, Ap_ID, Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Cl_Cve_Cliente, "
        "Ap_Cantidad_1, Ap_Precio_Neto_Importe, Ap_Fecha) VALUES (:p1, :p2, '01', 'A1', :p3, 'C1', 1, 116, "
        "'2025-01-01 10:00:00')",
        {Variant::FromText(folio), Variant::FromText(id),
         Variant::FromText(ProductKey(static_cast<int>(r % kProducts)))});
  }
  tx.Commit();
}

// Records the statements the component sends, passing each on unchanged.
class RecordingConnection : public Connection {
 public:
  RecordingConnection(Connection& inner, std::vector<std::string>& log) : inner_(inner), log_(log) {}
  std::unique_ptr<Recordset> Execute(const std::string& text) override {
    if (log_enabled) log_.push_back(text);
    return inner_.Execute(text);
  }
  bool log_enabled = false;

 private:
  Connection& inner_;
  std::vector<std::string>& log_;
};

class RecordingSession : public SessionServices {
 public:
  RecordingSession(std::shared_ptr<SessionServices> inner, std::vector<std::string>& log, bool& enabled)
      : inner_(std::move(inner)), log_(log), enabled_(enabled) {}
  Connection& GetConnection() override {
    Connection& real = inner_->GetConnection();
    if (!recorder_ || &real != wrapped_) {
      recorder_ = std::make_unique<RecordingConnection>(real, log_);
      wrapped_ = &real;
    }
    recorder_->log_enabled = enabled_;
    return *recorder_;
  }
  std::string GetOperator() override { return inner_->GetOperator(); }
  Variant ReadParameter(const std::string& n, std::int32_t w, const std::string& k, const std::string& d) override {
    return inner_->ReadParameter(n, w, k, d);
  }
  std::string GetServerId() override { return inner_->GetServerId(); }
  Boolean IsRemoteServer() override { return inner_->IsRemoteServer(); }
  void ReportMessage(const std::string& m, std::int32_t s, const std::string& t, const std::optional<Variant>& h,
                     const std::string& c, const std::string& e) override {
    inner_->ReportMessage(m, s, t, h, c, e);
  }

 private:
  std::shared_ptr<SessionServices> inner_;
  std::vector<std::string>& log_;
  bool& enabled_;
  std::unique_ptr<RecordingConnection> recorder_;
  Connection* wrapped_ = nullptr;
};

// The reference suite, with the session's connection wrapped to record.
class RecordingFactory : public ServiceFactory {
 public:
  RecordingFactory(std::shared_ptr<ServiceFactory> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<SessionServices> CreateSessionServices() override {
    return std::make_shared<RecordingSession>(inner_->CreateSessionServices(), log, recording);
  }
  std::shared_ptr<CatalogServices> CreateCatalogServices() override { return inner_->CreateCatalogServices(); }
  std::shared_ptr<WarehouseServices> CreateWarehouseServices() override { return inner_->CreateWarehouseServices(); }
  std::unique_ptr<TaxCalculator> CreateTaxCalculator() override { return inner_->CreateTaxCalculator(); }
  std::unique_ptr<ReceivableDocument> CreateReceivableDocument() override { return inner_->CreateReceivableDocument(); }
  std::unique_ptr<SeriesAssignment> CreateSeriesAssignment() override { return inner_->CreateSeriesAssignment(); }
  std::unique_ptr<LotAssignment> CreateLotAssignment() override { return inner_->CreateLotAssignment(); }

  std::vector<std::string> log;
  bool recording = false;

 private:
  std::shared_ptr<ServiceFactory> inner_;
};

// Captures `lines` lines in layaways of kLinesPerLayaway lines; answers seconds.
double CaptureLines(Apartado& layaway, int lines) {
  const auto start = Clock::now();
  for (int done = 0; done < lines;) {
    layaway.Nuevo();
    tApEncabezado h = layaway.Encabezado();
    h.Sucursal.Sc_Cve_Sucursal = "01";
    h.Almacen.Al_Cve_Almacen = "A1";
    h.Cliente.Cl_Cve_Cliente = "C1";
    h.Vendedor.Vn_Cve_Vendedor = "V1";
    h.Mn_Cve_Moneda = "MXN";
    h.Ap_Tipo_Cambio = 1;
    h.Ap_Condicion_Venta = "CONT";
    layaway.Encabezado(h);
    for (int i = 0; i < kLinesPerLayaway && done < lines; ++i, ++done) {
      tApDetalle d;
      d.Producto.Pr_Cve_Producto = ProductKey(done % kProducts);
      d.Tl_Cve_Talla = "00";
      d.Cl_Cve_Color = "00";
      d.Ap_Cantidad_1 = 2;
      d.Ap_Unidad_1 = "PZA";
      d.Ap_Cantidad_Control_2 = 2;
      d.Ap_Precio_Lista = 100;
      layaway.Detalle(d);
      if (!IsTrue(layaway.Add_Apartado_Detalle())) throw Failure("capture refused a line: " + layaway.Error());
    }
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double RunStatements(Database& db, const std::vector<std::string>& statements) {
  Connection& connection = db.GetConnection();
  const auto start = Clock::now();
  for (const std::string& s : statements) connection.Execute(s);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("apartado-bench-" + std::to_string(getpid()) + "-" + name))
      .string();
}

void RemoveDatabase(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path + suffix);
}

// The component keeps its services once per thread: each measurement runs on
// a thread of its own so that it starts with the factory installed for it.
// The databases it uses are opened here and used by one thread at a time.
template <typename Work>
void OnFreshThread(Work work) {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
  });
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

struct Figures {
  double component = 0;  // seconds per line, median of the rounds
  double floor = 0;
  double ratio = 0;            // median of the rounds' ratios
  std::size_t statements = 0;  // per round
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Component capture against the floor, each on its own fresh database. The
// two alternate round by round on the same thread, so that both meet the
// same machine: a VM's neighbours move single figures by tens of percent.
Figures CompareWithFloor(const std::string& componentPath, const std::string& floorPath, int lines, int rounds) {
  std::shared_ptr<Database> componentDb = Database::Open(componentPath);
  LoadCatalogue(*componentDb);
  auto floorDb = Database::Open(floorPath);
  LoadCatalogue(*floorDb);
  suite::SuiteOptions options;
  options.database = componentDb;
  auto factory = std::make_shared<RecordingFactory>(suite::MakeSuiteFactory(options));
  InstallServiceFactory(factory);
  std::vector<double> component, floor, ratio;
  Figures f;
  OnFreshThread([&] {
    Apartado layaway;
    CaptureLines(layaway, std::min(lines, 100));  // warm-up: caches, prepared statements
    for (int r = 0; r < rounds; ++r) {
      factory->log.clear();
      factory->recording = true;
      const double c = CaptureLines(layaway, lines) / lines;
      factory->recording = false;
      // The recorded folios are new to the floor's database, and the stock
      // updates are relative, so the statements replay as they ran.
      const double fl = RunStatements(*floorDb, factory->log) / lines;
      component.push_back(c);
      floor.push_back(fl);
      ratio.push_back(c / fl);
      f.statements = factory->log.size();
    }
  });
  InstallServiceFactory(nullptr);
  f.component = Median(component);
  f.floor = Median(floor);
  f.ratio = Median(ratio);
  return f;
}

void PrintComparison(const char* label, const Figures& f) {
  std::printf(
      "%-14s component %7.1f us/line (%6.0f lines/s)   floor %7.1f us/line (%6.0f lines/s)   ratio %.2f"
      "   [%zu statements a round]\n",
      label, 1e6 * f.component, 1 / f.component, 1e6 * f.floor, 1 / f.floor, f.ratio, f.statements);
}

// Seconds per line captured into Apartado tables prefilled with each size of
// rows. The sizes take turns round by round, so that a slow spell of the
// machine falls on all of them alike.
std::vector<double> GrowthPerLine(const std::vector<long>& sizes, bool onFile, int lines, int rounds) {
  struct Grown {
    std::string path;
    std::shared_ptr<Database> db;
    std::vector<double> perLine;
  };
  std::vector<Grown> grown;
  for (const long size : sizes) {
    const std::string path = onFile ? TempPath("grow-" + std::to_string(size) + ".db") : ":memory:";
    if (onFile) RemoveDatabase(path);
    grown.push_back({path, Database::Open(path), {}});
    LoadCatalogue(*grown.back().db);
    Prefill(*grown.back().db, size);
  }
  const int perRound = std::max(1, lines / rounds);
  for (int r = 0; r < rounds; ++r) {
    for (Grown& g : grown) {
      suite::SuiteOptions options;
      options.database = g.db;
      InstallServiceFactory(suite::MakeSuiteFactory(options));
      OnFreshThread([&] {
        Apartado layaway;
        CaptureLines(layaway, std::min(perRound, 100));
        g.perLine.push_back(CaptureLines(layaway, perRound) / perRound);
      });
      InstallServiceFactory(nullptr);
    }
  }
  std::vector<double> medians;
  for (Grown& g : grown) {
    medians.push_back(Median(g.perLine));
    g.db.reset();
    if (onFile) RemoveDatabase(g.path);
  }
  return medians;
}

// Keeps this thread, and every thread it starts, on the CPU it runs on now:
// on a VM one virtual CPU can be slower than another for a while, and fresh
// measuring threads would otherwise land on either. Answers the CPU, or -1.
int PinToCurrentCpu() {
  const int cpu = sched_getcpu();
  if (cpu < 0) return -1;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  return sched_setaffinity(0, sizeof set, &set) == 0 ? cpu : -1;
}

}  // namespace

int main(int argc, char** argv) {
  int lines = 5000;
  int rounds = 5;
  std::vector<long> sizes = {1000, 10000, 100000, 1000000};
  bool memory = true, file = true, pin = true;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--lines" && i + 1 < argc) {
      lines = std::atoi(argv[++i]);
    } else if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      std::stringstream in(argv[++i]);
      for (std::string s; std::getline(in, s, ',');) sizes.push_back(std::atol(s.c_str()));
    } else if (a == "--only" && i + 1 < argc &&
               (argv[i + 1] == std::string("memory") || argv[i + 1] == std::string("file"))) {
      memory = argv[++i] == std::string("memory");
      file = !memory;
    } else if (a == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--no-pin") {
      pin = false;
    } else if (a == "--quick") {
      lines = 300;
      rounds = 1;
      sizes = {1000, 10000};
    } else {
      std::cerr << "usage: capture_bench [--lines N] [--sizes N,N,...] [--rounds N] [--only memory|file] [--no-pin] "
                   "[--quick]\n";
      return 2;
    }
  }
  try {
    const int cpu = pin ? PinToCurrentCpu() : -1;
    std::printf("Capture on SQLite with the reference suite, %d lines in layaways of %d lines; median of %d rounds",
                lines, kLinesPerLayaway, rounds);
    if (cpu >= 0) std::printf("; every thread on CPU %d", cpu);
    std::printf("\n");
    // Each Database::Open of ":memory:" is a database of its own.
    if (memory) PrintComparison("in memory", CompareWithFloor(":memory:", ":memory:", lines, rounds));
    if (file) {
      const std::string a = TempPath("component.db"), b = TempPath("floor.db");
      PrintComparison("on file (WAL)", CompareWithFloor(a, b, lines, rounds));
      RemoveDatabase(a);
      RemoveDatabase(b);
    }

    for (const bool onFile : {false, true}) {
      if (onFile ? !file : !memory) continue;
      std::printf(
          "\nPer-line cost as the Apartado table grows (%s, %d lines captured at each size, median of %d "
          "rounds)\n",
          onFile ? "on file" : "in memory", lines, rounds);
      const std::vector<double> perLine = GrowthPerLine(sizes, onFile, lines, rounds);
      for (std::size_t i = 0; i < sizes.size(); ++i)
        std::printf("  %8ld stored rows: %8.1f us/line\n", sizes[i], 1e6 * perLine[i]);
    }
  } catch (const std::exception& e) {
    std::cerr << "capture_bench: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
