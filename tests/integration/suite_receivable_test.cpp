#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::SuiteTest;
using testing::T;

class SuiteReceivableTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    Insert("Cliente", {{"Cl_Cve_Cliente", T("C1")}, {"Cl_Descripcion", T("Cliente uno")}});
    receivable_ = Factory().CreateReceivableDocument();
  }
  static ReceivableHeader Header(const std::string& document, double total = 188) {
    ReceivableHeader h;
    h.DocumentDate = MakeDate(2026, 3, 10, 15, 30, 0);
    h.DueDate = MakeDate(2026, 4, 9, 15, 30, 0);
    h.OriginTable = "APARTADO";
    h.OriginDocument = document;
    h.Reference = "REF";
    h.Comment = "Comentario";
    h.Branch.Key = "01";
    h.Customer.Key = "C1";
    h.Subtotal1 = h.Subtotal2 = 160;
    h.Tax1 = h.Tax2 = 28;
    h.Total1 = h.Total2 = total;
    h.Currency.CurrencyKey = "MXN";
    h.ExchangeRate = 1.5;
    return h;
  }
  Boolean Generate(ReceivableHeader h) { return receivable_->GenerateReceivable(h, kFalse, kTrue); }
  std::string Status(const std::string& folio) {
    return Scalar("SELECT Es_Cve_Estado AS V FROM Cuenta_X_Cobrar WHERE Cxc_Folio = :p1", {T(folio)}).ToText();
  }
  std::unique_ptr<ReceivableDocument> receivable_;
};

TEST_P(SuiteReceivableTest, GeneratesOneActiveReceivableWithTheHeadersValues) {
  ReceivableHeader h = Header("0000000001");
  ASSERT_EQ(receivable_->GenerateReceivable(h, kFalse, kTrue), kTrue);
  EXPECT_EQ(h.Member1, "0000000001");  // the receivable's own folio
  TableRecordset row = Db().Query("SELECT * FROM Cuenta_X_Cobrar");
  ASSERT_FALSE(row.Eof());
  EXPECT_EQ(row.Field("Cxc_Folio").ToText(), "0000000001");
  EXPECT_EQ(row.Field("Sc_Cve_Sucursal").ToText(), "01");
  EXPECT_EQ(row.Field("Cxc_Tabla").ToText(), "APARTADO");
  EXPECT_EQ(row.Field("Cxc_Documento").ToText(), "0000000001");
  EXPECT_EQ(row.Field("Cxc_Referencia").ToText(), "REF");
  EXPECT_EQ(row.Field("Cxc_Comentario").ToText(), "Comentario");
  EXPECT_EQ(FormatDateTime(row.Field("Cxc_Fecha").ToDate()), "2026-03-10 15:30:00");
  EXPECT_EQ(FormatDateTime(row.Field("Cxc_Fecha_Vencimiento").ToDate()), "2026-04-09 15:30:00");
  EXPECT_EQ(row.Field("Cl_Cve_Cliente").ToText(), "C1");
  EXPECT_EQ(row.Field("Mn_Cve_Moneda").ToText(), "MXN");
  EXPECT_EQ(row.Field("Cxc_Tipo_Cambio").ToDouble(), 1.5);
  EXPECT_EQ(row.Field("Cxc_Subtotal").ToDouble(), 160);
  EXPECT_EQ(row.Field("Cxc_Impuesto").ToDouble(), 28);
  EXPECT_EQ(row.Field("Cxc_Total").ToDouble(), 188);
  EXPECT_EQ(row.Field("Cxc_Saldo").ToDouble(), 188);
  EXPECT_EQ(row.Field("Cxc_Abonos").ToDouble(), 0);
  EXPECT_EQ(row.Field("Es_Cve_Estado").ToText(), "AC");
  EXPECT_EQ(row.Field("Oper_Alta").ToText(), "OPER1");
  EXPECT_EQ(receivable_->GetErrorText(), "");
}

TEST_P(SuiteReceivableTest, RefusalsWriteNothingAndSayWhy) {
  ASSERT_EQ(Generate(Header("F1")), kTrue);
  ReceivableHeader unknownCustomer = Header("F2");
  unknownCustomer.Customer.Key = "C9";
  ReceivableHeader noDocument = Header("");
  ReceivableHeader noTable = Header("F2");
  noTable.OriginTable = "";
  struct Case {
    ReceivableHeader header;
    std::string message;
  };
  const std::vector<Case> cases = {
      {Header("F1"), "Ya existe una cuenta por cobrar activa del documento: APARTADO F1"},
      {unknownCustomer, "El cliente: C9, no existe"},
      {Header("F2", -0.5), "El total de la cuenta por cobrar no puede ser negativo: -0.5"},
      {noDocument, "Debe indicar la tabla y el documento de origen de la cuenta por cobrar"},
      {noTable, "Debe indicar la tabla y el documento de origen de la cuenta por cobrar"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Generate(c.header), kFalse) << c.message;
    EXPECT_EQ(receivable_->GetErrorText(), c.message);
  }
  EXPECT_EQ(Count("Cuenta_X_Cobrar"), 1);
  // A refused receivable used no number of the series.
  ReceivableHeader next = Header("F2");
  ASSERT_EQ(Generate(next), kTrue);
  EXPECT_EQ(Scalar("SELECT Cxc_Folio AS V FROM Cuenta_X_Cobrar WHERE Cxc_Documento = 'F2'").ToText(), "0000000002");
  // A zero total is billed.
  EXPECT_EQ(Generate(Header("F3", 0)), kTrue);
}

TEST_P(SuiteReceivableTest, AWithdrawnReceivableSeriesRefuses) {
  Insert("Folio", {{"Sc_Cve_Sucursal", T("01")},
                   {"Fo_Documento", T("CUENTA_X_COBRAR")},
                   {"Fo_Siguiente", Variant::FromLong(1)},
                   {"Es_Cve_Estado", T("BA")}});
  EXPECT_EQ(Generate(Header("F1")), kFalse);
  EXPECT_EQ(receivable_->GetErrorText(),
            "La serie de folios del documento: CUENTA_X_COBRAR, de la sucursal: 01, está dada de baja");
  EXPECT_EQ(Count("Cuenta_X_Cobrar"), 0);
}

TEST_P(SuiteReceivableTest, CancellingMarksTheActiveReceivableAndAllowsANewOne) {
  ASSERT_EQ(Generate(Header("F1")), kTrue);
  ASSERT_EQ(receivable_->CancelReceivable("APARTADO", "F1"), kTrue);
  EXPECT_EQ(Status("0000000001"), "CA");
  EXPECT_EQ(Scalar("SELECT Oper_Baja AS V FROM Cuenta_X_Cobrar").ToText(), "OPER1");
  EXPECT_FALSE(Scalar("SELECT Fecha_Baja AS V FROM Cuenta_X_Cobrar").IsNull());
  // Cancelling an already cancelled receivable succeeds and changes nothing.
  EXPECT_EQ(receivable_->CancelReceivable("APARTADO", "F1"), kTrue);
  EXPECT_EQ(Status("0000000001"), "CA");
  EXPECT_EQ(receivable_->CancelReceivable("APARTADO", "F9"), kFalse);
  EXPECT_EQ(receivable_->GetErrorText(), "No existe una cuenta por cobrar del documento: APARTADO F9");
  ASSERT_EQ(Generate(Header("F1")), kTrue);
  EXPECT_EQ(Status("0000000002"), "AC");
}

TEST_P(SuiteReceivableTest, AReceivableWithPaymentsAppliedIsNotCancelled) {
  ASSERT_EQ(Generate(Header("F1")), kTrue);
  ASSERT_EQ(Generate(Header("F2")), kTrue);
  Db().Command("UPDATE Cuenta_X_Cobrar SET Cxc_Abonos = 50, Cxc_Saldo = 138 WHERE Cxc_Documento = 'F1'");
  Db().Command("UPDATE Cuenta_X_Cobrar SET Cxc_Saldo = 100 WHERE Cxc_Documento = 'F2'");
  EXPECT_EQ(receivable_->CancelReceivable("APARTADO", "F1"), kFalse);
  EXPECT_EQ(receivable_->GetErrorText(),
            "La cuenta por cobrar: 0000000001, del documento: APARTADO F1, tiene abonos aplicados y no puede "
            "cancelarse");
  EXPECT_EQ(receivable_->CancelReceivable("APARTADO", "F2"), kFalse);
  EXPECT_EQ(receivable_->GetErrorText(),
            "La cuenta por cobrar: 0000000002, del documento: APARTADO F2, tiene abonos aplicados y no puede "
            "cancelarse");
  EXPECT_EQ(Status("0000000001"), "AC");
  EXPECT_EQ(Status("0000000002"), "AC");
}

TEST_P(SuiteReceivableTest, ConcurrentCallersGetOneReceivablePerDocument) {
  constexpr int kThreads = 4;
  std::atomic<int> created{0}, refused{0}, failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      try {
        auto receivable = suite::MakeSuiteFactory(Options())->CreateReceivableDocument();
        ReceivableHeader h = Header("F1");
        if (receivable->GenerateReceivable(h, kFalse, kTrue) == kTrue) {
          ++created;
        } else if (receivable->GetErrorText() == "Ya existe una cuenta por cobrar activa del documento: APARTADO F1") {
          ++refused;
        }
      } catch (...) {
        ++failed;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(created.load(), 1);
  EXPECT_EQ(refused.load(), kThreads - 1);
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(Count("Cuenta_X_Cobrar"), 1);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteReceivableTest);

}  // namespace
}  // namespace apartado
