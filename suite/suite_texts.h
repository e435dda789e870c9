#pragma once
#include <string>

#include "apartado/number_text.h"

// Every refusal and failure text of the reference services, in one place so
// that they read alike. Keys are quoted exactly as they were given; numbers
// in the general number form.
namespace apartado::suite::texts {

inline std::string Keys(const std::string& product, const std::string& size, const std::string& colour) {
  return product + "/" + size + "/" + colour;
}

// Catalogue service.
inline std::string BadIdentifier(const std::string& name) { return "Nombre de tabla o columna no válido: " + name; }
inline std::string FolioKindMissing() { return "Debe indicar el tipo de documento del folio"; }
inline std::string FolioSeriesWithdrawn(const std::string& kind, const std::string& branch) {
  return "La serie de folios del documento: " + kind + ", de la sucursal: " + branch + ", está dada de baja";
}
// Thrown (a Failure) when a series row keeps changing under the caller.
inline std::string FolioSeriesUnreadable(const std::string& kind, const std::string& branch) {
  return "La serie de folios del documento: " + kind + ", de la sucursal: " + branch + ", no pudo leerse";
}
inline std::string DocumentFolioMissing() { return "Debe indicar el folio del documento"; }
inline std::string DocumentKindUnknown(const std::string& kind) {
  return "El tipo de documento: " + kind + ", no es conocido";
}
inline std::string EntityKindUnknown(const std::string& kind) {
  return "El tipo de entidad: " + kind + ", no está programado";
}
inline std::string CustomerUnknown(const std::string& customer) { return "El cliente: " + customer + ", no existe"; }
inline std::string AmountModeUnknown(int mode) {
  return "Modo de cálculo de importes no programado: " + std::to_string(mode);
}
inline std::string TaxFactorInvalid(double factor) {
  return "El factor de impuesto: " + NumberText(factor) + ", no es válido con precios que incluyen impuesto";
}

// Warehouse service.
inline std::string ControlUnitInvalid(int control) { return "Unidad de control no válida: " + std::to_string(control); }

// Receivable document.
inline std::string ReceivableOriginMissing() {
  return "Debe indicar la tabla y el documento de origen de la cuenta por cobrar";
}
inline std::string ReceivableTotalNegative(double total) {
  return "El total de la cuenta por cobrar no puede ser negativo: " + NumberText(total);
}
inline std::string ReceivableAlreadyActive(const std::string& table, const std::string& document) {
  return "Ya existe una cuenta por cobrar activa del documento: " + table + " " + document;
}
inline std::string ReceivableNotFound(const std::string& table, const std::string& document) {
  return "No existe una cuenta por cobrar del documento: " + table + " " + document;
}
inline std::string ReceivableHasPayments(const std::string& receivable, const std::string& table,
                                         const std::string& document) {
  return "La cuenta por cobrar: " + receivable + ", del documento: " + table + " " + document +
         ", tiene abonos aplicados y no puede cancelarse";
}

// Serial numbers.
inline std::string SerialMissing() { return "Debe indicar el número de serie"; }
inline std::string SerialQuantity(int quantity) {
  return "Un número de serie ampara una sola unidad, cantidad recibida: " + std::to_string(quantity);
}
inline std::string SerialUnknown(const std::string& serial, const std::string& keys) {
  return "El número de serie: " + serial + ", no existe para el producto/talla/color: " + keys;
}
inline std::string SerialAssigned(const std::string& serial, const std::string& kind, const std::string& folio,
                                  const std::string& line) {
  return "El número de serie: " + serial + ", ya está asignado al documento: " + kind + " " + folio +
         ", partida: " + line;
}

// Lots.
inline std::string LotMissing() { return "Debe indicar el lote"; }
inline std::string LotQuantityNegative(double quantity) {
  return "La cantidad a descargar del lote no puede ser negativa: " + NumberText(quantity);
}
inline std::string LotUnknown(const std::string& lot, const std::string& keys) {
  return "El lote: " + lot + ", no existe para el producto/talla/color: " + keys;
}
inline std::string LotShort(const std::string& lot, const std::string& keys, double available, double requested) {
  return "No hay suficiente cantidad en el lote: " + lot + ", del producto/talla/color: " + keys +
         ", disponible: " + NumberText(available) + " -> solicitado: " + NumberText(requested);
}

}  // namespace apartado::suite::texts
