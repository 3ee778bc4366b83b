#include "startup/profile_lines.h"

#include <cctype>

namespace pellix {
namespace {

bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1a;
}

// A stored text ends at its first NUL, as a C string does.
std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

}  // namespace

std::string_view TrimProfileText(std::string_view s) {
  while (!s.empty() && IsProfileSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool SameProfileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

ProfileLines::ProfileLines(std::string_view text) : text_(text) {
  if (text_.substr(0, 3) == "\xEF\xBB\xBF") {
    text_.remove_prefix(3);
    skippedMark_ = true;
  }
}

bool ProfileLines::Next(ProfileLine& line) {
  if (pos_ >= text_.size()) return false;
  size_t end = text_.find_first_of("\r\n", pos_);
  if (end == std::string_view::npos) end = text_.size();
  line = ProfileLine{};
  line.number = ++number_;
  line.text = TrimProfileText(text_.substr(pos_, end - pos_));
  // The empty line between a CR and its LF is no line of the file's own.
  pos_ = end + (text_.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  const std::string_view t = line.text;
  if (t.empty()) return true;
  if (t.front() == '[') {
    const size_t close = t.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      line.kind = ProfileLine::Section;
      line.name = UpToNul(TrimProfileText(t.substr(1, close - 1)));
      return true;
    }
  }
  line.kind = ProfileLine::Key;
  const size_t eq = t.find('=');
  line.hasValue = eq != std::string_view::npos;
  line.name = UpToNul(line.hasValue ? TrimProfileText(t.substr(0, eq)) : t);
  if (line.hasValue) line.value = UpToNul(TrimProfileText(t.substr(eq + 1)));
  return true;
}

}  // namespace pellix
