#include "members.h"

#include <optional>

#include "apartado/operation_scope.h"
#include "json_input.h"
#include "record_json.h"
#include "value_checks.h"

namespace apartado::capi::members {
namespace {

// The object's operations, each one transaction, when its mode asks for them.
std::optional<Operations> InTransactions(ObjectEntry& entry) {
  if (entry.transactions == APARTADO_NO_TRANSACTIONS) return std::nullopt;
  TransactionPolicy policy;
  policy.onRefusal = entry.transactions == APARTADO_COMMIT_ON_REFUSAL ? OnRefusal::Commit : OnRefusal::RollBack;
  return Operations(*entry.object, policy);
}

// The component writes folios and keys into its statements as they are:
// a text that could end its quotes is refused before it gets there.
const std::string& Checked(const std::string& value, const char* name) {
  host_json::CheckText(value, name);
  return value;
}

std::string Text(const host_json::Json& value) {
  return value.dump(-1, ' ', false, host_json::Json::error_handler_t::replace);
}

}  // namespace

Boolean Desapartar_Producto(ObjectEntry& entry, const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                            const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                            const std::string& Cl_Cve_Color, double Cantidad_Control_1, double Cantidad_Control_2,
                            const std::string& Series) {
  Checked(Sc_Cve_Sucursal, "Sc_Cve_Sucursal");
  Checked(Al_Cve_Almacen, "Al_Cve_Almacen");
  Checked(Pr_Cve_Producto, "Pr_Cve_Producto");
  Checked(Tl_Cve_Talla, "Tl_Cve_Talla");
  Checked(Cl_Cve_Color, "Cl_Cve_Color");
  Checked(Series, "Series");
  host_json::CheckNumber(Cantidad_Control_1, "Cantidad_Control_1", "Cantidad_Control_1");
  host_json::CheckNumber(Cantidad_Control_2, "Cantidad_Control_2", "Cantidad_Control_2");
  if (auto operations = InTransactions(entry)) {
    return operations->Desapartar_Producto(Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color,
                                           Cantidad_Control_1, Cantidad_Control_2, Series);
  }
  return entry.object->Desapartar_Producto(Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color,
                                           Cantidad_Control_1, Cantidad_Control_2, Series);
}

std::string Error(ObjectEntry& entry) { return entry.object->Error(); }

std::string GetEncabezado(ObjectEntry& entry) { return Text(host_json::EncabezadoToJson(entry.object->Encabezado())); }

void LetEncabezado(ObjectEntry& entry, const std::string& text) {
  const host_json::Json given = host_json::ParseDocument(text, "Encabezado");
  tApEncabezado header = entry.object->Encabezado();
  host_json::OverlayEncabezado(given, header);
  entry.object->Encabezado(header);
}

std::string GetDetalle(ObjectEntry& entry) { return Text(host_json::DetalleToJson(entry.object->Detalle())); }

void LetDetalle(ObjectEntry& entry, const std::string& text) {
  const host_json::Json given = host_json::ParseDocument(text, "Detalle");
  tApDetalle line;
  host_json::OverlayDetalle(given, line);
  entry.object->Detalle(line);
}

void Nuevo(ObjectEntry& entry) { entry.object->Nuevo(); }

Boolean Add_Apartado_Detalle(ObjectEntry& entry) {
  if (auto operations = InTransactions(entry)) {
    return RunInTransaction(
        *entry.object, [&] { return entry.object->Add_Apartado_Detalle(); }, operations->Policy());
  }
  return entry.object->Add_Apartado_Detalle();
}

Boolean Cancelar_Apartado(ObjectEntry& entry, const std::string& Ap_Folio) {
  Checked(Ap_Folio, "Ap_Folio");
  if (auto operations = InTransactions(entry)) return operations->Cancelar_Apartado(Ap_Folio);
  return entry.object->Cancelar_Apartado(Ap_Folio);
}

Boolean Genera_Cuenta_x_Cobrar_Apartado(ObjectEntry& entry, const std::string& Ap_Folio) {
  Checked(Ap_Folio, "Ap_Folio");
  if (auto operations = InTransactions(entry)) return operations->Genera_Cuenta_x_Cobrar_Apartado(Ap_Folio);
  return entry.object->Genera_Cuenta_x_Cobrar_Apartado(Ap_Folio);
}

Boolean Apartar(ObjectEntry& entry, const std::string& Ap_Folio) {
  Checked(Ap_Folio, "Ap_Folio");
  if (auto operations = InTransactions(entry)) return operations->Apartar(Ap_Folio);
  return entry.object->Apartar(Ap_Folio);
}

Variant Desapartar(ObjectEntry& entry, const std::string& Ap_Folio) {
  Checked(Ap_Folio, "Ap_Folio");
  if (auto operations = InTransactions(entry)) return operations->Desapartar(Ap_Folio);
  return entry.object->Desapartar(Ap_Folio);
}

Boolean GetApartar_Productos(ObjectEntry& entry) { return entry.object->Apartar_Productos(); }

void LetApartar_Productos(ObjectEntry& entry, Boolean value) { entry.object->Apartar_Productos(value); }

Boolean Finalizar_Apartado(ObjectEntry& entry, const std::string& Ap_Folio) {
  Checked(Ap_Folio, "Ap_Folio");
  if (auto operations = InTransactions(entry)) return operations->Finalizar_Apartado(Ap_Folio);
  return entry.object->Finalizar_Apartado(Ap_Folio);
}

}  // namespace apartado::capi::members
