#include <ostream>

#include "apartado/apartado.h"
#include "apartado/number_text.h"
#include "apartado/operation_scope.h"
#include "commands.h"
#include "input_checks.h"
#include "output.h"
#include "database_reads.h"

namespace apartado::cli {
namespace {

// Prints an operation's answer: on False the component's error text goes to
// stderr exactly as the object holds it, then a newline.
int Report(Host& host, const std::string& call, bool ok, const std::string& error, const std::string& meaning) {
  for (const suite::ReportedMessage& m : host.messages.Take()) PrintRefusal(host.err, m.title, m.message);
  if (host.options.json) {
    PrintJson(host.out, OperationJson(ok, error));
  } else {
    host.out << call << " answered " << (ok ? "True" : "False") << (ok ? ": " + meaning : std::string()) << "\n";
  }
  if (!ok) PrintRefusal(host.err, call + " answered False", error);
  return ok ? kExitOk : kExitRefused;
}

// The component answers an operation on a folio without stored rows as it
// would any other (Apartar and Desapartar True, having done nothing); the
// host says so, since a mistyped folio looks the same.
void NoteFolioWithoutRows(Host& host, const std::string& folio) {
  std::unique_ptr<Database> db = Database::Open(host.options.connectionString);
  if (LayawayRows(*db, folio).Rows().empty()) {
    host.err << "apartado: folio " << folio << " has no stored rows: the operation found nothing to do\n";
  }
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

int FolioOperationCommand(Host& host, FolioOperation operation, const std::string& folio, bool keepStock) {
  CheckText(folio, "FOLIO");
  host.InstallSuite(host.options.connectionString);
  Apartado object;
  if (keepStock) object.Apartar_Productos(kFalse);
  Operations operations(object, host.options.Policy());
  // The answer first: Error() must be read after the call.
  std::string call;
  std::string meaning;
  bool ok = false;
  switch (operation) {
    case FolioOperation::Reserve:
      call = "Apartar";
      meaning = "the stock of every line of the layaway is reserved.";
      ok = IsTrue(operations.Apartar(folio));
      break;
    case FolioOperation::Release:
      call = "Desapartar";
      meaning = "the reserved stock of every line of the layaway is available again.";
      ok = IsTrue(operations.Desapartar(folio).ToBoolean());
      break;
    case FolioOperation::Cancel:
      call = "Cancelar_Apartado";
      meaning = keepStock ? "the layaway is cancelled; its receivable and stock were left alone."
                          : "the layaway is cancelled, its receivable cancelled and its stock released.";
      ok = IsTrue(operations.Cancelar_Apartado(folio));
      break;
    case FolioOperation::Finalize:
      call = "Finalizar_Apartado";
      meaning = "the layaway is recorded in the customer's follow-up history.";
      ok = IsTrue(operations.Finalizar_Apartado(folio));
      break;
    case FolioOperation::Receivable:
      call = "Genera_Cuenta_x_Cobrar_Apartado";
      meaning = "an accounts-receivable document was generated for the layaway.";
      ok = IsTrue(operations.Genera_Cuenta_x_Cobrar_Apartado(folio));
      break;
  }
  if (ok) NoteFolioWithoutRows(host, folio);
  return Report(host, call + "(" + Quoted(folio) + ")", ok, object.Error(), meaning);
}

int ReleaseProductCommand(Host& host, const ProductRelease& r) {
  for (const auto& [name, value] : {std::pair{"SUCURSAL", &r.branch},
                                    {"ALMACEN", &r.warehouse},
                                    {"PRODUCTO", &r.product},
                                    {"TALLA", &r.size},
                                    {"COLOR", &r.colour},
                                    {"SERIES", &r.series}})
    CheckText(*value, name);
  host.InstallSuite(host.options.connectionString);
  Apartado object;
  Operations operations(object, host.options.Policy());
  const bool ok = IsTrue(operations.Desapartar_Producto(r.branch, r.warehouse, r.product, r.size, r.colour, r.quantity1,
                                                        r.quantity2, r.series));
  const std::string call = "Desapartar_Producto(" + Quoted(r.branch) + ", " + Quoted(r.warehouse) + ", " +
                           Quoted(r.product) + ", " + Quoted(r.size) + ", " + Quoted(r.colour) + ", " +
                           NumberText(r.quantity1) + ", " + NumberText(r.quantity2) + ", " + Quoted(r.series) + ")";
  return Report(host, call, ok, object.Error(), "the quantity is available again.");
}

}  // namespace apartado::cli
