// The loop model's own behaviour: its world, its host memory and routines, and the host
// behaviour it chooses where the host's is not known.
#include "tools/loop_model/loop_model.h"

#include <gtest/gtest.h>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "tests/tools/loop_model/loop_fixture.h"

namespace pellix {
namespace {

using loop_model::BoxPlaneWorld;
using loop_model::Hit;
using testing::LoopFixture;

TEST(BoxPlaneWorldTest, APlaneIsCrossedEnteringAndLeaving) {
  BoxPlaneWorld world;
  world.planes.push_back({{0, 0, 1}, 1.0f, 7, 1});  // solid below z = 1
  const float above[3] = {0, 0, 3}, below[3] = {4, 0, -1}, high[3] = {5, 0, 2};
  Hit hit{};
  ASSERT_TRUE(world.FindHit(above, below, hit));
  EXPECT_FLOAT_EQ(hit.point[0], 2.0f);
  EXPECT_FLOAT_EQ(hit.point[2], 1.0f);
  EXPECT_EQ(hit.normal[2], 1.0f);
  EXPECT_EQ(hit.surfaceId, 7);
  EXPECT_EQ(hit.typeCode, 1);
  ASSERT_TRUE(world.FindHit(below, above, hit));  // from inside out: same surface, same normal
  EXPECT_FLOAT_EQ(hit.point[2], 1.0f);
  EXPECT_EQ(hit.normal[2], 1.0f);
  EXPECT_FALSE(world.FindHit(above, high, hit));
  EXPECT_FALSE(world.FindHit(above, above, hit));  // no segment, no hit
  EXPECT_TRUE(world.LineTest(above, below));
  EXPECT_FALSE(world.LineTest(high, above));
}

TEST(BoxPlaneWorldTest, ABoxIsHitOnTheFaceCrossedFirst) {
  BoxPlaneWorld world;
  world.boxes.push_back({{2, -1, -1}, {4, 1, 1}, 3, 2});
  world.boxes.push_back({{6, -1, -1}, {8, 1, 1}, 4, 3});
  Hit hit{};
  const float left[3] = {0, 0, 0}, right[3] = {10, 0, 0}, inside[3] = {3, 0, 0.5f};
  ASSERT_TRUE(world.FindHit(left, right, hit));
  EXPECT_FLOAT_EQ(hit.point[0], 2.0f);
  EXPECT_EQ(hit.normal[0], -1.0f);
  EXPECT_EQ(hit.surfaceId, 3);
  ASSERT_TRUE(world.FindHit(right, left, hit));
  EXPECT_FLOAT_EQ(hit.point[0], 8.0f);
  EXPECT_EQ(hit.normal[0], 1.0f);
  EXPECT_EQ(hit.typeCode, 3);
  ASSERT_TRUE(world.FindHit(inside, right, hit));  // leaving through the far face
  EXPECT_FLOAT_EQ(hit.point[0], 4.0f);
  EXPECT_EQ(hit.normal[0], 1.0f);
  const float up[3] = {3, 0, 5};
  ASSERT_TRUE(world.FindHit(inside, up, hit));
  EXPECT_FLOAT_EQ(hit.point[2], 1.0f);
  EXPECT_EQ(hit.normal[2], 1.0f);
  const float short1[3] = {0, 0, 0}, short2[3] = {1.9f, 0, 0};
  EXPECT_FALSE(world.FindHit(short1, short2, hit));
  const float over1[3] = {0, 0, 2}, over2[3] = {10, 0, 2};
  EXPECT_FALSE(world.FindHit(over1, over2, hit));  // parallel, above the boxes
}

class LoopModelTest : public LoopFixture {};

TEST_F(LoopModelTest, HostMemoryIsReachedThroughItsFakeAddresses) {
  EXPECT_EQ(model->HostProjectileAddress(3), 0xC888A0u);  // just past the last record
  EXPECT_EQ(host.at(model->HostProjectileAddress(0)), &model->hostProjectiles[0]);
  EXPECT_EQ(host.at(model->HostProjectileAddress(2) + 40), &model->hostProjectiles[2].damage);
  EXPECT_EQ(host.at(model->HostTraceAddress(1)), &model->hostTraces[1]);
  EXPECT_EQ(host.at(host_addr::TraceColourSource), &model->traceColourSource);
  EXPECT_EQ(host.at(0x1000), reinterpret_cast<const void*>(uintptr_t{0x1000}));
  EXPECT_EQ(host.timeStep, &model->timeStep);
  EXPECT_EQ(host.clockMs, &model->clockMs);
  EXPECT_EQ(host.wind, model->wind);
}

TEST_F(LoopModelTest, RoutinesFollowTheWorldAndTheRuntimesRandSequence) {
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169};
  for (int32_t r : expected) EXPECT_EQ(host.rand(), r);
  world.planes.push_back({{0, 0, 1}, 0.0f, 0, 1});
  const float a[3] = {0, 0, 1}, b[3] = {0, 0, -1};
  EXPECT_EQ(host.lineTest(a, b, nullptr, nullptr, 1, 1, 1, 1, 1, 0, 0, 1), 1);
  EXPECT_EQ(host.lineTest(a, a, nullptr, nullptr, 1, 1, 1, 1, 1, 0, 0, 1), 0);
  EXPECT_EQ(model->lineTests, 2);
  EXPECT_EQ(host.surfaceClass(4), 4u);
  EXPECT_EQ(model->surfaceClassCalls, 1);
  const float point[3] = {1, 2, 3};
  host.areaImpact(point, 2.0f, 25.0f, 0, 0xABC, 1, 1.0f);
  ASSERT_EQ(model->areaImpacts.size(), 1u);
  EXPECT_EQ(model->areaImpacts[0].shooter, 0xABCu);
  EXPECT_EQ(model->areaImpacts[0].point[2], 3.0f);
  model.reset();
  EXPECT_EQ(host.rand, nullptr);  // a model that goes leaves no dangling routine
}

TEST_F(LoopModelTest, ThePoolSweepsAgainstTheSameWorld) {
  settings.Ricochet = 1;
  settings.minSpeedScaled = 1.0f;
  surfaces[0].ricochetThreshold = 0.7f;
  world.planes.push_back({{0, 0, 1}, 0.0f, 0, 1});
  ProjectileRecord& p = Fly(0, 0, 0.0f, 4.0f);
  p.velocity[2] = -3.0f;
  model->RunProjectileLoop();
  EXPECT_GE(model->lineTests, 1);  // the sweep's probe after the ricochet
  EXPECT_EQ(model->surfaceClassCalls, 1);
  EXPECT_EQ(p.active, 1);
}

TEST_F(LoopModelTest, TheHostEndsExpiredRecordsAndStopsAPlainHit) {
  settings.minSpeedScaled = 1.0f;
  world.boxes.push_back({{5, -1, 0}, {6, 1, 2}, 2, 1});
  ProjectileRecord& expired = Fly(0, 0, 0.0f, 4.0f);
  expired.expiryTime = 99.0f;
  ProjectileRecord& hitter = Fly(1, 0, 2.0f, 4.0f, 100);  // speed 4: damage x 1
  model->clockMs = 100;
  model->RunProjectileLoop();
  EXPECT_EQ(expired.active, 0);
  EXPECT_EQ(expired.position[0], 0.0f);  // not stepped
  EXPECT_EQ(hitter.active, 0);
  EXPECT_EQ(hitter.position[0], 2.0f);
  ASSERT_EQ(model->damageDealt.size(), 1u);
  EXPECT_EQ(model->damageDealt[0].index, 1);
  EXPECT_EQ(model->damageDealt[0].damage, 100);
  EXPECT_EQ(hitter.damage, 100);

  // A record whose expiry equals the clock still flies.
  ProjectileRecord& due = Fly(2, 0, 0.0f, 1.0f);
  due.expiryTime = 100.0f;
  model->RunProjectileLoop();
  EXPECT_EQ(due.active, 1);
  EXPECT_EQ(due.position[0], 1.0f);
}

}  // namespace
}  // namespace pellix
