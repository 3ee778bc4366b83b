// The native C library's atof also reads "inf", "nan" and hexadecimal numbers; the host's
// runtime does not. Only the decimal prefix is handed to strtod.
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "startup/runtime_text.h"

namespace pellix {

double RuntimeAtof(const char* text) {
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const char* p = text;
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  bool digits = false;
  while (digit(*p)) ++p, digits = true;
  if (*p == '.') {
    ++p;
    while (digit(*p)) ++p, digits = true;
  }
  if (!digits) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* e = p + 1;
    if (*e == '+' || *e == '-') ++e;
    if (digit(*e)) {
      while (digit(*e)) ++e;
      p = e;
    }
  }
  char number[1100];
  const size_t length = static_cast<size_t>(p - start);
  if (length >= sizeof number) return std::strtod(start, nullptr);  // a plain decimal anyway
  std::memcpy(number, start, length);
  number[length] = '\0';
  return std::strtod(number, nullptr);
}

}  // namespace pellix
