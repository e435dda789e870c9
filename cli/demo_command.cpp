#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>

#include "apartado/apartado.h"
#include "apartado/number_text.h"
#include "apartado/operation_scope.h"
#include "apartado/suite.h"
#include "commands.h"
#include "database_checks.h"
#include "demo_catalogue.h"
#include "load.h"
#include "stock_view.h"

namespace apartado::cli {
namespace {

const char* const kIntroduction = R"(What a layaway is
  A layaway ("apartado") sets goods aside for a customer who will pay for them later. The goods stay
  in the warehouse, but their quantity moves from the AVAILABLE stock to the RESERVED stock, so no one
  else can sell them. The layaway keeps them reserved until it is released or cancelled, and it can be
  turned into an account receivable for the customer to pay off.
  This demo builds a small shop and walks one layaway through its life, showing the stock as it goes.
)";

// Starts from an empty file. Only a file named like the demo's own database
// is removed; any other existing file is left alone and refused.
void RemoveOldDemo(const std::string& file) {
  namespace fs = std::filesystem;
  if (file.empty() || !fs::exists(file)) return;
  if (fs::path(file).filename() != kDemoDatabase) {
    throw InputError(file + " already exists and is not a demo database (" + kDemoDatabase +
                     "): remove it or give --db a new file");
  }
  for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(file + suffix);
}

class Narrator {
 public:
  Narrator(Host& host, Database& db) : host_(host), out_(host.out), db_(db) {}

  void Step(const std::string& title) { out_ << "\nStep " << ++step_ << ". " << title << "\n"; }
  void Say(const std::string& text) { out_ << "  " << text << "\n"; }

  // The stock as it stands; not repeated when it is as last shown.
  void Stock(const std::string& label) {
    std::ostringstream table;
    PrintStockTables(table, db_, {});
    if (table.str() == last_) {
      out_ << "  Stock " << label << (label == "after" ? ": unchanged.\n" : ": as above.\n");
      return;
    }
    out_ << "  Stock " << label << ":\n";
    PrintStockTables(out_, db_, {}, "    ");
    last_ = table.str();
  }

  void Rows(const std::string& sql, const std::string& folio, const std::vector<std::string>& columns,
            const std::vector<std::string>& headers) {
    TableRecordset rows = db_.Query(sql, {Variant::FromText(folio)});
    PrintTable(out_, headers, SelectedCells(rows, columns), "    ");
  }

  // An operation answered False when it should not have: its text, exactly.
  int Unexpected(const std::string& call, const std::string& error) {
    out_ << "  " << call << " answered False; the demo stops here.\n";
    PrintRefusal(host_.err, call + " answered False", error);
    return kExitRefused;
  }

 private:
  Host& host_;
  std::ostream& out_;
  Database& db_;
  int step_ = 0;
  std::string last_;
};

std::string Call(const std::string& operation, const std::string& folio) { return operation + "(\"" + folio + "\")"; }

// Nuevo, Encabezado, then Detalle and Add_Apartado_Detalle per line, as one
// transaction. Answers the folio, or "" after a refusal (already reported;
// nothing of the layaway is kept then).
std::string CaptureDemoLayaway(Host& host, Narrator& say, Operations& operations) {
  Apartado& layaway = operations.Object();
  std::vector<std::vector<std::string>> rows;
  std::string refusedCall, refusal;
  const bool captured = IsTrue(operations.Group([&] {
    rows.clear();
    layaway.Nuevo();
    tApEncabezado header = layaway.Encabezado();
    demo::FillHeader(header);
    layaway.Encabezado(header);
    layaway.Apartar_Productos(kFalse);
    for (const tApDetalle& given : demo::Lines()) {
      host.messages.Take();
      layaway.Detalle(given);
      const std::vector<suite::ReportedMessage> refusals = host.messages.Take();
      if (!refusals.empty()) {
        refusedCall = "Detalle";
        refusal = refusals.front().message;
        return kFalse;
      }
      if (!IsTrue(layaway.Add_Apartado_Detalle())) {
        refusedCall = "Add_Apartado_Detalle()";
        refusal = layaway.Error();
        return kFalse;
      }
      const tApDetalle d = layaway.Detalle();
      rows.push_back({d.Ap_ID, d.Producto.Pr_Cve_Producto, d.Producto.Pr_Tipo_Producto, NumberText(d.Ap_Cantidad_1),
                      NumberText(d.Ap_Precio_Lista), NumberText(d.Ap_Impuesto_Importe),
                      NumberText(d.Ap_Precio_Neto_Importe), d.Lote.Lt_Cve_Lote});
    }
    return kTrue;
  }));
  if (!captured) {
    say.Unexpected(refusedCall, refusal);
    return "";
  }
  const std::string folio = layaway.Encabezado().Ap_Folio;
  say.Say("The first accepted line obtained the folio " + folio + "; each line was numbered and stored:");
  PrintTable(host.out, {"Ap_ID", "product", "type", "quantity", "list price", "tax", "net amount", "lot"}, rows,
             "    ");
  return folio;
}

}  // namespace

int DemoCommand(Host& host) {
  const std::string& connection = host.options.connectionString;
  RemoveOldDemo(SqliteFile(connection));
  std::unique_ptr<Database> db = Database::Open(connection, host.options.Opening());
  suite::CreateSchema(*db);
  try {
    LoadDocuments(*db, {{"demo catalogue", demo::Catalogue()}});
  } catch (const InputError& e) {
    throw InputError(std::string("the demo needs an empty database: ") + e.what());
  }
  host.InstallSuite(connection);
  Narrator say(host, *db);

  host.out << kIntroduction;
  const std::string shown = Database::DisplayName(connection);
  say.Step("A fresh demo database: " + shown);
  say.Say("Loaded a small catalogue: branch 01 with warehouse 01 (keeps lots, not sizes or colours), the peso");
  say.Say("(MXN), seller V01, customer C001 with 30 days of credit, sale condition AP30, the unit PZA, and three");
  say.Say("products: P100 a chair (plain, type 01), K200 a dining set (a kit, type 04, counted in kits) and");
  say.Say("L300 a varnish kept by lots (type 02, lots B-2026-01 and B-2027-03).");
  say.Stock("now");

  Apartado layaway;
  // Each operation is one transaction, as in every command.
  Operations operations(layaway, host.options.Policy());
  say.Step("Capture a layaway");
  say.Say("Nuevo starts it, Encabezado takes the header (branch, warehouse, customer, seller, currency), and");
  say.Say("each line goes in with Detalle, which completes it from the catalogue (units, cost, tax, amounts),");
  say.Say("and Add_Apartado_Detalle, which validates, numbers and stores it as a row of the table Apartado.");
  say.Say("Apartar_Productos is False here, so the lines are only stored; by default each line would reserve");
  say.Say("its stock at once.");
  say.Stock("before");
  const std::string folio = CaptureDemoLayaway(host, say, operations);
  if (folio.empty()) return kExitRefused;
  say.Stock("after");

  say.Step("Reserve its stock: " + Call("Apartar", folio));
  say.Say("Every stored line moves its quantity from available to reserved stock (a kit in kits).");
  say.Stock("before");
  if (!IsTrue(operations.Apartar(folio))) return say.Unexpected(Call("Apartar", folio), layaway.Error());
  say.Stock("after");

  say.Step("Generate the receivable: " + Call("Genera_Cuenta_x_Cobrar_Apartado", folio));
  say.Say("The layaway's amounts become an account receivable, due after the customer's 30 days of credit:");
  say.Stock("before");
  if (!IsTrue(operations.Genera_Cuenta_x_Cobrar_Apartado(folio))) {
    return say.Unexpected(Call("Genera_Cuenta_x_Cobrar_Apartado", folio), layaway.Error());
  }
  const std::string receivables =
      "SELECT * FROM Cuenta_X_Cobrar WHERE Cxc_Tabla = 'APARTADO' AND Cxc_Documento = :p1 ORDER BY Cxc_Folio";
  const std::vector<std::string> receivableColumns = {
      "Cxc_Folio", "Cxc_Fecha_Vencimiento", "Cxc_Subtotal", "Cxc_Impuesto", "Cxc_Total", "Cxc_Saldo", "Es_Cve_Estado"};
  const std::vector<std::string> receivableHeaders = {"receivable", "due",     "subtotal", "tax",
                                                      "total",      "balance", "status"};
  say.Rows(receivables, folio, receivableColumns, receivableHeaders);
  say.Stock("after");

  say.Step("Finalize it: " + Call("Finalizar_Apartado", folio));
  say.Say("The layaway is recorded in the customer's follow-up history; rows and stock stay as they are:");
  say.Stock("before");
  if (!IsTrue(operations.Finalizar_Apartado(folio))) {
    return say.Unexpected(Call("Finalizar_Apartado", folio), layaway.Error());
  }
  say.Rows("SELECT * FROM Historial_Seguimiento WHERE Hs_Folio = :p1", folio,
           {"Hs_Aplicacion", "Hs_Tipo_Entidad", "Hs_Cve_Entidad", "Hs_Fecha", "Hs_Descripcion"},
           {"application", "entity", "key", "dated", "entry"});
  say.Stock("after");

  say.Step("Cancel it: " + Call("Cancelar_Apartado", folio));
  say.Say("With Apartar_Productos True again (the capture had cleared it), the receivable is cancelled, every");
  say.Say("line's reserved stock goes back to available, and the rows are marked cancelled (Es_Cve_Estado CA):");
  layaway.Apartar_Productos(kTrue);
  say.Stock("before");
  if (!IsTrue(operations.Cancelar_Apartado(folio))) {
    return say.Unexpected(Call("Cancelar_Apartado", folio), layaway.Error());
  }
  say.Rows("SELECT * FROM Apartado WHERE Ap_Folio = :p1 ORDER BY Ap_ID", folio,
           {"Ap_ID", "Pr_Cve_Producto", "Es_Cve_Estado", "Oper_Baja", "Fecha_Baja"},
           {"Ap_ID", "product", "status", "cancelled by", "cancelled at"});
  say.Rows(receivables, folio, receivableColumns, receivableHeaders);
  say.Stock("after");

  say.Step("Cancel it again: " + Call("Cancelar_Apartado", folio));
  say.Say("A cancelled layaway cannot be cancelled twice. The operation answers False and its error text");
  say.Say("(the component's own words, in Spanish, source tag first) says why:");
  say.Stock("before");
  if (IsTrue(operations.Cancelar_Apartado(folio))) {
    say.Say("It answered True, which it must not: the demo found a fault.");
    return kExitRefused;
  }
  host.out << "\n" << layaway.Error() << "\n\n";
  say.Stock("after");

  host.out << "\nThe demo database is " << shown << ". Look around:\n"
           << "  apartado --db " << shown << " show " << folio << "\n"
           << "  apartado --db " << shown << " stock\n"
           << "  apartado --db " << shown << " capture my-layaway.json   (apartado capture --help shows the shape)\n";
  return kExitOk;
}

}  // namespace apartado::cli
