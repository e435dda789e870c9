// Receivable generation: the layaway's rows are summed by the database in one
// grouped query joined to the customer, and the receivable component is handed
// one header built from the first group. Nothing is written here.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "component/publico.h"
#include "data/sql_builder.h"

namespace apartado {
namespace {

constexpr std::string_view kGeneraTag = "condicionApartadoQZL.dll - Genera_Cuenta_x_Cobrar_Apartado()";

// Customer and layaway columns named both in the select list and in GROUP BY.
constexpr std::array<std::string_view, 11> kGroupedColumns = {
    "   Cliente.Cl_Tipo_Cuenta, ",
    "   Cliente.Cl_Dias_Credito, ",
    "   Cliente.Cl_Limite_Credito, ",
    "   Cliente.Cc_Cve_Cadena_Comercial, ",
    "   Cliente.Gc_Cve_Grupo_Comercial, ",
    "   Apartado.Ap_Folio, ",
    "   Apartado.Ap_Fecha, ",
    "   Apartado.Ap_Comentario, ",
    "   Apartado.Sc_Cve_Sucursal, ",
    "   Apartado.Cl_Cve_Cliente, ",
    "   Apartado.Ap_Referencia, ",
};

SqlBuilder& AppendGroupedColumns(SqlBuilder& sql) {
  for (std::string_view column : kGroupedColumns) sql << column;
  return sql;
}

// The folio's amounts summed per customer and layaway columns. The subtotal
// takes each row's global discount off its discounted amount.
std::unique_ptr<Recordset> QueryLayawayTotals(const std::string& folio) {
  SqlBuilder sql;
  sql << "SELECT ";
  AppendGroupedColumns(sql);
  sql << "   Mn_Cve_Moneda, "
      << "   Ap_Tipo_Cambio, "
      << "   SUM(Apartado.Ap_Precio_Descontado_Importe - Apartado.Ap_Descuento_Global_Importe ) as "
         "Ap_Precio_Descontado_Importe, "
      << "   SUM(Apartado.Ap_Impuesto_Importe) as Ap_Impuesto_Importe, "
      << "   SUM(Apartado.Ap_Precio_Neto_Importe) as Ap_Precio_Neto_Importe "
      << "FROM Apartado "
      << "  INNER JOIN Cliente ON Apartado.Cl_Cve_Cliente = Cliente.Cl_Cve_Cliente "
      << "WHERE "
      << "   Ap_Folio = '" << folio << "' "
      << "GROUP BY ";
  AppendGroupedColumns(sql);
  sql << "   Mn_Cve_Moneda, "
      << "   Ap_Tipo_Cambio ";
  return sql.Execute();
}

// Fills the header from the current row, reading the columns in a fixed order
// so that the first unconvertible one is the one reported.
ReceivableHeader ReadReceivableHeader(const Recordset& row, const std::string& folio) {
  ReceivableHeader header;
  // The due date keeps the layaway's time of day; credit days are a 16-bit
  // whole number.
  const Date layawayDate = row.Field("Ap_Fecha").ToDate();
  const std::int16_t creditDays = row.Field("Cl_Dias_Credito").ToInteger();
  header.DueDate = AddDays(layawayDate, static_cast<double>(creditDays));
  header.Branch.Key = row.Field("Sc_Cve_Sucursal").ToText();
  header.Customer.Key = row.Field("Cl_Cve_Cliente").ToText();
  header.ExchangeRate = row.Field("Ap_Tipo_Cambio").ToDouble();
  header.Currency.CurrencyKey = row.Field("Mn_Cve_Moneda").ToText();
  header.Comment = row.Field("Ap_Comentario").ToText();
  header.Reference = row.Field("Ap_Referencia").ToText();
  header.OriginTable = "APARTADO";
  header.OriginDocument = folio;
  header.DocumentDate = row.Field("Ap_Fecha").ToDate();
  // Each amount goes into the first two members of its triple; the third is 0.
  header.Subtotal1 = row.Field("Ap_Precio_Descontado_Importe").ToDouble();
  header.Subtotal2 = row.Field("Ap_Precio_Descontado_Importe").ToDouble();
  header.Subtotal3 = 0;
  header.Tax1 = row.Field("Ap_Impuesto_Importe").ToDouble();
  header.Tax2 = row.Field("Ap_Impuesto_Importe").ToDouble();
  header.Tax3 = 0;
  header.Total1 = row.Field("Ap_Precio_Neto_Importe").ToDouble();
  header.Total2 = row.Field("Ap_Precio_Neto_Importe").ToDouble();
  header.Total3 = 0;
  return header;
}

}  // namespace

Boolean Apartado::Genera_Cuenta_x_Cobrar_Apartado(const std::string& Ap_Folio) {
  return RunWithFailurePath(ErrorText, kGeneraTag, TagBreaks::One, [&]() -> Boolean {
    const std::string prefix = std::string(kGeneraTag) + std::string(kCrLf);
    std::unique_ptr<ReceivableDocument> document = InstalledServiceFactory()->CreateReceivableDocument();

    std::unique_ptr<Recordset> totals = QueryLayawayTotals(Ap_Folio);
    if (totals->Eof()) {
      // Also the answer when the layaway's customer is missing from Cliente.
      ErrorText = prefix + "Imposible localizar el apartado con folio: " + Ap_Folio;
      totals->Close();
      return kFalse;
    }

    // Only the first group counts; any further one is ignored.
    ReceivableHeader header = ReadReceivableHeader(*totals, Ap_Folio);
    // The receivable component reports success with any non-zero value.
    if (IsNonZero(document->GenerateReceivable(header, kFalse, kTrue))) return kTrue;

    ErrorText = prefix + document->GetErrorText();
    return kFalse;
  });
}

}  // namespace apartado
