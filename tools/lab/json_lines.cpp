#include "tools/lab/json_lines.h"

#include <iterator>
#include <vector>

namespace pellix::lab {

namespace {

// Reads characters and counts the line ends passed; the parser sees plain chars.
struct CountingIterator {
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  const char* p;
  int* line;

  reference operator*() const { return *p; }
  CountingIterator& operator++() {
    if (*p == '\n') ++*line;
    ++p;
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator old = *this;
    ++*this;
    return old;
  }
  bool operator==(const CountingIterator& o) const { return p == o.p; }
  bool operator!=(const CountingIterator& o) const { return p != o.p; }
};

std::string Escape(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

struct Frame {
  bool array;
  int nextIndex = 0;
  std::string key;
  std::string path;
};

}  // namespace

int JsonWithLines::LineOf(const std::string& pointer) const {
  std::string p = pointer;
  while (true) {
    auto it = lines.find(p);
    if (it != lines.end()) return it->second;
    if (p.empty()) return 1;
    p = p.substr(0, p.rfind('/'));
  }
}

bool ParseJsonWithLines(const std::string& text, JsonWithLines& out, std::string& error) {
  int line = 1;
  std::vector<Frame> stack;
  out.lines.clear();
  // The path of the value that starts now, in the container on top of the stack.
  auto childPath = [&]() -> std::string {
    if (stack.empty()) return "";
    Frame& top = stack.back();
    if (top.array) return top.path + "/" + std::to_string(top.nextIndex++);
    return top.path + "/" + Escape(top.key);
  };
  auto note = [&](const std::string& path) {
    // A key's line wins: the scanner may have read past a number's line end already.
    if (!out.lines.count(path)) out.lines[path] = line;
  };
  using Event = nlohmann::json::parse_event_t;
  auto callback = [&](int, Event event, nlohmann::json& parsed) -> bool {
    switch (event) {
      case Event::object_start:
      case Event::array_start: {
        const std::string path = childPath();
        note(path);
        stack.push_back(Frame{event == Event::array_start, 0, "", path});
        break;
      }
      case Event::key:
        if (!stack.empty()) {
          stack.back().key = parsed.get<std::string>();
          note(stack.back().path + "/" + Escape(stack.back().key));
        }
        break;
      case Event::value:
        note(childPath());
        break;
      case Event::object_end:
      case Event::array_end:
        if (!stack.empty()) stack.pop_back();
        break;
    }
    return true;
  };
  const CountingIterator first{text.data(), &line};
  const CountingIterator last{text.data() + text.size(), &line};
  try {
    out.value = nlohmann::json::parse(first, last, callback, true, false);
  } catch (const nlohmann::json::parse_error& e) {
    // The byte offset of the error gives its line.
    const size_t at = e.byte > 0 ? std::min<size_t>(e.byte - 1, text.size()) : 0;
    int errorLine = 1;
    for (size_t i = 0; i < at; ++i)
      if (text[i] == '\n') ++errorLine;
    std::string what = e.what();
    const size_t colon = what.find(": ", what.find("parse error"));
    error = "line " + std::to_string(errorLine) + ": " +
            (colon != std::string::npos ? what.substr(colon + 2) : what);
    return false;
  }
  return true;
}

}  // namespace pellix::lab
