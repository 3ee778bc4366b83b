// Where the stand-in keeps what the host game has but the plug-in never names: its own
// records, the jump slots through which host code reaches the stand-in's code, and the
// routine whose epilogue the plug-in replaces. The addresses the plug-in relies on come from
// host/host_addresses.h.
#pragma once
#include <cstdint>

#include "host/host_addresses.h"

namespace standin {

namespace ha = pellix::host_addr;

// The image: host code below kDataStart (read-execute once laid), host data above it
// (read-write). The executable's own sections start at kImageEnd.
inline constexpr uint32_t kImageStart = 0x401000;
inline constexpr uint32_t kDataStart = 0x880000;
inline constexpr uint32_t kImageEnd = 0xD00000;

// Dwords that host code jumps through (jmp dword [slot]) into the stand-in's own code.
inline constexpr uint32_t kJumpSlots = 0x880000;
inline constexpr int kJumpSlotCount = 64;

// The host's own projectile and trace records, ending at the loops' limits.
inline constexpr int kHostProjectiles = 3;
inline constexpr uint32_t kHostProjectileArray =
    ha::HostProjectileArrayEnd - 4 - 44 * kHostProjectiles;
inline constexpr int kHostTraces = 3;
inline constexpr uint32_t kHostTraceArray = ha::HostTraceArrayEnd - 8 - 44 * kHostTraces;

// Host weapon-info records (one per weapon type byte), shooters and effect objects.
inline constexpr uint32_t kWeaponInfoRecords = 0x900000;
inline constexpr uint32_t kWeaponInfoSize = 48;
inline constexpr uint32_t kPedestrianShooter = 0x920000;
inline constexpr uint32_t kVehicleShooter = 0x922000;
inline constexpr uint32_t kEffectObjects = 0x930000;
inline constexpr uint32_t kHostWeapon = 0x910000;  // a HostWeapon: int32 weapon type at +0

// The host routine whose epilogue (pop edi; pop esi; pop ebx; ret) the plug-in replaces.
inline constexpr uint32_t kTraceRoutine = ha::TrailUpdateSite - 0x65;

// Host code around the sites, as the stand-in lays it.
inline constexpr uint32_t kHitTypeCompare = ha::ImpactFillSite - 2;  // cmp al, 3
inline constexpr uint32_t kTraceAdvance = ha::TraceLoopEndSite - 3;  // add esi, 44
inline constexpr uint32_t kBranchBTarget = ha::BranchFillB + 0x10;

// The dword that the trace loop's colour load reads.
inline constexpr uint32_t kHostColourValue = 0x00C0FFEE;
// The colour the host gives its traces itself (EDI before the colour load).
inline constexpr uint32_t kHostTraceColour = 0x11223344;

}  // namespace standin
