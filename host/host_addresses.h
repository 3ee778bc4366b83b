// Every fixed address of the host game. No other file spells a host address.
#pragma once
#include <cstdint>

namespace pellix::host_addr {

// Globals.
inline constexpr uint32_t HostTimeStep = 0xB7CB5C;       // float, the frame's time step
inline constexpr uint32_t HostClockMs = 0xB7CB84;        // uint32, clock in ms
inline constexpr uint32_t HostWind = 0xC813E0;           // 3 floats
inline constexpr uint32_t HostDevice = 0xC97C28;         // IDirect3DDevice9*
inline constexpr uint32_t HostRenderSurface = 0xC97C30;  // IDirect3DSurface9*
inline constexpr uint32_t HostPresentParams = 0xC9C040;  // D3DPRESENT_PARAMETERS

// Routines.
inline constexpr uint32_t HostLineTest = 0x56BA00;      // cdecl, 12 args, byte result
inline constexpr uint32_t HostWeaponInfo = 0x743C60;    // cdecl (weapon type, skill) -> info record
inline constexpr uint32_t HostShooterSkill = 0x5E6580;  // cdecl (shooter) -> skill byte
inline constexpr uint32_t HostSurfaceClass = 0x55E670;  // thiscall on HostSurfaceClassObject, 1 arg
inline constexpr uint32_t HostSurfaceClassObject = 0xB79538;
inline constexpr uint32_t HostEffectCreate = 0x4A9BE0;  // thiscall on HostEffectObject, 4 args
inline constexpr uint32_t HostEffectObject = 0xA9AE80;
inline constexpr uint32_t HostEffectStart = 0x4AA890;   // thiscall on the created effect, no args
inline constexpr uint32_t HostEffectFinish = 0x4AA3D0;  // thiscall on the created effect, no args
inline constexpr uint32_t HostAreaImpact = 0x56B790;    // cdecl, 7 args

// Host records (offsets).
inline constexpr uint32_t WeaponInfoRange = 8;          // float, world units
inline constexpr uint32_t WeaponInfoDamage = 34;        // int16
inline constexpr uint32_t ShooterKind = 0x36;           // byte, low 3 bits; 3 = pedestrian
inline constexpr uint32_t ShooterWeaponSlot = 0x718;    // byte, current weapon slot index
inline constexpr uint32_t ShooterWeaponSlots = 0x5A8;   // 28-byte slots, uint16 ammunition first
inline constexpr uint32_t ShooterWeaponSlotSize = 28;
inline constexpr uint8_t PedestrianKind = 3;

// Shot routines replaced whole.
inline constexpr uint32_t MakeSite = 0x73B550;
inline constexpr uint32_t MakeSniperSite = 0x736010;
inline constexpr uint32_t MakeM4Site = 0x73AF00;

// Projectile loop: EDI = record + 4.
inline constexpr uint32_t ProjectileLoopTop = 0x7360E7;
inline constexpr uint32_t FlightForcesSite = 0x73614A;
inline constexpr uint32_t FlightForcesResume = 0x73614F;
inline constexpr uint32_t ImpactFillSite = 0x736282;     // one 0x90, then the jump at +1
inline constexpr uint32_t ImpactSite = 0x736283;
inline constexpr uint32_t ImpactHitTypeThree = 0x736288;  // AL = 3
inline constexpr uint32_t ImpactHitOther = 0x7363F2;
inline constexpr uint32_t ImpactSkipHostHit = 0x73677C;
inline constexpr uint32_t BranchFillA = 0x736517;        // 2 bytes, 0x74
inline constexpr uint32_t BranchFillB = 0x7366C8;        // 6 bytes, 0x0F
inline constexpr uint32_t BranchFillC = 0x73679F;        // 2 bytes, 0x75
inline constexpr uint32_t StepEndSite = 0x7367EB;
inline constexpr uint32_t StepEndResume = 0x7367F3;
inline constexpr uint32_t StepEndAdvance = 0x73680B;     // the host's EDI += 44
inline constexpr uint32_t ProjectileLoopEndSite = 0x73680E;
inline constexpr uint32_t ProjectileLoopAfter = 0x73681A;
inline constexpr uint32_t HostProjectileArrayEnd = 0xC888A4;  // EDI limit of the host's own records

// Trace loop: ESI = record + 8.
inline constexpr uint32_t TraceLoopTop = 0x723CC2;
inline constexpr uint32_t TraceColourSite = 0x723CCD;
inline constexpr uint32_t TraceColourResume = 0x723CD2;
inline constexpr uint32_t TraceColourSource = 0xB6F03C;  // the dword the replaced load reads
inline constexpr uint32_t TraceLoopEndSite = 0x723F57;
inline constexpr uint32_t TraceLoopAfter = 0x723F63;
inline constexpr uint32_t HostTraceArrayEnd = 0xC7CA10;  // ESI limit (signed compare)
inline constexpr uint32_t TrailUpdateSite = 0x7240B5;    // pop edi; pop esi; pop ebx; ret

// Reset sites: primary P; the alternative is P - 0x40.
inline constexpr uint32_t ResetSiteA = 0x7F8704;
inline constexpr uint32_t ResetSiteB = 0x7F9750;
inline constexpr uint32_t ResetSiteC = 0x7F97C8;
inline constexpr uint32_t ResetSiteD = 0x7F9A56;
inline constexpr uint32_t ResetAlternativeOffset = 0x40;

}  // namespace pellix::host_addr
