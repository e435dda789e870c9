#include "apartado/apartado.h"

#include "component/publico.h"

namespace apartado {

Apartado::Apartado() {
  EnsureStarted();
  const std::shared_ptr<ServiceFactory> factory = InstalledServiceFactory();
  TaxCalculator = factory->CreateTaxCalculator();
  Publico().WarehouseServices = factory->CreateWarehouseServices();
  Apartar_Productos_ = kTrue;
}

Apartado::~Apartado() = default;

std::string Apartado::Error() const { return ErrorText; }

tApEncabezado Apartado::Encabezado() const { return Header; }

tApDetalle Apartado::Detalle() const { return Line; }

Boolean Apartado::Apartar_Productos() const { return Apartar_Productos_; }

void Apartado::Apartar_Productos(Boolean value) { Apartar_Productos_ = value; }

void Apartado::Nuevo() {
  Header.Ap_Folio = "";
  Header.Ap_Fecha = Publico().CatalogServices->GetCurrentDate();
  Header.Sucursal.Sc_Cve_Sucursal = "";
  Header.Sucursal.Sc_Centro_Costo = "";
  Header.Sucursal.Sc_Cuenta_Contable = "";
  Header.Almacen.Sc_Cve_Sucursal = "";
  Header.Almacen.Al_Cve_Almacen = "";
  Header.Almacen.Al_Centro_Costo = "";
  Header.Almacen.Al_Cuenta_Contable = "";
  Header.Ap_Tabla = "";
  Header.Ap_Documento = "";
  Header.Ap_Referencia = "";
  Header.Ap_Comentario = "";
  Header.Cliente.Cl_Cve_Cliente = "";
  Header.Cliente.Cl_Centro_Costo = "";
  Header.Cliente.Cl_Cuenta_Contable = "";
  Header.Cliente.Cl_Cve_Maestro = "";
  Header.Ap_Sin_Cargo = "NO";
  Apartar_Productos_ = kTrue;
}

void Apartado::Encabezado(const tApEncabezado& value) {
  if (!Header.Ap_Folio.empty()) return;  // the open layaway keeps its header
  ModuleState& m = Publico();
  BranchServerId = m.CatalogServices->LookupValue("Sucursal", "Sc_Cve_Sucursal", value.Sucursal.Sc_Cve_Sucursal,
                                                  "Sc_Servidor_Id", 0, "", "", "");
  Header.Ap_Fecha = value.Ap_Fecha;
  Header.Ap_Fecha_Entrega = value.Ap_Fecha_Entrega;
  Header.Ap_Comentario = value.Ap_Comentario;
  Header.Ap_Referencia = value.Ap_Referencia;
  Header.Ap_Tabla = value.Ap_Tabla;
  Header.Ap_Documento = value.Ap_Documento;
  Header.Mn_Cve_Moneda = value.Mn_Cve_Moneda;
  Header.Ap_Tipo_Cambio = value.Ap_Tipo_Cambio;
  Header.Ap_Descuento_Global_Factor = value.Ap_Descuento_Global_Factor;
  Header.Sucursal.Sc_Cve_Sucursal = value.Sucursal.Sc_Cve_Sucursal;
  Header.Almacen.Al_Cve_Almacen = value.Almacen.Al_Cve_Almacen;
  Header.Vendedor.Vn_Cve_Vendedor = value.Vendedor.Vn_Cve_Vendedor;
  Header.Cliente.Cl_Cve_Cliente = value.Cliente.Cl_Cve_Cliente;
  Header.Ap_Condicion_Venta = value.Ap_Condicion_Venta;
  const std::string& branch = Header.Sucursal.Sc_Cve_Sucursal;
  const std::string& warehouse = Header.Almacen.Al_Cve_Almacen;
  HandlesSizes = m.WarehouseServices->HandlesSizes(branch, warehouse);
  HandlesColours = m.WarehouseServices->HandlesColours(branch, warehouse);
  HandlesLots = m.WarehouseServices->HandlesLots(branch, warehouse);
  HandlesSeries = m.WarehouseServices->HandlesSeries(branch, warehouse);
}

}  // namespace apartado
