// The host game's fixed addresses and the record layouts its code walks, each written out here
// as a plain number, independently of host_addresses.h and the record declarations: a typo in
// either place shows as a difference.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "host/host_addresses.h"
#include "sim/pool.h"
#include "visuals/strip_geometry.h"

namespace pellix {
namespace {

namespace ha = host_addr;

struct Fixed {
  const char* name;
  uint32_t used;  // what the code uses
  uint32_t host;  // the host's own value
};

void ExpectAll(std::initializer_list<Fixed> rows) {
  for (const Fixed& row : rows) {
    EXPECT_EQ(row.used, row.host) << row.name << " is 0x" << std::hex << row.used << ", not 0x"
                                  << row.host;
  }
}

TEST(HostInterface, GlobalsRoutinesAndRecordsOfTheHost) {
  ExpectAll({
      {"HostTimeStep", ha::HostTimeStep, 0xB7CB5C},
      {"HostClockMs", ha::HostClockMs, 0xB7CB84},
      {"HostWind", ha::HostWind, 0xC813E0},
      {"HostDevice", ha::HostDevice, 0xC97C28},
      {"HostRenderSurface", ha::HostRenderSurface, 0xC97C30},
      {"HostPresentParams", ha::HostPresentParams, 0xC9C040},
      {"HostLineTest", ha::HostLineTest, 0x56BA00},
      {"HostWeaponInfo", ha::HostWeaponInfo, 0x743C60},
      {"HostShooterSkill", ha::HostShooterSkill, 0x5E6580},
      {"HostSurfaceClass", ha::HostSurfaceClass, 0x55E670},
      {"its object", ha::HostSurfaceClassObject, 0xB79538},
      {"HostEffectCreate", ha::HostEffectCreate, 0x4A9BE0},
      {"its object", ha::HostEffectObject, 0xA9AE80},
      {"effect follow-up 1", ha::HostEffectStart, 0x4AA890},
      {"effect follow-up 2", ha::HostEffectFinish, 0x4AA3D0},
      {"HostAreaImpact", ha::HostAreaImpact, 0x56B790},
      {"weapon-info range", ha::WeaponInfoRange, 8},
      {"weapon-info damage", ha::WeaponInfoDamage, 34},
      {"shooter kind byte", ha::ShooterKind, 0x36},
      {"pedestrian kind", ha::PedestrianKind, 3},
      {"shooter current slot", ha::ShooterWeaponSlot, 0x718},
      {"shooter weapon slots", ha::ShooterWeaponSlots, 0x5A8},
      {"weapon slot size", ha::ShooterWeaponSlotSize, 28},
  });
}

TEST(HostInterface, HookSitesResumesAndLoopLimits) {
  ExpectAll({
      {"Make", ha::MakeSite, 0x73B550},
      {"MakeSniper", ha::MakeSniperSite, 0x736010},
      {"MakeM4", ha::MakeM4Site, 0x73AF00},
      {"projectile loop top", ha::ProjectileLoopTop, 0x7360E7},
      {"flight forces", ha::FlightForcesSite, 0x73614A},
      {"flight forces resume", ha::FlightForcesResume, 0x73614F},
      {"impact fill", ha::ImpactFillSite, 0x736282},
      {"impact jump", ha::ImpactSite, 0x736283},
      {"impact, AL = 3", ha::ImpactHitTypeThree, 0x736288},
      {"impact, other AL", ha::ImpactHitOther, 0x7363F2},
      {"impact, host hit skipped", ha::ImpactSkipHostHit, 0x73677C},
      {"branch fill 0x74", ha::BranchFillA, 0x736517},
      {"branch fill 0x0F", ha::BranchFillB, 0x7366C8},
      {"branch fill 0x75", ha::BranchFillC, 0x73679F},
      {"step end", ha::StepEndSite, 0x7367EB},
      {"step end resume", ha::StepEndResume, 0x7367F3},
      {"loop advance", ha::StepEndAdvance, 0x73680B},
      {"projectile loop end", ha::ProjectileLoopEndSite, 0x73680E},
      {"after the projectile loop", ha::ProjectileLoopAfter, 0x73681A},
      {"host projectile limit", ha::HostProjectileArrayEnd, 0xC888A4},
      {"trace loop top", ha::TraceLoopTop, 0x723CC2},
      {"trace colour", ha::TraceColourSite, 0x723CCD},
      {"trace colour resume", ha::TraceColourResume, 0x723CD2},
      {"trace colour source", ha::TraceColourSource, 0xB6F03C},
      {"trace loop end", ha::TraceLoopEndSite, 0x723F57},
      {"after the trace loop", ha::TraceLoopAfter, 0x723F63},
      {"host trace limit", ha::HostTraceArrayEnd, 0xC7CA10},
      {"trail update", ha::TrailUpdateSite, 0x7240B5},
      {"Reset A", ha::ResetSiteA, 0x7F8704},
      {"Reset B", ha::ResetSiteB, 0x7F9750},
      {"Reset C", ha::ResetSiteC, 0x7F97C8},
      {"Reset D", ha::ResetSiteD, 0x7F9A56},
      {"Reset alternative", ha::ResetSiteA - ha::ResetAlternativeOffset, 0x7F86C4},
  });
}

TEST(HostInterface, RecordLayouts) {
  ExpectAll({
      {"projectile record", sizeof(ProjectileRecord), 44},
      {"weaponType", offsetof(ProjectileRecord, weaponType), 0},
      {"shooter", offsetof(ProjectileRecord, shooter), 4},
      {"expiryTime", offsetof(ProjectileRecord, expiryTime), 8},
      {"active", offsetof(ProjectileRecord, active), 12},
      {"isTracer", offsetof(ProjectileRecord, isTracer), 13},
      {"position", offsetof(ProjectileRecord, position), 16},
      {"velocity", offsetof(ProjectileRecord, velocity), 28},
      {"damage", offsetof(ProjectileRecord, damage), 40},
      {"damage size", sizeof(ProjectileRecord::damage), 2},
      {"trace record", sizeof(TrailRecord), 44},
      {"start", offsetof(TrailRecord, start), 0},
      {"end", offsetof(TrailRecord, end), 12},
      {"activity", offsetof(TrailRecord, activity), 24},
      {"creationTime", offsetof(TrailRecord, creationTime), 28},
      {"lifetime", offsetof(TrailRecord, lifetime), 32},
      {"width", offsetof(TrailRecord, width), 36},
      {"alpha", offsetof(TrailRecord, alpha), 40},
      {"trail isTracer", offsetof(TrailRecord, isTracer), 41},
      {"trail weaponType", offsetof(TrailRecord, weaponType), 42},
      {"side record", sizeof(ProjectileExtra), 28},
      {"entryClass", offsetof(ProjectileExtra, entryClass), 0},
      {"entryPoint", offsetof(ProjectileExtra, entryPoint), 4},
      {"pierceBudget", offsetof(ProjectileExtra, pierceBudget), 16},
      {"trailLength", offsetof(ProjectileExtra, trailLength), 20},
      {"refractLength", offsetof(ProjectileExtra, refractLength), 24},
      {"tracer vertex", sizeof(TracerVertex), 44},
      {"vertex normal", offsetof(TracerVertex, normal), 12},
      {"vertex diffuse", offsetof(TracerVertex, diffuse), 24},
      {"vertex texture coordinates", offsetof(TracerVertex, tex), 28},
      {"vertex format", TracerVertexFvf, 0x20152},
  });
}

}  // namespace
}  // namespace pellix
