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

class Sweep : public ::testing::Test {
 protected:
  SimSetup sim{8, 4};
  FakeHost fake;
  ProjectileRecord& record = sim.Record(2);

  void SetUp() override {
    record.active = 1;
    record.position[0] = 1.0f;
    record.position[1] = 2.0f;
    record.position[2] = 3.0f;
    record.velocity[0] = 0.0f;
    record.velocity[1] = 8.0f;  // along +y, so the segment ends are exact
    record.velocity[2] = 0.0f;
    settings.ColBias = 0.25f;
    settings.SolidBias = 0.5f;
  }
  void Script(std::initializer_list<bool> hits) { fake.lineTestScript = hits; }
  int Tests() const { return fake.Count(HostCallKind::LineTest); }
  void ExpectPosition(float x, float y, float z) {
    EXPECT_EQ(record.position[0], x);
    EXPECT_EQ(record.position[1], y);
    EXPECT_EQ(record.position[2], z);
  }
};

TEST_F(Sweep, ClearProbeIsOneTestWithTheHostsArguments) {
  repeatRequested = 1;
  ClearAhead(&record);
  ASSERT_EQ(Tests(), 1);
  const auto& call = fake.calls[0];
  EXPECT_EQ(call.floats, (std::vector<float>{1, 2, 3, 1, 2.25f, 3}));  // ColBias ahead
  EXPECT_EQ(call.ints, (std::vector<int64_t>{1, 1, 1, 1, 1, 0, 0, 1}));
  EXPECT_NE(call.pointers[0], nullptr);
  EXPECT_NE(call.pointers[1], nullptr);
  EXPECT_NE(call.pointers[0], call.pointers[1]);
  ExpectPosition(1, 2, 3);
  EXPECT_EQ(record.active, 1);
  EXPECT_EQ(repeatRequested, 1);
  EXPECT_EQ(skipHostHit, 0);
}

TEST_F(Sweep, BlockedProbeWithAClearFirstSegmentStaysPut) {
  Script({true, false});
  ClearAhead(&record);
  ASSERT_EQ(Tests(), 2);
  EXPECT_EQ(fake.calls[1].floats, (std::vector<float>{1, 2, 3, 1, 2.5f, 3}));  // SolidBias
  ExpectPosition(1, 2, 3);
  EXPECT_EQ(record.active, 1);
}

TEST_F(Sweep, WalksOutOfASolidSegmentBySegment) {
  Script({true, true, true, true, false});
  ClearAhead(&record);
  ASSERT_EQ(Tests(), 5);
  EXPECT_EQ(fake.calls[4].floats, (std::vector<float>{1, 3.5f, 3, 1, 4.0f, 3}));
  ExpectPosition(1, 2 + 3 * 0.5f, 3);
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
  ExpectPosition(1, 2, 3);
}

TEST_F(Sweep, NoSegmentsAllowedNeverStops) {
  for (int32_t loops : {0, -3}) {
    settings.SolidLoop = loops;
    fake.ClearCalls();
    Script({true, true});
    ClearAhead(&record);
    EXPECT_EQ(Tests(), 1);
    EXPECT_EQ(record.active, 1);
    ExpectPosition(1, 2, 3);
  }
}

TEST_F(Sweep, AlwaysBlockedMakesSolidLoopPlusOneTestsThenStops) {
  fake.lineTestGeometry = [](const float*, const float*) { return true; };
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 51);
  EXPECT_EQ(record.active, 0);
  ExpectPosition(1, 2, 3);
}

TEST_F(Sweep, NoDirectionNoTest) {
  record.velocity[1] = 0.0f;
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 0);
  ExpectPosition(1, 2, 3);
  EXPECT_EQ(record.active, 1);
}

TEST_F(Sweep, UndefinedSegmentsAreNeverTested) {
  settings.ColBias = 0.0f;  // step = v / ((0 x inf) / SolidBias)
  ClearAhead(&record);
  EXPECT_EQ(Tests(), 0);
  ExpectPosition(1, 2, 3);
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
  savedTimeStep = 0.0732196569f;
  const float speed = 29.0f, travelled = 114.428574f;
  CutStep(travelled, speed);
  const float extended =
      static_cast<float>((static_cast<long double>(savedTimeStep) * speed - travelled) / speed);
  const float single = (savedTimeStep * speed - travelled) / speed;
  EXPECT_EQ(fake.timeStep, extended);
  EXPECT_NE(fake.timeStep, single);  // the two differ for these values
}

TEST_F(Sweep, CutWithoutSpeedLeavesNoTime) {
  savedTimeStep = 1.0f;
  CutStep(0.5f, 0.0f);
  EXPECT_EQ(fake.timeStep, 0.0f);
  EXPECT_EQ(repeatRequested, 1);
}

}  // namespace
}  // namespace pellix
