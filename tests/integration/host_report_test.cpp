// apartado report --html through the real program, rendered by headless
// Chromium with every host name unresolvable: the DOM it built must hold the
// known database's figures. The screenshot is kept beside the test binary
// (report-PostgreSQL.png, report-SQLite.png).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>

#include "integration/demo_layaway.h"
#include "integration/host_program.h"

namespace apartado::testing {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

// Lines at 100 of (product, quantity); the kit keeps no second quantity.
json Layaway(const std::vector<std::pair<std::string, double>>& lines) {
  std::vector<json> details;
  for (const auto& [product, quantity] : lines)
    details.push_back(demo::Line(
        product, quantity, {{"Ap_Cantidad_Control_2", product == "K200" ? 0 : quantity}, {"Ap_Precio_Lista", 100}}));
  return demo::Layaway(details);
}

std::string Chromium() {
  for (const char* path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (std::filesystem::exists(path)) return path;
  return "";
}

// Runs the browser headless on the page with no way to reach a host.
ProgramRun Render(const std::string& browser, const std::string& page, const std::string& dir,
                  const std::vector<std::string>& extra) {
  std::vector<std::string> argv = {browser,
                                   "--headless",
                                   "--no-sandbox",
                                   "--disable-gpu",
                                   "--hide-scrollbars",
                                   "--host-resolver-rules=MAP * ~NOTFOUND",
                                   "--window-size=900,1300"};
  argv.insert(argv.end(), extra.begin(), extra.end());
  argv.push_back("file://" + page);
  return RunProgram(std::move(argv), dir);
}

using HostReportTest = DemoProgramTest;

TEST_P(HostReportTest, ChromiumShowsTheKnownDatabasesFiguresWithNoNetwork) {
  const std::string browser = Chromium();
  if (browser.empty()) GTEST_SKIP() << "no chromium here (scripts/install-deps.sh test installs it)";
  // P100: 12 in stock, 3 + 2 reserved; the kit: 1 of 3 reserved; the second
  // layaway cancelled, the first billed.
  const std::string folio = Capture(Layaway({{"P100", 3}, {"K200", 1}}));
  const std::string second = Capture(Layaway({{"P100", 2}}));
  ASSERT_EQ(Run({"receivable", folio}).status, 0);
  ASSERT_EQ(Run({"cancel", second}).status, 0);
  const std::string balance = Value("SELECT Cxc_Saldo FROM Cuenta_X_Cobrar");

  const std::string page = dir_ + "/report.html";
  const ProgramRun report = Run({"report", "--html", page});
  ASSERT_EQ(report.status, 0) << report.err;
  const std::string html = ReadFile(page);
  // Nothing to fetch: no link, script, image or stylesheet from elsewhere.
  EXPECT_EQ(std::regex_search(html, std::regex(R"((src|href)\s*=)")), false);
  EXPECT_EQ(html.find("<script"), std::string::npos);

  const ProgramRun dom = Render(browser, page, dir_, {"--dump-dom"});
  ASSERT_EQ(dom.status, 0) << dom.err;
  EXPECT_THAT(dom.out, HasSubstr("<svg id=\"stock\""));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-product="P100" data-available="9" data-reserved="3")"));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-product="K200" data-available="2" data-reserved="1")"));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-product="L300" data-available="40" data-reserved="0")"));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-band="0-30" data-count="1")"));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-band="over 90" data-count="0")"));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-state="AC" data-count="1")"));
  EXPECT_THAT(dom.out, HasSubstr(R"(data-state="CA" data-count="1")"));
  EXPECT_THAT(dom.out, HasSubstr("data-customer=\"C001\" data-balance=\"" + balance + "\""));
  // The latest movement first: the cancellation gives back P100's 2.
  const std::size_t firstMovement = dom.out.find("class=\"movement\"");
  ASSERT_NE(firstMovement, std::string::npos);
  EXPECT_NE(dom.out.find("data-available=\"2\" data-reserved=\"-2\"", firstMovement), std::string::npos);

  const std::string shot = (std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                            (std::string("report-") + (IsPostgres() ? "PostgreSQL" : "SQLite") + ".png"))
                               .string();
  std::filesystem::remove(shot);
  const ProgramRun screenshot = Render(browser, page, dir_, {"--screenshot=" + shot});
  EXPECT_EQ(screenshot.status, 0) << screenshot.err;
  EXPECT_GT(std::filesystem::exists(shot) ? std::filesystem::file_size(shot) : 0u, 10000u) << screenshot.err;
}

APARTADO_INSTANTIATE_BACKENDS(HostReportTest);

}  // namespace
}  // namespace apartado::testing
