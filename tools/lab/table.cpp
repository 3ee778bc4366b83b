#include "tools/lab/table.h"

#include <cinttypes>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace pellix::lab {

std::string FormatFixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  // "-0.000" reads as a sign that means nothing.
  std::string s = buffer;
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

Cell Text(std::string text) { return Cell{std::move(text), false, 0.0}; }

Cell Number(double value, int decimals) { return Cell{FormatFixed(value, decimals), true, value}; }

Cell Integer(int64_t value) {
  return Cell{std::to_string(value), true, static_cast<double>(value), true, false};
}

Cell Missing() { return Cell{"-", false, 0.0, false, true}; }

Cell Hex(uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08" PRIX32, value);
  return Cell{buffer, false, 0.0};
}

namespace {

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\n") == std::string::npos) return s;
  std::string quoted = "\"";
  for (char c : s) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

nlohmann::ordered_json TableJson(const Table& table) {
  nlohmann::ordered_json rows = nlohmann::ordered_json::array();
  for (const auto& row : table.rows) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (size_t c = 0; c < table.columns.size() && c < row.size(); ++c) {
      if (row[c].missing) {
        object[table.columns[c]] = nullptr;
      } else if (row[c].integer) {
        object[table.columns[c]] = static_cast<int64_t>(row[c].value);
      } else if (row[c].numeric) {
        object[table.columns[c]] = row[c].value;
      } else {
        object[table.columns[c]] = row[c].text;
      }
    }
    rows.push_back(std::move(object));
  }
  return rows;
}

}  // namespace

void PrintTable(std::ostream& out, const Table& table, OutputFormat format) {
  if (format == OutputFormat::Json) {
    out << TableJson(table).dump(2) << "\n";
    return;
  }
  if (format == OutputFormat::Csv) {
    for (size_t c = 0; c < table.columns.size(); ++c)
      out << (c ? "," : "") << CsvField(table.columns[c]);
    out << "\n";
    for (const auto& row : table.rows) {
      for (size_t c = 0; c < row.size(); ++c) out << (c ? "," : "") << CsvField(row[c].text);
      out << "\n";
    }
    return;
  }
  std::vector<size_t> width(table.columns.size(), 0);
  for (size_t c = 0; c < table.columns.size(); ++c) width[c] = table.columns[c].size();
  for (const auto& row : table.rows)
    for (size_t c = 0; c < row.size() && c < width.size(); ++c)
      width[c] = std::max(width[c], row[c].text.size());
  if (!table.title.empty()) out << table.title << "\n";
  auto line = [&](auto cellText, auto isNumeric) {
    std::string s;
    for (size_t c = 0; c < width.size(); ++c) {
      const std::string text = cellText(c);
      const std::string pad(width[c] - text.size(), ' ');
      if (c) s += "  ";
      s += isNumeric(c) ? pad + text : text + pad;
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    out << s << "\n";
  };
  line([&](size_t c) { return table.columns[c]; },
       [&](size_t c) {
         return !table.rows.empty() && c < table.rows[0].size() && table.rows[0][c].numeric;
       });
  for (const auto& row : table.rows) {
    line([&](size_t c) { return c < row.size() ? row[c].text : std::string(); },
         [&](size_t c) { return c < row.size() && row[c].numeric; });
  }
  for (const auto& note : table.notes) out << note << "\n";
}

void PrintTables(std::ostream& out, const std::vector<Table>& tables, OutputFormat format) {
  if (format == OutputFormat::Json) {
    nlohmann::ordered_json all = nlohmann::ordered_json::object();
    for (const auto& t : tables) all[t.title] = TableJson(t);
    out << all.dump(2) << "\n";
    return;
  }
  for (size_t i = 0; i < tables.size(); ++i) {
    if (i) out << "\n";
    PrintTable(out, tables[i], format);
  }
}

}  // namespace pellix::lab
