#pragma once
// The workload the capture benchmark runs.
#include "apartado/apartado.h"
#include "apartado/database.h"

namespace apartado::bench {

inline constexpr int kLinesPerLayaway = 10;
inline constexpr int kProducts = 20;

// The suite schema with one branch, warehouse, customer, seller and
// `products` products, with stock enough for any run.
void LoadCatalogue(Database& db, int products = kProducts);

// The products a capture's lines take in turn: products first .. first + count - 1.
struct ProductRange {
  int first = 0;
  int count = kProducts;
};

// Fills Apartado with rows of other folios, as years of stored layaways would.
void Prefill(Database& db, long rows);

// How a host runs the capture on its connection.
enum class Mode {
  // No transaction: every statement commits on its own, as the host did
  // before it ran operations as transactions.
  Autocommit,
  // One transaction per layaway, each line in a scope nested in it, as the
  // command-line host captures.
  PerLayaway,
};

const char* ModeName(Mode mode);

// Captures `lines` lines in layaways of kLinesPerLayaway lines; answers seconds.
double CaptureLines(Apartado& layaway, int lines, Mode mode, ProductRange products = {});

}  // namespace apartado::bench
