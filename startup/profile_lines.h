// The lines of a profile (INI) file as the profile functions read them. The native profile
// reader and the lab's lint both walk a file with it, so that they see the same sections, keys
// and values.
#pragma once
#include <cstddef>
#include <string_view>

namespace pellix {

struct ProfileLine {
  enum Kind { Blank, Section, Key };
  Kind kind = Blank;
  int number = 0;          // 1-based; CR, LF and a CR LF pair each end a line
  std::string_view text;   // the whole line, trimmed
  std::string_view name;   // the section's or the key's name, trimmed, up to a NUL
  std::string_view value;  // the key's value, trimmed, up to a NUL (quotes kept)
  bool hasValue = false;   // the key line holds an "="
};

// White space as the profile functions trim it: blanks, tabs, line breaks and Ctrl-Z.
std::string_view TrimProfileText(std::string_view s);

// Section and key names as the profile functions match them: without regard to letter case.
bool SameProfileName(std::string_view a, std::string_view b);

// Walks the text of a profile file, a UTF-8 byte-order mark at its start skipped:
// - each line is trimmed at both ends; an empty one is Blank;
// - "[name]" is a Section (the last "]" on the line closes it, the name is trimmed); a "["
//   line without a "]" after it is an ordinary line;
// - any other line is a Key: "name = value", or a name alone without "="; ";" starts no
//   comment, such a line is just a key whose name begins with ";".
class ProfileLines {
 public:
  explicit ProfileLines(std::string_view text);
  bool Next(ProfileLine& line);  // false after the last line
  bool SkippedByteOrderMark() const { return skippedMark_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int number_ = 0;
  bool skippedMark_ = false;
};

}  // namespace pellix
