#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "integration/suite_fixture.h"

namespace apartado {
namespace {

using testing::N;
using testing::SuiteTest;
using testing::T;

class SuiteSeriesTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    Serial("S1", "", "AC");
    Serial("S2", "F0", "AC");
    Serial("S3", "", "BA");
    series_ = Factory().CreateSeriesAssignment();
  }
  void Serial(const char* serial, const char* folio, const char* status) {
    Insert("Serie", {{"Sc_Cve_Sucursal", T("01")},
                     {"Al_Cve_Almacen", T("A1")},
                     {"Pr_Cve_Producto", T("P3")},
                     {"Tl_Cve_Talla", T("00")},
                     {"Cl_Cve_Color", T("00")},
                     {"Sr_Cve_Serie", T(serial)},
                     {"Sr_Pedimento", T("PED-1")},
                     {"Sr_Tipo_Documento", T(*folio ? "APARTADO" : "")},
                     {"Sr_Folio", T(folio)},
                     {"Sr_ID", T(*folio ? "0003" : "")},
                     {"Es_Cve_Estado", T(status)}});
  }
  Boolean Assign(const std::string& folio, const std::string& colour, const std::string& serial,
                 std::int16_t quantity) {
    return series_->AssignSeries("APARTADO", folio, "0001", "P3", "00", colour, serial, "PED-2", 0, quantity);
  }
  std::unique_ptr<SeriesAssignment> series_;
};

TEST_P(SuiteSeriesTest, AFreeSerialIsRecordedAgainstTheDocumentLineOnce) {
  ASSERT_EQ(Assign("F1", "00", "S1", 1), kTrue);
  TableRecordset row = Db().Query("SELECT * FROM Serie WHERE Sr_Cve_Serie = 'S1'");
  EXPECT_EQ(row.Field("Sr_Tipo_Documento").ToText(), "APARTADO");
  EXPECT_EQ(row.Field("Sr_Folio").ToText(), "F1");
  EXPECT_EQ(row.Field("Sr_ID").ToText(), "0001");
  EXPECT_EQ(row.Field("Sr_Pedimento").ToText(), "PED-1");  // the unit's own customs data stay
  EXPECT_EQ(Assign("F2", "00", "S1", 1), kFalse);
  EXPECT_EQ(series_->GetErrorText(),
            "El número de serie: S1, ya está asignado al documento: APARTADO F1, partida: 0001");
}

TEST_P(SuiteSeriesTest, RefusalsNameTheSerialAndChangeNothing) {
  struct Case {
    std::string folio, colour, serial;
    std::int16_t quantity;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", "00", "S1", 1, "Debe indicar el folio del documento"},
      {"F1", "00", "", 1, "Debe indicar el número de serie"},
      {"F1", "00", "S1", 0, "Un número de serie ampara una sola unidad, cantidad recibida: 0"},
      {"F1", "00", "S1", 2, "Un número de serie ampara una sola unidad, cantidad recibida: 2"},
      {"F1", "00", "S1", -1, "Un número de serie ampara una sola unidad, cantidad recibida: -1"},
      {"F1", "00", "S9", 1, "El número de serie: S9, no existe para el producto/talla/color: P3/00/00"},
      {"F1", "RJ", "S1", 1, "El número de serie: S1, no existe para el producto/talla/color: P3/00/RJ"},
      {"F1", "00", "S3", 1, "El número de serie: S3, no existe para el producto/talla/color: P3/00/00"},
      {"F1", "00", "S2", 1, "El número de serie: S2, ya está asignado al documento: APARTADO F0, partida: 0003"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Assign(c.folio, c.colour, c.serial, c.quantity), kFalse) << c.message;
    EXPECT_EQ(series_->GetErrorText(), c.message);
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) AS V FROM Serie WHERE Sr_Folio = 'F1'").ToDouble(), 0);
}

class SuiteLotTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    Lot("01", "L1", 10, "AC");
    Lot("02", "L1", 3, "AC");
    Lot("01", "L3", 50, "BA");
    lots_ = Factory().CreateLotAssignment();
  }
  void Lot(const char* branch, const char* lot, double free, const char* status) {
    Insert("Lote", {{"Sc_Cve_Sucursal", T(branch)},
                    {"Al_Cve_Almacen", T("A1")},
                    {"Pr_Cve_Producto", T("P2")},
                    {"Tl_Cve_Talla", T("00")},
                    {"Cl_Cve_Color", T("00")},
                    {"Lt_Cve_Lote", T(lot)},
                    {"Lt_Cantidad", N(free)},
                    {"Es_Cve_Estado", T(status)}});
  }
  double Free(const char* branch, const char* lot = "L1") {
    return Scalar("SELECT Lt_Cantidad AS V FROM Lote WHERE Sc_Cve_Sucursal = :p1 AND Lt_Cve_Lote = :p2",
                  {T(branch), T(lot)})
        .ToDouble();
  }
  Boolean Assign(const std::string& folio, const std::string& line, const std::string& lot, double q1, double q2 = 0) {
    return lots_->AssignLot("APARTADO", folio, line, "P2", "00", "00", lot, q1, q2);
  }
  std::unique_ptr<LotAssignment> lots_;
};

TEST_P(SuiteLotTest, ADrawDownLowersTheFreeQuantityAndIsRecorded) {
  ASSERT_EQ(Assign("F1", "0001", "L1", 4, 2.5), kTrue);
  EXPECT_EQ(Free("01"), 6);
  EXPECT_EQ(Free("02"), 3);
  TableRecordset row = Db().Query("SELECT * FROM Lote_Asignacion");
  ASSERT_FALSE(row.Eof());
  EXPECT_EQ(row.Field("La_Tipo_Documento").ToText(), "APARTADO");
  EXPECT_EQ(row.Field("La_Folio").ToText(), "F1");
  EXPECT_EQ(row.Field("La_ID").ToText(), "0001");
  EXPECT_EQ(row.Field("Sc_Cve_Sucursal").ToText(), "01");
  EXPECT_EQ(row.Field("Al_Cve_Almacen").ToText(), "A1");
  EXPECT_EQ(row.Field("Lt_Cve_Lote").ToText(), "L1");
  EXPECT_EQ(row.Field("La_Cantidad_1").ToDouble(), 4);
  EXPECT_EQ(row.Field("La_Cantidad_2").ToDouble(), 2.5);
  EXPECT_EQ(row.Field("Oper_Alta").ToText(), "OPER1");
  // All of what is free in the first warehouse, then the next one that covers it.
  ASSERT_EQ(Assign("F1", "0002", "L1", 6), kTrue);
  EXPECT_EQ(Free("01"), 0);
  ASSERT_EQ(Assign("F1", "0003", "L1", 3), kTrue);
  EXPECT_EQ(Free("02"), 0);
  EXPECT_EQ(Assign("F1", "0004", "L1", 0), kTrue);  // nothing to draw is still recorded
  EXPECT_EQ(Count("Lote_Asignacion"), 4);
}

TEST_P(SuiteLotTest, RefusalsNameTheLotAndChangeNothing) {
  struct Case {
    std::string folio, lot;
    double quantity;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", "L1", 1, "Debe indicar el folio del documento"},
      {"F1", "", 1, "Debe indicar el lote"},
      {"F1", "L1", -1, "La cantidad a descargar del lote no puede ser negativa: -1"},
      {"F1", "L9", 1, "El lote: L9, no existe para el producto/talla/color: P2/00/00"},
      {"F1", "L3", 1, "El lote: L3, no existe para el producto/talla/color: P2/00/00"},
      {"F1", "L1", 10.5,
       "No hay suficiente cantidad en el lote: L1, del producto/talla/color: P2/00/00, disponible: 10 -> "
       "solicitado: 10.5"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Assign(c.folio, "0001", c.lot, c.quantity), kFalse) << c.message;
    EXPECT_EQ(lots_->GetErrorText(), c.message);
  }
  EXPECT_EQ(Free("01"), 10);
  EXPECT_EQ(Free("02"), 3);
  EXPECT_EQ(Count("Lote_Asignacion"), 0);
}

TEST_P(SuiteLotTest, ConcurrentDrawDownsNeverTakeMoreThanIsFree) {
  constexpr int kThreads = 4, kEach = 4;  // 16 draw-downs of 1 against 13 free
  std::atomic<int> drawn{0}, failed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      try {
        auto factory = suite::MakeSuiteFactory(Options());
        for (int i = 0; i < kEach; ++i) {
          if (factory->CreateLotAssignment()->AssignLot("APARTADO", "F1", "0001", "P2", "00", "00", "L1", 1, 0) ==
              kTrue)
            ++drawn;
        }
      } catch (...) {
        ++failed;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failed.load(), 0);
  EXPECT_EQ(drawn.load(), 13);
  EXPECT_EQ(Free("01"), 0);
  EXPECT_EQ(Free("02"), 0);
  EXPECT_EQ(Count("Lote_Asignacion"), 13);
}

APARTADO_INSTANTIATE_BACKENDS(SuiteSeriesTest);
APARTADO_INSTANTIATE_BACKENDS(SuiteLotTest);

}  // namespace
}  // namespace apartado
