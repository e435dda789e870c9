// What the PostgreSQL schema's own trigger functions write, as the kept
// answers read it from their bodies: each is told, and each names exactly
// the tables it writes.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "apartado/suite.h"
#include "database/statement_analysis.h"

namespace apartado::testing {
namespace {

// The bodies of the PL/pgSQL functions a script creates, by lower-case name
// (its SQL functions left out).
std::map<std::string, std::string> PlpgsqlBodies(const std::string& script) {
  std::map<std::string, std::string> bodies;
  const std::string create = "CREATE OR REPLACE FUNCTION ";
  for (std::size_t at = script.find(create); at != std::string::npos; at = script.find(create, at + 1)) {
    const std::size_t nameStart = at + create.size();
    std::string name = script.substr(nameStart, script.find('(', nameStart) - nameStart);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t open = script.find("$$", nameStart);
    const std::size_t close = script.find("$$", open + 2);
    EXPECT_NE(close, std::string::npos) << name;
    if (script.compare(close, 19, "$$ LANGUAGE plpgsql") == 0) bodies[name] = script.substr(open + 2, close - open - 2);
  }
  return bodies;
}

TEST(TriggerBodies, EveryTriggerFunctionOfTheSchemaIsToldWithTheTablesItWrites) {
  const std::map<std::string, std::string> bodies = PlpgsqlBodies(suite::SchemaScript(SqlDialect::PostgreSQL));
  const std::map<std::string, std::vector<std::string>> expected = {
      {"version_tabla_cambio", {"version_tabla"}},
      {"existencia_movimiento", {"movimiento_existencia"}},
      {"existencia_kit_movimiento", {"movimiento_existencia"}},
      {"movimiento_existencia_sin_cambios", {}},
      {"apartado_movimiento_folio", {}},
      {"apartado_cancelacion", {"lote_asignacion", "lote", "serie"}}};
  for (const auto& [name, writes] : expected) {
    ASSERT_TRUE(bodies.contains(name)) << name;
    EXPECT_EQ(TablesPlpgsqlWrites(bodies.at(name)), std::optional(writes)) << name << ":\n" << bodies.at(name);
  }
  // Any other function the schema makes is told too, and writes only tables.
  for (const auto& [name, body] : bodies)
    EXPECT_TRUE(TablesPlpgsqlWrites(body).has_value()) << name << ":\n" << body;
}

}  // namespace
}  // namespace apartado::testing
