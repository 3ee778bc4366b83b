#include "sim/sweep.h"

#include <gtest/gtest.h>

#include "sim/loop_state.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

using testing::FakeHost;
using testing::HostCallKind;
using testing::SimSetup;

// The default ColBias 0.01 and SolidBias 0.1 with a speed that is not round. Worked out in
// float: speed = sqrt(3.25^2 + 2.3^2 + 1.7^2) = 4.32926083, L = speed / 0.01 = 432.926086,
// 1 / L = 0.00230986322 (ColBias / speed would be 0.00230986299) and
// m = 1 / ((0.01 x L) / 0.1) = 0.0230986327 (SolidBias / speed would be 0.0230986308). The
// position is small, so those last bits show in the segment ends.
class Sweep : public ::testing::Test {
 protected:
  SimSetup sim{8, 4};
  FakeHost fake;
  ProjectileRecord& record = sim.Record(2);
  static constexpr float kStart[3] = {0.00390625f, -0.001953125f, 0.0029296875f};

  void SetUp() override {
    record.active = 1;
    for (int i = 0; i < 3; ++i) record.position[i] = kStart[i];
    record.velocity[0] = 3.25f;
    record.velocity[1] = 2.3f;
    record.velocity[2] = 1.7f;
  }
  void Script(std::initializer_list<bool> hits) { fake.lineTestScript = hits; }
  int Tests() const { return fake.Count(HostCallKind::LineTest); }
  void ExpectPosition(float x, float y, float z) {
    EXPECT_EQ(record.position[0], x);
    EXPECT_EQ(record.position[1], y);
    EXPECT_EQ(record.position[2], z);
  }
  void ExpectUnmoved() { ExpectPosition(kStart[0], kStart[1], kStart[2]); }
};

TEST_F(Sweep, ClearProbeIsOneTestWithTheHostsArguments) {
  repeatRequested = 1;
  ClearAhead(&record);
  ASSERT_EQ(Tests(), 1);
  const auto& call = fake.calls[0];
  // p + v x (1 / L), ColBias ahead.
  EXPECT_EQ(call.floats, (std::vector<float>{kStart[0], kStart[1], kStart[2], 0.011413306f,
                                             0.00335956039f, 0.006856455f}));
  EXPECT_EQ(call.ints, (std::vector<int64_t>{1, 1, 1, 1, 1, 0, 0, 1}));
  EXPECT_NE(call.pointers[0], nullptr);
  EXPECT_NE(call.pointers[1], nullptr);
  EXPECT_NE(call.pointers[0], call.pointers[1]);
  ExpectUnmoved();
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(skipHostHit, 0);
}

TEST_F(Sweep, BlockedProbeWithAClearFirstSegmentStaysPut) {
  Script({true, false});
  ClearAhead(&record);
  ASSERT_EQ(Tests(), 2);
  // p + v x m, SolidBias ahead.
  EXPECT_EQ(fake.calls[1].floats, (std::vector<float>{kStart[0], kStart[1], kStart[2], 0.07897681f,
                                                      0.051173728f, 0.0421973653f}));
  ExpectUnmoved();
  EXPECT_EQ(record.active, 1);
}

TEST_F(Sweep, WalksOutOfASolidSegmentBySegment) {
  Script({true, true, true, true, false});
  ClearAhead(&record);
  ASSERT_EQ(Tests(), 5);
  // The ends are summed step by step in float: p + step + step + step, then one more step.
  EXPECT_EQ(fake.calls[4].floats, (std::vector<float>{0.22911793f, 0.15742743f, 0.120732725f,
                                                      0.30418849f, 0.210554287f, 0.160000399f}));
  ExpectPosition(0.22911793f, 0.15742743f, 0.120732725f);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(skipHostHit, 0);
}

TEST_F(Sweep, OneSegmentAllowedAndBlockedStops) {
  settings.SolidLoop = 1;
  repeatRequested = 1;
  Script({true, true, false});
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 2);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(skipHostHit, 1);
  ExpectUnmoved();
}

TEST_F(Sweep, NoSegmentsAllowedNeverStops) {
  for (int32_t loops : {0, -3}) {
    settings.SolidLoop = loops;
    fake.ClearCalls();
    Script({true, true});
    ClearAhead(&record);
    EXPECT_EQ(Tests(), 1);
    EXPECT_EQ(record.active, 1);
    ExpectUnmoved();
  }
}

TEST_F(Sweep, AlwaysBlockedMakesSolidLoopPlusOneTestsThenStops) {
  fake.lineTestGeometry = [](const float*, const float*) { return true; };
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 51);
  EXPECT_EQ(record.active, 0);
  ExpectUnmoved();
}

TEST_F(Sweep, NoDirectionNoTest) {
  record.velocity[0] = record.velocity[1] = record.velocity[2] = 0.0f;
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 0);
  ExpectUnmoved();
  EXPECT_EQ(record.active, 1);
}

TEST_F(Sweep, UndefinedSegmentsAreNeverTested) {
  settings.ColBias = 0.0f;  // step = v / ((0 x inf) / SolidBias)
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 0);
  ExpectUnmoved();
}

TEST_F(Sweep, StopIsTheOneWayToEnd) {
  repeatRequested = 1;
  StopProjectile(&record);
  EXPECT_EQ(record.active, 0);
  EXPECT_EQ(repeatRequested, 0);
  EXPECT_EQ(skipHostHit, 1);
}

TEST_F(Sweep, CutIsMeasuredFromTheFramesStep) {
  savedTimeStep = 1.5f;
  fake.timeStep = 0.25f;
  CutStep(0.0f, 4.0f);
  EXPECT_EQ(fake.timeStep, 1.5f);
  EXPECT_EQ(repeatRequested, 1);

  CutStep(2.0f, 4.0f);  // a second cut again from the full step
  EXPECT_EQ(fake.timeStep, 1.0f);
  CutStep(1.0f, 4.0f);
  EXPECT_EQ(fake.timeStep, 1.25f);

  CutStep(10.0f, 4.0f);  // further than the frame's step: negative, as computed
  EXPECT_EQ(fake.timeStep, -1.0f);
}

TEST_F(Sweep, CutIsFormedInExtendedPrecision) {
  // (0.0732196569 x 29 - 114.428574) / 29 = -3.8725932261 before the one rounding: -3.87259316
  // as a float. The same steps rounded to float each would give -3.8725934.
  savedTimeStep = 0.0732196569f;
  CutStep(114.428574f, 29.0f);
  EXPECT_EQ(fake.timeStep, -3.87259316f);
}

TEST_F(Sweep, CutWithoutSpeedLeavesNoTime) {
  savedTimeStep = 1.0f;
  CutStep(0.5f, 0.0f);
  EXPECT_EQ(fake.timeStep, 0.0f);
  EXPECT_EQ(repeatRequested, 1);
}

}  // namespace
}  // namespace pellix
