// Serial numbers recorded against document lines, in table Serie.
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {

// Records the document line on the serial number's row. Refused, in this
// order: an empty folio, an empty serial number, a quantity other than 1 (a
// serial number is one unit), a serial number that the product, size and
// colour do not have (or that is withdrawn, 'BA'), and one already assigned
// to a document line. The customs data stay those of the serial's own row.
Boolean SuiteSeriesAssignment::AssignSeries(const std::string& documentKind, const std::string& folio,
                                            const std::string& lineId, const std::string& product,
                                            const std::string& size, const std::string& colour,
                                            const std::string& serial, const std::string&, Date,
                                            std::int16_t quantity) {
  errorText_.clear();
  if (folio.empty())
    errorText_ = texts::DocumentFolioMissing();
  else if (serial.empty())
    errorText_ = texts::SerialMissing();
  else if (quantity != 1)
    errorText_ = texts::SerialQuantity(quantity);
  if (!errorText_.empty()) return kFalse;

  const std::vector<Variant> unit = {Variant::FromText(product), Variant::FromText(size), Variant::FromText(colour),
                                     Variant::FromText(serial)};
  std::vector<Variant> params = unit;
  params.insert(params.end(), {Variant::FromText(documentKind), Variant::FromText(folio), Variant::FromText(lineId)});
  // One statement: two callers can never both take the same free unit.
  if (Db().Command("UPDATE Serie SET Sr_Tipo_Documento = :p5, Sr_Folio = :p6, Sr_ID = :p7 "
                   "WHERE Pr_Cve_Producto = :p1 AND Tl_Cve_Talla = :p2 AND Cl_Cve_Color = :p3 AND "
                   "Sr_Cve_Serie = :p4 AND COALESCE(Es_Cve_Estado, '') <> 'BA' AND COALESCE(Sr_Folio, '') = ''",
                   params) > 0) {
    return kTrue;
  }
  TableRecordset row = Db().Query(
      "SELECT Sr_Tipo_Documento, Sr_Folio, Sr_ID FROM Serie WHERE Pr_Cve_Producto = :p1 AND Tl_Cve_Talla = :p2 "
      "AND Cl_Cve_Color = :p3 AND Sr_Cve_Serie = :p4 AND COALESCE(Es_Cve_Estado, '') <> 'BA'",
      unit);
  if (row.Eof()) {
    errorText_ = texts::SerialUnknown(serial, texts::Keys(product, size, colour));
  } else {
    errorText_ = texts::SerialAssigned(serial, row.Field("Sr_Tipo_Documento").ToText(), row.Field("Sr_Folio").ToText(),
                                       row.Field("Sr_ID").ToText());
  }
  return kFalse;
}

}  // namespace apartado::suite
