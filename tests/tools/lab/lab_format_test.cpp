// The lab's output building blocks: tables in three forms, line-tracking JSON, SVG charts.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "tools/lab/json_lines.h"
#include "tools/lab/svg.h"
#include "tools/lab/table.h"

namespace pellix::lab {
namespace {

Table Sample() {
  Table t;
  t.title = "sample";
  t.columns = {"name", "value"};
  t.rows.push_back({Text("plain"), Number(1.25, 2)});
  t.rows.push_back({Text("with, comma \"quoted\""), Number(-0.0001, 3)});
  t.rows.push_back({Text("colour"), Hex(0xFF40FF40)});
  t.rows.push_back({Text("count"), Integer(-7)});
  t.rows.push_back({Text("none"), Missing()});
  t.notes.push_back("a note");
  return t;
}

TEST(LabTable, TextCsvAndJsonForms) {
  std::ostringstream text, csv, json;
  PrintTable(text, Sample(), OutputFormat::Text);
  PrintTable(csv, Sample(), OutputFormat::Csv);
  PrintTable(json, Sample(), OutputFormat::Json);
  // Text: the title; columns as wide as their widest cell (20 and 10) two spaces apart;
  // numbers and their header right-aligned, text left-aligned; the notes at the end.
  EXPECT_EQ(text.str(),
            "sample\n"
            "name                       value\n"
            "plain                       1.25\n"
            "with, comma \"quoted\"       0.000\n"
            "colour                0xFF40FF40\n"
            "count                         -7\n"
            "none                  -\n"
            "a note\n");
  // CSV quotes a field with a comma or a quote and doubles the quote; "-0.000" loses its sign.
  EXPECT_EQ(csv.str(),
            "name,value\nplain,1.25\n\"with, comma \"\"quoted\"\"\",0.000\ncolour,0xFF40FF40\n"
            "count,-7\nnone,-\n");
  // JSON keeps the full value of a number and writes the colour as text.
  const auto doc = nlohmann::json::parse(json.str());
  ASSERT_EQ(doc.size(), 5u);
  EXPECT_EQ(doc[0]["value"], 1.25);
  EXPECT_EQ(doc[1]["value"], -0.0001);
  EXPECT_EQ(doc[2]["value"], "0xFF40FF40");
  EXPECT_TRUE(doc[3]["value"].is_number_integer());
  EXPECT_EQ(doc[3]["value"], -7);
  EXPECT_TRUE(doc[4]["value"].is_null());
}

TEST(LabJsonLines, EveryValueKnowsItsLine) {
  const std::string text =
      "{\n"
      "  \"a\": 1,\n"
      "  \"list\": [\n"
      "    {\"x\": true},\n"
      "    [5,\n"
      "     6]\n"
      "  ],\n"
      "  \"s/t\": \"v\"\n"
      "}\n";
  JsonWithLines doc;
  std::string error;
  ASSERT_TRUE(ParseJsonWithLines(text, doc, error)) << error;
  EXPECT_EQ(doc.LineOf("/a"), 2);
  EXPECT_EQ(doc.LineOf("/list"), 3);
  EXPECT_EQ(doc.LineOf("/list/0"), 4);
  EXPECT_EQ(doc.LineOf("/list/0/x"), 4);
  EXPECT_EQ(doc.LineOf("/list/1"), 5);
  EXPECT_EQ(doc.LineOf("/list/1/1"), 6);
  EXPECT_EQ(doc.LineOf("/s~1t"), 8);            // "/" in a key is escaped as ~1
  EXPECT_EQ(doc.LineOf("/list/0/missing"), 4);  // the nearest known value
}

TEST(LabJsonLines, SyntaxErrorsGiveTheirLine) {
  JsonWithLines doc;
  std::string error;
  EXPECT_FALSE(ParseJsonWithLines("{\n\"a\": 1,\n\"b\": ]\n}", doc, error));
  EXPECT_EQ(error.rfind("line 3: ", 0), 0u) << error;
}

TEST(LabSvg, LineChartMapsDataIntoThePlotArea) {
  // The plot area runs from x 70 to 550 and y 40 to 310; the y range gets 5 % padding, so
  // 0..10 becomes -0.5..10.5: y 0 is at 310 - 0.5 / 11 x 270 = 297.73 and y 10 at 52.27.
  LineChart c{"id", "T", "x", "y", {{"s", "#123456", {{0, 0}, {10, 10}, {NAN, 3}}}}, false};
  const std::string svg = RenderLineChart(c);
  EXPECT_NE(svg.find("data-chart=\"id\""), std::string::npos);
  EXPECT_NE(svg.find("points=\"70.00,297.73 550.00,52.27 \""), std::string::npos) << svg;
  EXPECT_NE(svg.find("stroke=\"#123456\""), std::string::npos);
}

TEST(LabSvg, GridChartDrawsEveryBand) {
  GridChart g;
  g.id = "grid";
  g.title = "G";
  g.rowLabels = {"a", "b"};
  g.columnLabels = {"1", "2", "3"};
  g.cells.assign(2, std::vector<std::vector<std::string>>(3, {"#111", "#222", "#333", "#444"}));
  const std::string svg = RenderGridChart(g);
  size_t cells = 0;
  for (size_t p = svg.find("class=\"cell\""); p != std::string::npos;
       p = svg.find("class=\"cell\"", p + 1))
    ++cells;
  EXPECT_EQ(cells, 2u * 3u * 4u);
}

TEST(LabSvg, TextAndColoursAreSafe) {
  EXPECT_EQ(EscapeXml("a<b & \"c\">"), "a&lt;b &amp; &quot;c&quot;&gt;");
  EXPECT_EQ(CssColour(0xFFFFC060), "#FFC060");
  EXPECT_EQ(CssColour(0x00FFFF80), "#FFFF80");
  SceneChart s;
  s.id = "scene";
  s.title = "<scene>";
  s.rects.push_back({0, 0, 10, 5, "box & co", "#888"});
  const std::string svg = RenderSceneChart(s);
  EXPECT_EQ(svg.find("<scene>"), std::string::npos);
  EXPECT_NE(svg.find("&lt;scene&gt;"), std::string::npos);
  EXPECT_NE(svg.find("box &amp; co"), std::string::npos);
}

}  // namespace
}  // namespace pellix::lab
