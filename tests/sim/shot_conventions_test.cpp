// The three shot routines called the way the host's code calls them (32-bit build only):
// Make as a member call that removes its six arguments, the other two as plain C calls.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/shots.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

struct HostCallResult {
  uint32_t eax;
  int32_t stackChange;
  uint32_t ebx, esi, edi, ebp;
};

extern "C" void PellixCallAsHost(const void* fn, uint32_t ecx, const uint32_t* args, uint32_t count,
                                 HostCallResult* out);

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }
uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

void ExpectCalleeSavedKept(const HostCallResult& r) {
  EXPECT_EQ(r.ebx, 0x11111111u);
  EXPECT_EQ(r.esi, 0x22222222u);
  EXPECT_EQ(r.edi, 0x33333333u);
  EXPECT_EQ(r.ebp, 0x44444444u);
}

class ShotConventions : public ::testing::Test {
 protected:
  testing::SimSetup sim{40, 4};
  testing::FakeHost fake;
  void SetUp() override {
    sim.Weapon(9).speedFactor = 0.25f;
    sim.Weapon(31).speedFactor = 0.25f;
  }
};

TEST_F(ShotConventions, MakeIsAMemberCallThatRemovesSixArguments) {
  const HostWeapon weapon{9};
  const float start[3] = {1, 2, 3};
  float end[3] = {1, 2, 13};
  float alternative[3] = {0, 0, 0};
  const uint32_t args[6] = {0, 0, Address(start), Address(end), Address(alternative), 0x5EED};
  HostCallResult r{};
  PellixCallAsHost(reinterpret_cast<const void*>(&Make), Address(&weapon), args, 6, &r);
  EXPECT_EQ(r.eax & 0xFF, 0u);  // false
  EXPECT_EQ(r.stackChange, 0);  // all 24 bytes removed by the callee
  ExpectCalleeSavedKept(r);
  EXPECT_EQ(sim.Record(0).weaponType, 9);  // read through ECX
  EXPECT_EQ(sim.Record(0).velocity[2], 4.0f);
  EXPECT_EQ(end[2], 10.0f);
}

TEST_F(ShotConventions, SniperIsAPlainCallWithFloatsByValue) {
  const uint32_t args[8] = {0,          0x109,      Bits(1.0f),  Bits(2.0f),
                            Bits(3.0f), Bits(0.0f), Bits(-5.0f), Bits(0.0f)};
  HostCallResult r{};
  PellixCallAsHost(reinterpret_cast<const void*>(&MakeSniper), 0xBADC0DE, args, 8, &r);
  EXPECT_EQ(r.eax & 0xFF, 0u);
  EXPECT_EQ(r.stackChange, -32);  // the caller removes the arguments
  ExpectCalleeSavedKept(r);
  EXPECT_EQ(sim.Record(0).weaponType, 9);
  EXPECT_EQ(sim.Record(0).position[2], 3.0f);
  EXPECT_EQ(sim.Record(0).velocity[1], -4.0f);
}

TEST_F(ShotConventions, M4IsAPlainCall) {
  const float start[3] = {0, 0, 0};
  float end[3] = {0, 8, 0};
  const uint32_t args[3] = {Address(start), Address(end), 0x10007};
  HostCallResult r{};
  PellixCallAsHost(reinterpret_cast<const void*>(&MakeM4), 0xBADC0DE, args, 3, &r);
  EXPECT_EQ(r.eax & 0xFF, 0u);
  EXPECT_EQ(r.stackChange, -12);
  ExpectCalleeSavedKept(r);
  EXPECT_EQ(sim.Record(0).damage, 7);
  EXPECT_EQ(sim.Record(0).velocity[1], 4.0f);
}

}  // namespace
}  // namespace pellix
