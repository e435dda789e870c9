#pragma once
// The commands of the host. Each answers the program's exit status; bad input
// is thrown as InputError before anything is written, and a failure raised by
// the database or the component (apartado::Failure) is left to the caller.
#include <string>
#include <vector>

#include "host.h"

namespace apartado::cli {

// init: creates the suite schema if it is missing.
int InitCommand(Host& host);

struct LoadChoices {
  std::vector<std::string> files;  // "-" reads the input stream
  bool replace = false;            // --replace: a row whose key is stored updates it
  std::string table;               // --table: every input is CSV rows of this table
};
// load FILE...: writes rows given as JSON {"Table": [{"Column": value}, ...]}
// or as CSV (a file ending in .csv, or any input with --table) in one
// transaction across all files, creating the schema where it is missing.
int LoadCommand(Host& host, const LoadChoices& choices);

// capture's options.
struct CaptureOptions {
  // --skip-captured: a layaway whose header carries an Ap_Referencia that
  // stored rows carry already is skipped (and reported so).
  bool skipCaptured = false;
  // --progress: progress on stderr even when it is not a terminal.
  bool progress = false;
  // -q, --quiet: neither progress nor the summary.
  bool quiet = false;
};

// capture FILE: captures layaways given as one object, an array of them or
// JSON Lines.
int CaptureCommand(Host& host, const std::string& file, const CaptureOptions& options = {});

// The operations on a stored layaway, by folio.
enum class FolioOperation { Reserve, Release, Cancel, Finalize, Receivable };
// keepStock clears Apartar_Productos before a cancellation: the receivable
// and the reserved stock are then left alone.
int FolioOperationCommand(Host& host, FolioOperation operation, const std::string& folio, bool keepStock = false);

struct ProductRelease {
  std::string branch, warehouse, product, size, colour;
  double quantity1 = 0;
  double quantity2 = 0;
  std::string series;
};
// release-product: Desapartar_Producto.
int ReleaseProductCommand(Host& host, const ProductRelease& release);

// show FOLIO: the stored rows of a layaway, one line each, or every column
// of each with full.
int ShowCommand(Host& host, const std::string& folio, bool full);

struct StockFilter {
  std::string branch, warehouse, product;  // empty: any
};
// stock: the stock rows, available and reserved.
int StockCommand(Host& host, const StockFilter& filter);

// Which layaways list shows; empty: any.
struct ListFilter {
  std::string state;     // --state: Es_Cve_Estado
  std::string customer;  // --customer: Cl_Cve_Cliente
  std::string since;     // --since: dated on or after this day (YYYY-MM-DD)
  bool overdue = false;  // --overdue: not cancelled, delivery date passed
};
// list: one line per layaway, newest first. Reads only; throws InputError
// for a --since that is not a date.
int ListCommand(Host& host, const ListFilter& filter);

// report --html FILE: one self-contained HTML page (inline SVG charts, no
// script, nothing fetched) of the stock, the layaways by age and state, the
// receivable balances and the latest stock movements. Reads the database
// only; throws InputError when the file cannot be written.
int ReportCommand(Host& host, const std::string& file);

// What ledger shows: every movement, a product's, or a layaway's.
struct LedgerFilter {
  std::string product;  // PRODUCT
  std::string folio;    // --folio
};
// ledger: the stock ledger's movements, oldest first. Reads only.
int LedgerCommand(Host& host, const LedgerFilter& filter);

// check: every stock row's quantities against the sum of its movements in
// the ledger; each difference is printed with the layaways that name the row
// and its latest movements. Answers kExitRefused when one differs. Reads only.
int CheckCommand(Host& host);

// The database the demo builds unless --db names another.
inline constexpr const char* kDemoDatabase = "apartado-demo.db";
// demo: a fresh demo database and a layaway's life, narrated.
int DemoCommand(Host& host);

// schema [TABLE]: the suite's tables and columns, what each holds and what
// the reference suite requires of it; throws InputError for an unknown table.
int SchemaCommand(Host& host, const std::string& table);

}  // namespace apartado::cli
