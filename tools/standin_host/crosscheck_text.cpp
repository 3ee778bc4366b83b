#include "crosscheck_text.h"

#include <cctype>
#include <set>
#include <sstream>

namespace standin {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

}  // namespace

std::string MergeIni(const std::string& file, const std::map<std::string, std::string>& overrides) {
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> bySection;
  std::set<std::string> overridden;  // "section/key", lower case
  for (const auto& [path, value] : overrides) {
    const size_t slash = path.find('/');
    const std::string section = path.substr(0, slash), key = path.substr(slash + 1);
    bySection[Lower(section)].push_back({key, value});
    overridden.insert(Lower(section) + "/" + Lower(key));
  }
  std::string out, section;
  std::set<std::string> written;
  std::istringstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (!t.empty() && t.front() == '[' && t.find(']') != std::string::npos) {
      section = Lower(Trim(t.substr(1, t.find(']') - 1)));
      out += line + "\n";
      if (written.insert(section).second)
        for (const auto& [key, value] : bySection[section]) out += key + "=" + value + "\r\n";
      continue;
    }
    const size_t eq = t.find('=');
    if (eq != std::string::npos && t.front() != ';' &&
        overridden.count(section + "/" + Lower(Trim(t.substr(0, eq)))))
      continue;
    out += line + "\n";
  }
  for (const auto& [path, value] : overrides) {
    const std::string s = Lower(path.substr(0, path.find('/')));
    if (written.insert(s).second) {
      out.append(1, '[').append(path, 0, path.find('/')).append("]\r\n");
      for (const auto& [key, v] : bySection[s]) out += key + "=" + v + "\r\n";
    }
  }
  return out;
}

std::string WithLines(std::string text, const std::vector<std::string>& lines) {
  if (lines.empty()) return text;
  if (!text.empty() && text.back() != '\n') text += "\n";
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

}  // namespace standin
