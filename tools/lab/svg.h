// Small SVG charts for the report: line charts, an outcome grid and a top view of a scene.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pellix::lab {

struct Point2 {
  double x, y;
};

struct Series {
  std::string name;
  std::string colour;  // CSS colour
  std::vector<Point2> points;
  bool dashed = false;  // a comparison's old data, drawn under the new; not in the legend
  bool highlighted = false;  // a comparison's changed weapon: wider, "(changed)" in the legend
};

struct LineChart {
  std::string id;  // data-chart attribute, for tests and styling
  std::string title;
  std::string xLabel, yLabel;
  std::vector<Series> series;
  bool equalAxes = false;  // same scale on both axes (maps, side views)
};

std::string RenderLineChart(const LineChart& chart);

// A grid of cells, each split into coloured bands (one per sample, e.g. per angle).
struct GridChart {
  std::string id;
  std::string title;
  std::vector<std::string> rowLabels, columnLabels;
  // cells[row][column] = band colours, left to right
  std::vector<std::vector<std::vector<std::string>>> cells;
  // A comparison's old bands, same shape: each band is then split, old above (dashed
  // outline), new below.
  std::vector<std::vector<std::vector<std::string>>> oldCells;
  std::vector<std::pair<std::string, std::string>> legend;  // label, colour
  std::string note;
};

std::string RenderGridChart(const GridChart& chart);

struct SceneRect {
  double x0, y0, x1, y1;
  std::string label;
  std::string colour;
};
struct SceneMark {
  double x, y;
  std::string shape;  // "circle" (ricochet), "square" (penetration), "cross" (stop or hit)
  std::string colour;
  std::string title;
};
struct SceneChart {
  std::string id;
  std::string title;
  std::vector<SceneRect> rects;
  std::vector<Series> paths;
  std::vector<SceneMark> marks;
  std::vector<std::pair<std::string, std::string>> legend;
};

std::string RenderSceneChart(const SceneChart& chart);

// "#RRGGBB" of a 0xAARRGGBB colour.
std::string CssColour(uint32_t argb);
std::string EscapeXml(const std::string& text);

}  // namespace pellix::lab
