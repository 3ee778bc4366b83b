#include "tools/lab/weapon_line.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "startup/tables.h"

namespace pellix::lab {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

struct Token {
  size_t begin, end;
};

std::vector<Token> Tokens(const std::string& text) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i == text.size()) break;
    const size_t b = i;
    while (i < text.size() && !IsSpace(text[i])) ++i;
    tokens.push_back({b, i});
  }
  return tokens;
}

}  // namespace

bool FindWeaponLine(const std::string& file, int32_t row, int32_t weaponCount, WeaponLine& found) {
  if (weaponCount <= 0 || row < 0 || row >= weaponCount) return false;
  std::vector<WeaponBallistics> scratch(static_cast<size_t>(weaponCount));
  bool any = false;
  size_t pos = 0;
  for (int number = 1; pos < file.size(); ++number) {
    size_t next = file.find('\n', pos);
    if (next == std::string::npos) next = file.size();
    size_t end = next;
    if (end > pos && file[end - 1] == '\r') --end;
    const std::string text = file.substr(pos, end - pos);
    // The reader stops at a line that starts with NUL and splits a longer line than it holds;
    // such lines are lint's to report, not lines to edit.
    if (!text.empty() && text[0] == '\0') break;
    if (text.size() < TableLineSize - 1 && std::atol(text.c_str()) == row &&
        ReadWeaponLine(text.c_str(), scratch.data(), weaponCount) == LineResult::Stored) {
      WeaponBallistics probe{};
      found = {pos, end, number, text, ScanWeaponFields(text.c_str(), probe)};
      any = true;
    }
    pos = next + 1;
  }
  return any;
}

std::string ReplaceWeaponFields(const std::string& text, const std::map<int, std::string>& values) {
  const std::vector<Token> tokens = Tokens(text);
  bool tabs = false;
  for (char c : text) tabs = tabs || c == '\t';
  std::string out = text.substr(0, tokens.empty() ? text.size() : tokens[0].begin);
  for (size_t i = 0; i < tokens.size(); ++i) {
    // Token 0 is the row number; token k is field k - 1.
    const auto changed = values.find(static_cast<int>(i) - 1);
    const std::string token = changed != values.end()
                                  ? changed->second
                                  : text.substr(tokens[i].begin, tokens[i].end - tokens[i].begin);
    if (i > 0) {
      const std::string gap = text.substr(tokens[i - 1].end, tokens[i].begin - tokens[i - 1].end);
      if (tabs) {
        out += gap;
      } else {
        const size_t column = tokens[i].begin;
        out.append(column > out.size() ? column - out.size() : 1, ' ');
      }
    }
    out += token;
  }
  if (!tokens.empty()) out += text.substr(tokens.back().end);
  return out;
}

std::string ReplaceLine(const std::string& file, const WeaponLine& line, const std::string& text) {
  return file.substr(0, line.begin) + text + file.substr(line.end);
}

std::string ShortestFloat(float value) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

std::string SignificantDigits(double value, int digits) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  // "1.2e+02" reads fine but is not how the file writes numbers: give the digits in full when
  // that is no longer.
  const std::string g = text;
  if (g.find('e') != std::string::npos) {
    std::snprintf(text, sizeof text, "%.9f", std::strtod(g.c_str(), nullptr));
    std::string fixed = text;
    while (!fixed.empty() && fixed.back() == '0') fixed.pop_back();
    if (!fixed.empty() && fixed.back() == '.') fixed.pop_back();
    if (std::strtod(fixed.c_str(), nullptr) == std::strtod(g.c_str(), nullptr)) return fixed;
  }
  return g;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes, std::string& error) {
  const std::string temporary = path + ".pellix-lab.tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out.flush()) {
      error = temporary + ": cannot be written";
      return false;
    }
  }
  std::error_code ec;
  const auto mode = std::filesystem::status(path, ec).permissions();
  if (!ec) std::filesystem::permissions(temporary, mode, ec);
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    error = path + ": cannot be replaced";
    return false;
  }
  return true;
}

}  // namespace pellix::lab
