// The Windows C runtime's rand sequence, reproduced so that tests and tools replay exactly what
// the host process would draw. The Windows binding uses the real runtime's rand instead.
#pragma once
#include <cstdint>

namespace pellix {

struct CrtRand {
  uint32_t state = 1;  // the runtime's seed before any srand

  void Seed(uint32_t seed) { state = seed; }
  int32_t Next();  // 0 to 32767
};

// A process-wide sequence for the portable build.
int32_t CrtRandNext();
void CrtRandSeed(uint32_t seed);

}  // namespace pellix
