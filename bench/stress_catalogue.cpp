// The database a stress run starts from: the suite schema, a catalogue of a
// few products with tight stock, and the run's own bookkeeping tables.
#include <filesystem>

#include "apartado/suite.h"
#include "stress.h"

namespace stress {

using apartado::Database;
using apartado::Variant;

const std::vector<StockProduct>& Products() {
  // P2 and P4 run short on the second unit first (a line asks twice its
  // first quantity in the second unit); K1 is a kit.
  static const std::vector<StockProduct> products = {
      {"P1", false, 20, 45}, {"P2", false, 30, 40}, {"P3", false, 40, 90}, {"P4", false, 25, 36}, {"K1", true, 15, 0}};
  return products;
}

bool IsPostgres(const std::string& connection) { return connection.rfind("postgres", 0) == 0; }

namespace {

std::unique_ptr<Database> OpenEmptied(const std::string& connection) {
  if (IsPostgres(connection)) {
    auto db = Database::Open(connection);
    db->RunScript("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    return db;
  }
  const std::string path = connection.rfind("sqlite:", 0) == 0 ? connection.substr(7) : connection;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) std::filesystem::remove(path + suffix);
  return Database::Open(connection);
}

// The run's bookkeeping, written in the same transaction as each operation.
// Folio and (Worker, Seq) carry no unique key on purpose: a layaway recorded
// twice, or an operation committed twice, is then stored and shows up in the
// checks instead of failing the operation that made it.
constexpr const char* kBookkeeping =
    "CREATE TABLE Stress_Layaway (Folio VARCHAR(20) NOT NULL, Referencia VARCHAR(40) NOT NULL, "
    "Lineas INTEGER NOT NULL, Reservado INTEGER NOT NULL, Cancelado INTEGER NOT NULL);"
    "CREATE INDEX IX_Stress_Layaway_Folio ON Stress_Layaway (Folio);"
    "CREATE INDEX IX_Stress_Layaway_State ON Stress_Layaway (Cancelado, Reservado);"
    "CREATE TABLE Stress_Operation (Worker INTEGER NOT NULL, Seq INTEGER NOT NULL, Kind VARCHAR(10) NOT NULL, "
    "Folio VARCHAR(20) NOT NULL);"
    "CREATE INDEX IX_Stress_Operation ON Stress_Operation (Worker, Seq);"
    "CREATE TABLE Stress_Stock (Pr_Cve_Producto VARCHAR(20) NOT NULL, Kit INTEGER NOT NULL, "
    "Total_1 DOUBLE PRECISION NOT NULL, Total_2 DOUBLE PRECISION NOT NULL)";

}  // namespace

void PrepareDatabase(const std::string& connection) {
  std::unique_ptr<Database> db = OpenEmptied(connection);
  apartado::suite::CreateSchema(*db);
  db->RunScript(kBookkeeping);
  apartado::Transaction tx(*db);
  auto T = [](const std::string& s) { return Variant::FromText(s); };
  auto N = [](double d) { return Variant::FromDouble(d); };
  db->Command("INSERT INTO Sucursal (Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id) VALUES (:p1, :p2, :p3)",
              {T(kBranch), T("Matriz"), T("")});
  db->Command(
      "INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, Al_Maneja_Colores, "
      "Al_Maneja_Lotes, Al_Maneja_Series) VALUES (:p1, :p2, :p3, 0, 0, 0, 0)",
      {T(kBranch), T(kWarehouse), T("General")});
  db->Command("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES (:p1, :p2)", {T("MXN"), T("Peso")});
  db->Command("INSERT INTO Vendedor (Vn_Cve_Vendedor, Vn_Descripcion) VALUES (:p1, :p2)", {T("V1"), T("Ana")});
  db->Command("INSERT INTO Cliente (Cl_Cve_Cliente, Cl_Descripcion, Cl_Dias_Credito) VALUES (:p1, :p2, 30)",
              {T("C1"), T("Cliente uno")});
  db->Command("INSERT INTO Condicion_Venta (Cv_Cve_Condicion_Venta, Cv_Descripcion) VALUES (:p1, :p2)",
              {T("CONT"), T("Contado")});
  db->Command("INSERT INTO Talla (Tl_Cve_Talla, Tl_Descripcion) VALUES (:p1, :p2)", {T(kSize), T("Sin talla")});
  db->Command("INSERT INTO Color (Cl_Cve_Color, Cl_Descripcion) VALUES (:p1, :p2)", {T(kColour), T("Sin color")});
  db->Command("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES (:p1, :p2)", {T("PZA"), T("Pieza")});
  db->Command("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES (:p1, :p2)", {T("KG"), T("Kilo")});
  for (const StockProduct& p : Products()) {
    db->Command(
        "INSERT INTO Producto (Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, Pr_Tipo_Costeo, "
        "Pr_Unidad_Control_1, Pr_Unidad_Control_2, Pr_Unidad_Costo, Pr_Costo, Pr_Tasa_Impuesto) "
        "VALUES (:p1, :p2, :p3, 'PROM', 'PZA', 'KG', 'PZA', 10, 0.16)",
        {T(p.key), T("Producto " + p.key), T(p.kit ? "04" : "01")});
    const std::vector<Variant> keys = {T(kBranch), T(kWarehouse), T(p.key),   T(kSize),
                                       T(kColour), N(p.stock1),   N(p.stock2)};
    if (p.kit) {
      db->Command(
          "INSERT INTO Existencia_Kit (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
          "Ek_Cantidad, Ek_Cantidad_Apartado) VALUES (:p1, :p2, :p3, :p4, :p5, :p6, 0)",
          keys);
    } else {
      db->Command(
          "INSERT INTO Existencia (Sc_Cve_Sucursal, Al_Cve_Almacen, Pr_Cve_Producto, Tl_Cve_Talla, Cl_Cve_Color, "
          "Ex_Cantidad_Control_1, Ex_Cantidad_Control_2, Ex_Cantidad_Apartado_Control_1, "
          "Ex_Cantidad_Apartado_Control_2) VALUES (:p1, :p2, :p3, :p4, :p5, :p6, :p7, 0, 0)",
          keys);
    }
    db->Command("INSERT INTO Stress_Stock (Pr_Cve_Producto, Kit, Total_1, Total_2) VALUES (:p1, :p2, :p3, :p4)",
                {T(p.key), Variant::FromLong(p.kit ? 1 : 0), N(p.stock1), N(p.stock2)});
  }
  tx.Commit();
}

}  // namespace stress
