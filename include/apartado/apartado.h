#pragma once
#include <memory>
#include <string>

#include "apartado/boolean.h"
#include "apartado/export.h"
#include "apartado/records.h"
#include "apartado/services.h"
#include "apartado/variant.h"

namespace apartado {

namespace detail {

// What an Apartado object holds beyond its service components: the state a
// transaction saves before it begins and puts back when it rolls back.
struct ApartadoState {
  tApEncabezado Header;
  tApDetalle Line;
  std::string ErrorText;
  Boolean Apartar_Productos_ = kTrue;
  Boolean HandlesSizes = kFalse;
  Boolean HandlesColours = kFalse;
  Boolean HandlesLots = kFalse;
  Boolean HandlesSeries = kFalse;
  std::string BranchServerId;
  std::int16_t LineCounter = 0;
  std::string AuditDateText;
};

}  // namespace detail

// A layaway ("apartado"): captures a layaway line by line, reserves and
// releases stock, cancels, finalizes and bills a stored layaway.
//
// An object is used on the thread that created it. Operations answer True or
// False; after False, Error() says why. Only construction, Nuevo and the
// Encabezado assignment let a failure (Failure) reach the caller.
class APARTADO_EXPORT Apartado : private detail::ApartadoState {
 public:
  // Runs the module start-up on this thread if it has not run yet, creates the
  // object's TaxCalculator and a new WarehouseServices for the thread. Throws
  // Failure when any of it fails; no object is made then.
  Apartado();
  ~Apartado();
  Apartado(const Apartado&) = delete;
  Apartado& operator=(const Apartado&) = delete;

  // Gives a reserved quantity of one product back to available stock.
  Boolean Desapartar_Producto(const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                              const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                              const std::string& Cl_Cve_Color, double Cantidad_Control_1, double Cantidad_Control_2,
                              const std::string& Series = "");
  // The text of the last failure.
  std::string Error() const;
  // The current header.
  tApEncabezado Encabezado() const;
  // Takes the header members a layaway uses; ignored once the layaway has a
  // folio. Throws Failure when a service fails.
  void Encabezado(const tApEncabezado& value);
  // The current line, as completed from the catalogues.
  tApDetalle Detalle() const;
  // Takes and completes a line; refusals and failures go to
  // SessionServices::ReportMessage, never to the caller.
  void Detalle(const tApDetalle& value);
  // Starts a new layaway. Throws Failure when the current date cannot be had.
  void Nuevo();
  // Validates the current line, numbers it and stores it (reserving its stock
  // while Apartar_Productos is set). The first line obtains the folio.
  Boolean Add_Apartado_Detalle();
  Boolean Cancelar_Apartado(const std::string& Ap_Folio);
  Boolean Genera_Cuenta_x_Cobrar_Apartado(const std::string& Ap_Folio);
  // Reserves the stock of every stored line of the folio.
  Boolean Apartar(const std::string& Ap_Folio);
  // Releases the stock of every stored line of the folio; always a Boolean.
  Variant Desapartar(const std::string& Ap_Folio);
  Boolean Apartar_Productos() const;
  void Apartar_Productos(Boolean value);
  Boolean Finalizar_Apartado(const std::string& Ap_Folio);

 private:
  // Unit tests reach the private steps through it; nothing in the library defines it.
  friend struct ApartadoTestAccess;
  // Saves the object's state before a transaction and puts it back when the
  // transaction rolls back.
  friend class OperationScope;

  APARTADO_LOCAL Boolean Aparta_Producto(const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                                         const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                                         const std::string& Cl_Cve_Color, double Cantidad_Control_1,
                                         double Cantidad_Control_2);
  APARTADO_LOCAL Boolean Inserta_Apartado();
  APARTADO_LOCAL Boolean Crm_Historial_Seguimiento(const std::string& Ap_Folio, const std::string& Descripcion);
  APARTADO_LOCAL void ApplyDetalle(const tApDetalle& value);
  APARTADO_LOCAL Boolean ValidateFirstLine();
  APARTADO_LOCAL Boolean ValidateLine();

  std::unique_ptr<apartado::TaxCalculator> TaxCalculator;
};

}  // namespace apartado
