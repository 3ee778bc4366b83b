#include "report.h"

#include <cstdarg>
#include <cstdio>

namespace standin {
namespace {
int passed = 0;
int failed = 0;
}  // namespace

bool Check(bool ok, const char* name) { return Check(ok, name, "%s", "not as expected"); }

bool Check(bool ok, const char* name, const char* whyFormat, ...) {
  if (ok) {
    ++passed;
    std::printf("PASS %s\n", name);
    return true;
  }
  ++failed;
  std::printf("FAIL %s: ", name);
  va_list args;
  va_start(args, whyFormat);
  std::vprintf(whyFormat, args);
  va_end(args);
  std::printf("\n");
  return false;
}

void Note(const char* format, ...) {
  std::printf("NOTE ");
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}

int Failures() { return failed; }

int Finish() {
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}

}  // namespace standin
