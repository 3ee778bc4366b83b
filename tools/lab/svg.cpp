#include "tools/lab/svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pellix::lab {

namespace {

constexpr double kWidth = 720, kHeight = 360;
constexpr double kLeft = 70, kRight = 170, kTop = 40, kBottom = 50;

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", v);
  return text;
}

// A tick step of 1, 2 or 5 times a power of ten giving about `count` ticks.
double TickStep(double span, int count) {
  if (!(span > 0)) return 1;
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

std::string TickLabel(double v, double step) {
  char text[32];
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
  std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(v) < step * 1e-6 ? 0.0 : v);
  return text;
}

struct Frame {
  double x0, x1, y0, y1;  // data ranges
  double px0, px1, py0, py1;
  double X(double x) const { return px0 + (x - x0) / (x1 - x0) * (px1 - px0); }
  double Y(double y) const { return py1 - (y - y0) / (y1 - y0) * (py1 - py0); }
};

std::string Open(const std::string& id, const std::string& title, double height = kHeight) {
  return "<svg class=\"chart\" data-chart=\"" + EscapeXml(id) +
         "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Num(kWidth) + " " +
         Num(height) + "\" width=\"" + Num(kWidth) + "\" height=\"" + Num(height) +
         "\" role=\"img\"><title>" + EscapeXml(title) + "</title><rect width=\"100%\" " +
         "height=\"100%\" fill=\"#15181d\"/><text x=\"" + Num(kWidth / 2) +
         "\" y=\"24\" class=\"title\" text-anchor=\"middle\">" + EscapeXml(title) + "</text>";
}

std::string Axes(const Frame& f, const std::string& xLabel, const std::string& yLabel) {
  std::string s;
  const double xs = TickStep(f.x1 - f.x0, 8), ys = TickStep(f.y1 - f.y0, 6);
  for (double x = std::ceil(f.x0 / xs) * xs; x <= f.x1 + xs * 1e-9; x += xs) {
    s += "<line class=\"grid\" x1=\"" + Num(f.X(x)) + "\" y1=\"" + Num(f.py0) + "\" x2=\"" +
         Num(f.X(x)) + "\" y2=\"" + Num(f.py1) + "\"/>";
    s += "<text class=\"tick\" x=\"" + Num(f.X(x)) + "\" y=\"" + Num(f.py1 + 16) +
         "\" text-anchor=\"middle\">" + TickLabel(x, xs) + "</text>";
  }
  for (double y = std::ceil(f.y0 / ys) * ys; y <= f.y1 + ys * 1e-9; y += ys) {
    s += "<line class=\"grid\" x1=\"" + Num(f.px0) + "\" y1=\"" + Num(f.Y(y)) + "\" x2=\"" +
         Num(f.px1) + "\" y2=\"" + Num(f.Y(y)) + "\"/>";
    s += "<text class=\"tick\" x=\"" + Num(f.px0 - 6) + "\" y=\"" + Num(f.Y(y) + 4) +
         "\" text-anchor=\"end\">" + TickLabel(y, ys) + "</text>";
  }
  s += "<rect class=\"frame\" x=\"" + Num(f.px0) + "\" y=\"" + Num(f.py0) + "\" width=\"" +
       Num(f.px1 - f.px0) + "\" height=\"" + Num(f.py1 - f.py0) + "\" fill=\"none\"/>";
  s += "<text class=\"label\" x=\"" + Num((f.px0 + f.px1) / 2) + "\" y=\"" + Num(f.py1 + 36) +
       "\" text-anchor=\"middle\">" + EscapeXml(xLabel) + "</text>";
  s += "<text class=\"label\" transform=\"translate(18 " + Num((f.py0 + f.py1) / 2) +
       ") rotate(-90)\" text-anchor=\"middle\">" + EscapeXml(yLabel) + "</text>";
  return s;
}

std::string Legend(const std::vector<std::pair<std::string, std::string>>& items, double x) {
  std::string s;
  double y = kTop + 10;
  for (const auto& [label, colour] : items) {
    s += "<rect x=\"" + Num(x) + "\" y=\"" + Num(y - 9) + "\" width=\"14\" height=\"10\" fill=\"" +
         colour + "\"/><text class=\"legend\" x=\"" + Num(x + 20) + "\" y=\"" + Num(y) + "\">" +
         EscapeXml(label) + "</text>";
    y += 18;
  }
  return s;
}

std::string Polyline(const char* cls, const Series& series, const std::string& points) {
  return std::string("<polyline class=\"") + cls + (series.dashed ? " old" : "") +
         "\" data-series=\"" + EscapeXml(series.name) + "\" points=\"" + points +
         "\" fill=\"none\" stroke=\"" + series.colour + "\" stroke-width=\"" +
         (series.highlighted ? "4" : "2") + "\"" +
         (series.dashed ? " stroke-dasharray=\"6 4\" stroke-opacity=\"0.8\"" : "") + "/>";
}

void Extend(double& lo, double& hi) {
  if (!(lo < hi)) {
    lo -= 1;
    hi += 1;
  }
}

}  // namespace

std::string EscapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string CssColour(uint32_t argb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06X", static_cast<unsigned>(argb & 0xFFFFFFu));
  return text;
}

std::string RenderLineChart(const LineChart& c) {
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  for (const Series& s : c.series) {
    for (const Point2& p : s.points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      x0 = std::min(x0, p.x);
      x1 = std::max(x1, p.x);
      y0 = std::min(y0, p.y);
      y1 = std::max(y1, p.y);
    }
  }
  if (!std::isfinite(x0)) x0 = 0, x1 = 1, y0 = 0, y1 = 1;
  Extend(x0, x1);
  Extend(y0, y1);
  const double pad = (y1 - y0) * 0.05;
  y0 -= pad;
  y1 += pad;
  Frame f{x0, x1, y0, y1, kLeft, kWidth - kRight, kTop, kHeight - kBottom};
  if (c.equalAxes) {
    // Stretch the smaller range so that one unit is as long on both axes.
    const double sx = (f.px1 - f.px0) / (x1 - x0), sy = (f.py1 - f.py0) / (y1 - y0);
    if (sx < sy) {
      const double mid = (y0 + y1) / 2, half = (f.py1 - f.py0) / sx / 2;
      f.y0 = mid - half;
      f.y1 = mid + half;
    } else {
      const double mid = (x0 + x1) / 2, half = (f.px1 - f.px0) / sy / 2;
      f.x0 = mid - half;
      f.x1 = mid + half;
    }
  }
  std::string s = Open(c.id, c.title) + Axes(f, c.xLabel, c.yLabel);
  std::vector<std::pair<std::string, std::string>> legend;
  for (const Series& series : c.series) {
    // A point less than half a pixel from the last one drawn adds nothing to the picture, but
    // a long life has thousands of them.
    std::string points;
    double lastX = INFINITY, lastY = INFINITY;
    for (size_t i = 0; i < series.points.size(); ++i) {
      const Point2& p = series.points[i];
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
      const double x = f.X(p.x), y = f.Y(p.y);
      if (i + 1 < series.points.size() && std::fabs(x - lastX) < 0.5 && std::fabs(y - lastY) < 0.5)
        continue;
      points += Num(x) + "," + Num(y) + " ";
      lastX = x;
      lastY = y;
    }
    if (points.empty()) continue;
    s += Polyline("series", series, points);
    if (!series.dashed)
      legend.push_back({series.name + (series.highlighted ? " (changed)" : ""), series.colour});
  }
  if (std::any_of(c.series.begin(), c.series.end(), [](const Series& x) { return x.dashed; }))
    legend.push_back({"dashed: old data", "#aab2bc"});
  s += Legend(legend, kWidth - kRight + 16);
  return s + "</svg>";
}

std::string RenderGridChart(const GridChart& c) {
  const double labelWidth = 110, cellH = 26, top = kTop + 24;
  const double height = top + cellH * c.rowLabels.size() + 70;
  const double gridWidth = kWidth - labelWidth - kRight;
  const double cellW = c.columnLabels.empty() ? gridWidth : gridWidth / c.columnLabels.size();
  std::string s = Open(c.id, c.title, height);
  for (size_t col = 0; col < c.columnLabels.size(); ++col) {
    s += "<text class=\"tick\" x=\"" + Num(labelWidth + cellW * (col + 0.5)) + "\" y=\"" +
         Num(top - 8) + "\" text-anchor=\"middle\">" + EscapeXml(c.columnLabels[col]) + "</text>";
  }
  for (size_t row = 0; row < c.rowLabels.size(); ++row) {
    const double y = top + cellH * row;
    s += "<text class=\"tick\" x=\"" + Num(labelWidth - 8) + "\" y=\"" + Num(y + cellH / 2 + 4) +
         "\" text-anchor=\"end\">" + EscapeXml(c.rowLabels[row]) + "</text>";
    for (size_t col = 0; col < c.columnLabels.size(); ++col) {
      const auto& bands = c.cells[row][col];
      const double x = labelWidth + cellW * col;
      const double bw = bands.empty() ? 0 : (cellW - 4) / bands.size();
      const std::vector<std::string>* old =
          c.oldCells.empty() ? nullptr : &c.oldCells[row][col];
      for (size_t b = 0; b < bands.size(); ++b) {
        const double bx = x + 2 + bw * b, h = cellH - 4;
        if (old) {
          const std::string before = b < old->size() ? (*old)[b] : "none";
          s += "<rect class=\"cell old\" x=\"" + Num(bx) + "\" y=\"" + Num(y + 2) + "\" width=\"" +
               Num(bw) + "\" height=\"" + Num(h / 2) + "\" fill=\"" + before +
               "\" stroke=\"#15181d\" stroke-dasharray=\"2 2\"/>";
        }
        s += "<rect class=\"cell\" x=\"" + Num(bx) + "\" y=\"" + Num(old ? y + 2 + h / 2 : y + 2) +
             "\" width=\"" + Num(bw) + "\" height=\"" + Num(old ? h / 2 : h) + "\" fill=\"" +
             bands[b] + "\"/>";
      }
    }
  }
  s += Legend(c.legend, kWidth - kRight + 16);
  if (!c.note.empty()) {
    s += "<text class=\"label\" x=\"" + Num(labelWidth) + "\" y=\"" + Num(height - 20) + "\">" +
         EscapeXml(c.note) + "</text>";
  }
  return s + "</svg>";
}

std::string RenderSceneChart(const SceneChart& c) {
  double x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
  auto take = [&](double x, double y) {
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  };
  for (const SceneRect& r : c.rects) take(r.x0, r.y0), take(r.x1, r.y1);
  for (const Series& p : c.paths)
    for (const Point2& q : p.points) take(q.x, q.y);
  if (!std::isfinite(x0)) x0 = 0, x1 = 1, y0 = 0, y1 = 1;
  Extend(x0, x1);
  Extend(y0, y1);
  Frame f{x0, x1, y0, y1, kLeft, kWidth - kRight, kTop, kHeight - kBottom};
  const double sx = (f.px1 - f.px0) / (x1 - x0), sy = (f.py1 - f.py0) / (y1 - y0);
  const double scale = std::min(sx, sy);
  f.x0 = (x0 + x1) / 2 - (f.px1 - f.px0) / scale / 2;
  f.x1 = (x0 + x1) / 2 + (f.px1 - f.px0) / scale / 2;
  f.y0 = (y0 + y1) / 2 - (f.py1 - f.py0) / scale / 2;
  f.y1 = (y0 + y1) / 2 + (f.py1 - f.py0) / scale / 2;
  std::string s = Open(c.id, c.title) + Axes(f, "x (world units)", "y (world units)");
  for (const SceneRect& r : c.rects) {
    s += "<rect class=\"solid\" x=\"" + Num(f.X(r.x0)) + "\" y=\"" + Num(f.Y(r.y1)) +
         "\" width=\"" + Num(f.X(r.x1) - f.X(r.x0)) + "\" height=\"" + Num(f.Y(r.y0) - f.Y(r.y1)) +
         "\" fill=\"" + r.colour + "\" fill-opacity=\"0.55\"><title>" + EscapeXml(r.label) +
         "</title></rect>";
  }
  for (const Series& p : c.paths) {
    std::string points;
    for (const Point2& q : p.points) points += Num(f.X(q.x)) + "," + Num(f.Y(q.y)) + " ";
    s += Polyline("tracer", p, points);
  }
  for (const SceneMark& m : c.marks) {
    const double x = f.X(m.x), y = f.Y(m.y);
    const std::string title = "<title>" + EscapeXml(m.title) + "</title>";
    if (m.shape == "circle") {
      s += "<circle class=\"mark\" cx=\"" + Num(x) + "\" cy=\"" + Num(y) +
           "\" r=\"5\" fill=\"none\" "
           "stroke=\"" +
           m.colour + "\" stroke-width=\"2\">" + title + "</circle>";
    } else if (m.shape == "square") {
      s += "<rect class=\"mark\" x=\"" + Num(x - 4) + "\" y=\"" + Num(y - 4) +
           "\" width=\"8\" "
           "height=\"8\" fill=\"none\" stroke=\"" +
           m.colour + "\" stroke-width=\"2\">" + title + "</rect>";
    } else {
      s += "<path class=\"mark\" d=\"M" + Num(x - 4) + " " + Num(y - 4) + "L" + Num(x + 4) + " " +
           Num(y + 4) + "M" + Num(x - 4) + " " + Num(y + 4) + "L" + Num(x + 4) + " " + Num(y - 4) +
           "\" stroke=\"" + m.colour + "\" stroke-width=\"2\">" + title + "</path>";
    }
  }
  s += Legend(c.legend, kWidth - kRight + 16);
  return s + "</svg>";
}

}  // namespace pellix::lab
