#include <gtest/gtest.h>

#include "sim/pool.h"
#include "startup/tables.h"

namespace pellix {
namespace {

// The records are the host's layouts: the same size on the 32-bit and the native build.
TEST(PoolLayout, RecordsHaveHostSizes) {
  EXPECT_EQ(sizeof(ProjectileRecord), 44u);
  EXPECT_EQ(sizeof(TrailRecord), 44u);
  EXPECT_EQ(sizeof(ProjectileExtra), 28u);
  EXPECT_EQ(sizeof(WeaponBallistics), 52u);
}

}  // namespace
}  // namespace pellix
