// The host's reading of its input: the layaway records as JSON, the shapes a
// capture file may take, and what a declared column type accepts.
#include <gtest/gtest.h>

#include "host.h"
#include "json_input.h"
#include "queries.h"
#include "record_json.h"

namespace apartado::cli {
namespace {

std::vector<std::string> Keys(const Json& object) {
  std::vector<std::string> keys;
  for (auto it = object.begin(); it != object.end(); ++it) keys.push_back(it.key());
  return keys;
}

// Every leaf of a record's JSON given a value of its own: texts, numbers of
// the member's kind, and distinct dates for the date members.
void FillLeaves(Json& object, int& counter) {
  for (auto it = object.begin(); it != object.end(); ++it) {
    Json& value = it.value();
    ++counter;
    if (value.is_object()) {
      FillLeaves(value, counter);
    } else if (value.is_number_integer()) {
      value = counter;
    } else if (value.is_number()) {
      value = counter + 0.25;
    } else if (it.key().find("Fecha") != std::string::npos) {
      value = "2026-03-" + std::to_string(10 + counter % 18) + "T15:30:" + std::to_string(10 + counter % 40);
    } else {
      value = "v" + std::to_string(counter);
    }
  }
}

TEST(RecordJson, FieldNamesFollowTheRecordsInOrder) {
  EXPECT_EQ(Keys(EncabezadoToJson({})),
            (std::vector<std::string>{"Ap_Folio", "Ap_Fecha", "Ap_Fecha_Entrega", "Ap_Tabla", "Ap_Documento",
                                      "Ap_Referencia", "Ap_Comentario", "Mn_Cve_Moneda", "Ap_Tipo_Cambio",
                                      "Ap_Descuento_Global_Cuenta_Contable", "Ap_Descuento_Global_Factor",
                                      "Ap_Descuento_Global_Importe", "Zona", "Sucursal", "Almacen", "Cliente",
                                      "Vendedor", "Ap_Sin_Cargo", "Ap_Condicion_Venta"}));
  const Json detalle = DetalleToJson({});
  EXPECT_EQ(Keys(detalle), (std::vector<std::string>{"Ap_ID",
                                                     "Ap_Sucursal_Inventario",
                                                     "Ap_Almacen_Inventario",
                                                     "Ap_Partida",
                                                     "Ap_Partida_Descripcion",
                                                     "Producto",
                                                     "Tl_Cve_Talla",
                                                     "Cl_Cve_Color",
                                                     "Ap_Concepto",
                                                     "Ap_Cantidad_1",
                                                     "Ap_Unidad_1",
                                                     "Ap_Cantidad_Control_1",
                                                     "Ap_Unidad_Control_1",
                                                     "Ap_Cantidad_Control_2",
                                                     "Ap_Unidad_Control_2",
                                                     "Ap_Cantidad_Costo",
                                                     "Ap_Unidad_Costo",
                                                     "Ap_Costo",
                                                     "Ap_Costo_Importe",
                                                     "Pr_Folio",
                                                     "Ap_Precio_Lista",
                                                     "Ap_Precio_Lista_Importe",
                                                     "Ap_Descuento_Factor",
                                                     "Ap_Descuento_Importe",
                                                     "Ap_Precio_Descontado",
                                                     "Ap_Precio_Descontado_Importe",
                                                     "Ap_Impuesto_Factor",
                                                     "Ap_Impuesto_Importe",
                                                     "Ap_Precio_Neto",
                                                     "Ap_Precio_Neto_Importe",
                                                     "Serie",
                                                     "Lote"}));
  EXPECT_EQ(Keys(EncabezadoToJson({})["Cliente"]["Cadena_Comercial"]),
            (std::vector<std::string>{"Cc_Cve_Cadena_Comercia", "Cc_Centro_Costo", "Cc_Cuenta_Contable",
                                      "Cc_Limite_Credito", "Cc_Dias_Credito", "Cc_Dias_Bloqueo", "UserDef"}));
  EXPECT_EQ(detalle["Lote"]["Lt_Fecha_Caducidad"], "1899-12-30T00:00:00");
}

TEST(RecordJson, EveryFieldIsReadBackAsWritten) {
  int counter = 0;
  Json header = EncabezadoToJson({});
  FillLeaves(header, counter);
  tApEncabezado h;
  OverlayEncabezado(header, h);
  EXPECT_EQ(EncabezadoToJson(h), header);
  EXPECT_EQ(h.Cliente.Grupo_Comercial.Gc_Dias_Bloqueo, header["Cliente"]["Grupo_Comercial"]["Gc_Dias_Bloqueo"]);

  Json line = DetalleToJson({});
  FillLeaves(line, counter);
  tApDetalle d;
  OverlayDetalle(line, d);
  EXPECT_EQ(DetalleToJson(d), line);
  EXPECT_EQ(FormatIsoDateTime(d.Serie.Sr_FechaPedimento), line["Serie"]["Sr_FechaPedimento"]);
}

TEST(RecordJson, OverlayKeepsWhatIsNotGivenAndRefusesWhatIsWrong) {
  tApDetalle d;
  d.Ap_Unidad_1 = "PZA";
  OverlayDetalle(Json::parse(R"({"Producto": {"Pr_Cve_Producto": "P1"}, "Ap_Cantidad_1": 2})"), d);
  EXPECT_EQ(d.Ap_Unidad_1, "PZA");
  EXPECT_EQ(d.Producto.Pr_Cve_Producto, "P1");
  EXPECT_EQ(d.Ap_Cantidad_1, 2);

  const std::vector<std::pair<std::string, std::string>> refusals = {
      {R"({"Ap_Cantidad_1": "2"})", "field \"Ap_Cantidad_1\" must be a number, not text \"2\""},
      {R"({"Producto": "P1"})", "field \"Producto\" must be an object, not text \"P1\""},
      {R"({"Producto": {"Proveedor": {"Pv_Clave": "X"}}})", "unknown field \"Producto.Proveedor.Pv_Clave\""},
      {R"({"Lote": {"Lt_Fecha_Caducidad": "2026-13-01"}})",
       "field \"Lote.Lt_Fecha_Caducidad\" must be a date such as \"2026-03-10T15:30:00\", not text \"2026-13-01\""},
      {R"({"Serie": {"UserDef": 5}})", "field \"Serie.UserDef\" must be text, not the number 5"},
      {R"({"Ap_ID": null})", "field \"Ap_ID\" must be text, not null"},
      {R"([1])", "expected an object, found an array"},
  };
  for (const auto& [input, message] : refusals) {
    SCOPED_TRACE(input);
    tApDetalle line;
    try {
      OverlayDetalle(Json::parse(input), line);
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
  tApEncabezado h;
  EXPECT_THROW(OverlayEncabezado(Json::parse(R"({"Cliente": {"Cl_Dias_Credito": 40000}})"), h), InputError);
  EXPECT_THROW(OverlayEncabezado(Json::parse(R"({"Cliente": {"Cl_Dias_Credito": 1.5}})"), h), InputError);
  OverlayEncabezado(Json::parse(R"({"Cliente": {"Cl_Dias_Credito": -32768}})"), h);
  EXPECT_EQ(h.Cliente.Cl_Dias_Credito, -32768);
}

TEST(JsonInput, OneObjectAnArrayOrJsonLines) {
  auto lines = [](const std::vector<InputValue>& values) {
    std::vector<int> numbers;
    for (const InputValue& v : values) numbers.push_back(v.line);
    return numbers;
  };
  EXPECT_EQ(lines(ParseObjects("{\n \"a\": 1\n}\n", "f")), std::vector<int>{0});
  EXPECT_EQ(lines(ParseObjects("[{\"a\": 1}, {\"a\": 2}]", "f")), (std::vector<int>{0, 0}));
  std::vector<InputValue> jsonl = ParseObjects("{\"a\": 1}\n\n  \n{\"a\": 2}\r\n{\"a\": 3}", "f");
  EXPECT_EQ(lines(jsonl), (std::vector<int>{1, 4, 5}));
  EXPECT_EQ(jsonl[2].value["a"], 3);

  const std::vector<std::pair<std::string, std::string>> faults = {
      {"{\"a\": 1}\n{\"a\": }\n", "f: input line 2: malformed JSON: parse error at line 1, column 7"},
      {"{\n\"a\": 1,\n}", "f: malformed JSON: parse error at line 3, column 1"},
      {"", "f: malformed JSON: parse error at line 1, column 1"},
  };
  for (const auto& [text, message] : faults) {
    SCOPED_TRACE(text);
    try {
      ParseObjects(text, "f");
      ADD_FAILURE() << "accepted";
    } catch (const InputError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, message.size()), message);
    }
  }
}

TEST(ColumnKinds, DeclaredTypesOfEveryBackend) {
  const std::vector<std::pair<std::string, ColumnKind>> types = {
      {"TEXT", ColumnKind::Text},
      {"VARCHAR(60)", ColumnKind::Text},
      {"character varying", ColumnKind::Text},
      {"DATETIME", ColumnKind::DateTime},
      {"timestamp without time zone", ColumnKind::DateTime},
      {"DATETIME2", ColumnKind::DateTime},
      {"INTEGER", ColumnKind::Integer},
      {"bigint", ColumnKind::Integer},
      {"REAL", ColumnKind::Number},
      {"double precision", ColumnKind::Number},
      {"FLOAT", ColumnKind::Number},
      {"NUMERIC(18,4)", ColumnKind::Number},
      {"", ColumnKind::Any},
  };
  for (const auto& [declared, kind] : types) EXPECT_EQ(KindOfDeclaredType(declared), kind) << declared;
}

}  // namespace
}  // namespace apartado::cli
