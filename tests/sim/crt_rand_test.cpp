#include "host/crt_rand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace pellix {
namespace {

TEST(CrtRand, ReproducesTheRuntimeSequence) {
  // The first draws of the Windows C runtime's rand without srand.
  CrtRand r;
  std::vector<int32_t> first;
  for (int i = 0; i < 10; ++i) first.push_back(r.Next());
  EXPECT_EQ(first, (std::vector<int32_t>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962,
                                         24464}));

  r.Seed(1);
  EXPECT_EQ(r.Next(), 41);
}

TEST(CrtRand, StaysInRangeThroughTheStateWrap) {
  CrtRand r;
  r.Seed(0xFFFFFFFFu);
  int32_t lowest = 32767, highest = 0;
  for (int i = 0; i < 100000; ++i) {
    const int32_t v = r.Next();
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
  }
  EXPECT_EQ(lowest, 0);
  EXPECT_EQ(highest, 32767);
}

TEST(CrtRand, ProcessSequenceCanBeReseeded) {
  CrtRandSeed(1);
  EXPECT_EQ(CrtRandNext(), 41);
  EXPECT_EQ(CrtRandNext(), 18467);
  CrtRandSeed(1);
  EXPECT_EQ(CrtRandNext(), 41);
}

}  // namespace
}  // namespace pellix
