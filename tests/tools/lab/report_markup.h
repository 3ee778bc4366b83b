// Looking into a report's markup: one chart's SVG and how many drawn shapes it holds.
#pragma once
#include <algorithm>
#include <regex>
#include <string>

namespace pellix::testing {

// The markup of the chart with data-chart="id", or "" when there is none.
inline std::string ChartMarkup(const std::string& html, const std::string& id) {
  const size_t at = html.find("data-chart=\"" + id + "\"");
  if (at == std::string::npos) return "";
  const size_t end = html.find("</svg>", at);
  return end == std::string::npos ? "" : html.substr(at, end - at);
}

// Drawn content: polylines with at least two points, grid cells, or scene solids.
inline int DrawnShapes(const std::string& svg) {
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

}  // namespace pellix::testing
