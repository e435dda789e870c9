#include <gtest/gtest.h>

#include <tuple>

#include "integration/suite_fixture.h"

namespace apartado::testing {
namespace {

class SuiteReceivableTest : public SuiteTest {
 protected:
  void SetUp() override {
    SuiteTest::SetUp();
    Insert("Cliente", "Cl_Cve_Cliente", {{"C1"}});
    receivable_ = Factory().CreateReceivableDocument();
  }
  Boolean Generate(ReceivableHeader h) { return receivable_->GenerateReceivable(h, kFalse, kTrue); }
  std::unique_ptr<ReceivableDocument> receivable_;
};

// The row's amounts, dates and parties are pinned with the layaway's whole
// life elsewhere; here, what the receivable service itself decides.
TEST_P(SuiteReceivableTest, NumbersFromItsOwnSeriesCancelsOnceAndBillsAgainAfterwards) {
  ReceivableHeader h = Header("F1");
  ASSERT_EQ(receivable_->GenerateReceivable(h, kFalse, kTrue), kTrue);
  EXPECT_EQ(h.Member1, "0000000001");
  EXPECT_EQ(Generate(Header("F1")), kFalse);  // already active: the number it took goes back
  ASSERT_EQ(receivable_->CancelReceivable("APARTADO", "F1"), kTrue);
  EXPECT_EQ(receivable_->GetErrorText(), "");                         // cleared when the call starts
  EXPECT_EQ(receivable_->CancelReceivable("APARTADO", "F1"), kTrue);  // again: nothing changes
  ASSERT_EQ(Generate(Header("F1")), kTrue);
  EXPECT_EQ(Generate(Header("F3", 0)), kTrue);  // a zero total is billed
  EXPECT_EQ(
      Rows("SELECT Cxc_Folio, Sc_Cve_Sucursal, Cxc_Tabla, Cxc_Documento, Cxc_Tipo_Cambio, Cxc_Total, Cxc_Saldo, "
           "Cxc_Abonos, Es_Cve_Estado, Oper_Alta, Oper_Baja FROM Cuenta_X_Cobrar ORDER BY Cxc_Folio"),
      "0000000001|01|APARTADO|F1|1.5|188|188|0|CA|OPER1|OPER1\n0000000002|01|APARTADO|F1|1.5|188|188|0|AC|OPER1|NULL\n"
      "0000000003|01|APARTADO|F3|1.5|0|0|0|AC|OPER1|NULL\n");
  EXPECT_FALSE(Scalar("SELECT Fecha_Baja AS V FROM Cuenta_X_Cobrar WHERE Cxc_Folio = '0000000001'").IsNull());
}

// Every refusal and failure the reference services document, each produced
// from data, with its exact text; none of them changes a row.
TEST_P(SuiteReceivableTest, EveryDocumentedRefusalSaysWhyAndChangesNothing) {
  Insert("Folio", "Sc_Cve_Sucursal, Fo_Documento, Fo_Siguiente, Es_Cve_Estado",
         {{"02", "APARTADO", 5, "BA"}, {"02", "CUENTA_X_COBRAR", 5, "BA"}});
  Insert("Cuenta_X_Cobrar", "Sc_Cve_Sucursal, Cxc_Folio, Cxc_Tabla, Cxc_Documento, Cxc_Total, Cxc_Saldo, Cxc_Abonos",
         {{"01", "0000000003", "APARTADO", "0000000001", 188, 138.0, 50.0},
          {"01", "0000000004", "APARTADO", "0000000002", 188, 100.0, 0.0}});
  Insert("Serie", kStockKey + ", Sr_Cve_Serie, Sr_Pedimento, Sr_Tipo_Documento, Sr_Folio, Sr_ID, Es_Cve_Estado",
         {{"01", "A1", "P3", "00", "00", "S1", "PED-1", "", "", "", "AC"},
          {"01", "A1", "P3", "00", "00", "S2", "PED-1", "APARTADO", "F0", "0003", "AC"},
          {"01", "A1", "P3", "00", "00", "S3", "PED-1", "", "", "", "BA"}});
  Insert("Lote", kStockKey + ", Lt_Cve_Lote, Lt_Cantidad, Es_Cve_Estado",
         {{"01", "A1", "P2", "00", "00", "L1", 10.0, "AC"},
          {"02", "A1", "P2", "00", "00", "L1", 3.0, "AC"},
          {"01", "A1", "P2", "00", "00", "L3", 50.0, "BA"}});
  auto catalog = Factory().CreateCatalogServices();
  auto series = Factory().CreateSeriesAssignment();
  auto lots = Factory().CreateLotAssignment();
  // What a caller is told: the error text after a False or empty answer.
  auto said = [](bool refused, auto& service) { return (refused ? "" : "(not refused) ") + service.GetErrorText(); };
  auto folio = [&](const char* branch, const char* kind) {
    return said(catalog->GetNextFolio(branch, kind, 10, -1).IsEmpty(), *catalog);
  };
  auto history = [&](const char* kind, const char* number, const char* entityKind, const char* entity) {
    return said(!catalog->AddFollowUpHistory("CRM", kind, number, entityKind, entity, 46000, "x"), *catalog);
  };
  auto notice = [&](const char* kind, const char* number) {
    return said(!catalog->NotifyDocument(kind, number, ""), *catalog);
  };
  auto generate = [&](ReceivableHeader h) { return said(!Generate(h), *receivable_); };
  auto cancel = [&](const char* document) {
    return said(!receivable_->CancelReceivable("APARTADO", document), *receivable_);
  };
  auto serial = [&](const char* number, const char* colour, const char* key, std::int16_t quantity) {
    return said(!series->AssignSeries("APARTADO", number, "0001", "P3", "00", colour, key, "PED", 0, quantity),
                *series);
  };
  auto lot = [&](const char* number, const char* key, double quantity) {
    return said(!lots->AssignLot("APARTADO", number, "0001", "P2", "00", "00", key, quantity, 0), *lots);
  };
  auto lookup = [&](const char* table, const char* column, const char* key2) {
    return FailureOf([&] { catalog->LookupValue(table, "Mn_Cve_Moneda", "MXN", column, 0, key2, "1", ""); });
  };
  ReceivableHeader noTable = Header("F2"), unknownCustomer = Header("F2");
  noTable.OriginTable = "";
  unknownCustomer.Customer.Key = "C9";
  const std::string kFolioMissing = "Debe indicar el folio del documento",
                    kOriginMissing = "Debe indicar la tabla y el documento de origen de la cuenta por cobrar";

  EXPECT_EQ(folio("01", ""), "Debe indicar el tipo de documento del folio");
  EXPECT_EQ(folio("02", "APARTADO"),
            "La serie de folios del documento: APARTADO, de la sucursal: 02, está dada de baja");
  EXPECT_EQ(history("APARTADO", "", "CLIENTE", "C1"), kFolioMissing);
  EXPECT_EQ(history("FACTURA", "F1", "CLIENTE", "C1"), "El tipo de documento: FACTURA, no es conocido");
  EXPECT_EQ(history("APARTADO", "F1", "PROVEEDOR", "C1"), "El tipo de entidad: PROVEEDOR, no está programado");
  EXPECT_EQ(history("APARTADO", "F1", "CLIENTE", "C9"), "El cliente: C9, no existe");
  EXPECT_EQ(notice("APARTADO", ""), kFolioMissing);
  EXPECT_EQ(notice("apartado", "F1"), "El tipo de documento: apartado, no es conocido");
  EXPECT_EQ(generate(Header("")), kOriginMissing);
  EXPECT_EQ(generate(noTable), kOriginMissing);
  EXPECT_EQ(generate(Header("F2", -0.5)), "El total de la cuenta por cobrar no puede ser negativo: -0.5");
  EXPECT_EQ(generate(unknownCustomer), "El cliente: C9, no existe");
  EXPECT_EQ(generate(Header("F2", 188, "02")),
            "La serie de folios del documento: CUENTA_X_COBRAR, de la sucursal: 02, está dada de baja");
  EXPECT_EQ(generate(Header("0000000001")),
            "Ya existe una cuenta por cobrar activa del documento: APARTADO 0000000001");
  EXPECT_EQ(cancel("0000000009"), "No existe una cuenta por cobrar del documento: APARTADO 0000000009");
  EXPECT_EQ(cancel("0000000001"),
            "La cuenta por cobrar: 0000000003, del documento: APARTADO 0000000001, tiene abonos aplicados y no puede "
            "cancelarse");
  EXPECT_EQ(cancel("0000000002"),
            "La cuenta por cobrar: 0000000004, del documento: APARTADO 0000000002, tiene abonos aplicados y no puede "
            "cancelarse");
  EXPECT_EQ(serial("", "00", "S1", 1), kFolioMissing);
  EXPECT_EQ(serial("F1", "00", "", 1), "Debe indicar el número de serie");
  EXPECT_EQ(serial("F1", "00", "S1", 2), "Un número de serie ampara una sola unidad, cantidad recibida: 2");
  EXPECT_EQ(serial("F1", "00", "S1", 0), "Un número de serie ampara una sola unidad, cantidad recibida: 0");
  EXPECT_EQ(serial("F1", "00", "S9", 1), "El número de serie: S9, no existe para el producto/talla/color: P3/00/00");
  EXPECT_EQ(serial("F1", "RJ", "S1", 1), "El número de serie: S1, no existe para el producto/talla/color: P3/00/RJ");
  EXPECT_EQ(serial("F1", "00", "S3", 1), "El número de serie: S3, no existe para el producto/talla/color: P3/00/00");
  EXPECT_EQ(serial("F1", "00", "S2", 1),
            "El número de serie: S2, ya está asignado al documento: APARTADO F0, partida: 0003");
  EXPECT_EQ(lot("", "L1", 1), kFolioMissing);
  EXPECT_EQ(lot("F1", "", 1), "Debe indicar el lote");
  EXPECT_EQ(lot("F1", "L1", -1), "La cantidad a descargar del lote no puede ser negativa: -1");
  EXPECT_EQ(lot("F1", "L9", 1), "El lote: L9, no existe para el producto/talla/color: P2/00/00");
  EXPECT_EQ(lot("F1", "L3", 1), "El lote: L3, no existe para el producto/talla/color: P2/00/00");
  EXPECT_EQ(lot("F1", "L1", 10.5),  // the largest free quantity is quoted
            "No hay suficiente cantidad en el lote: L1, del producto/talla/color: P2/00/00, disponible: 10 -> "
            "solicitado: 10.5");
  EXPECT_EQ(lookup("Moneda; DROP TABLE Moneda", "Mn_Descripcion", ""),
            "Nombre de tabla o columna no válido: Moneda; DROP TABLE Moneda");
  EXPECT_EQ(lookup("Moneda", "Mn_Descripcion--", ""), "Nombre de tabla o columna no válido: Mn_Descripcion--");
  EXPECT_EQ(lookup("Moneda", "Mn_Descripcion", "1=1 OR x"), "Nombre de tabla o columna no válido: 1=1 OR x");
  EXPECT_EQ(FailureOf([&] { Factory().CreateWarehouseServices()->GetStock("01", "A1", "P1", "00", "00", 3, ""); }),
            "Unidad de control no válida: 3");

  EXPECT_EQ(Count("Historial_Seguimiento") + Count("Notificacion_Documento") + Count("Lote_Asignacion"), 0);
  EXPECT_EQ(Count("Moneda"), 0);
  EXPECT_EQ(Rows("SELECT Sc_Cve_Sucursal, Fo_Siguiente FROM Folio ORDER BY Fo_Documento"), "02|5\n02|5\n");
  EXPECT_EQ(Rows("SELECT Cxc_Folio, Es_Cve_Estado FROM Cuenta_X_Cobrar ORDER BY Cxc_Folio"),
            "0000000003|AC\n0000000004|AC\n");
  EXPECT_EQ(Rows("SELECT Sr_Folio FROM Serie ORDER BY Sr_Cve_Serie"), "\nF0\n\n");
  EXPECT_EQ(Rows("SELECT Lt_Cantidad FROM Lote ORDER BY Lt_Cve_Lote, Sc_Cve_Sucursal"), "10\n3\n50\n");
  // A free serial is taken by the document line; its own customs data stay as stored.
  EXPECT_EQ(serial("F1", "00", "S1", 1), "(not refused) ");
  EXPECT_EQ(Rows("SELECT Sr_Tipo_Documento, Sr_Folio, Sr_ID, Sr_Pedimento FROM Serie WHERE Sr_Cve_Serie = 'S1'"),
            "APARTADO|F1|0001|PED-1\n");
}

APARTADO_INSTANTIATE_BACKENDS(SuiteReceivableTest);

}  // namespace
}  // namespace apartado::testing
