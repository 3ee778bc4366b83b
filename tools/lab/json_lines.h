// JSON parsing that remembers the line of every value, so that errors can name it.
#pragma once
#include <map>
#include <nlohmann/json.hpp>
#include <string>

namespace pellix::lab {

struct JsonWithLines {
  nlohmann::json value;
  std::map<std::string, int> lines;  // JSON pointer ("/shots/0/weapon") -> 1-based line

  // The line of `pointer`, or of its nearest enclosing value; 1 when none is known.
  int LineOf(const std::string& pointer) const;
};

// Parses `text`; on a syntax error `error` holds "line N: what" and false is returned.
bool ParseJsonWithLines(const std::string& text, JsonWithLines& out, std::string& error);

}  // namespace pellix::lab
