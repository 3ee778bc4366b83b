// What the scenarios share: the data files they write, the shots they fire through the host's
// routines, and look-ups in what the host observed.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host_game.h"
#include "world.h"

namespace standin {

// pellix.ini with the given extra lines appended to each section's defaults for the stand-in.
std::string MakeIni(const char* physics, const char* graphics, int maxPellix = 8);
std::string WeaponFile();
std::string SurfaceFile();
inline constexpr float kRange22 = 400.0f;  // weapon 22: muzzle speed 500, 20 per time step
inline constexpr int16_t kDamage22 = 40;
inline constexpr uint32_t kTracerColour22 = 0xFF20C040;

// The host's weapon-info records and shooters for the weapon file above.
void SetupHostData();
// SetupHostData, an empty world, no host projectile or trace, no wind, the clock at `clockMs`.
void ClearHost(uint32_t clockMs);

struct ShotResult {
  uint32_t eax;
  bool ok;  // returned false (AL = 0)
};
ShotResult FireMake(int32_t weaponType, uint32_t shooter, int flag, Vec3* start, Vec3* end,
                    Vec3* alt);
ShotResult FireSniper(uint32_t shooter, uint32_t weaponArg, Vec3 position, Vec3 direction);
ShotResult FireM4(Vec3* start, Vec3* end, uint32_t damage);

// Pool records stepped in a frame (the host's own excluded), in visit order.
std::vector<const StepVisit*> PoolVisits(int frame);
// The pool record whose first visit had this start position, or 0.
uint32_t PoolRecordAt(const Vec3& position);
float Length(const Vec3& v);
bool Near(float a, float b, float tolerance);

}  // namespace standin
