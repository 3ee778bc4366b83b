// The report page: every chart present and drawn with data (portable, runs under Wine too).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/tools/lab/data_copy.h"
#include "tests/tools/lab/report_markup.h"
#include "tools/lab/report.h"

namespace pellix::lab {
namespace {

using testing::ChartMarkup;
using testing::DrawnShapes;

TEST(LabReport, EveryChartIsPresentAndDrawn) {
  ReportOptions o;
  o.overrides = {{"PHYSICS/Gravity", "1"},
                 {"PHYSICS/AirResist", "1"},
                 {"PHYSICS/Ricochet", "1"},
                 {"PHYSICS/Pierce", "1"}};
  std::string html, error;
  ASSERT_TRUE(BuildReport(PELLIX_SAMPLE_DATA, o, html, error)) << error;
  for (const std::string& id : ReportChartIds()) {
    SCOPED_TRACE(id);
    const std::string svg = ChartMarkup(html, id);
    ASSERT_FALSE(svg.empty());
    EXPECT_GT(DrawnShapes(svg), 0);
  }
  // Eight weapon rows in the sample: a series for each in the line charts, a row of seven
  // surface cells of ten angles each in the outcome map.
  EXPECT_EQ(DrawnShapes(ChartMarkup(html, "trajectories")), 8);
  EXPECT_EQ(DrawnShapes(ChartMarkup(html, "outcomes")), 8 * 7 * 10);
  // The sample scene has five solids and its shots leave paths.
  EXPECT_GT(DrawnShapes(ChartMarkup(html, "scene")), 5);
  EXPECT_NE(ChartMarkup(html, "scene").find("class=\"mark\""), std::string::npos);
}

TEST(LabReport, ProblemsComeFirst) {
  // Rows 1 and 3 of MaxWeapon 3 have no line: no muzzle speed. A surface key in lower case is
  // a lint fault.
  const std::string dir = WriteDataFolder(
      "problems", "[PELLIX]\nMaxWeapon=3\n",
      "0 880 0 0 1 0 0 8 16 0.03 0.07 90 230 0xFFFF4020\n2 700 0 0 1 0 0 8 16 0.03 0.07 90 "
      "230 0xFFFF4020\n",
      "N 0.25 0.80 0.40 0.10 2.0\nsp 0.30 0.90 0.50 0.05 6.0\n");
  std::string html, error;
  ASSERT_TRUE(BuildReport(dir, ReportOptions{}, html, error)) << error;
  const size_t problems = html.find("<section class=\"problems\">");
  ASSERT_NE(problems, std::string::npos);
  EXPECT_LT(problems, html.find("data-chart="));
  const std::string list = html.substr(problems, html.find("</section>", problems) - problems);
  EXPECT_NE(list.find("<li>weapon rows 1, 3 never fly"), std::string::npos) << list;
  EXPECT_NE(list.find("<li>pellix_surface.dat:2: "), std::string::npos) << list;
  std::filesystem::remove_all(dir);
}

TEST(LabReport, AMissingFolderIsAnError) {
  std::string html, error;
  EXPECT_FALSE(
      BuildReport(std::string(PELLIX_LAB_FIXTURES) + "/none", ReportOptions{}, html, error));
  EXPECT_NE(error.find("pellix_weapon.dat"), std::string::npos) << error;
}

}  // namespace
}  // namespace pellix::lab
