#include "catalogue_rows.h"
#include "suite_services.h"

namespace apartado::suite {

// The product's Pr_Tasa_Impuesto (0.16 for 16 %), else 0. Branch and
// customer do not change the factor.
double SuiteTaxCalculator::GetTaxFactor(const std::string&, const std::string&, const std::string& product) {
  TableRecordset rows = RowsShowing(Db(), {"Producto", "Pr_Cve_Producto", product, "", ""}, {"Pr_Tasa_Impuesto"});
  if (rows.Eof()) return 0;
  const Variant factor = rows.Field("Pr_Tasa_Impuesto");
  return factor.IsNull() ? 0 : factor.ToDouble();
}

}  // namespace apartado::suite
