#include "host.h"

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <thread>

#include "apartado/failure.h"
#include "apartado/services.h"
#include "apartado/version.h"
#include "commands.h"
#include "database_checks.h"
#include "input_checks.h"
#include "output.h"

namespace apartado::cli {

void MessageLog::Add(const suite::ReportedMessage& message) {
  std::lock_guard lock(mutex_);
  messages_.push_back(message);
}

std::vector<suite::ReportedMessage> MessageLog::Take() {
  std::lock_guard lock(mutex_);
  std::vector<suite::ReportedMessage> taken;
  taken.swap(messages_);
  return taken;
}

void Host::InstallSuite(const std::string& connectionString, std::shared_ptr<Database> database) {
  suite::SuiteOptions suiteOptions;
  suiteOptions.connectionString = connectionString;
  suiteOptions.statementTimeout = options.statementTimeout;
  suiteOptions.database = std::move(database);
  suiteOptions.operatorKey = options.operatorKey;
  suiteOptions.serverId = options.serverId;
  suiteOptions.remote = options.remote;
  suiteOptions.messageSink = [this](const suite::ReportedMessage& message) { messages.Add(message); };
  InstallServiceFactory(suite::MakeSuiteFactory(std::move(suiteOptions)));
  installed_ = true;
}

Host::~Host() {
  if (installed_) InstallServiceFactory(nullptr);
}

namespace {

std::string FromEnvironment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : fallback;
}

const char* const kFooter = R"(Transactions:
  Every operation runs as one database transaction (a captured layaway as one, each line in it as a
  nested one): after a crash or a lost connection it has happened whole or not at all, and one that
  answers False changes nothing (unless --commit-on-refusal). On PostgreSQL the rows an operation
  decides on are locked until it ends, so concurrent sessions never both reserve the same stock.

Environment:
  APARTADO_DB, APARTADO_OPERATOR, APARTADO_SERVER_ID,
  APARTADO_STATEMENT_TIMEOUT   used when --db, --operator, --server-id, --statement-timeout are not given

Exit status:
  0  every operation answered True
  1  an operation answered False or failed: stderr says "apartado: CALL answered False:", then the error
     text exactly as the component holds it
  2  bad usage or bad input (nothing was written); the message names what is wrong

Start with `apartado demo`: it builds a small demo database and walks a layaway through its life.
`apartado schema` lists the tables and columns a catalogue fills. `apartado help COMMAND` describes each
command. Every error on stderr starts with "apartado:".)";

// Ends the help of every command.
const char* const kCommandFooter =
    R"(Global options, before or after the command: --db CONN, --operator KEY, --server-id ID, --remote,
--json, --commit-on-refusal (see apartado --help). Each operation is one transaction; a refused one
changes nothing. Exit status: 0 True, 1 False (the error text goes to stderr), 2 bad usage.)";

// ledger and check.
const char* const kLedgerHelp =
    R"(Every change of a row of Existencia or Existencia_Kit is a movement, written by the database's
triggers whoever made the change: its moment, the stock row (branch/warehouse/product/size/colour,
"kit" for Existencia_Kit), the change of the available and of the reserved quantity in each control
unit (a kit's count is control unit 1), and the operator, operation and folio of the operation that
made it ("-" for a change made outside any operation, such as an UPDATE by hand; INICIAL is what a
row held when the ledger began). PRODUCT or --folio narrows the list. --json: {"movements": [...]}.

)";
const char* const kCheckHelp =
    R"(For each stock row, the available and reserved quantities must equal the sum of the row's
movements in the ledger; each reserved quantity must equal what operations reserved (a change by hand
has no operation), and what the layaways not cancelled hold with what operations reserved outside any
layaway (a layaway cancelled with --keep-stock still holds its stock). Every row that differs is printed with the quantities that differ, the
layaways that name the row (what their lines hold and what their own movements reserved there) and the
row's latest movements. Run it first after a power cut or when the stock looks wrong.
--json: {"ok": bool, "rows_checked": N, "differences": [...]}. Exit 1 when a row differs, 0 when all agree.

)";
const char* const kListHelp =
    R"(Each layaway: its folio, customer, date, delivery date, number of lines, net amount (the sum of
its lines' Ap_Precio_Neto_Importe), state (Es_Cve_Estado of its rows: CA once cancelled), its age in
days, and "overdue" when it is not cancelled and its delivery date is before today.
--json: {"layaways": [{"Ap_Folio", "Cl_Cve_Cliente", "Ap_Fecha", "Ap_Fecha_Entrega", "lines",
"net_amount", "Es_Cve_Estado", "age_days", "overdue"}, ...]}.

)";
const char* const kReportHelp =
    R"(The page holds plain inline SVG charts and a table, with no script and nothing to fetch, so it
opens offline in any browser: available and reserved stock per product (control unit 1, kits as
kits), open layaways by age band (0-30, 31-60, 61-90, over 90 days) and all layaways by state, what
each customer still owes on receivables in force, and the 20 latest stock movements. FILE is the
only thing written.

)";
const char* const kReadOnlyFooter =
    R"(Reads only: the database is opened read-only and never created. Global options: --db CONN, --json.
Exit status: 0 done, 1 failed, 2 bad usage.)";

const char* const kLayawayShape = R"(A layaway object:
  {"Encabezado": {"Mn_Cve_Moneda": "MXN", "Ap_Tipo_Cambio": 1,
                  "Sucursal": {"Sc_Cve_Sucursal": "01"}, "Almacen": {"Al_Cve_Almacen": "01"},
                  "Cliente": {"Cl_Cve_Cliente": "C001"}, "Vendedor": {"Vn_Cve_Vendedor": "V01"},
                  "Ap_Condicion_Venta": "CONTADO", "Ap_Fecha_Entrega": "2026-03-10T15:30:00"},
   "Detalles": [{"Producto": {"Pr_Cve_Producto": "P100"}, "Ap_Cantidad_1": 2, "Ap_Unidad_1": "PZA",
                 "Ap_Precio_Lista": 100}],
   "Apartar_Productos": true}
Field names are those of the records tApEncabezado and tApDetalle, nested as in them; dates are
ISO 8601 text. Unknown fields, wrong types and malformed JSON are refused before anything is written.
Per layaway, as one transaction: Nuevo, Encabezado (the given fields over the object's),
Apartar_Productos when given, then per line, as a nested transaction, Detalle and Add_Apartado_Detalle.
A line Detalle refused is not added; a refused line leaves nothing and is not numbered, the layaway's
other lines stay. Each layaway's result is printed as soon as it is committed: one line of text, or
with --json one JSON object per line (folio, ok, error, and per line Ap_ID, ok, error, the messages
reported and the completed Detalle). An interrupted run has printed exactly what it committed.
Exit 1 when a line was refused.

)";

// capture: running a file again, progress.
const char* const kCaptureRerunHelp =
    R"(Running a file again: with --skip-captured, a layaway whose header carries an Ap_Referencia
(not empty) that stored layaway rows carry already is skipped and reported as skipped ("skipped":
true in JSON), so an interrupted capture of a file whose layaways each carry their own reference is
finished by running it again without storing any layaway twice. Layaways without a reference are
captured every time.
Progress (lines and layaways done, lines per second, time left) and a closing summary go to stderr
when it is a terminal, or with --progress; -q leaves them out. Nothing of it goes to stdout.

)";

void AddCaptureOptions(CLI::App* capture, CaptureOptions& options) {
  capture->add_flag("--skip-captured", options.skipCaptured,
                    "skip a layaway whose Ap_Referencia stored rows carry already");
  capture->add_flag("--progress", options.progress, "progress and a summary on stderr even when it is not a terminal");
  capture->add_flag("-q,--quiet", options.quiet, "no progress, no summary");
}

struct Choices {
  HostOptions options;
  LoadChoices load;
  std::string file;
  std::string folio;
  bool keepStock = false;
  bool full = false;
  std::string table;  // schema TABLE
  std::string topic;  // help COMMAND
  ProductRelease release;
  StockFilter filter;
  CaptureOptions capture;
  LedgerFilter ledger;
  ListFilter list;
};

// Runs fn on a thread of its own and hands back its result or its exception.
int RunOnOwnThread(const std::function<int()>& fn) {
  int status = kExitRefused;
  std::exception_ptr raised;
  std::thread worker([&] {
    try {
      status = fn();
    } catch (...) {
      raised = std::current_exception();
    }
  });
  worker.join();
  if (raised) std::rethrow_exception(raised);
  return status;
}

// The commands that never write the database: they open it read-only.
bool ReadsOnly(const std::string& command) {
  for (const char* reader : {"show", "stock", "list", "ledger", "check", "report"})
    if (command == reader) return true;
  return false;
}

int Dispatch(const std::string& command, Choices& c, Host& host) {
  if (command == "schema") return SchemaCommand(host, c.table);
  // Every other command works on a database, and only these may create one.
  RequireKnownBackend(host.options.connectionString);
  if (command != "init" && command != "load" && command != "demo")
    RequireSuiteDatabase(host.options.connectionString, host.options.Opening(ReadsOnly(command)));
  if (command == "init") return InitCommand(host);
  if (command == "load") return LoadCommand(host, c.load);
  if (command == "capture") return CaptureCommand(host, c.file, c.capture);
  if (command == "reserve") return FolioOperationCommand(host, FolioOperation::Reserve, c.folio);
  if (command == "release") return FolioOperationCommand(host, FolioOperation::Release, c.folio);
  if (command == "cancel") return FolioOperationCommand(host, FolioOperation::Cancel, c.folio, c.keepStock);
  if (command == "finalize") return FolioOperationCommand(host, FolioOperation::Finalize, c.folio);
  if (command == "receivable") return FolioOperationCommand(host, FolioOperation::Receivable, c.folio);
  if (command == "release-product") return ReleaseProductCommand(host, c.release);
  if (command == "show") return ShowCommand(host, c.folio, c.full);
  if (command == "stock") return StockCommand(host, c.filter);
  if (command == "list") return ListCommand(host, c.list);
  if (command == "ledger") return LedgerCommand(host, c.ledger);
  if (command == "check") return CheckCommand(host);
  if (command == "report") return ReportCommand(host, c.file);
  if (command == "demo") return DemoCommand(host);
  throw InputError("unknown command: " + command);
}

void AddFolio(CLI::App* sub, Choices& c, const std::string& what) {
  sub->add_option("FOLIO", c.folio, what)->required();
}

std::vector<CLI::App*> Commands(CLI::App& app) {
  return app.get_subcommands([](CLI::App*) { return true; });
}

std::string CommandList(CLI::App& app) {
  std::string names;
  for (CLI::App* sub : Commands(app)) names += (names.empty() ? "" : ", ") + sub->get_name();
  return "the commands are: " + names;
}

// The command the arguments name: the first that is neither an option nor an
// option's value. Empty, with the problem said, when it names none or one
// that does not exist; empty without a problem for --help and --version.
struct CommandWord {
  std::string name;
  std::string problem;
};
CommandWord FindCommand(CLI::App& app, const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h" || arg == "--version") return {};
    if (arg.size() > 1 && arg[0] == '-') {
      const CLI::Option* option = app.get_option_no_throw(arg);
      if (option != nullptr && option->get_items_expected() > 0) ++i;  // its value
      continue;
    }
    for (CLI::App* sub : Commands(app))
      if (sub->get_name() == arg) return {arg, ""};
    return {"", "unknown command \"" + arg + "\"; " + CommandList(app)};
  }
  return {"", "no command given; " + CommandList(app)};
}

// help [COMMAND]: what --help prints, for the program or one command.
int Help(CLI::App& app, const std::string& topic, std::ostream& out, std::ostream& err) {
  if (topic.empty()) {
    app.clear();  // else help() describes the command parsed: help itself
    out << app.help();
    return kExitOk;
  }
  for (CLI::App* sub : Commands(app)) {
    if (sub->get_name() == topic) {
      out << sub->help();
      return kExitOk;
    }
  }
  err << "apartado: unknown command \"" << topic << "\"; " << CommandList(app) << "\n";
  return kExitBadInput;
}

}  // namespace

int Run(int argc, const char* const argv[], std::ostream& out, std::ostream& err, std::istream& in) {
  Choices c;
  CLI::App app{
      "apartado: the layaway host. A layaway sets goods aside for a customer: their quantity moves from\n"
      "the available stock to the reserved stock until the layaway is released or cancelled.",
      "apartado"};
  app.fallthrough();  // global options may follow the command
  app.require_subcommand(1);
  app.get_formatter()->column_width(24);
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("Subcommands", "Commands");

  std::string db, operatorKey, serverId;
  CLI::Option* dbOption =
      app.add_option("--db", db, "database: a path or sqlite:PATH, postgresql://..., odbc:...\n(default ./apartado.db)")
          ->type_name("CONN");
  CLI::Option* operatorOption =
      app.add_option("--operator", operatorKey, "operator key the session answers (default ADMIN)")->type_name("KEY");
  CLI::Option* serverOption =
      app.add_option("--server-id", serverId, "id of the server this session runs on (default empty)")->type_name("ID");
  double timeoutSeconds = 0;
  app.add_option("--statement-timeout", timeoutSeconds,
                 "PostgreSQL: cancel a statement that runs longer (default: the server's)")
      ->type_name("SECONDS")
      ->envname("APARTADO_STATEMENT_TIMEOUT")
      ->check(TimeoutSeconds());
  app.add_flag("--remote", c.options.remote, "the session does not run on the central server");
  app.add_flag("--json", c.options.json, "print JSON on stdout instead of text");
  app.add_flag("--commit-on-refusal", c.options.commitOnRefusal,
               "keep what an operation did before it answered False (by default a refused\n"
               "operation is rolled back whole and changes nothing)");
  app.set_version_flag("--version", std::string("apartado ") + APARTADO_VERSION, "print the version and exit");

  app.add_subcommand("help", "describe the commands, or one command")
      ->add_option("COMMAND", c.topic, "the command to describe");

  app.add_subcommand("demo",
                     "a fresh demo database (./apartado-demo.db unless --db given) and one layaway\n"
                     "captured, reserved, billed, finalized and cancelled, step by step with the stock")
      ->footer(
          std::string("An existing apartado-demo.db is deleted first; any other existing file given with --db is\n"
                      "refused, and a server database must hold no catalogue yet. The narration is text only.\n\n") +
          kCommandFooter);
  app.add_subcommand("init", "create the suite schema in the database if it is missing (safe to repeat)");
  app.add_subcommand("schema", "the tables and columns load fills, and what the reference suite requires of them")
      ->add_option("TABLE", c.table, "only this table");

  CLI::App* load =
      app.add_subcommand("load", "write catalogue and stock rows from JSON or CSV files, in one transaction");
  load->add_option("FILE", c.load.files,
                   "JSON {\"Table\": [{\"Column\": value, ...}, ...], ...}, or CSV (NAME.csv\nfills the table NAME); - "
                   "reads stdin")
      ->required();
  load->add_flag("--replace", c.load.replace,
                 "a row whose key is stored already updates the columns it gives (the others keep\n"
                 "their values); by default it is refused");
  load->add_option("--table", c.load.table, "every input is CSV rows of this table")->type_name("TABLE");
  load->footer(
      "Example: {\"Sucursal\": [{\"Sc_Cve_Sucursal\": \"01\", \"Sc_Descripcion\": \"Centro\"}]}\n"
      "Text columns take strings, numeric columns numbers (true/false as 1/0), date columns ISO 8601 text,\n"
      "any column null. CSV: a header row of column names, then one row per line; an empty cell leaves the\n"
      "column out (\"\" is an empty text). `apartado schema` lists the tables and columns. The schema is\n"
      "created first where it is missing. An unknown table or column, a wrong type or a duplicate key is\n"
      "refused naming the file, table, row and column; nothing of any file is written then.\n\n" +
      std::string(kCommandFooter));

  CLI::App* capture = app.add_subcommand("capture", "capture layaways from JSON: one object, an array or JSON Lines");
  capture->add_option("FILE", c.file, "the layaways; - reads stdin")->required();
  AddCaptureOptions(capture, c.capture);
  capture->footer(std::string(kLayawayShape) + kCaptureRerunHelp + kCommandFooter);

  AddFolio(app.add_subcommand("reserve", "Apartar: reserve the stock of every stored line of a layaway"), c,
           "the layaway's folio");
  AddFolio(app.add_subcommand("release", "Desapartar: release the reserved stock of every line of a layaway"), c,
           "the layaway's folio");

  CLI::App* releaseProduct = app.add_subcommand(
      "release-product", "Desapartar_Producto: give reserved stock of one product back to available");
  releaseProduct->add_option("SUCURSAL", c.release.branch, "branch key")->required();
  releaseProduct->add_option("ALMACEN", c.release.warehouse, "warehouse key")->required();
  releaseProduct->add_option("PRODUCTO", c.release.product, "product key")->required();
  releaseProduct->add_option("TALLA", c.release.size, "size key (00 where sizes are not kept)")->required();
  releaseProduct->add_option("COLOR", c.release.colour, "colour key (00 where colours are not kept)")->required();
  releaseProduct->add_option("CANTIDAD1", c.release.quantity1, "quantity in control unit 1 (for a kit, kits)")
      ->required()
      ->check(PlainQuantity());
  releaseProduct->add_option("CANTIDAD2", c.release.quantity2, "quantity in control unit 2")
      ->required()
      ->check(PlainQuantity());
  releaseProduct->add_option("SERIES", c.release.series, "serial numbers (accepted, not used)");

  CLI::App* cancel = app.add_subcommand(
      "cancel", "Cancelar_Apartado: cancel a layaway (receivable cancelled, stock released,\nrows marked CA)");
  AddFolio(cancel, c, "the layaway's folio");
  cancel->add_flag("--keep-stock", c.keepStock,
                   "Apartar_Productos False: leave the receivable and the reserved stock alone");
  AddFolio(app.add_subcommand("finalize", "Finalizar_Apartado: record the layaway in the customer's follow-up history"),
           c, "the layaway's folio");
  AddFolio(
      app.add_subcommand("receivable", "Genera_Cuenta_x_Cobrar_Apartado: turn a layaway into an account receivable"), c,
      "the layaway's folio");
  CLI::App* show = app.add_subcommand("show", "the stored rows of a layaway, one line each");
  AddFolio(show, c, "the layaway's folio");
  show->add_flag("--full", c.full, "every column of every row");

  CLI::App* stock = app.add_subcommand("stock", "stock rows (Existencia and Existencia_Kit), available and reserved");
  stock->add_option("--sucursal", c.filter.branch, "only this branch")->type_name("S");
  stock->add_option("--almacen", c.filter.warehouse, "only this warehouse")->type_name("A");
  stock->add_option("--producto", c.filter.product, "only this product")->type_name("P");

  CLI::App* list = app.add_subcommand("list", "the layaways, one line each, newest first");
  list->add_option("--state", c.list.state, "only layaways in this state (AC, CA, ...)")->type_name("STATE");
  list->add_option("--customer", c.list.customer, "only this customer's layaways")->type_name("KEY");
  list->add_option("--since", c.list.since, "only layaways dated on or after this day")->type_name("YYYY-MM-DD");
  list->add_flag("--overdue", c.list.overdue, "only layaways not cancelled whose delivery date has passed");
  list->footer(std::string(kListHelp) + kReadOnlyFooter);
  CLI::App* ledger = app.add_subcommand("ledger", "the stock movements the ledger holds, oldest first");
  ledger->add_option("PRODUCT", c.ledger.product, "only this product's movements");
  ledger->add_option("--folio", c.ledger.folio, "only the movements of this layaway")->type_name("FOLIO");
  ledger->footer(std::string(kLedgerHelp) + kReadOnlyFooter);
  app.add_subcommand("check", "reconcile every stock row with the ledger; exit 1 when one differs")
      ->footer(std::string(kCheckHelp) + kReadOnlyFooter);

  CLI::App* report = app.add_subcommand("report", "one offline HTML page of charts: stock, layaways, receivables");
  report->add_option("--html", c.file, "the page to write")->required()->type_name("FILE");
  report->footer(std::string(kReportHelp) + kReadOnlyFooter);

  const std::map<std::string, std::string> groups = {
      {"help", "Start here"}, {"demo", "Start here"}, {"init", "Set up"}, {"schema", "Set up"}, {"load", "Set up"},
      {"capture", "Capture"}, {"show", "Look"},       {"stock", "Look"},  {"ledger", "Look"},   {"check", "Look"}};
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
    if (sub->get_footer().empty()) sub->footer(kCommandFooter);
    auto group = groups.find(sub->get_name());
    sub->group(group == groups.end() ? "Operations on a stored layaway" : group->second);
  }
  app.footer(kFooter);
  if (argc <= 1) out << app.help();
  const CommandWord word = FindCommand(app, std::vector<std::string>(argv + 1, argv + argc));
  if (!word.problem.empty()) {
    err << "apartado: " << word.problem << "\n";
    return kExitBadInput;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, out, err);  // --help, --version
    err << "apartado: " << e.what() << " (see `apartado help " << word.name << "`)\n";
    return kExitBadInput;
  }

  c.options.connectionGiven = dbOption->count() > 0;
  c.options.connectionString = c.options.connectionGiven ? db : FromEnvironment("APARTADO_DB", "apartado.db");
  c.options.operatorKey = operatorOption->count() > 0 ? operatorKey : FromEnvironment("APARTADO_OPERATOR", "ADMIN");
  c.options.serverId = serverOption->count() > 0 ? serverId : FromEnvironment("APARTADO_SERVER_ID", "");
  c.options.statementTimeout = std::chrono::milliseconds(std::llround(timeoutSeconds * 1000));
  const std::string command = app.get_subcommands().at(0)->get_name();
  if (command == "help") return Help(app, c.topic, out, err);
  if (command == "demo" && !c.options.connectionGiven) c.options.connectionString = kDemoDatabase;

  Host host(c.options, out, err, in);
  try {
    return RunOnOwnThread([&] {
      CheckSessionValues(host.options);
      return Dispatch(command, c, host);
    });
  } catch (const InputError& e) {
    if (host.options.json) PrintJson(out, OperationJson(false, e.what()));
    err << "apartado: " << e.what() << "\n";
    return kExitBadInput;
  } catch (const std::exception& e) {
    // A failure the database or a service raised outside any operation's
    // failure path: the command did not complete. It names the database.
    const std::string name = Database::DisplayName(host.options.connectionString);
    const std::string message =
        std::string(e.what()).find(name) == std::string::npos ? name + ": " + e.what() : e.what();
    if (host.options.json) PrintJson(out, OperationJson(false, message));
    err << "apartado: " << message << "\n";
    return kExitRefused;
  }
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream& in) {
  std::vector<const char*> argv{"apartado"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  return Run(static_cast<int>(argv.size()), argv.data(), out, err, in);
}

}  // namespace apartado::cli
