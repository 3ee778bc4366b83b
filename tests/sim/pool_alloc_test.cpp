#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "sim/pool.h"

namespace pellix {
namespace {

struct Allocation {
  size_t count, size;
  void* block;
};
std::vector<Allocation> allocations;
size_t failAt = 0;  // 1-based call that fails; 0 none

void* RecordingCalloc(size_t count, size_t size) {
  void* block = allocations.size() + 1 == failAt ? nullptr : std::calloc(count, size);
  allocations.push_back({count, size, block});
  return block;
}

class PoolAllocation : public ::testing::Test {
 protected:
  void SetUp() override {
    allocations.clear();
    failAt = 0;
  }
  void TearDown() override {
    std::free(pool.trailArray);
    std::free(pool.projectileArray);
    std::free(pool.extraArray);
    pool = ProjectilePool{};
  }
};

TEST_F(PoolAllocation, ThreeZeroFilledArraysInOrder) {
  pool.nextSlot = 7;
  ASSERT_TRUE(AllocatePool(64, RecordingCalloc));
  ASSERT_EQ(allocations.size(), 3u);
  // Trail records first, then projectile records, then the side records.
  EXPECT_EQ(allocations[0].block, pool.trailArray);
  EXPECT_EQ(allocations[1].block, pool.projectileArray);
  EXPECT_EQ(allocations[2].block, pool.extraArray);
  for (const Allocation& a : allocations) EXPECT_EQ(a.count, 64u);
  EXPECT_EQ(allocations[0].size, 44u);
  EXPECT_EQ(allocations[1].size, 44u);
  EXPECT_EQ(allocations[2].size, 28u);
  EXPECT_EQ(reinterpret_cast<char*>(pool.projectileArrayEnd) -
                reinterpret_cast<char*>(pool.projectileArray),
            64 * 44);
  EXPECT_EQ(reinterpret_cast<char*>(pool.trailArrayEnd) - reinterpret_cast<char*>(pool.trailArray),
            64 * 44);
  EXPECT_EQ(pool.nextSlot, 0);
}

// After allocation no slot is active and no trail is shown: every byte is zero.
TEST_F(PoolAllocation, EveryByteZero) {
  ASSERT_TRUE(AllocatePool(4096));
  const auto zero = [](const void* data, size_t bytes) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < bytes; ++i) {
      if (p[i] != 0) return false;
    }
    return true;
  };
  EXPECT_TRUE(zero(pool.projectileArray, 4096 * sizeof(ProjectileRecord)));
  EXPECT_TRUE(zero(pool.trailArray, 4096 * sizeof(TrailRecord)));
  EXPECT_TRUE(zero(pool.extraArray, 4096 * sizeof(ProjectileExtra)));
  EXPECT_EQ(SlotOf(pool.projectileArrayEnd - 1), 4095);
}

TEST_F(PoolAllocation, FailureLeavesAnEmptyPool) {
  for (size_t failing = 1; failing <= 3; ++failing) {
    SCOPED_TRACE(failing);
    allocations.clear();
    failAt = failing;
    EXPECT_FALSE(AllocatePool(16, RecordingCalloc));
    EXPECT_EQ(allocations.size(), failing);  // nothing tried after the failure
    EXPECT_EQ(pool.trailArray, nullptr);
    EXPECT_EQ(pool.projectileArray, nullptr);
    EXPECT_EQ(pool.extraArray, nullptr);
    EXPECT_EQ(pool.projectileArrayEnd, nullptr);
  }
}

TEST_F(PoolAllocation, SizeBelowOneIsRefused) {
  EXPECT_FALSE(AllocatePool(0, RecordingCalloc));
  EXPECT_FALSE(AllocatePool(-3, RecordingCalloc));
  EXPECT_TRUE(allocations.empty());
  EXPECT_EQ(pool.projectileArray, nullptr);
}

}  // namespace
}  // namespace pellix
