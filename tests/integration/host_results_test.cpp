// How the built program shows what it stored: show one line per row (every
// column with --full), and a whole-layaway command on a folio without rows.
#include <gtest/gtest.h>

#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>

#include "apartado/schema.h"
#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

// The words of each line of text.
std::vector<std::vector<std::string>> Words(const std::string& text) {
  std::vector<std::vector<std::string>> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    lines.emplace_back(std::istream_iterator<std::string>(words), std::istream_iterator<std::string>());
  }
  return lines;
}

class HostResults : public HostProgramTest {
 protected:
  // The example catalogue, and a layaway of two lines of P1 (2 and 1.5 pieces).
  void SetUp() override {
    HostProgramTest::SetUp();
    ASSERT_EQ(Run({"load", std::string(APARTADO_SOURCE_DIR) + "/docs/examples/shop.json"}).status, 0);
    const ProgramRun capture =
        Run({"capture", "-"}, demo::ShopLayaway({demo::Line("P1", 2, {{"Ap_Precio_Lista", 100}}),
                                                 demo::Line("P1", 1.5, {{"Ap_Precio_Lista", 10}})})
                                  .dump());
    ASSERT_EQ(capture.status, 0) << capture.err;
  }
};

TEST_P(HostResults, ShowPrintsOneLinePerRowAndEveryColumnWithFull) {
  const ProgramRun show = Run({"show", "0000000001"});
  ASSERT_EQ(show.status, 0) << show.err;
  const auto lines = Words(show.out);
  ASSERT_EQ(lines.size(), 4u) << show.out;
  EXPECT_EQ(lines[0].back(), "rows");
  EXPECT_EQ(lines[1], (std::vector<std::string>{"line", "product", "size", "colour", "quantity", "control-1",
                                                "control-2", "unit", "net", "amount", "status"}));
  EXPECT_EQ(lines[2], (std::vector<std::string>{"0001", "P1", "00", "00", "2", "2", "2", "PZA", "232", "AC"}));
  EXPECT_EQ(lines[3], (std::vector<std::string>{"0002", "P1", "00", "00", "1.5", "1.5", "1.5", "PZA", "17.4", "AC"}));

  const ProgramRun full = Run({"show", "--full", "0000000001"});
  ASSERT_EQ(full.status, 0) << full.err;
  for (const suite::SchemaTable& table : suite::DescribeSchema()) {
    if (table.name != "Apartado") continue;
    for (const suite::SchemaColumn& column : table.columns) {
      EXPECT_NE(full.out.find("\n" + column.name + " "), std::string::npos) << column.name;
    }
  }
  EXPECT_NE(full.out.find("-- row 2 --\n"), std::string::npos);
  EXPECT_EQ(RunJson({"show", "0000000001"}).at("rows").size(), 2u);
}

// Apartar and Desapartar answer True for a folio without rows, having done
// nothing: the host says so on stderr, and only then.
TEST_P(HostResults, AWholeLayawayCommandOnAFolioWithoutRowsSaysSo) {
  for (const char* command : {"release", "reserve"}) {
    for (const std::string folio : {"0000000009", "0000000001"}) {
      const ProgramRun run = Run({command, folio});
      EXPECT_EQ(run.status, 0) << command << " " << folio << run.err;
      EXPECT_EQ(run.err, folio == "0000000001"
                             ? ""
                             : "apartado: folio " + folio + " has no stored rows: the operation found nothing to do\n")
          << command;
    }
  }
  EXPECT_EQ(Value("SELECT Ex_Cantidad_Apartado_Control_1 FROM Existencia"), "3.5");
}

APARTADO_INSTANTIATE_BACKENDS(HostResults);

}  // namespace
}  // namespace apartado::testing
