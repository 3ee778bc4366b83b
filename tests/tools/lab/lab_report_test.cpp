// The report page: every chart present and drawn with data (portable, runs under Wine too).
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "tools/lab/report.h"

namespace pellix::lab {
namespace {

// The markup of the chart with data-chart="id", or "" when there is none.
std::string ChartMarkup(const std::string& html, const std::string& id) {
  const size_t at = html.find("data-chart=\"" + id + "\"");
  if (at == std::string::npos) return "";
  const size_t end = html.find("</svg>", at);
  return end == std::string::npos ? "" : html.substr(at, end - at);
}

// Drawn content: polylines with at least two points, grid cells, or scene solids.
int DrawnShapes(const std::string& svg) {
  int count = 0;
  static const std::regex polyline(R"re(<polyline[^>]*points="([^"]*)")re");
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), polyline);
       it != std::sregex_iterator(); ++it) {
    const std::string points = (*it)[1];
    if (std::count(points.begin(), points.end(), ',') >= 2) ++count;
  }
  for (const char* shape : {"class=\"cell\"", "class=\"solid\""}) {
    for (size_t p = svg.find(shape); p != std::string::npos; p = svg.find(shape, p + 1)) ++count;
  }
  return count;
}

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
