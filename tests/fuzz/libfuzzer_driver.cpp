// libFuzzer entry for one target, chosen at build time by PELLIX_FUZZ_ENTRY.
#include <cstdio>
#include <cstdlib>

#include "tests/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const char* fault = pellix::fuzz::PELLIX_FUZZ_ENTRY(data, size)) {
    std::fprintf(stderr, "invariant broken: %s\n", fault);
    std::abort();
  }
  return 0;
}
