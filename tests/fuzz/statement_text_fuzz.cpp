// Fuzz target: the statement check (database/statement_analysis) on any text.
// Besides running every reading to its end under the sanitizers, it holds
// the SQLite reading to SQLite's own: for every prefix P of the text (up to
// a NUL, and without the word TRIGGER, which sqlite3_complete reads
// specially), a ';' appended after a line break is a separator to us exactly
// when sqlite3_complete(P + "\n;") says the text then ends a statement.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "apartado/failure.h"
#include "database/statement_analysis.h"

namespace {

using apartado::HasSecondStatement;
using apartado::SqlDialect;

[[noreturn]] void Fault(const char* what, const std::string& text) {
  std::fprintf(stderr, "%s for the text (%zu bytes): [%s]\n", what, text.size(), text.c_str());
  std::abort();
}

bool MentionsTrigger(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text.find("trigger") != std::string::npos;
}

void CompareWithSqlite(const std::string& text) {
  if (MentionsTrigger(text)) return;
  for (std::size_t k = 0; k <= text.size(); ++k) {
    const std::string prefix = text.substr(0, k);
    if (HasSecondStatement(prefix, SqlDialect::SQLite)) return;  // what follows cannot change that
    const bool ours = HasSecondStatement(prefix + "\n;x", SqlDialect::SQLite);
    const bool sqlite = sqlite3_complete((prefix + "\n;").c_str()) == 1;
    if (ours != sqlite) Fault(ours ? "a separator SQLite does not see" : "a separator only SQLite sees", prefix);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool any = false;
  for (SqlDialect dialect : {SqlDialect::SQLite, SqlDialect::PostgreSQL, SqlDialect::SqlServer}) {
    const bool second = HasSecondStatement(text, dialect);
    any = any || second;
    // A text read as one statement splits into one piece at most.
    if (!second && apartado::SplitScript(text, dialect).size() > 1) Fault("split into two, yet one statement", text);
  }
  if (any != HasSecondStatement(text)) Fault("the dialects disagree with their union", text);
  apartado::AnswersRows(text);
  apartado::EffectOf(text);
  apartado::SingleTableRead(text);
  apartado::TablesTriggerWrites(text);
  // Every table a body is said to write is a plain name, as PostgreSQL folds it.
  if (const auto written = apartado::TablesPlpgsqlWrites(text)) {
    for (const std::string& table : *written)
      for (const char c : table)
        if (!(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_'))
          Fault("a written table that is no plain name", text);
  }
  apartado::LocksRowsRead(text);
  try {
    apartado::NumberPlaceholders(text, 3);
  } catch (const apartado::Failure&) {
    // A placeholder beyond :p3: refused as it should be.
  }
  CompareWithSqlite(text.substr(0, text.find('\0')));
  return 0;
}
