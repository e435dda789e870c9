// One C function per member of _Apartado.
#include "call.h"
#include "members.h"
#include "registry.h"
#include "variant_c.h"

namespace apartado::capi {
namespace {

std::string Arg(const char* text, const char* name) {
  Require(text, name);
  return text;
}

}  // namespace
}  // namespace apartado::capi

using apartado::capi::Arg;
using apartado::capi::Handed;
using apartado::capi::ObjectEntry;
using apartado::capi::OnObject;
using apartado::capi::Require;
namespace members = apartado::capi::members;

extern "C" {

apartado_status apartado_Desapartar_Producto(apartado_object* object, const char* Sc_Cve_Sucursal,
                                             const char* Al_Cve_Almacen, const char* Pr_Cve_Producto,
                                             const char* Tl_Cve_Talla, const char* Cl_Cve_Color,
                                             double Cantidad_Control_1, double Cantidad_Control_2, const char* Series,
                                             apartado_boolean* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = members::Desapartar_Producto(
        entry, Arg(Sc_Cve_Sucursal, "Sc_Cve_Sucursal"), Arg(Al_Cve_Almacen, "Al_Cve_Almacen"),
        Arg(Pr_Cve_Producto, "Pr_Cve_Producto"), Arg(Tl_Cve_Talla, "Tl_Cve_Talla"), Arg(Cl_Cve_Color, "Cl_Cve_Color"),
        Cantidad_Control_1, Cantidad_Control_2, Series ? Series : "");
  });
}

apartado_status apartado_get_Error(apartado_object* object, char** text) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(text, "text");
    *text = Handed(members::Error(entry));
  });
}

apartado_status apartado_get_Encabezado(apartado_object* object, char** json) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(json, "json");
    *json = Handed(members::GetEncabezado(entry));
  });
}

apartado_status apartado_let_Encabezado(apartado_object* object, const char* json) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { members::LetEncabezado(entry, Arg(json, "json")); });
}

apartado_status apartado_get_Detalle(apartado_object* object, char** json) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(json, "json");
    *json = Handed(members::GetDetalle(entry));
  });
}

apartado_status apartado_let_Detalle(apartado_object* object, const char* json) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { members::LetDetalle(entry, Arg(json, "json")); });
}

apartado_status apartado_Nuevo(apartado_object* object) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { members::Nuevo(entry); });
}

apartado_status apartado_Add_Apartado_Detalle(apartado_object* object, apartado_boolean* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = members::Add_Apartado_Detalle(entry);
  });
}

apartado_status apartado_Cancelar_Apartado(apartado_object* object, const char* Ap_Folio, apartado_boolean* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = members::Cancelar_Apartado(entry, Arg(Ap_Folio, "Ap_Folio"));
  });
}

apartado_status apartado_Genera_Cuenta_x_Cobrar_Apartado(apartado_object* object, const char* Ap_Folio,
                                                         apartado_boolean* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = members::Genera_Cuenta_x_Cobrar_Apartado(entry, Arg(Ap_Folio, "Ap_Folio"));
  });
}

apartado_status apartado_Apartar(apartado_object* object, const char* Ap_Folio, apartado_boolean* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = members::Apartar(entry, Arg(Ap_Folio, "Ap_Folio"));
  });
}

apartado_status apartado_Desapartar(apartado_object* object, const char* Ap_Folio, apartado_variant* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = apartado::capi::ToC(members::Desapartar(entry, Arg(Ap_Folio, "Ap_Folio")));
  });
}

apartado_status apartado_get_Apartar_Productos(apartado_object* object, apartado_boolean* value) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(value, "value");
    *value = members::GetApartar_Productos(entry);
  });
}

apartado_status apartado_let_Apartar_Productos(apartado_object* object, apartado_boolean value) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) { members::LetApartar_Productos(entry, value); });
}

apartado_status apartado_Finalizar_Apartado(apartado_object* object, const char* Ap_Folio, apartado_boolean* answer) {
  return OnObject(__func__, object, [&](ObjectEntry& entry) {
    Require(answer, "answer");
    *answer = members::Finalizar_Apartado(entry, Arg(Ap_Folio, "Ap_Folio"));
  });
}

}  // extern "C"
