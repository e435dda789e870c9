#pragma once
#include <cstdint>
#include <string>

#include "apartado/date.h"

namespace apartado {

// The user-defined-fields record of the suite. The component copies it with
// the record that holds it and never looks inside.
struct UserDef {
  std::string Data;
  friend bool operator==(const UserDef&, const UserDef&) = default;
};

struct tApZona {
  std::string Zn_Cve_Zona;
  std::string Zn_Centro_Costo;
  std::string Zn_Cuenta_Contable;
  apartado::UserDef UserDef;
  friend bool operator==(const tApZona&, const tApZona&) = default;
};

struct tApSucursal {
  std::string Sc_Cve_Sucursal;
  std::string Sc_Centro_Costo;
  std::string Sc_Cuenta_Contable;
  apartado::UserDef UserDef;
  friend bool operator==(const tApSucursal&, const tApSucursal&) = default;
};

struct tApAlmacen {
  std::string Sc_Cve_Sucursal;
  std::string Al_Cve_Almacen;
  std::string Al_Centro_Costo;
  std::string Al_Cuenta_Contable;
  apartado::UserDef UserDef;
  friend bool operator==(const tApAlmacen&, const tApAlmacen&) = default;
};

struct tApProveedor {
  std::string Pv_Cve_Proveedor;
  std::string Pv_Cuenta_Contable;
  apartado::UserDef UserDef;
  friend bool operator==(const tApProveedor&, const tApProveedor&) = default;
};

struct tApProducto {
  std::string Pr_Cve_Producto;
  std::string Pr_Cuenta_Contable;
  std::string Pr_Unidad_Control_1;
  std::string Pr_Unidad_Control_2;
  std::string Pr_Unidad_Costo;
  double Pr_Porcentaje_Variacion = 0;
  std::string Pr_Tipo_Producto;
  std::string Pr_Tipo_Costeo;
  std::string Ct_Cve_Categoria;
  std::string Dp_Cve_Departamento;
  std::string Mr_Cve_Marca;
  std::string Ln_Cve_Linea;
  std::string Fm_Cve_Familia;
  std::string Sf_Cve_SubFamilia;
  std::string Cm_Cve_Comprador;
  tApProveedor Proveedor;
  apartado::UserDef UserDef;
  friend bool operator==(const tApProducto&, const tApProducto&) = default;
};

struct tApSegmento {
  std::string Sg_Cve_Segmento;
  std::string Sg_Centro_Costo;
  std::string Sg_Cuenta_Contable;
  apartado::UserDef UserDef;
  friend bool operator==(const tApSegmento&, const tApSegmento&) = default;
};

struct tApRuta {
  std::string Rt_Cve_Ruta;
  std::string Rt_Centro_Costo;
  std::string Rt_Cuenta_Contable;
  apartado::UserDef UserDef;
  friend bool operator==(const tApRuta&, const tApRuta&) = default;
};

struct tApGrupo_Comercial {
  std::string Gc_Cve_Grupo_Comercial;
  std::string Gc_Centro_Costo;
  std::string Gc_Cuenta_Contable;
  double Gc_Limite_Credito = 0;
  std::int16_t Gc_Dias_Credito = 0;
  std::int16_t Gc_Dias_Bloqueo = 0;
  apartado::UserDef UserDef;
  friend bool operator==(const tApGrupo_Comercial&, const tApGrupo_Comercial&) = default;
};

// The chain key is published as Cc_Cve_Cadena_Comercia (one letter shorter
// than the database column Cc_Cve_Cadena_Comercial).
struct tApCadena_Comercial {
  std::string Cc_Cve_Cadena_Comercia;
  std::string Cc_Centro_Costo;
  std::string Cc_Cuenta_Contable;
  double Cc_Limite_Credito = 0;
  std::int16_t Cc_Dias_Credito = 0;
  std::int16_t Cc_Dias_Bloqueo = 0;
  apartado::UserDef UserDef;
  friend bool operator==(const tApCadena_Comercial&, const tApCadena_Comercial&) = default;
};

struct tApVendedor {
  std::string Vn_Cve_Vendedor;
  std::string Vn_Centro_Costo;
  std::string Vn_Cuenta_Contable;
  friend bool operator==(const tApVendedor&, const tApVendedor&) = default;
};

struct tApCliente {
  std::string Cl_Cve_Cliente;
  std::string Cl_Cve_Maestro;
  std::string Cl_Centro_Costo;
  std::string Cl_Cuenta_Contable;
  std::string Tc_Cve_Tipo_Cliente;
  double Cl_Limite_Credito = 0;
  std::int16_t Cl_Dias_Credito = 0;
  std::int16_t Cl_Dias_Bloqueo = 0;
  tApSegmento Segmento;
  tApRuta Ruta;
  tApGrupo_Comercial Grupo_Comercial;
  tApCadena_Comercial Cadena_Comercial;
  apartado::UserDef UserDef;
  friend bool operator==(const tApCliente&, const tApCliente&) = default;
};

struct tApSerie {
  std::string Sr_Cve_Serie;
  std::string Sr_Pedimento;
  Date Sr_FechaPedimento = 0;
  apartado::UserDef UserDef;
  friend bool operator==(const tApSerie&, const tApSerie&) = default;
};

struct tApLote {
  std::string Lt_Cve_Lote;
  Date Lt_Fecha_Caducidad = 0;
  std::string Lt_Pedimento;
  Date Lt_Fecha_Pedimento = 0;
  apartado::UserDef UserDef;
  friend bool operator==(const tApLote&, const tApLote&) = default;
};

// The layaway header.
struct tApEncabezado {
  std::string Ap_Folio;
  Date Ap_Fecha = 0;
  Date Ap_Fecha_Entrega = 0;
  std::string Ap_Tabla;
  std::string Ap_Documento;
  std::string Ap_Referencia;
  std::string Ap_Comentario;
  std::string Mn_Cve_Moneda;
  double Ap_Tipo_Cambio = 0;
  std::string Ap_Descuento_Global_Cuenta_Contable;
  double Ap_Descuento_Global_Factor = 0;
  double Ap_Descuento_Global_Importe = 0;
  tApZona Zona;
  tApSucursal Sucursal;
  tApAlmacen Almacen;
  tApCliente Cliente;
  tApVendedor Vendedor;
  std::string Ap_Sin_Cargo;
  std::string Ap_Condicion_Venta;
  friend bool operator==(const tApEncabezado&, const tApEncabezado&) = default;
};

// One layaway line.
struct tApDetalle {
  std::string Ap_ID;
  std::string Ap_Sucursal_Inventario;
  std::string Ap_Almacen_Inventario;
  std::string Ap_Partida;
  std::string Ap_Partida_Descripcion;
  tApProducto Producto;
  std::string Tl_Cve_Talla;
  std::string Cl_Cve_Color;
  std::string Ap_Concepto;
  double Ap_Cantidad_1 = 0;
  std::string Ap_Unidad_1;
  double Ap_Cantidad_Control_1 = 0;
  std::string Ap_Unidad_Control_1;
  double Ap_Cantidad_Control_2 = 0;
  std::string Ap_Unidad_Control_2;
  double Ap_Cantidad_Costo = 0;
  std::string Ap_Unidad_Costo;
  double Ap_Costo = 0;
  double Ap_Costo_Importe = 0;
  std::string Pr_Folio;
  double Ap_Precio_Lista = 0;
  double Ap_Precio_Lista_Importe = 0;
  double Ap_Descuento_Factor = 0;
  double Ap_Descuento_Importe = 0;
  double Ap_Precio_Descontado = 0;
  double Ap_Precio_Descontado_Importe = 0;
  double Ap_Impuesto_Factor = 0;
  double Ap_Impuesto_Importe = 0;
  double Ap_Precio_Neto = 0;
  double Ap_Precio_Neto_Importe = 0;
  tApSerie Serie;
  tApLote Lote;
  friend bool operator==(const tApDetalle&, const tApDetalle&) = default;
};

// Published for callers of the suite; no operation of Apartado takes them.
struct tApImpuesto {
  std::string Vi_ID;
  std::string Im_Cve_Impuesto;
  std::string Im_Forma_Aplicacion;
  double Vi_Tasa = 0;
  double Vi_Importe = 0;
  std::string Im_Cuenta_Contable;
  friend bool operator==(const tApImpuesto&, const tApImpuesto&) = default;
};

struct tApDescuento {
  std::string Vd_ID;
  std::string Ds_Folio;
  double Ds_Tipo_Descuento = 0;
  double Ds_Forma_Aplicacion = 0;
  double Ds_Descuento = 0;
  std::string Ds_Referencia;
  double Ds_Importe = 0;
  std::string Ds_Cuenta_Contable;
  friend bool operator==(const tApDescuento&, const tApDescuento&) = default;
};

}  // namespace apartado
