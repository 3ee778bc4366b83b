// The report page: every chart present and drawn with data (portable, runs under Wine too).
#include <gtest/gtest.h>

#include <string>

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

TEST(LabReport, AMissingFolderIsAnError) {
  std::string html, error;
  EXPECT_FALSE(
      BuildReport(std::string(PELLIX_LAB_FIXTURES) + "/none", ReportOptions{}, html, error));
  EXPECT_NE(error.find("pellix_weapon.dat"), std::string::npos) << error;
}

}  // namespace
}  // namespace pellix::lab
