#include <gtest/gtest.h>

#include <ctime>

#include "apartado/failure.h"
#include "integration/suite_fixture.h"
#include "line_amounts.h"

namespace apartado {
namespace {

using testing::N;
using testing::SuiteTest;
using testing::T;

struct AmountsCase {
  const char* name;
  int mode;
  suite::LineAmounts given;     // quantity, listPrice, factors
  suite::LineAmounts expected;  // every member afterwards
};

suite::LineAmounts Given(double quantity, double listPrice, double discount, double global, double tax) {
  suite::LineAmounts a;
  a.quantity = quantity;
  a.listPrice = listPrice;
  a.discountFactor = discount;
  a.globalDiscountFactor = global;
  a.taxFactor = tax;
  a.globalDiscountAmount = 123;  // a share from an earlier line: replaced, never added to
  return a;
}

const AmountsCase kAmounts[] = {
    // 2 x 100, 10 % off, 5 % global, 16 % tax: 200 - 20 = 180; global 9; tax 171 * .16.
    {"before tax",
     1,
     Given(2, 100, 0.1, 0.05, 0.16),
     {2, 100, 200, 0.1, 20, 90, 180, 0.05, 9, 0.16, 27.36, 99.18, 198.36}},
    {"no discounts", 1, Given(3, 10, 0, 0, 0), {3, 10, 30, 0, 0, 10, 30, 0, 0, 0, 0, 10, 30}},
    {"zero quantity", 1, Given(0, 50, 0.2, 0.1, 0.16), {0, 50, 0, 0.2, 0, 40, 0, 0.1, 0, 0.16, 0, 41.76, 0}},
    // 116 with 16 % tax included is 100 before tax.
    {"tax included", 2, Given(2, 116, 0, 0, 0.16), {2, 100, 200, 0, 0, 100, 200, 0, 0, 0.16, 32, 116, 232}},
    {"tax included, discounted",
     2,
     Given(1, 232, 0.5, 0, 0.16),
     {1, 200, 200, 0.5, 100, 100, 100, 0, 0, 0.16, 16, 116, 116}},
};

TEST(SuiteLineAmounts, FollowTheFormulaOfEachMode) {
  for (const AmountsCase& c : kAmounts) {
    suite::LineAmounts a = c.given;
    suite::CalculateLineAmounts(a, c.mode);
    const suite::LineAmounts& e = c.expected;
    const double got[] = {a.quantity,
                          a.listPrice,
                          a.listPriceAmount,
                          a.discountFactor,
                          a.discountAmount,
                          a.discountedPrice,
                          a.discountedAmount,
                          a.globalDiscountFactor,
                          a.globalDiscountAmount,
                          a.taxFactor,
                          a.taxAmount,
                          a.netPrice,
                          a.netAmount};
    const double want[] = {e.quantity,
                           e.listPrice,
                           e.listPriceAmount,
                           e.discountFactor,
                           e.discountAmount,
                           e.discountedPrice,
                           e.discountedAmount,
                           e.globalDiscountFactor,
                           e.globalDiscountAmount,
                           e.taxFactor,
                           e.taxAmount,
                           e.netPrice,
                           e.netAmount};
    for (int i = 0; i < 13; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << c.name << ", member " << i;
  }
}

TEST(SuiteLineAmounts, UnknownModesAndImpossibleTaxFail) {
  for (const int mode : {0, 3, -1}) {
    suite::LineAmounts a = Given(1, 10, 0, 0, 0.16);
    try {
      suite::CalculateLineAmounts(a, mode);
      ADD_FAILURE() << "mode " << mode << " accepted";
    } catch (const Failure& f) {
      EXPECT_EQ(std::string(f.what()), "Modo de cálculo de importes no programado: " + std::to_string(mode));
    }
    EXPECT_EQ(a.listPriceAmount, 0);  // nothing computed
  }
  suite::LineAmounts a = Given(1, 10, 0, 0, -1);
  try {
    suite::CalculateLineAmounts(a, 2);
    ADD_FAILURE() << "a tax factor of -1 accepted";
  } catch (const Failure& f) {
    EXPECT_EQ(std::string(f.what()), "El factor de impuesto: -1, no es válido con precios que incluyen impuesto");
  }
}

class SuiteHistoryTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    catalog_ = Factory().CreateCatalogServices();
    Insert("Cliente", {{"Cl_Cve_Cliente", T("C1")}, {"Cl_Descripcion", T("Cliente uno")}});
  }
  std::shared_ptr<CatalogServices> catalog_;
};

TEST_P(SuiteHistoryTest, CalculateLineAmountsFillsTheThirteenMembersInOrder) {
  double q = 2, lp = 100, lpa = 0, f = 0.1, da = 0, dp = 0, dA = 0, g = 0.05, gA = 7, t = 0.16, ta = 0, np = 0, na = 0;
  catalog_->CalculateLineAmounts(q, lp, lpa, f, da, dp, dA, g, gA, t, ta, np, na, 1);
  const double got[] = {q, lp, lpa, f, da, dp, dA, g, gA, t, ta, np, na};
  const double want[] = {2, 100, 200, 0.1, 20, 90, 180, 0.05, 9, 0.16, 27.36, 99.18, 198.36};
  for (int i = 0; i < 13; ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "member " << i;
  EXPECT_THROW(catalog_->CalculateLineAmounts(q, lp, lpa, f, da, dp, dA, g, gA, t, ta, np, na, 9), Failure);
  EXPECT_NEAR(na, 198.36, 1e-9);  // a refused mode writes nothing back
}

TEST_P(SuiteHistoryTest, FollowUpEntryKeepsItsSevenValuesAndTheMomentWritten) {
  const Date dated = MakeDate(2026, 5, 2, 9, 15, 0);
  ASSERT_EQ(
      catalog_->AddFollowUpHistory("CRM", "APARTADO", "0000000001", "CLIENTE", "C1", dated, "Registro de apartado"),
      kTrue);
  EXPECT_EQ(catalog_->GetErrorText(), "");
  TableRecordset row = Db().Query("SELECT * FROM Historial_Seguimiento");
  ASSERT_FALSE(row.Eof());
  EXPECT_EQ(row.Field("Hs_Aplicacion").ToText(), "CRM");
  EXPECT_EQ(row.Field("Hs_Tipo_Documento").ToText(), "APARTADO");
  EXPECT_EQ(row.Field("Hs_Folio").ToText(), "0000000001");
  EXPECT_EQ(row.Field("Hs_Tipo_Entidad").ToText(), "CLIENTE");
  EXPECT_EQ(row.Field("Hs_Cve_Entidad").ToText(), "C1");
  EXPECT_EQ(row.Field("Hs_Fecha").ToDate(), dated);
  EXPECT_EQ(row.Field("Hs_Descripcion").ToText(), "Registro de apartado");
  EXPECT_EQ(row.Field("Oper_Alta").ToText(), "OPER1");
  EXPECT_LT(std::abs(row.Field("Fecha_Alta").ToDate() - catalog_->GetCurrentDate()) * 86400, 5);
}

TEST_P(SuiteHistoryTest, RefusedFollowUpEntriesWriteNothingAndSayWhy) {
  struct Case {
    std::string kind, folio, entityKind, entity, message;
  };
  const std::vector<Case> cases = {
      {"APARTADO", "", "CLIENTE", "C1", "Debe indicar el folio del documento"},
      {"FACTURA", "F1", "CLIENTE", "C1", "El tipo de documento: FACTURA, no es conocido"},
      {"APARTADO", "F1", "PROVEEDOR", "C1", "El tipo de entidad: PROVEEDOR, no está programado"},
      {"APARTADO", "F1", "CLIENTE", "C9", "El cliente: C9, no existe"},
      {"APARTADO", "F1", "CLIENTE", "", "El cliente: , no existe"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(catalog_->AddFollowUpHistory("CRM", c.kind, c.folio, c.entityKind, c.entity, 46000, "x"), kFalse);
    EXPECT_EQ(catalog_->GetErrorText(), c.message);
  }
  EXPECT_EQ(Count("Historial_Seguimiento"), 0);
}

TEST_P(SuiteHistoryTest, NoticesAreStoredForKnownDocumentsOnly) {
  EXPECT_EQ(catalog_->NotifyDocument("APARTADO", "0000000007", ""), kTrue);
  EXPECT_EQ(catalog_->NotifyDocument("APARTADO", "", ""), kFalse);
  EXPECT_EQ(catalog_->GetErrorText(), "Debe indicar el folio del documento");
  EXPECT_EQ(catalog_->NotifyDocument("apartado", "0000000007", ""), kFalse);
  EXPECT_EQ(catalog_->GetErrorText(), "El tipo de documento: apartado, no es conocido");
  EXPECT_EQ(catalog_->NotifyDocument("", "0000000007", ""), kFalse);
  EXPECT_EQ(catalog_->GetErrorText(), "El tipo de documento: , no es conocido");
  TableRecordset rows =
      Db().Query("SELECT Nd_Tipo_Documento, Nd_Folio, Nd_Texto, Oper_Alta FROM Notificacion_Documento");
  ASSERT_FALSE(rows.Eof());
  EXPECT_EQ(rows.Field("Nd_Tipo_Documento").ToText(), "APARTADO");
  EXPECT_EQ(rows.Field("Nd_Folio").ToText(), "0000000007");
  EXPECT_EQ(rows.Field("Nd_Texto").ToText(), "");
  EXPECT_EQ(rows.Field("Oper_Alta").ToText(), "OPER1");
  rows.MoveNext();
  EXPECT_TRUE(rows.Eof());
}

APARTADO_INSTANTIATE_BACKENDS(SuiteHistoryTest);

}  // namespace
}  // namespace apartado
