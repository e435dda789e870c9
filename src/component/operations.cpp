// The public operations of an object, each one transaction with the rows it
// decides on held first.
#include "apartado/operation_scope.h"
#include "component/publico.h"

namespace apartado {
namespace {

Connection& SessionConnection() { return Publico().SessionServices->GetConnection(); }

void Label(const std::string& operation, const std::string& Ap_Folio) {
  SessionConnection().LabelMovements(operation, Ap_Folio, Publico().SessionServices->GetOperator());
}

}  // namespace

Boolean Operations::OnLayaway(const char* name, const std::string& Ap_Folio,
                              const std::function<Boolean()>& operation) {
  return RunInTransaction(
      object_,
      [&] {
        Label(name, Ap_Folio);
        SessionConnection().HoldLayaway(Ap_Folio);
        return operation();
      },
      policy_);
}

Boolean Operations::Apartar(const std::string& Ap_Folio) {
  return OnLayaway("Apartar", Ap_Folio, [&] { return object_.Apartar(Ap_Folio); });
}

Variant Operations::Desapartar(const std::string& Ap_Folio) {
  Variant answer = Variant::FromBoolean(false);
  OnLayaway("Desapartar", Ap_Folio, [&] {
    answer = object_.Desapartar(Ap_Folio);
    return answer.ToBoolean();
  });
  return answer;
}

Boolean Operations::Desapartar_Producto(const std::string& Sc_Cve_Sucursal, const std::string& Al_Cve_Almacen,
                                        const std::string& Pr_Cve_Producto, const std::string& Tl_Cve_Talla,
                                        const std::string& Cl_Cve_Color, double Cantidad_Control_1,
                                        double Cantidad_Control_2, const std::string& Series) {
  return RunInTransaction(
      object_,
      [&] {
        Label("Desapartar_Producto", "");
        SessionConnection().HoldStock({{Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color}});
        return object_.Desapartar_Producto(Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color,
                                           Cantidad_Control_1, Cantidad_Control_2, Series);
      },
      policy_);
}

Boolean Operations::Cancelar_Apartado(const std::string& Ap_Folio) {
  return OnLayaway("Cancelar_Apartado", Ap_Folio, [&] { return object_.Cancelar_Apartado(Ap_Folio); });
}

Boolean Operations::Genera_Cuenta_x_Cobrar_Apartado(const std::string& Ap_Folio) {
  return OnLayaway("Genera_Cuenta_x_Cobrar_Apartado", Ap_Folio,
                   [&] { return object_.Genera_Cuenta_x_Cobrar_Apartado(Ap_Folio); });
}

Boolean Operations::Finalizar_Apartado(const std::string& Ap_Folio) {
  return OnLayaway("Finalizar_Apartado", Ap_Folio, [&] { return object_.Finalizar_Apartado(Ap_Folio); });
}

Boolean Operations::CaptureLine(const tApDetalle& line) {
  return RunInTransaction(
      object_,
      [&] {
        Label("Add_Apartado_Detalle", object_.Encabezado().Ap_Folio);
        object_.Detalle(line);
        return object_.Add_Apartado_Detalle();
      },
      policy_);
}

Boolean Operations::Group(const std::function<Boolean()>& work) { return RunInTransaction(object_, work, policy_); }

void Operations::HoldStock(const std::vector<StockRowKey>& keys) { SessionConnection().HoldStock(keys); }

std::vector<StockRowKey> StockRowsOf(const tApEncabezado& header, const std::vector<tApDetalle>& lines) {
  std::vector<StockRowKey> keys;
  for (const tApDetalle& line : lines) {
    const bool own = !line.Ap_Almacen_Inventario.empty();
    const std::string& branch = own ? line.Ap_Sucursal_Inventario : header.Sucursal.Sc_Cve_Sucursal;
    const std::string& warehouse = own ? line.Ap_Almacen_Inventario : header.Almacen.Al_Cve_Almacen;
    for (const std::string& size : {line.Tl_Cve_Talla, std::string("00")})
      for (const std::string& colour : {line.Cl_Cve_Color, std::string("00")})
        keys.push_back({branch, warehouse, line.Producto.Pr_Cve_Producto, size, colour});
  }
  return keys;
}

}  // namespace apartado
