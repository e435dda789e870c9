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
    "Total_1 DOUBLE PRECISION NOT NULL, Total_2 DOUBLE PRECISION NOT NULL);"
    "CREATE TABLE Stress_Below_Zero (Tabla VARCHAR(20) NOT NULL, Pr_Cve_Producto VARCHAR(20) NOT NULL, "
    "Cantidad_1 DOUBLE PRECISION, Cantidad_2 DOUBLE PRECISION, Apartado_1 DOUBLE PRECISION, "
    "Apartado_2 DOUBLE PRECISION)";

// Every committed change that left a stock quantity below zero, kept as it
// happened: releases raise what an oversold row shows, so by the end of a run
// the row itself may no longer tell. The row goes with its transaction, so
// only committed changes are kept.
constexpr const char* kBelowZeroSqlite =
    "CREATE TRIGGER TR_Stress_Existencia AFTER UPDATE ON Existencia "
    "WHEN NEW.Ex_Cantidad_Control_1 < 0 OR NEW.Ex_Cantidad_Control_2 < 0 OR NEW.Ex_Cantidad_Apartado_Control_1 < 0 "
    "OR NEW.Ex_Cantidad_Apartado_Control_2 < 0 BEGIN "
    "INSERT INTO Stress_Below_Zero VALUES ('Existencia', NEW.Pr_Cve_Producto, NEW.Ex_Cantidad_Control_1, "
    "NEW.Ex_Cantidad_Control_2, NEW.Ex_Cantidad_Apartado_Control_1, NEW.Ex_Cantidad_Apartado_Control_2); END;"
    "CREATE TRIGGER TR_Stress_Existencia_Kit AFTER UPDATE ON Existencia_Kit "
    "WHEN NEW.Ek_Cantidad < 0 OR NEW.Ek_Cantidad_Apartado < 0 BEGIN "
    "INSERT INTO Stress_Below_Zero VALUES ('Existencia_Kit', NEW.Pr_Cve_Producto, NEW.Ek_Cantidad, NULL, "
    "NEW.Ek_Cantidad_Apartado, NULL); END";

constexpr const char* kBelowZeroPostgres =
    "CREATE FUNCTION stress_existencia_below_zero() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "INSERT INTO Stress_Below_Zero VALUES ('Existencia', NEW.Pr_Cve_Producto, NEW.Ex_Cantidad_Control_1, "
    "NEW.Ex_Cantidad_Control_2, NEW.Ex_Cantidad_Apartado_Control_1, NEW.Ex_Cantidad_Apartado_Control_2); "
    "RETURN NULL; END $$;"
    "CREATE TRIGGER TR_Stress_Existencia AFTER UPDATE ON Existencia FOR EACH ROW "
    "WHEN (NEW.Ex_Cantidad_Control_1 < 0 OR NEW.Ex_Cantidad_Control_2 < 0 OR NEW.Ex_Cantidad_Apartado_Control_1 < 0 "
    "OR NEW.Ex_Cantidad_Apartado_Control_2 < 0) EXECUTE FUNCTION stress_existencia_below_zero();"
    "CREATE FUNCTION stress_kit_below_zero() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
    "INSERT INTO Stress_Below_Zero VALUES ('Existencia_Kit', NEW.Pr_Cve_Producto, NEW.Ek_Cantidad, NULL, "
    "NEW.Ek_Cantidad_Apartado, NULL); RETURN NULL; END $$;"
    "CREATE TRIGGER TR_Stress_Existencia_Kit AFTER UPDATE ON Existencia_Kit FOR EACH ROW "
    "WHEN (NEW.Ek_Cantidad < 0 OR NEW.Ek_Cantidad_Apartado < 0) EXECUTE FUNCTION stress_kit_below_zero()";

}  // namespace

void PrepareDatabase(const std::string& connection) {
  std::unique_ptr<Database> db = OpenEmptied(connection);
  apartado::suite::CreateSchema(*db);
  db->RunScript(kBookkeeping);
  db->RunScript(IsPostgres(connection) ? kBelowZeroPostgres : kBelowZeroSqlite);
  apartado::Transaction tx(*db);
  auto text = [](const std::string& s) { return Variant::FromText(s); };
  auto number = [](double d) { return Variant::FromDouble(d); };
  db->Command("INSERT INTO Sucursal (Sc_Cve_Sucursal, Sc_Descripcion, Sc_Servidor_Id) VALUES (:p1, :p2, :p3)",
              {text(kBranch), text("Matriz"), text("")});
  db->Command(
      "INSERT INTO Almacen (Sc_Cve_Sucursal, Al_Cve_Almacen, Al_Descripcion, Al_Maneja_Tallas, Al_Maneja_Colores, "
      "Al_Maneja_Lotes, Al_Maneja_Series) VALUES (:p1, :p2, :p3, 0, 0, 0, 0)",
      {text(kBranch), text(kWarehouse), text("General")});
  db->Command("INSERT INTO Moneda (Mn_Cve_Moneda, Mn_Descripcion) VALUES (:p1, :p2)", {text("MXN"), text("Peso")});
  db->Command("INSERT INTO Vendedor (Vn_Cve_Vendedor, Vn_Descripcion) VALUES (:p1, :p2)", {text("V1"), text("Ana")});
  db->Command("INSERT INTO Cliente (Cl_Cve_Cliente, Cl_Descripcion, Cl_Dias_Credito) VALUES (:p1, :p2, 30)",
              {text("C1"), text("Cliente uno")});
  db->Command("INSERT INTO Condicion_Venta (Cv_Cve_Condicion_Venta, Cv_Descripcion) VALUES (:p1, :p2)",
              {text("CONT"), text("Contado")});
  db->Command("INSERT INTO Talla (Tl_Cve_Talla, Tl_Descripcion) VALUES (:p1, :p2)", {text(kSize), text("Sin talla")});
  db->Command("INSERT INTO Color (Cl_Cve_Color, Cl_Descripcion) VALUES (:p1, :p2)", {text(kColour), text("Sin color")});
  db->Command("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES (:p1, :p2)", {text("PZA"), text("Pieza")});
  db->Command("INSERT INTO Unidad (Un_Cve_Unidad, Un_Descripcion) VALUES (:p1, :p2)", {text("KG"), text("Kilo")});
  for (const StockProduct& p : Products()) {
    db->Command(
        "INSERT INTO Producto (Pr_Cve_Producto, Pr_Descripcion, Pr_Tipo_Producto, Pr_Tipo_Costeo, "
        "Pr_Unidad_Control_1, Pr_Unidad_Control_2, Pr_Unidad_Costo, Pr_Costo, Pr_Tasa_Impuesto) "
        "VALUES (:p1, :p2, :p3, 'PROM', 'PZA', 'KG', 'PZA', 10, 0.16)",
        {text(p.key), text("Producto " + p.key), text(p.kit ? "04" : "01")});
    const std::vector<Variant> keys = {text(kBranch), text(kWarehouse), text(p.key),     text(kSize),
                                       text(kColour), number(p.stock1), number(p.stock2)};
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
                {text(p.key), Variant::FromLong(p.kit ? 1 : 0), number(p.stock1), number(p.stock2)});
  }
  tx.Commit();
}

}  // namespace stress
