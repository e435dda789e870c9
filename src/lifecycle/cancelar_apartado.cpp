// Cancellation of a stored layaway: its receivable is cancelled and its stock
// released (while Apartar_Productos is set), then every row is marked 'CA',
// the customer's follow-up history gets an entry and the suite is notified.
// Nothing runs in a transaction: a later failure leaves earlier steps done.
#include <memory>
#include <string>
#include <string_view>

#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "component/publico.h"
#include "data/sql_builder.h"

namespace apartado {
namespace {

constexpr std::string_view kCancelarTag = "ApartadosQZL.dll - Cancelar_Apartado()";

// Whether the layaway's status marks it cancelled. Only the exact code counts;
// a null status is not a cancelled one.
bool IsCancelledStatus(const Variant& status) { return !status.IsNull() && status.ToText() == "CA"; }

}  // namespace

Boolean Apartado::Cancelar_Apartado(const std::string& Ap_Folio) {
  // The audit moment is taken before the failure path exists: a failure here
  // reaches the caller and leaves the error text alone.
  {
    CatalogServices& catalog = *Publico().CatalogServices;
    const Date now = catalog.GetCurrentDate();
    AuditDateText = catalog.FormatDateTimeForSql(now);
  }

  return RunWithFailurePath(ErrorText, kCancelarTag, TagBreaks::Two, [&]() -> Boolean {
    const std::string prefix = std::string(kCancelarTag) + std::string(kCrLf);

    std::unique_ptr<Recordset> rows =
        (SqlBuilder() << "SELECT * FROM Apartado WHERE Ap_Folio = '" << Ap_Folio << "' ORDER BY Ap_ID").Execute();
    if (rows->Eof()) {
      ErrorText = prefix + "Imposible localizar el apartado: " + Ap_Folio;
      rows->Close();
      return kFalse;
    }
    // The first row (lowest Ap_ID) speaks for the whole layaway.
    if (IsCancelledStatus(rows->Field("Es_Cve_Estado"))) {
      ErrorText = prefix + "Imposible cancelar el apartado: " + Ap_Folio + ", con estado = 'CA'";
      rows->Close();
      return kFalse;
    }

    if (IsNonZero(Apartar_Productos_)) {
      std::unique_ptr<Recordset> receivable =
          (SqlBuilder() << "SELECT Cxc_Folio "
                        << "FROM Cuenta_X_Cobrar "
                        << "WHERE Cxc_Tabla = 'APARTADO' AND Cxc_Documento = '" << Ap_Folio << "'")
              .Execute();
      if (!receivable->Eof()) {
        std::unique_ptr<ReceivableDocument> document = InstalledServiceFactory()->CreateReceivableDocument();
        if (!IsTrue(document->CancelReceivable("APARTADO", Ap_Folio))) {
          ErrorText = prefix + document->GetErrorText();
          return kFalse;
        }
      }
      receivable.reset();

      // Every row hands its stock back in line order; the first refusal stops
      // the walk and leaves the rows already released as they are.
      while (!rows->Eof()) {
        const std::string branch = rows->Field("Ap_Sucursal_Inventario").ToText();
        const std::string warehouse = rows->Field("Ap_Almacen_Inventario").ToText();
        const std::string product = rows->Field("Pr_Cve_Producto").ToText();
        const std::string size = rows->Field("Tl_Cve_Talla").ToText();
        const std::string colour = rows->Field("Cl_Cve_Color").ToText();
        const double quantity1 = rows->Field("Ap_Cantidad_Control_1").ToDouble();
        const double quantity2 = rows->Field("Ap_Cantidad_Control_2").ToDouble();
        if (!IsTrue(Desapartar_Producto(branch, warehouse, product, size, colour, quantity1, quantity2, ""))) {
          ErrorText = prefix + ErrorText;
          rows->Close();
          return kFalse;
        }
        rows->MoveNext();
      }
    }
    rows.reset();

    // The operator is asked once per audit column, each time just before its
    // piece is written.
    SessionServices& session = *Publico().SessionServices;
    SqlBuilder update;
    update << "UPDATE Apartado SET "
           << "   Es_Cve_Estado = 'CA', ";
    const std::string modifiedBy = session.GetOperator();
    update << "   Oper_Ult_Modif = '" << modifiedBy << "', ";
    update << "   Fecha_Ult_Modif = '" << AuditDateText << "', ";
    const std::string cancelledBy = session.GetOperator();
    update << "   Oper_Baja = '" << cancelledBy << "', ";
    update << "   Fecha_Baja = '" << AuditDateText << "' ";
    update << "WHERE Ap_Folio = '" << Ap_Folio << "' ";
    update.Execute();

    if (!IsTrue(Crm_Historial_Seguimiento(Ap_Folio, "Baja del apartado"))) {
      ErrorText = prefix + ErrorText;
      return kFalse;
    }

    CatalogServices& catalog = *Publico().CatalogServices;
    if (!IsTrue(catalog.NotifyDocument("APARTADO", Ap_Folio, ""))) {
      ErrorText = prefix + catalog.GetErrorText();
      return kFalse;
    }
    return kTrue;
  });
}

}  // namespace apartado
