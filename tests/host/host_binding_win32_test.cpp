// The host interface after binding: globals at the host's fixed addresses, host memory reached
// directly, and the C runtime's own random sequence.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "host/host_addresses.h"
#include "host/host_api.h"
#include "host/host_binding.h"

namespace pellix {
namespace {

uint32_t Address(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

TEST(HostBindingTest, EveryEntryIsBoundToTheHost) {
  const HostApi saved = host;
  host = HostApi{};
  BindHostGame();
  EXPECT_EQ(Address(host.timeStep), host_addr::HostTimeStep);
  EXPECT_EQ(Address(host.clockMs), host_addr::HostClockMs);
  EXPECT_EQ(Address(host.wind), host_addr::HostWind);
  EXPECT_EQ(Address(reinterpret_cast<const void*>(host.lineTest)), host_addr::HostLineTest);
  EXPECT_EQ(Address(reinterpret_cast<const void*>(host.weaponInfo)), host_addr::HostWeaponInfo);
  EXPECT_EQ(Address(reinterpret_cast<const void*>(host.shooterSkill)), host_addr::HostShooterSkill);
  EXPECT_EQ(Address(reinterpret_cast<const void*>(host.areaImpact)), host_addr::HostAreaImpact);
  // The member routines go through adapters of our own.
  EXPECT_NE(host.surfaceClass, nullptr);
  EXPECT_NE(host.effectCreate, nullptr);
  EXPECT_NE(host.effectStart, nullptr);
  EXPECT_NE(host.effectFinish, nullptr);

  // Host memory is this process's memory.
  const int local = 42;
  EXPECT_EQ(host.at(Address(&local)), &local);

  // The runtime's own sequence: the same numbers as rand itself after the same seed.
  std::srand(1234);
  const int first = std::rand();
  const int second = std::rand();
  std::srand(1234);
  EXPECT_EQ(host.rand(), first);
  EXPECT_EQ(host.rand(), second);
  host = saved;
}

}  // namespace
}  // namespace pellix
