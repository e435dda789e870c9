#pragma once

namespace apartado::suite {

// The amounts of one document line. Factors are fractions (0.1 is 10 %).
struct LineAmounts {
  double quantity = 0;
  double listPrice = 0;
  double listPriceAmount = 0;
  double discountFactor = 0;
  double discountAmount = 0;
  double discountedPrice = 0;
  double discountedAmount = 0;
  double globalDiscountFactor = 0;
  double globalDiscountAmount = 0;
  double taxFactor = 0;
  double taxAmount = 0;
  double netPrice = 0;
  double netAmount = 0;
};

// Fills the amounts from quantity, listPrice, discountFactor,
// globalDiscountFactor and taxFactor. No amount is rounded.
//
// Mode 1, prices before tax:
//   listPriceAmount      = quantity * listPrice
//   discountAmount       = listPriceAmount * discountFactor
//   discountedPrice      = listPrice * (1 - discountFactor)
//   discountedAmount     = listPriceAmount - discountAmount
//   globalDiscountAmount = discountedAmount * globalDiscountFactor   (this line's share only)
//   taxAmount            = (discountedAmount - globalDiscountAmount) * taxFactor
//   netAmount            = discountedAmount - globalDiscountAmount + taxAmount
//   netPrice             = discountedPrice * (1 - globalDiscountFactor) * (1 + taxFactor)
// Mode 2, list price with tax included: listPrice is first replaced by the
//   price before tax, listPrice / (1 + taxFactor), then mode 1 applies, so
//   netPrice gives back the price with tax (after discounts).
//
// The global discount amount is the line's share, replaced on every call and
// never accumulated: each stored line keeps its own share, and the
// receivable subtracts the shares line by line.
//
// Throws Failure for any other mode, and in mode 2 for a tax factor of -1.
void CalculateLineAmounts(LineAmounts& amounts, int mode);

}  // namespace apartado::suite
