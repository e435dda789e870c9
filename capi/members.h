#pragma once
// The members of _Apartado as both bindings run them, so that a member called
// by its function and by its dispatch id does exactly the same: records go
// through the host's JSON code, operations through the object's transaction
// mode.
#include <string>

#include "apartado/boolean.h"
#include "apartado/variant.h"
#include "registry.h"

namespace apartado::capi::members {

Boolean Desapartar_Producto(ObjectEntry& entry, const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                            const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                            const std::string& Cl_Cve_Color, double Cantidad_Control_1, double Cantidad_Control_2,
                            const std::string& Series);
std::string Error(ObjectEntry& entry);
// Records as JSON text: every field, in record order.
std::string GetEncabezado(ObjectEntry& entry);
// The fields given laid over the current header, then assigned.
void LetEncabezado(ObjectEntry& entry, const std::string& json);
std::string GetDetalle(ObjectEntry& entry);
// The fields given laid over an empty line, then assigned.
void LetDetalle(ObjectEntry& entry, const std::string& json);
void Nuevo(ObjectEntry& entry);
Boolean Add_Apartado_Detalle(ObjectEntry& entry);
Boolean Cancelar_Apartado(ObjectEntry& entry, const std::string& Ap_Folio);
Boolean Genera_Cuenta_x_Cobrar_Apartado(ObjectEntry& entry, const std::string& Ap_Folio);
Boolean Apartar(ObjectEntry& entry, const std::string& Ap_Folio);
Variant Desapartar(ObjectEntry& entry, const std::string& Ap_Folio);
Boolean GetApartar_Productos(ObjectEntry& entry);
void LetApartar_Productos(ObjectEntry& entry, Boolean value);
Boolean Finalizar_Apartado(ObjectEntry& entry, const std::string& Ap_Folio);

}  // namespace apartado::capi::members
