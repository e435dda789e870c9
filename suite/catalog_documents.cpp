// Folios, follow-up history and document notices of the catalogue service.
#include <array>
#include <optional>

#include "folio_numbers.h"
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {
namespace {

// The document kinds the suite keeps history and notices for.
constexpr std::array<const char*, 1> kKnownDocumentKinds = {"APARTADO"};

bool IsKnownDocumentKind(const std::string& kind) {
  for (const char* known : kKnownDocumentKinds) {
    if (kind == known) return true;
  }
  return false;
}

}  // namespace

Boolean SuiteCatalogServices::Refuse(std::string text) {
  errorText_ = std::move(text);
  return kFalse;
}

// The folio is the series number padded with zeros to `width` digits
// ("0000000001" for width 10). The flag is not used. An empty answer means
// no folio; GetErrorText says why.
Variant SuiteCatalogServices::GetNextFolio(const std::string& branch, const std::string& documentKind,
                                           std::int32_t width, std::int32_t) {
  errorText_.clear();
  if (documentKind.empty()) {
    Refuse(texts::FolioKindMissing());
    return Variant();
  }
  const std::optional<std::int64_t> number = NextFolioNumber(
      Db(), [this]() -> Database& { return AutonomousDb(); }, Db().InTransaction(), branch, documentKind);
  if (!number) {
    Refuse(texts::FolioSeriesWithdrawn(documentKind, branch));
    return Variant();
  }
  return Variant::FromText(FolioText(*number, width));
}

Boolean SuiteCatalogServices::AddFollowUpHistory(const std::string& application, const std::string& documentKind,
                                                 const std::string& folio, const std::string& entityKind,
                                                 const std::string& entityKey, Date date,
                                                 const std::string& description) {
  errorText_.clear();
  if (folio.empty()) return Refuse(texts::DocumentFolioMissing());
  if (!IsKnownDocumentKind(documentKind)) return Refuse(texts::DocumentKindUnknown(documentKind));
  if (entityKind != "CLIENTE") return Refuse(texts::EntityKindUnknown(entityKind));
  if (Db().Query("SELECT Cl_Cve_Cliente FROM Cliente WHERE Cl_Cve_Cliente = :p1", {Variant::FromText(entityKey)})
          .Eof()) {
    return Refuse(texts::CustomerUnknown(entityKey));
  }
  Db().Command(
      "INSERT INTO Historial_Seguimiento (Hs_Aplicacion, Hs_Tipo_Documento, Hs_Folio, Hs_Tipo_Entidad, "
      "Hs_Cve_Entidad, Hs_Fecha, Hs_Descripcion, Oper_Alta, Fecha_Alta) "
      "VALUES (:p1, :p2, :p3, :p4, :p5, :p6, :p7, :p8, GETDATE())",
      {Variant::FromText(application), Variant::FromText(documentKind), Variant::FromText(folio),
       Variant::FromText(entityKind), Variant::FromText(entityKey), Variant::FromText(FormatDateTime(date)),
       Variant::FromText(description), Variant::FromText(Options().operatorKey)});
  return kTrue;
}

Boolean SuiteCatalogServices::NotifyDocument(const std::string& documentKind, const std::string& folio,
                                             const std::string& text) {
  errorText_.clear();
  if (folio.empty()) return Refuse(texts::DocumentFolioMissing());
  if (!IsKnownDocumentKind(documentKind)) return Refuse(texts::DocumentKindUnknown(documentKind));
  Db().Command(
      "INSERT INTO Notificacion_Documento (Nd_Tipo_Documento, Nd_Folio, Nd_Texto, Oper_Alta, Fecha_Alta) "
      "VALUES (:p1, :p2, :p3, :p4, GETDATE())",
      {Variant::FromText(documentKind), Variant::FromText(folio), Variant::FromText(text),
       Variant::FromText(Options().operatorKey)});
  return kTrue;
}

}  // namespace apartado::suite
