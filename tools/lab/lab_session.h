// One run of the lab: the plug-in's start-up on a data folder, the loop model over a world of
// planes and boxes, and the host memory that shots read (weapon-info records and shooters).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/crt_rand.h"
#include "tools/loop_model/loop_model.h"
#include "tools/loop_model/world.h"

namespace pellix::lab {

// What the host's weapon-info record says about a weapon type (range in world units).
struct HostWeapon {
  float range = 100.0f;
  int16_t damage = 25;
};

// A host entity that fires: its kind (3 is a pedestrian), skill and current ammunition count.
struct Shooter {
  uint8_t kind = 1;
  uint8_t skill = 1;
  uint16_t ammo = 0;
};

// Milliseconds of host clock per unit of host time step: a projectile flies muzzle speed / 25
// per unit, and muzzle speed is per second.
inline constexpr float kMsPerStep = 40.0f;

// Muzzle speed of a stored weapon row (25 / speedFactor); 0 when the row has none.
inline double MuzzleSpeed(float speedFactor) {
  return speedFactor != 0.0f ? 25.0 / static_cast<double>(speedFactor) : 0.0;
}

// The world as the model asks it, remembering the last hit found and the velocity of the pool
// record whose step found it (the model passes the record's own position).
class HitRecorder : public loop_model::World {
 public:
  explicit HitRecorder(const loop_model::BoxPlaneWorld& inner) : inner_(inner) {}
  bool LineTest(const float* start, const float* end) const override;
  bool FindHit(const float* start, const float* end, loop_model::Hit& hit) const override;

  mutable loop_model::Hit lastHit{};
  mutable float lastVelocity[3] = {0, 0, 0};

 private:
  const loop_model::BoxPlaneWorld& inner_;
};

class LabSession {
 public:
  LabSession();
  ~LabSession();
  LabSession(const LabSession&) = delete;
  LabSession& operator=(const LabSession&) = delete;

  // Runs start-up on the folder `dir` (pellix.ini, pellix_weapon.dat, pellix_surface.dat).
  // `iniOverrides` ("SECTION/Key" -> value text) win over the INI file; the override lines are
  // read after each data file's own lines. On failure `error` names the file. With `poolSlots`
  // set, the pool has at most that many slots (a MaxPellix below 1 still stops start-up).
  bool Load(const std::string& dir, std::string& error,
            const std::map<std::string, std::string>& iniOverrides = {},
            const std::vector<std::string>& weaponLines = {},
            const std::vector<std::string>& surfaceLines = {});

  // The slots that the runs need: a single shot flies the same in a pool of any size, and
  // every slot is walked in every frame. 0: as many as MaxPellix gives.
  int32_t poolSlots = 0;
  // MaxPellix as the folder and the overrides give it, whatever `poolSlots` made of it.
  int32_t dataMaxPellix = 0;

  // Starts a run as the first of a fresh session: clock 0 (an expiry is a float clock value,
  // which loses precision as the clock grows), every slot empty, the loop state clear, the
  // model's records empty and the ricochet draws from the start of their sequence.
  void StartRun();

  // Host-side values of weapon types; any type not listed gets `defaultWeapon`.
  HostWeapon defaultWeapon;
  std::map<int32_t, HostWeapon> hostWeapons;

  // Shooters get 32-bit host addresses; 0 stays "no shooter".
  uint32_t AddShooter(const Shooter& shooter);
  Shooter* ShooterAt(uint32_t address);

  loop_model::BoxPlaneWorld world;
  HitRecorder recorder{world};
  loop_model::LoopModel model;
  CrtRand rand;

  // Fires a level-or-aimed shot through MakeSniper and returns its slot.
  int32_t FireSniper(uint32_t shooter, int32_t weaponType, const float* start, const float* dir);

  std::string dataDir;
  std::string startupLog;

 private:
  friend struct LabHostRoutines;
  bool PoolClearOfModelHost() const;
  std::vector<std::vector<uint8_t>> infoRecords_;
  std::vector<std::vector<uint8_t>> shooterMemory_;
};

// Zeroes the loop-control globals and the tracer counter.
void ResetSimulationState();

}  // namespace pellix::lab
