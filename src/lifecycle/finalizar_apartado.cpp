// Finalization of a stored layaway and the customer follow-up entry that both
// finalization and cancellation write.
#include <string>
#include <string_view>

#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "component/publico.h"
#include "data/sql_builder.h"

namespace apartado {
namespace {

constexpr std::string_view kFinalizarTag = "apartadoQZL.dll - Finalizar_Apartado()";
// The history routine is private to the object, so its tag names no library.
constexpr std::string_view kHistorialTag = "Crm_Historial_Seguimiento()";

// The layaway's own stored value of one column, as the catalogue hands it out.
std::string LookupApartado(const std::string& folio, const std::string& column) {
  return Publico().CatalogServices->LookupValue("Apartado", "Ap_Folio", folio, column, 0, "", "", "");
}

}  // namespace

Boolean Apartado::Finalizar_Apartado(const std::string& Ap_Folio) {
  return RunWithFailurePath(ErrorText, kFinalizarTag, TagBreaks::One, [&]() -> Boolean {
    const std::string prefix = std::string(kFinalizarTag) + std::string(kCrLf);

    // Only whether a row in force exists matters; none of its columns is read.
    std::unique_ptr<Recordset> rows =
        (SqlBuilder() << "SELECT * FROM Apartado WHERE Ap_Folio = '" << Ap_Folio << "' AND Es_Cve_Estado <> 'CA' ")
            .Execute();
    const bool found = !rows->Eof();
    rows.reset();
    if (!found) {
      ErrorText = prefix + "No se encontró el apartado: " + Ap_Folio;
      return kFalse;
    }

    if (!IsTrue(Crm_Historial_Seguimiento(Ap_Folio, "Registro de apartado"))) {
      ErrorText = prefix + ErrorText;
      return kFalse;
    }

    CatalogServices& catalog = *Publico().CatalogServices;
    if (!IsTrue(catalog.NotifyDocument("APARTADO", Ap_Folio, ""))) {
      // The catalogue's reason follows an empty line.
      ErrorText = prefix + std::string(kCrLf) + catalog.GetErrorText();
      return kFalse;
    }
    return kTrue;
  });
}

Boolean Apartado::Crm_Historial_Seguimiento(const std::string& Ap_Folio, const std::string& Descripcion) {
  ErrorText.clear();
  return RunWithFailurePath(ErrorText, kHistorialTag, TagBreaks::One, [&]() -> Boolean {
    // The entry carries the layaway's own date, not the moment it is written.
    const Date date = Variant::FromText(LookupApartado(Ap_Folio, "Ap_Fecha")).ToDate();
    const std::string customer = LookupApartado(Ap_Folio, "Cl_Cve_Cliente");

    CatalogServices& catalog = *Publico().CatalogServices;
    if (!IsTrue(catalog.AddFollowUpHistory("CRM", "APARTADO", Ap_Folio, "CLIENTE", customer, date, Descripcion))) {
      ErrorText = std::string(kHistorialTag) + std::string(kCrLf) + catalog.GetErrorText();
      return kFalse;
    }
    return kTrue;
  });
}

}  // namespace apartado
