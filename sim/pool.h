// The projectile pool: three parallel arrays of MaxPellix slots. The two 44-byte records
// have the host game's own layouts, because the host's loops walk them.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pellix {

struct ProjectileRecord {  // the host's projectile record
  int32_t weaponType;      // +0
  uint32_t shooter;        // +4, host entity address, 0 when none
  float expiryTime;        // +8, HostClockMs value at which the life ends
  uint8_t active;          // +12
  uint8_t isTracer;        // +13, a spare byte of the host layout
  uint8_t spare14[2];      // +14, not ours
  float position[3];       // +16
  float velocity[3];       // +28, world units per host time-step unit
  int16_t damage;          // +40
  uint8_t spare42[2];      // +42, not ours
};
static_assert(sizeof(ProjectileRecord) == 44);
static_assert(offsetof(ProjectileRecord, shooter) == 4);
static_assert(offsetof(ProjectileRecord, expiryTime) == 8);
static_assert(offsetof(ProjectileRecord, active) == 12);
static_assert(offsetof(ProjectileRecord, isTracer) == 13);
static_assert(offsetof(ProjectileRecord, position) == 16);
static_assert(offsetof(ProjectileRecord, velocity) == 28);
static_assert(offsetof(ProjectileRecord, damage) == 40);

struct TrailRecord {      // the host's trace record
  float start[3];         // +0, tail end
  float end[3];           // +12, head end, at the projectile
  uint8_t activity;       // +24, 0 hidden; 1 live, 2 shrinking, 3 both
  uint8_t spare25[3];     // +25
  uint32_t creationTime;  // +28, HostClockMs of the last write
  uint32_t lifetime;      // +32, ms after creationTime
  float width;            // +36
  uint8_t alpha;          // +40
  uint8_t isTracer;       // +41
  uint8_t weaponType;     // +42, low byte of the projectile's type
  uint8_t spare43;        // +43
};
static_assert(sizeof(TrailRecord) == 44);
static_assert(offsetof(TrailRecord, end) == 12);
static_assert(offsetof(TrailRecord, activity) == 24);
static_assert(offsetof(TrailRecord, creationTime) == 28);
static_assert(offsetof(TrailRecord, lifetime) == 32);
static_assert(offsetof(TrailRecord, width) == 36);
static_assert(offsetof(TrailRecord, alpha) == 40);
static_assert(offsetof(TrailRecord, isTracer) == 41);
static_assert(offsetof(TrailRecord, weaponType) == 42);

struct ProjectileExtra {  // the plug-in's own side record of a slot
  int32_t entryClass;     // +0, surface class where the projectile last entered a solid
  float entryPoint[3];    // +4
  float pierceBudget;     // +16
  float trailLength;      // +20, time-step units
  float refractLength;    // +24, time-step units
};
static_assert(sizeof(ProjectileExtra) == 28);
static_assert(offsetof(ProjectileExtra, refractLength) == 24);

struct ProjectilePool {
  ProjectileRecord* projectileArray;
  ProjectileRecord* projectileArrayEnd;  // just past the last record
  TrailRecord* trailArray;
  TrailRecord* trailArrayEnd;
  ProjectileExtra* extraArray;
  int32_t nextSlot;  // ring cursor, 0 <= nextSlot < MaxPellix
};

extern ProjectilePool pool;

// A zero-filling allocator with calloc's contract (memory released with free).
using ZeroAllocator = void* (*)(size_t count, size_t size);
void* CallocZeroed(size_t count, size_t size);

// Allocates the three arrays of `slots` zero-filled records, in the order trail, projectile,
// extra, sets the ends and puts nextSlot at 0. On failure (slots < 1 or an allocation that
// fails) it releases what it got, leaves the pool empty and returns false.
bool AllocatePool(int32_t slots, ZeroAllocator allocate = CallocZeroed);

// Slot of a record of the pool's projectile array.
inline int32_t SlotOf(const ProjectileRecord* record) {
  return static_cast<int32_t>(record - pool.projectileArray);
}

}  // namespace pellix
