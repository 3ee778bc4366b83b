// The native stand-in for the Windows profile functions. It gives the results that the real
// GetPrivateProfileIntA and GetPrivateProfileStringA give (as probed under Wine):
// - a line break is CR or LF; each line is trimmed of white space (and Ctrl-Z) at both ends;
// - "[name]" opens a section (the last "]" on the line closes it, the name is trimmed); a "["
//   line without "]" is an ordinary line; lines before any section form a section named "";
// - "name = value" is a key (name and value trimmed); a line without "=" is a key without value;
//   ";" starts no comment, such a line is just a key whose name begins with ";";
// - section and key names match without regard to letter case; only the first section of a name
//   and, in it, the first key of a name count;
// - a value enclosed in a pair of the same quote character loses the two quotes;
// - the integer reader takes up to 29 chars of the value, skips leading white space, an optional
//   sign and a "0x", "0o" or "0b" prefix, and adds up digits modulo 2^32 until the first
//   character that is not a digit of the base; an empty or missing value gives the fallback.
// The file's text goes into one buffer kept from call to call, grown only for a file larger than
// any read before: reading the settings again in play (Reload) allocates nothing.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "startup/data_paths.h"
#include "startup/profile.h"

namespace pellix {
namespace {

bool IsProfileSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x1a;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsProfileSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsProfileSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A stored text ends at its first NUL, as a C string does.
std::string_view UpToNul(std::string_view s) { return s.substr(0, s.find('\0')); }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

constexpr size_t kKeptText = 64 * 1024;

// The whole file, without a UTF-8 byte-order mark; valid until the next call.
bool ReadWholeFile(const char* path, std::string_view& text) {
  static std::string buffer;
  if (buffer.capacity() < kKeptText) buffer.reserve(kKeptText);  // the first call, at start-up
  char local[PathBufferSize];
  std::string longPath;  // beyond the game's paths: tools only
  const size_t length = std::strlen(path);
  if (length < PathBufferSize) {
    std::memcpy(local, path, length + 1);
  } else {
    longPath = path;
  }
  char* name = length < PathBufferSize ? local : longPath.data();
  ToPlatformPath(name);
  const int fd = open(name, O_RDONLY);
  if (fd < 0) return false;
  buffer.clear();
  char chunk[4096];
  ssize_t n;
  while ((n = ::read(fd, chunk, sizeof chunk)) > 0) buffer.append(chunk, static_cast<size_t>(n));
  close(fd);
  text = buffer;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte-order mark
  return true;
}

// Finds the value of the first key `key` in the first section `section`. Returns false when the
// file, the section or the key is missing; `hasValue` is false for a key line without "=".
bool FindValue(const char* path, const char* section, const char* key, std::string_view& value,
               bool& hasValue) {
  std::string_view text;
  if (!ReadWholeFile(path, text)) return false;
  const std::string_view wantedSection = Trim(section);
  const std::string_view wantedKey = Trim(key);
  std::string_view current;  // section of the lines read so far; "" before the first one
  bool inWanted = SameName(current, wantedSection);
  bool seenWanted = inWanted;  // the first section of the wanted name has begun
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      const size_t close = line.rfind(']');
      if (close != std::string_view::npos && close > 0) {
        if (inWanted) return false;  // only the first section of a name is searched
        current = UpToNul(Trim(line.substr(1, close - 1)));
        inWanted = !seenWanted && SameName(current, wantedSection);
        seenWanted = seenWanted || inWanted;
        continue;
      }
    }
    if (!inWanted) continue;
    const size_t eq = line.find('=');
    std::string_view name = eq == std::string_view::npos ? line : Trim(line.substr(0, eq));
    if (!SameName(UpToNul(name), wantedKey)) continue;
    hasValue = eq != std::string_view::npos;
    value = hasValue ? UpToNul(Trim(line.substr(eq + 1))) : std::string_view();
    return true;
  }
  return false;
}

// lstrcpyn: at most size - 1 chars and a terminator.
uint32_t CopyTruncated(char* out, uint32_t size, std::string_view text) {
  if (size == 0) return 0;
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
  return static_cast<uint32_t>(n);
}

uint32_t ReadString(const char* section, const char* key, const char* fallback, char* out,
                    uint32_t size, const char* path) {
  std::string_view value;
  bool hasValue = false;
  if (!FindValue(path, section, key, value, hasValue) || !hasValue) {
    return CopyTruncated(out, size, fallback ? UpToNul(fallback) : std::string_view());
  }
  std::string_view text = value;
  char quote = 0;
  if (text.size() > 1 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    quote = text.front();
    text.remove_prefix(1);
  }
  uint32_t n = CopyTruncated(out, size, text);
  // The closing quote goes only when the whole value fitted (quote included).
  if (quote && size >= text.size() && n > 0) out[--n] = '\0';
  return n;
}

int32_t ReadInt(const char* section, const char* key, int32_t fallback, const char* path) {
  char buffer[30];
  const uint32_t length = ReadString(section, key, "", buffer, sizeof buffer, path);
  if (length == 0) return fallback;
  std::string_view s(buffer, length);
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  uint32_t base = 10;
  if (s.size() >= 2 && s[0] == '0') {
    if (s[1] == 'b') base = 2;
    if (s[1] == 'o') base = 8;
    if (s[1] == 'x') base = 16;
    if (base != 10) s.remove_prefix(2);
  }
  uint32_t total = 0;  // wraps modulo 2^32, as the real reader does
  for (char c : s) {
    uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint32_t>(c - '0');
    } else if (c >= 'A' && c <= 'Z') {
      digit = static_cast<uint32_t>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'z') {
      digit = static_cast<uint32_t>(c - 'a' + 10);
    } else {
      break;
    }
    if (digit >= base) break;
    total = total * base + digit;
  }
  return static_cast<int32_t>(negative ? 0u - total : total);
}

}  // namespace

ProfileReader SystemProfile() { return {ReadInt, ReadString}; }

void ToPlatformPath(char* path) {
  for (; *path; ++path) {
    if (*path == '\\') *path = '/';
  }
}

std::FILE* OpenPlatformFile(const char* path, const char* mode) {
  std::string local(path);
  ToPlatformPath(local.data());
  return std::fopen(local.c_str(), mode);
}

}  // namespace pellix
