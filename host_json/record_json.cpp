#include "record_json.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <set>

#include "apartado/date.h"
#include "apartado/failure.h"
#include "value_checks.h"

namespace apartado::host_json {
namespace {

// One list of fields per record serves both directions: a visitor is called
// with each field's name and member, in record order. Dates are plain doubles
// in the records, so they go through their own member function.
template <class V>
void Fields(V& v, tApZona& r) {
  v("Zn_Cve_Zona", r.Zn_Cve_Zona);
  v("Zn_Centro_Costo", r.Zn_Centro_Costo);
  v("Zn_Cuenta_Contable", r.Zn_Cuenta_Contable);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApSucursal& r) {
  v("Sc_Cve_Sucursal", r.Sc_Cve_Sucursal);
  v("Sc_Centro_Costo", r.Sc_Centro_Costo);
  v("Sc_Cuenta_Contable", r.Sc_Cuenta_Contable);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApAlmacen& r) {
  v("Sc_Cve_Sucursal", r.Sc_Cve_Sucursal);
  v("Al_Cve_Almacen", r.Al_Cve_Almacen);
  v("Al_Centro_Costo", r.Al_Centro_Costo);
  v("Al_Cuenta_Contable", r.Al_Cuenta_Contable);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApProveedor& r) {
  v("Pv_Cve_Proveedor", r.Pv_Cve_Proveedor);
  v("Pv_Cuenta_Contable", r.Pv_Cuenta_Contable);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApProducto& r) {
  v("Pr_Cve_Producto", r.Pr_Cve_Producto);
  v("Pr_Cuenta_Contable", r.Pr_Cuenta_Contable);
  v("Pr_Unidad_Control_1", r.Pr_Unidad_Control_1);
  v("Pr_Unidad_Control_2", r.Pr_Unidad_Control_2);
  v("Pr_Unidad_Costo", r.Pr_Unidad_Costo);
  v("Pr_Porcentaje_Variacion", r.Pr_Porcentaje_Variacion);
  v("Pr_Tipo_Producto", r.Pr_Tipo_Producto);
  v("Pr_Tipo_Costeo", r.Pr_Tipo_Costeo);
  v("Ct_Cve_Categoria", r.Ct_Cve_Categoria);
  v("Dp_Cve_Departamento", r.Dp_Cve_Departamento);
  v("Mr_Cve_Marca", r.Mr_Cve_Marca);
  v("Ln_Cve_Linea", r.Ln_Cve_Linea);
  v("Fm_Cve_Familia", r.Fm_Cve_Familia);
  v("Sf_Cve_SubFamilia", r.Sf_Cve_SubFamilia);
  v("Cm_Cve_Comprador", r.Cm_Cve_Comprador);
  v("Proveedor", r.Proveedor);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApSegmento& r) {
  v("Sg_Cve_Segmento", r.Sg_Cve_Segmento);
  v("Sg_Centro_Costo", r.Sg_Centro_Costo);
  v("Sg_Cuenta_Contable", r.Sg_Cuenta_Contable);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApRuta& r) {
  v("Rt_Cve_Ruta", r.Rt_Cve_Ruta);
  v("Rt_Centro_Costo", r.Rt_Centro_Costo);
  v("Rt_Cuenta_Contable", r.Rt_Cuenta_Contable);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApGrupo_Comercial& r) {
  v("Gc_Cve_Grupo_Comercial", r.Gc_Cve_Grupo_Comercial);
  v("Gc_Centro_Costo", r.Gc_Centro_Costo);
  v("Gc_Cuenta_Contable", r.Gc_Cuenta_Contable);
  v("Gc_Limite_Credito", r.Gc_Limite_Credito);
  v("Gc_Dias_Credito", r.Gc_Dias_Credito);
  v("Gc_Dias_Bloqueo", r.Gc_Dias_Bloqueo);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApCadena_Comercial& r) {
  v("Cc_Cve_Cadena_Comercia", r.Cc_Cve_Cadena_Comercia);
  v("Cc_Centro_Costo", r.Cc_Centro_Costo);
  v("Cc_Cuenta_Contable", r.Cc_Cuenta_Contable);
  v("Cc_Limite_Credito", r.Cc_Limite_Credito);
  v("Cc_Dias_Credito", r.Cc_Dias_Credito);
  v("Cc_Dias_Bloqueo", r.Cc_Dias_Bloqueo);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApVendedor& r) {
  v("Vn_Cve_Vendedor", r.Vn_Cve_Vendedor);
  v("Vn_Centro_Costo", r.Vn_Centro_Costo);
  v("Vn_Cuenta_Contable", r.Vn_Cuenta_Contable);
}
template <class V>
void Fields(V& v, tApCliente& r) {
  v("Cl_Cve_Cliente", r.Cl_Cve_Cliente);
  v("Cl_Cve_Maestro", r.Cl_Cve_Maestro);
  v("Cl_Centro_Costo", r.Cl_Centro_Costo);
  v("Cl_Cuenta_Contable", r.Cl_Cuenta_Contable);
  v("Tc_Cve_Tipo_Cliente", r.Tc_Cve_Tipo_Cliente);
  v("Cl_Limite_Credito", r.Cl_Limite_Credito);
  v("Cl_Dias_Credito", r.Cl_Dias_Credito);
  v("Cl_Dias_Bloqueo", r.Cl_Dias_Bloqueo);
  v("Segmento", r.Segmento);
  v("Ruta", r.Ruta);
  v("Grupo_Comercial", r.Grupo_Comercial);
  v("Cadena_Comercial", r.Cadena_Comercial);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApSerie& r) {
  v("Sr_Cve_Serie", r.Sr_Cve_Serie);
  v("Sr_Pedimento", r.Sr_Pedimento);
  v.Date("Sr_FechaPedimento", r.Sr_FechaPedimento);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApLote& r) {
  v("Lt_Cve_Lote", r.Lt_Cve_Lote);
  v.Date("Lt_Fecha_Caducidad", r.Lt_Fecha_Caducidad);
  v("Lt_Pedimento", r.Lt_Pedimento);
  v.Date("Lt_Fecha_Pedimento", r.Lt_Fecha_Pedimento);
  v("UserDef", r.UserDef);
}
template <class V>
void Fields(V& v, tApEncabezado& r) {
  v("Ap_Folio", r.Ap_Folio);
  v.Date("Ap_Fecha", r.Ap_Fecha);
  v.Date("Ap_Fecha_Entrega", r.Ap_Fecha_Entrega);
  v("Ap_Tabla", r.Ap_Tabla);
  v("Ap_Documento", r.Ap_Documento);
  v("Ap_Referencia", r.Ap_Referencia);
  v("Ap_Comentario", r.Ap_Comentario);
  v("Mn_Cve_Moneda", r.Mn_Cve_Moneda);
  v("Ap_Tipo_Cambio", r.Ap_Tipo_Cambio);
  v("Ap_Descuento_Global_Cuenta_Contable", r.Ap_Descuento_Global_Cuenta_Contable);
  v("Ap_Descuento_Global_Factor", r.Ap_Descuento_Global_Factor);
  v("Ap_Descuento_Global_Importe", r.Ap_Descuento_Global_Importe);
  v("Zona", r.Zona);
  v("Sucursal", r.Sucursal);
  v("Almacen", r.Almacen);
  v("Cliente", r.Cliente);
  v("Vendedor", r.Vendedor);
  v("Ap_Sin_Cargo", r.Ap_Sin_Cargo);
  v("Ap_Condicion_Venta", r.Ap_Condicion_Venta);
}
template <class V>
void Fields(V& v, tApDetalle& r) {
  v("Ap_ID", r.Ap_ID);
  v("Ap_Sucursal_Inventario", r.Ap_Sucursal_Inventario);
  v("Ap_Almacen_Inventario", r.Ap_Almacen_Inventario);
  v("Ap_Partida", r.Ap_Partida);
  v("Ap_Partida_Descripcion", r.Ap_Partida_Descripcion);
  v("Producto", r.Producto);
  v("Tl_Cve_Talla", r.Tl_Cve_Talla);
  v("Cl_Cve_Color", r.Cl_Cve_Color);
  v("Ap_Concepto", r.Ap_Concepto);
  v("Ap_Cantidad_1", r.Ap_Cantidad_1);
  v("Ap_Unidad_1", r.Ap_Unidad_1);
  v("Ap_Cantidad_Control_1", r.Ap_Cantidad_Control_1);
  v("Ap_Unidad_Control_1", r.Ap_Unidad_Control_1);
  v("Ap_Cantidad_Control_2", r.Ap_Cantidad_Control_2);
  v("Ap_Unidad_Control_2", r.Ap_Unidad_Control_2);
  v("Ap_Cantidad_Costo", r.Ap_Cantidad_Costo);
  v("Ap_Unidad_Costo", r.Ap_Unidad_Costo);
  v("Ap_Costo", r.Ap_Costo);
  v("Ap_Costo_Importe", r.Ap_Costo_Importe);
  v("Pr_Folio", r.Pr_Folio);
  v("Ap_Precio_Lista", r.Ap_Precio_Lista);
  v("Ap_Precio_Lista_Importe", r.Ap_Precio_Lista_Importe);
  v("Ap_Descuento_Factor", r.Ap_Descuento_Factor);
  v("Ap_Descuento_Importe", r.Ap_Descuento_Importe);
  v("Ap_Precio_Descontado", r.Ap_Precio_Descontado);
  v("Ap_Precio_Descontado_Importe", r.Ap_Precio_Descontado_Importe);
  v("Ap_Impuesto_Factor", r.Ap_Impuesto_Factor);
  v("Ap_Impuesto_Importe", r.Ap_Impuesto_Importe);
  v("Ap_Precio_Neto", r.Ap_Precio_Neto);
  v("Ap_Precio_Neto_Importe", r.Ap_Precio_Neto_Importe);
  v("Serie", r.Serie);
  v("Lote", r.Lote);
}

class Writer {
 public:
  explicit Writer(Json& out) : out_(out) {}
  void operator()(const char* name, std::string& value) { out_[name] = value; }
  void operator()(const char* name, double& value) { out_[name] = value; }
  void operator()(const char* name, std::int16_t& value) { out_[name] = value; }
  void operator()(const char* name, UserDef& value) { out_[name] = value.Data; }
  void Date(const char* name, apartado::Date& value) { out_[name] = FormatIsoDateTime(value); }
  template <class Record>
  void operator()(const char* name, Record& record) {
    Json nested = Json::object();
    Writer writer(nested);
    Fields(writer, record);
    out_[name] = std::move(nested);
  }

 private:
  Json& out_;
};

std::string Described(const Json& value) {
  if (value.is_string()) return "text " + value.dump();
  if (value.is_number()) return "the number " + value.dump();
  if (value.is_boolean()) return std::string("the Boolean ") + (value.get<bool>() ? "true" : "false");
  if (value.is_null()) return "null";
  if (value.is_array()) return "an array";
  return "an object";
}

class Reader {
 public:
  Reader(const Json& in, std::string path) : in_(in), path_(std::move(path)) {
    if (!in_.is_object()) {
      throw InputError(path_.empty() ? "expected an object, found " + Described(in_)
                                     : "field \"" + path_.substr(0, path_.size() - 1) + "\" must be an object, not " +
                                           Described(in_));
    }
  }

  void operator()(const char* name, std::string& value) {
    if (const Json* j = Take(name)) {
      if (!j->is_string()) Refuse(name, "text", *j);
      value = j->get<std::string>();
      CheckText(value, Field(name));
    }
  }
  void operator()(const char* name, double& value) {
    if (const Json* j = Take(name)) {
      if (!j->is_number()) Refuse(name, "a number", *j);
      value = j->get<double>();
      CheckNumber(value, name, Field(name));
    }
  }
  void operator()(const char* name, std::int16_t& value) {
    if (const Json* j = Take(name)) {
      const std::optional<std::int16_t> whole = ShortValue(*j);
      if (!whole) Refuse(name, "a whole number from -32768 to 32767", *j);
      value = *whole;
    }
  }
  void operator()(const char* name, UserDef& value) {
    if (const Json* j = Take(name)) {
      if (!j->is_string()) Refuse(name, "text", *j);
      value.Data = j->get<std::string>();
      CheckText(value.Data, Field(name));
    }
  }
  void Date(const char* name, apartado::Date& value) {
    if (const Json* j = Take(name)) {
      if (!j->is_string()) Refuse(name, "a date such as \"2026-03-10T15:30:00\"", *j);
      try {
        value = ParseDateTime(j->get<std::string>());
      } catch (const Failure&) {
        Refuse(name, "a date such as \"2026-03-10T15:30:00\"", *j);
      }
    }
  }
  template <class Record>
  void operator()(const char* name, Record& record) {
    if (const Json* j = Take(name)) {
      Reader nested(*j, path_ + name + ".");
      Fields(nested, record);
      nested.RefuseUnknown();
    }
  }

  void RefuseUnknown() const {
    for (auto it = in_.begin(); it != in_.end(); ++it) {
      if (!known_.count(it.key())) throw InputError("unknown field \"" + path_ + it.key() + "\"");
    }
  }

 private:
  const Json* Take(const char* name) {
    known_.insert(name);
    auto it = in_.find(name);
    return it == in_.end() ? nullptr : &*it;
  }
  std::string Field(const char* name) const { return "field \"" + path_ + name + "\""; }
  [[noreturn]] void Refuse(const char* name, const std::string& expected, const Json& found) const {
    throw InputError(Field(name) + " must be " + expected + ", not " + Described(found));
  }

  const Json& in_;
  std::string path_;
  std::set<std::string> known_;
};

template <class Record>
Json ToJson(const Record& record) {
  Record copy = record;
  Json out = Json::object();
  Writer writer(out);
  Fields(writer, copy);
  return out;
}

template <class Record>
void Overlay(const Json& value, Record& record, const std::string& prefix) {
  Reader reader(value, prefix);
  Fields(reader, record);
  reader.RefuseUnknown();
}

}  // namespace

Json EncabezadoToJson(const tApEncabezado& record) { return ToJson(record); }
Json DetalleToJson(const tApDetalle& record) { return ToJson(record); }

void OverlayEncabezado(const Json& value, tApEncabezado& record, const std::string& prefix) {
  Overlay(value, record, prefix);
}
void OverlayDetalle(const Json& value, tApDetalle& record, const std::string& prefix) {
  Overlay(value, record, prefix);
}

Json MessagesToJson(const std::vector<suite::ReportedMessage>& messages) {
  Json list = Json::array();
  for (const suite::ReportedMessage& m : messages)
    list.push_back({{"id", m.errorId}, {"title", m.title}, {"text", m.message}});
  return list;
}

}  // namespace apartado::host_json
