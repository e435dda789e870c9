// Reserving and releasing every stored line of a layaway: the folio's rows are
// read back from Apartado and handed one by one to the single-product stock
// operations. Nothing marks a folio as reserved, so each call does the whole
// walk again.
#include "apartado/apartado.h"
#include "component/failure_path.h"
#include "data/sql_builder.h"

namespace apartado {
namespace {

constexpr std::string_view kApartarTag = "condicionApartadoQZL.dll - Apartar()";
constexpr std::string_view kDesapartarTag = "condicionApartadoQZL.dll - Desapartar()";

// What one stored line says about its stock.
struct LineStock {
  std::string branch;
  std::string warehouse;
  std::string product;
  std::string size;
  std::string colour;
  double quantity1 = 0;
  double quantity2 = 0;
};

LineStock ReadLineStock(const Recordset& row) {
  LineStock line;
  line.branch = row.Field("Ap_Sucursal_Inventario").ToText();
  line.warehouse = row.Field("Ap_Almacen_Inventario").ToText();
  line.product = row.Field("Pr_Cve_Producto").ToText();
  line.size = row.Field("Tl_Cve_Talla").ToText();
  line.colour = row.Field("Cl_Cve_Color").ToText();
  line.quantity1 = row.Field("Ap_Cantidad_Control_1").ToDouble();
  line.quantity2 = row.Field("Ap_Cantidad_Control_2").ToDouble();
  return line;
}

// Hands each row of the folio to perLine in the order the database returns
// them. The first row perLine refuses ends the walk, with tag and a line break
// put in front of the text that row left; later rows are never read. A folio
// without rows is no failure.
template <typename PerLine>
Boolean WalkFolio(const std::string& folio, std::string& errorText, std::string_view tag, PerLine perLine) {
  return RunWithFailurePath(errorText, tag, TagBreaks::One, [&]() -> Boolean {
    SqlBuilder sql;
    sql << "SELECT * FROM Apartado WHERE Ap_Folio = '" << folio << "' ";
    const std::unique_ptr<Recordset> rows = sql.Execute();
    while (!rows->Eof()) {
      if (!IsTrue(perLine(ReadLineStock(*rows)))) {
        errorText = std::string(tag) + kCrLf + errorText;
        return kFalse;
      }
      rows->MoveNext();
    }
    return kTrue;
  });
}

}  // namespace

Boolean Apartado::Apartar(const std::string& Ap_Folio) {
  return WalkFolio(Ap_Folio, ErrorText, kApartarTag, [this](const LineStock& line) {
    return Aparta_Producto(line.branch, line.warehouse, line.product, line.size, line.colour, line.quantity1,
                           line.quantity2);
  });
}

Variant Apartado::Desapartar(const std::string& Ap_Folio) {
  const Boolean released = WalkFolio(Ap_Folio, ErrorText, kDesapartarTag, [this](const LineStock& line) {
    return Desapartar_Producto(line.branch, line.warehouse, line.product, line.size, line.colour, line.quantity1,
                               line.quantity2, "");
  });
  return Variant::FromBoolean(IsTrue(released));
}

}  // namespace apartado
