// Committing the current line: the first line of a layaway checks where the
// operation may run, validates the header and obtains the folio; every line
// is validated against the catalogues, numbered and stored.
#include <cstdio>
#include <limits>
#include <string_view>

#include "apartado/apartado.h"
#include "apartado/failure.h"
#include "apartado/number_text.h"
#include "component/failure_path.h"
#include "component/publico.h"

namespace apartado {
namespace {

constexpr std::string_view kAddTag = "ApartadosQZL.dll - Add_Apartado_Detalle()";

// Whether a key names a catalogue row that is not withdrawn ("BA"): an empty
// description means it does not.
bool Exists(const char* table, const char* keyColumn, const std::string& key, const char* descriptionColumn,
            const char* keyColumn2 = "", const std::string& key2 = std::string()) {
  return !Publico()
              .CatalogServices->LookupValue(table, keyColumn, key, descriptionColumn, 0, keyColumn2, key2, "BA")
              .empty();
}

// Joins the pieces of a message into one text.
template <typename... Pieces>
std::string Concat(const Pieces&... pieces) {
  std::string text;
  text.reserve((std::string_view(pieces).size() + ...));
  (text.append(std::string_view(pieces)), ...);
  return text;
}

// Line numbers have at least four digits: 0001 ... 9999, then 10000.
std::string LineNumberText(std::int16_t number) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%04d", static_cast<int>(number));
  return buffer;
}

}  // namespace

Boolean Apartado::Add_Apartado_Detalle() {
  return RunWithFailurePath(ErrorText, kAddTag, TagBreaks::Two, [this]() -> Boolean {
    ErrorText.clear();
    if (Header.Ap_Folio.empty() && !IsNonZero(ValidateFirstLine())) return kFalse;
    if (!IsNonZero(ValidateLine())) return kFalse;

    if (LineCounter == std::numeric_limits<std::int16_t>::max()) throw Failure("Overflow");
    ++LineCounter;
    Line.Ap_ID = LineNumberText(LineCounter);
    return IsNonZero(Inserta_Apartado()) ? kTrue : kFalse;
  });
}

// Refusals store their message alone, with no tag in front.
Boolean Apartado::ValidateFirstLine() {
  ModuleState& m = Publico();
  const Boolean remote = m.SessionServices->IsRemoteServer();
  if (BranchServerId.empty() && IsNonZero(remote)) {
    ErrorText = "Esta operación solo puede realizarse en el servidor central";
    return kFalse;
  }
  if (!BranchServerId.empty() && BranchServerId != m.CurrentServerId) {
    ErrorText = Concat("Esta operación solo puede realizarse en el servidor con id: ", BranchServerId, kCrLf,
                       "el id del servidor actual es: ", m.CurrentServerId);
    return kFalse;
  }

  if (!Exists("Moneda", "Mn_Cve_Moneda", Header.Mn_Cve_Moneda, "Mn_Descripcion")) {
    ErrorText = "La moneda: " + Header.Mn_Cve_Moneda + ", no existe o está dada de baja";
    return kFalse;
  }
  if (!(Header.Ap_Tipo_Cambio > 0)) {
    ErrorText = "El tipo de cambio: " + NumberText(Header.Ap_Tipo_Cambio) + ", no es válido";
    return kFalse;
  }
  const std::string& branch = Header.Sucursal.Sc_Cve_Sucursal;
  if (!Exists("Almacen", "Al_Cve_Almacen", Header.Almacen.Al_Cve_Almacen, "Al_Descripcion", "Sc_Cve_Sucursal",
              branch)) {
    ErrorText = "El almacén: " + Header.Almacen.Al_Cve_Almacen + ", de la sucursal: " + branch +
                ", no existe o esta dado de baja";
    return kFalse;
  }
  if (!Exists("Vendedor", "Vn_Cve_Vendedor", Header.Vendedor.Vn_Cve_Vendedor, "Vn_Descripcion")) {
    ErrorText = "El vendedor: " + Header.Vendedor.Vn_Cve_Vendedor + ", no existe o esta dado de baja";
    return kFalse;
  }
  if (!Exists("Cliente", "Cl_Cve_Cliente", Header.Cliente.Cl_Cve_Cliente, "Cl_Descripcion")) {
    ErrorText = "El cliente: " + Header.Cliente.Cl_Cve_Cliente + ", no existe o esta dado de baja";
    return kFalse;
  }
  if (!Exists("Condicion_Venta", "Cv_Cve_Condicion_Venta", Header.Ap_Condicion_Venta, "Cv_Descripcion")) {
    ErrorText = "La condición de venta: " + Header.Ap_Condicion_Venta + ", no existe o está dada de baja";
    return kFalse;
  }

  // An empty folio is stored as well, so the next call starts over.
  Header.Ap_Folio = m.CatalogServices->GetNextFolio(branch, "APARTADO", 10, -1).ToText();
  if (Header.Ap_Folio.empty()) {
    ErrorText = "Error al intentar obtener el folio de la apartado!";
    return kFalse;
  }
  LineCounter = 0;
  AuditDateText = m.CatalogServices->FormatDateTimeForSql(m.CatalogServices->GetCurrentDate());
  return kTrue;
}

Boolean Apartado::ValidateLine() {
  ModuleState& m = Publico();
  if (Line.Ap_Almacen_Inventario.empty()) {
    Line.Ap_Sucursal_Inventario = Header.Sucursal.Sc_Cve_Sucursal;
    Line.Ap_Almacen_Inventario = Header.Almacen.Al_Cve_Almacen;
  }
  if (!Exists("Almacen", "Al_Cve_Almacen", Line.Ap_Almacen_Inventario, "Al_Descripcion", "Sc_Cve_Sucursal",
              Line.Ap_Sucursal_Inventario)) {
    ErrorText = "El almacén de inventario: " + Line.Ap_Almacen_Inventario +
                ", de la sucursal: " + Line.Ap_Sucursal_Inventario + ", no existe o esta dado de baja";
    return kFalse;
  }
  const std::string& product = Line.Producto.Pr_Cve_Producto;
  if (!Exists("Producto", "Pr_Cve_Producto", product, "Pr_Descripcion")) {
    ErrorText = "El producto: " + product + ", no existe o esta dado de baja";
    return kFalse;
  }
  if (!Exists("Talla", "Tl_Cve_Talla", Line.Tl_Cve_Talla, "Tl_Descripcion")) {
    ErrorText = "La talla: " + Line.Tl_Cve_Talla + ", no existe o está dada de baja";
    return kFalse;
  }
  if (!Exists("Color", "Cl_Cve_Color", Line.Cl_Cve_Color, "Cl_Descripcion")) {
    ErrorText = "El color: " + Line.Cl_Cve_Color + ", no existe o esta dado de baja";
    return kFalse;
  }

  const bool sizes = IsNonZero(HandlesSizes);
  const bool colours = IsNonZero(HandlesColours);
  if (sizes && colours) {
    if (!IsNonZero(m.CatalogServices->CheckProductSizeColour(product, Line.Tl_Cve_Talla, Line.Cl_Cve_Color))) {
      ErrorText = "No se encuentra la relación producto/talla/color: " + product + "/" + Line.Tl_Cve_Talla + "/" +
                  Line.Cl_Cve_Color;
      return kFalse;
    }
  } else if (sizes) {
    if (!IsNonZero(m.CatalogServices->CheckProductSize(product, Line.Tl_Cve_Talla))) {
      ErrorText = "No se encuentra la relación producto/talla: " + product + "/" + Line.Tl_Cve_Talla;
      return kFalse;
    }
  } else if (colours) {
    if (!IsNonZero(m.CatalogServices->CheckProductColour(product, Line.Cl_Cve_Color))) {
      ErrorText = "No se encuentra la relación producto/color: " + product + "/" + Line.Cl_Cve_Color;
      return kFalse;
    }
  }

  if (!Exists("Unidad", "Un_Cve_Unidad", Line.Ap_Unidad_1, "Un_Descripcion")) {
    ErrorText = "La unidad: " + Line.Ap_Unidad_1 + ", no existe o está dada de baja";
    return kFalse;
  }

  if (Line.Ap_Cantidad_Control_1 == 0 && Line.Ap_Cantidad_Control_2 == 0) {
    ErrorText = Concat("La cantidad no puede ser cero: ", kCrLf, "Cantidad-1: ", NumberText(Line.Ap_Cantidad_1), kCrLf,
                       "Cantidad-Control-1: ", NumberText(Line.Ap_Cantidad_Control_1), kCrLf,
                       "Cantidad-Control-2: ", NumberText(Line.Ap_Cantidad_Control_2), kCrLf,
                       "CANTIDAD-COSTO: ", NumberText(Line.Ap_Cantidad_Costo));
    return kFalse;
  }
  if (Line.Ap_Cantidad_1 < 0 || Line.Ap_Cantidad_Control_1 < 0 || Line.Ap_Cantidad_Control_2 < 0 ||
      Line.Ap_Cantidad_Costo < 0) {
    ErrorText = "las cantidades deben ser positivas!";
    return kFalse;
  }
  if (Line.Ap_Costo < 0) {
    ErrorText = Concat("El costo no puede ser negativo: ", kCrLf, "Costo: ", NumberText(Line.Ap_Costo));
    return kFalse;
  }
  return kTrue;
}

}  // namespace apartado
