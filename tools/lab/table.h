// A printed table: aligned text for people, CSV and JSON for other programs.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace pellix::lab {

enum class OutputFormat { Text, Csv, Json };

struct Cell {
  std::string text;
  bool numeric = false;
  double value = 0.0;
  bool integer = false;  // JSON writes it without a fraction
  bool missing = false;  // JSON writes null
};

Cell Text(std::string text);
Cell Number(double value, int decimals);  // fixed decimals in text, full value in JSON
Cell Integer(int64_t value);
Cell Hex(uint32_t value);  // 0xAARRGGBB in text and JSON (a string)
Cell Missing();            // "-" in text and CSV, null in JSON

struct Table {
  std::string title;  // printed above the text form only
  std::vector<std::string> columns;
  std::vector<std::vector<Cell>> rows;
  std::vector<std::string> notes;  // printed below the text form only
};

void PrintTable(std::ostream& out, const Table& table, OutputFormat format);
// Several tables: text one after the other; CSV separated by a blank line; JSON as an object
// keyed by each table's title.
void PrintTables(std::ostream& out, const std::vector<Table>& tables, OutputFormat format);

std::string FormatFixed(double value, int decimals);

}  // namespace pellix::lab
