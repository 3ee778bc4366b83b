#include "host/crt_rand.h"

namespace pellix {

int32_t CrtRand::Next() {
  state = state * 214013u + 2531011u;  // unsigned: wraps modulo 2^32 as the runtime's does
  return static_cast<int32_t>((state >> 16) & 0x7FFFu);
}

namespace {
CrtRand processRand;
}

int32_t CrtRandNext() { return processRand.Next(); }
void CrtRandSeed(uint32_t seed) { processRand.Seed(seed); }

}  // namespace pellix
