// apartado list through the real program: one line per layaway with its
// header, lines, amount, state and age, newest first, and each filter.
#include <gtest/gtest.h>

#include <ctime>
#include <nlohmann/json.hpp>

#include "apartado/date.h"
#include "demo_catalogue.h"
#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using nlohmann::json;

// Today at midnight, local time, moved by days, as ISO 8601 text at 10:00.
std::string DaysFromToday(int days) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const Date today = MakeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 10);
  return FormatIsoDateTime(AddDays(today, days));
}

// Two lines of quantity chairs at 100 for customer, dated and due days from today.
json Layaway(const std::string& customer, int dated, int delivery, double quantity) {
  const json line = demo::Line("P100", quantity, {{"Ap_Precio_Lista", 100}});
  return demo::Layaway({line, line}, {{"Cliente", {{"Cl_Cve_Cliente", customer}}},
                                      {"Ap_Fecha", DaysFromToday(dated)},
                                      {"Ap_Fecha_Entrega", DaysFromToday(delivery)}});
}

class HostListTest : public HostProgramTest {
 protected:
  void SetUp() override {
    HostProgramTest::SetUp();
    json catalogue = cli::demo::Catalogue();
    catalogue["Cliente"].push_back({{"Cl_Cve_Cliente", "C002"},
                                    {"Cl_Descripcion", "Cocinas Ruiz"},
                                    {"Cl_Tipo_Cuenta", "CR"},
                                    {"Cl_Dias_Credito", 30},
                                    {"Cl_Limite_Credito", 50000}});
    ASSERT_EQ(Run({"load", File("catalogue.json", catalogue.dump())}).status, 0);
    // Captured in this order: old and overdue, recent, old and cancelled.
    for (const json& layaway : {Layaway("C001", -100, -10, 1), Layaway("C002", -3, 20, 1), Layaway("C002", -45, -5, 1)})
      folios_.push_back(Capture(layaway));
    ASSERT_EQ(Run({"cancel", folios_[2]}).status, 0);
  }

  // The folios list answers with these options, in its order.
  std::vector<std::string> Folios(std::vector<std::string> options) {
    options.insert(options.begin(), "list");
    const json answer = RunJson(options);
    std::vector<std::string> folios;
    for (const json& layaway : answer.at("layaways")) folios.push_back(layaway.at("Ap_Folio").get<std::string>());
    return folios;
  }

  std::vector<std::string> folios_;
};

TEST_P(HostListTest, EachLayawayOnceWithItsFiguresNewestFirst) {
  ASSERT_EQ(Folios({}), (std::vector<std::string>{folios_[1], folios_[2], folios_[0]}));
  const json answer = RunJson({"list"});
  const json& layaways = answer.at("layaways");

  const json& oldest = layaways[2];
  EXPECT_EQ(oldest.at("Cl_Cve_Cliente"), "C001");
  EXPECT_EQ(oldest.at("Ap_Fecha"), DaysFromToday(-100));
  EXPECT_EQ(oldest.at("Ap_Fecha_Entrega"), DaysFromToday(-10));
  EXPECT_EQ(oldest.at("lines"), 2);
  EXPECT_EQ(oldest.at("age_days"), 100);
  EXPECT_EQ(oldest.at("overdue"), true);
  // Two lines of one unit at 100 with 16 % tax.
  EXPECT_NEAR(oldest.at("net_amount").get<double>(), 232.0, 1e-9);
  EXPECT_EQ(layaways[1].at("Es_Cve_Estado"), "CA");
  EXPECT_EQ(layaways[1].at("overdue"), false);  // cancelled: nothing left to deliver
  EXPECT_EQ(layaways[0].at("overdue"), false);
  EXPECT_EQ(layaways[0].at("age_days"), 3);

  const ProgramRun text = Run({"list"});
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find(folios_[0] + "  C001      " + DaysFromToday(-100).substr(0, 10)), std::string::npos)
      << text.out;
}

TEST_P(HostListTest, FiltersNarrowTheList) {
  EXPECT_EQ(Folios({"--customer", "C002"}), (std::vector<std::string>{folios_[1], folios_[2]}));
  EXPECT_EQ(Folios({"--state", "CA"}), (std::vector<std::string>{folios_[2]}));
  EXPECT_EQ(Folios({"--state", "AC"}), (std::vector<std::string>{folios_[1], folios_[0]}));
  EXPECT_EQ(Folios({"--overdue"}), (std::vector<std::string>{folios_[0]}));
  EXPECT_EQ(Folios({"--since", DaysFromToday(-50).substr(0, 10)}), (std::vector<std::string>{folios_[1], folios_[2]}));
  EXPECT_EQ(Folios({"--customer", "C002", "--state", "AC"}), (std::vector<std::string>{folios_[1]}));
  EXPECT_TRUE(Folios({"--customer", "NADIE"}).empty());

  const ProgramRun bad = Run({"list", "--since", "ayer"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "apartado: --since takes a date as YYYY-MM-DD, not \"ayer\"\n");
}

APARTADO_INSTANTIATE_BACKENDS(HostListTest);

}  // namespace
}  // namespace apartado::testing
