// A host weapon-info record (range and damage) at a made-up host address, for the shot
// routines that read one. Install() puts it in front of the `host.at` already installed, which
// keeps answering every other address, and points `host.weaponInfo` (every type and skill gets
// the one record) and `host.shooterSkill` at it. Header-only.
#pragma once
#include <cstdint>
#include <cstring>

#include "host/host_addresses.h"
#include "host/host_api.h"

namespace pellix::testing {

class WeaponInfoStub {
 public:
  static void Install(uint32_t address, float range, int16_t damage, uint8_t skill) {
    address_ = address;
    skill_ = skill;
    std::memcpy(record_ + host_addr::WeaponInfoRange, &range, sizeof range);
    std::memcpy(record_ + host_addr::WeaponInfoDamage, &damage, sizeof damage);
    if (host.at != At) next_ = host.at;  // installed twice: keep the first one's fallback
    host.at = At;
    host.weaponInfo = Info;
    host.shooterSkill = Skill;
  }

 private:
  static const void* At(uint32_t address) {
    if (address >= address_ && address < address_ + sizeof record_) {
      return record_ + (address - address_);
    }
    return next_ != nullptr ? next_(address) : nullptr;
  }
  static uint32_t Info(int32_t, int32_t) { return address_; }
  static uint8_t Skill(uint32_t) { return skill_; }

  inline static uint8_t record_[64]{};
  inline static uint32_t address_ = 0;
  inline static uint8_t skill_ = 0;
  inline static const void* (*next_)(uint32_t) = nullptr;
};

}  // namespace pellix::testing
