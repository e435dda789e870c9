#include "line_amounts.h"

#include "apartado/failure.h"
#include "suite_services.h"
#include "suite_texts.h"

namespace apartado::suite {

void CalculateLineAmounts(LineAmounts& a, int mode) {
  if (mode == 2) {
    if (1 + a.taxFactor == 0) throw Failure(texts::TaxFactorInvalid(a.taxFactor));
    a.listPrice = a.listPrice / (1 + a.taxFactor);
  } else if (mode != 1) {
    throw Failure(texts::AmountModeUnknown(mode));
  }
  a.listPriceAmount = a.quantity * a.listPrice;
  a.discountAmount = a.listPriceAmount * a.discountFactor;
  a.discountedPrice = a.listPrice * (1 - a.discountFactor);
  a.discountedAmount = a.listPriceAmount - a.discountAmount;
  a.globalDiscountAmount = a.discountedAmount * a.globalDiscountFactor;
  a.taxAmount = (a.discountedAmount - a.globalDiscountAmount) * a.taxFactor;
  a.netAmount = a.discountedAmount - a.globalDiscountAmount + a.taxAmount;
  a.netPrice = a.discountedPrice * (1 - a.globalDiscountFactor) * (1 + a.taxFactor);
}

void SuiteCatalogServices::CalculateLineAmounts(double& quantity, double& listPrice, double& listPriceAmount,
                                                double& discountFactor, double& discountAmount, double& discountedPrice,
                                                double& discountedAmount, double& globalDiscountFactor,
                                                double& globalDiscountAmount, double& taxFactor, double& taxAmount,
                                                double& netPrice, double& netAmount, std::int16_t mode) {
  LineAmounts a{quantity,
                listPrice,
                listPriceAmount,
                discountFactor,
                discountAmount,
                discountedPrice,
                discountedAmount,
                globalDiscountFactor,
                globalDiscountAmount,
                taxFactor,
                taxAmount,
                netPrice,
                netAmount};
  suite::CalculateLineAmounts(a, mode);  // throws before anything is written back
  listPrice = a.listPrice;
  listPriceAmount = a.listPriceAmount;
  discountAmount = a.discountAmount;
  discountedPrice = a.discountedPrice;
  discountedAmount = a.discountedAmount;
  globalDiscountAmount = a.globalDiscountAmount;
  taxAmount = a.taxAmount;
  netPrice = a.netPrice;
  netAmount = a.netAmount;
}

}  // namespace apartado::suite
