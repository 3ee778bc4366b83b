// The report as a real browser shows it: headless Chromium renders report.html; every chart
// must be in the page it built, drawn with data, and the screenshot must not be blank.
// Skipped when no Chromium is installed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/tools/lab/png_probe.h"
#include "tests/tools/lab/report_markup.h"
#include "tools/lab/report.h"

namespace pellix::lab {
namespace {

namespace fs = std::filesystem;

std::string FindChromium() {
  if (const char* given = std::getenv("PELLIX_CHROMIUM")) return given;
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    for (const char* name : {"chromium", "chromium-browser"}) {
      const fs::path candidate = fs::path(dir) / name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
  }
  return "";
}

class LabReportBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    chromium = FindChromium();
    if (chromium.empty()) GTEST_SKIP() << "chromium is not installed";
    folder = fs::temp_directory_path() / ("pellix-lab-browser-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    ReportOptions o;
    o.overrides = {{"PHYSICS/Gravity", "1"},
                   {"PHYSICS/AirResist", "1"},
                   {"PHYSICS/Ricochet", "1"},
                   {"PHYSICS/Pierce", "1"}};
    std::string error;
    ASSERT_TRUE(WriteReport(PELLIX_SAMPLE_DATA, folder.string(), o, page, error)) << error;
  }
  void TearDown() override {
    if (!folder.empty()) fs::remove_all(folder);
  }

  // Runs Chromium headless on the page with `extra` flags; its standard output goes to `out`.
  int Chromium(const std::string& extra, const fs::path& out) const {
    const std::string command =
        "timeout 180 '" + chromium +
        "' --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
        "--disable-component-update --disable-sync --user-data-dir='" +
        (folder / "profile").string() + "' " + extra + " 'file://" + page + "' > '" + out.string() +
        "' 2> '" + (folder / "chromium.log").string() + "'";
    return std::system(command.c_str());
  }

  std::string chromium;
  fs::path folder;
  std::string page;
};

TEST_F(LabReportBrowser, EveryChartIsInTheRenderedPageWithData) {
  const fs::path dom = folder / "dom.html";
  ASSERT_EQ(Chromium("--dump-dom", dom), 0);
  std::ifstream in(dom);
  const std::string html((std::istreambuf_iterator<char>(in)), {});
  ASSERT_NE(html.find("</html>"), std::string::npos) << "no page came back";
  for (const std::string& id : ReportChartIds()) {
    SCOPED_TRACE(id);
    const std::string svg = testing::ChartMarkup(html, id);
    ASSERT_FALSE(svg.empty());
    EXPECT_GT(testing::DrawnShapes(svg), 0);
  }
}

TEST_F(LabReportBrowser, TheScreenshotShowsTheCharts) {
  const fs::path png = folder / "report.png";
  ASSERT_EQ(Chromium("--window-size=800,4400 --screenshot='" + png.string() + "'",
                     folder / "screenshot.out"),
            0);
  const testing::PngStats stats = testing::ProbePng(png.string());
  ASSERT_TRUE(stats.ok) << stats.error;
  EXPECT_EQ(stats.width, 800u);
  EXPECT_EQ(stats.height, 4400u);
  // Charts in many colours over a good part of the page, not a blank or one-colour image.
  const uint64_t pixels = uint64_t{stats.width} * stats.height;
  EXPECT_GT(stats.differing, pixels / 5);
  EXPECT_GT(stats.colours, 50u);
}

}  // namespace
}  // namespace pellix::lab
