#include <functional>
#include <optional>
#include <ostream>

#include "apartado/apartado.h"
#include "apartado/number_text.h"
#include "apartado/operation_scope.h"
#include "capture.h"
#include "capture_input.h"
#include "capture_progress.h"
#include "commands.h"
#include "json_input.h"
#include "record_json.h"

namespace apartado::cli {

using host_json::OverlayDetalle;
using host_json::OverlayEncabezado;
using host_json::ReadInput;

namespace {

std::string JoinedTexts(const std::vector<suite::ReportedMessage>& messages) {
  std::string text;
  for (const auto& message : messages) text += (text.empty() ? "" : "\r\n") + message.message;
  return text;
}

// The folio of a stored layaway whose rows carry the reference, if any, read
// in the caller's transaction. On PostgreSQL the reference is held first (a
// lock until the transaction ends), so that two captures of it at once do
// not both find none; SQLite's transaction holds the whole database.
std::optional<std::string> FolioWithReference(Database& db, const std::string& reference) {
  const std::vector<Variant> params = {Variant::FromText(reference)};
  if (db.GetDialect() == SqlDialect::PostgreSQL)
    db.Query("SELECT COUNT(*) AS held FROM (SELECT pg_advisory_xact_lock(1101, hashtext(:p1))) h", params);
  TableRecordset rows = db.Query("SELECT Ap_Folio FROM Apartado WHERE Ap_Referencia = :p1 ORDER BY Ap_Folio", params);
  if (rows.Eof()) return std::nullopt;
  return rows.Field("Ap_Folio").ToText();
}

// One line, in a transaction nested in its layaway's: Detalle, then, when
// the object took the line, Add_Apartado_Detalle. A refused line leaves
// nothing (unless the policy keeps what was done) and its number is not used.
LineResult CaptureLine(Apartado& object, const Json& given, Host& host) {
  LineResult line;
  OverlayDetalle(given, line.detalle);
  host.messages.Take();
  OperationScope scope(object, host.options.Policy().onRefusal);
  scope.Label("Add_Apartado_Detalle", object.Encabezado().Ap_Folio);
  object.Detalle(line.detalle);
  line.messages = host.messages.Take();
  if (line.messages.empty()) {
    // Only a line the object took is added: after a refusal the object
    // still holds the line before it.
    line.ok = IsTrue(object.Add_Apartado_Detalle());
    line.error = object.Error();
    line.detalle = object.Detalle();
  } else {
    line.error = JoinedTexts(line.messages);
  }
  scope.Finish(ToBoolean(line.ok));
  // A refused line rolled back has no number: the next line takes it.
  if (!line.ok && host.options.Policy().onRefusal == OnRefusal::RollBack) line.detalle.Ap_ID.clear();
  return line;
}

// Runs one layaway through the object as one transaction: Nuevo, Encabezado,
// Apartar_Productos, then each line. What the lines stored is committed; a
// failure of Nuevo or Encabezado leaves nothing. Run again whole when it
// conflicts with another session's work. With skipCaptured, a layaway whose
// reference is stored already is left alone.
LayawayResult CaptureLayaway(Apartado& object, const LayawayInput& layaway, Host& host, Database& db,
                             bool skipCaptured) {
  LayawayResult result;
  std::vector<tApDetalle> lines(layaway.lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) OverlayDetalle(layaway.lines[i], lines[i]);
  Operations operations(object, host.options.Policy());
  try {
    operations.Group([&] {
      result = LayawayResult{};
      if (skipCaptured && !layaway.reference.empty()) {
        if (std::optional<std::string> folio = FolioWithReference(db, layaway.reference)) {
          result.skipped = true;
          result.folio = *folio;
          return kTrue;
        }
      }
      object.Nuevo();
      tApEncabezado header = object.Encabezado();
      OverlayEncabezado(layaway.header, header, "Encabezado.");
      object.Encabezado(header);
      if (layaway.apartarProductos) object.Apartar_Productos(*layaway.apartarProductos);
      if (IsNonZero(object.Apartar_Productos())) operations.HoldStock(StockRowsOf(object.Encabezado(), lines));
      for (const Json& given : layaway.lines) {
        LineResult line = CaptureLine(object, given, host);
        if (!line.ok && result.ok) {
          result.ok = false;
          result.error = line.error;
        }
        result.lines.push_back(std::move(line));
      }
      result.folio = object.Encabezado().Ap_Folio;
      return kTrue;
    });
  } catch (const std::exception& failure) {
    // Nothing of the layaway was kept.
    result = LayawayResult{};
    result.ok = false;
    result.error = failure.what();
  }
  return result;
}

CaptureProgress::Style ProgressStyle(const Host& host, const CaptureOptions& options) {
  if (options.quiet) return CaptureProgress::Style::None;
  if (IsTerminal(host.err)) return CaptureProgress::Style::InPlace;
  return options.progress ? CaptureProgress::Style::Lines : CaptureProgress::Style::None;
}

}  // namespace

int CaptureCommand(Host& host, const std::string& file, const CaptureOptions& options) {
  const std::string name = file == "-" ? "stdin" : file;
  const std::vector<LayawayInput> inputs = ReadLayaways(ReadInput(file, host.in), name);
  int totalLines = 0;
  for (const LayawayInput& input : inputs) totalLines += static_cast<int>(input.lines.size());

  // The suite's connection on this thread is the host's too: a reference is
  // looked up in the layaway's own transaction.
  std::shared_ptr<Database> db = Database::Open(host.options.connectionString, host.options.Opening());
  host.InstallSuite(host.options.connectionString, db);
  Apartado object;
  CaptureProgress progress(host.err, ProgressStyle(host, options), static_cast<int>(inputs.size()), totalLines);
  // Results printed on the terminal the progress shows on would run into it.
  const bool resultsOnTerminal = IsTerminal(host.err) && IsTerminal(host.out);
  progress.Update();
  bool allOk = true;
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const LayawayResult result = CaptureLayaway(object, inputs[i], host, *db, options.skipCaptured);
    const int lines = static_cast<int>(inputs[i].lines.size());
    if (result.skipped) {
      progress.Skipped(lines);
    } else {
      int stored = 0;
      for (const LineResult& line : result.lines) stored += line.ok ? 1 : 0;
      progress.Captured(lines, stored, !result.ok);
    }
    if (resultsOnTerminal || !result.ok) progress.Clear();
    PrintLayaway(host, static_cast<int>(i) + 1, inputs[i], result);
    progress.Update();
    allOk = allOk && result.ok;
  }
  progress.Finish();
  return allOk ? kExitOk : kExitRefused;
}

}  // namespace apartado::cli
