// Thousands of random shots through random tables and settings against random planes: whatever
// the values, no record ever holds a NaN, nor an infinity outside an expiry or a trail length,
// damage is always the low 16 bits of a truncation, flags stay 0 or 1, and an impact makes a
// bounded number of line tests.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "sim/flight_forces.h"
#include "sim/impact.h"
#include "sim/loop_state.h"
#include "sim/shots.h"
#include "sim/vec3.h"
#include "tests/support/fake_host.h"
#include "tests/support/sim_setup.h"

namespace pellix {
namespace {

using testing::FakeHost;
using testing::HostCallKind;
using testing::SimSetup;

constexpr int32_t kWeapons = 40;
constexpr int32_t kSlots = 32;

class Random {
 public:
  explicit Random(uint32_t seed) : engine_(seed) {}
  float Uniform(float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(engine_() & 0xFFFFFF) / float(0xFFFFFF);
  }
  int32_t Int(int32_t lo, int32_t hi) {  // inclusive
    return lo + static_cast<int32_t>(engine_() % static_cast<uint32_t>(hi - lo + 1));
  }
  bool Chance(int percent) { return Int(0, 99) < percent; }
  // Mostly ordinary values, sometimes zero, negative or extreme.
  float Value(float lo, float hi) {
    switch (Int(0, 11)) {
      case 0:
        return 0.0f;
      case 1:
        return -Uniform(lo, hi);
      case 2:
        return Uniform(0.0f, 1.0f) * 1e6f;
      case 3:
        return Uniform(0.0f, 1e-6f);
      case 4:
        return Chance(50) ? Uniform(0.0f, 3e38f) : -Uniform(0.0f, 3e38f);
      default:
        return Uniform(lo, hi);
    }
  }

 private:
  std::mt19937 engine_;
};

class SimProperty : public ::testing::Test {
 protected:
  SimSetup sim{kWeapons, kSlots};
  FakeHost fake;
  // The world: one plane, n . x = offset.
  float planeNormal[3] = {0, 0, 1};
  float planeOffset = 0.0f;
  int impacts = 0;

  float Side(const float* p) const { return vec3::Dot(planeNormal, p) - planeOffset; }

  void RandomWorld(Random& rnd) {
    settings.Gravity = rnd.Int(0, 1);
    settings.AirResist = rnd.Int(0, 1);
    settings.Ricochet = rnd.Int(0, 1);
    settings.Pierce = rnd.Int(0, 1);
    settings.gravityScale = rnd.Value(0.0f, 0.1f);
    settings.minSpeedScaled = rnd.Value(0.0f, 30.0f);
    settings.ColBias = rnd.Value(0.001f, 0.1f);
    settings.SolidBias = rnd.Value(0.01f, 1.0f);
    settings.SolidLoop = rnd.Int(-2, 60);
    settings.rangeScale = rnd.Value(10.0f, 80.0f);
    for (int32_t i = 0; i < kWeapons; ++i) {
      WeaponBallistics& w = sim.Weapon(i);
      w.speedFactor = rnd.Value(0.01f, 0.3f);
      w.dragAlong = rnd.Value(0.0f, 0.5f);
      w.dragAcross = rnd.Value(0.0f, 0.5f);
      w.pierceCost = rnd.Value(0.0f, 5.0f);
      w.ricochetBonus = rnd.Value(0.0f, 0.5f);
      w.tracerEvery = rnd.Int(-3, 5);
      w.ammoTrailLength = rnd.Value(0.0f, 5.0f);
      w.tracerTrailLength = rnd.Value(0.0f, 5.0f);
    }
    for (int32_t c = 0; c < SurfaceClassCount; ++c) {
      SurfaceBallistics& s = sim.Surface(c);
      s.ricochetThreshold = rnd.Value(0.0f, 1.0f);
      s.ricochetAngleLoss = rnd.Value(0.0f, 1.0f);
      s.ricochetKeep = rnd.Value(-0.5f, 1.0f);
      s.ricochetScatter = rnd.Value(0.0f, 0.5f);
      s.pierceResistance = rnd.Value(0.0f, 5.0f);
    }
    const float n[3] = {rnd.Uniform(-1, 1), rnd.Uniform(-1, 1), rnd.Uniform(-1, 1)};
    vec3::Normalize(planeNormal, n);
    if (vec3::Length(planeNormal) == 0.0f) planeNormal[2] = 1.0f;
    planeOffset = rnd.Uniform(-20.0f, 20.0f);
    fake.defaultSurfaceClass = static_cast<uint32_t>(rnd.Int(0, 9));  // 7..9 beyond the table
    fake.wind[0] = rnd.Value(0.0f, 50.0f);
    fake.wind[1] = rnd.Value(0.0f, 50.0f);
    fake.wind[2] = rnd.Value(0.0f, 5.0f);
    fake.lineTestGeometry = [this](const float* a, const float* b) {
      return (Side(a) <= 0.0f) != (Side(b) <= 0.0f);
    };
  }

  void Shoot(Random& rnd) {
    const float start[3] = {rnd.Uniform(-30, 30), rnd.Uniform(-30, 30), rnd.Uniform(-30, 30)};
    float d[3] = {rnd.Uniform(-10, 10), rnd.Uniform(-10, 10), rnd.Uniform(-10, 10)};
    if (rnd.Chance(5)) d[0] = d[1] = d[2] = 0.0f;
    const int32_t type = rnd.Chance(10) ? rnd.Int(-5, 300) : rnd.Int(0, kWeapons - 1);
    fake.weaponInfoByType[type] = fake.defaultWeaponInfo;
    fake.Write<float>(fake.defaultWeaponInfo + 8, rnd.Value(10.0f, 500.0f));
    fake.Write<int16_t>(fake.defaultWeaponInfo + 34, static_cast<int16_t>(rnd.Int(-40000, 40000)));
    switch (rnd.Int(0, 2)) {
      case 0: {
        const HostWeapon weapon{type};
        float end[3] = {start[0] + d[0], start[1] + d[1], start[2] + d[2]};
        float other[3] = {0, 0, 0};
        Make(&weapon, rnd.Chance(50) ? shooterWalker : 0, 0, start, end, other, 0);
        break;
      }
      case 1:
        MakeSniper(0, static_cast<uint32_t>(type), start[0], start[1], start[2], d[0], d[1], d[2]);
        break;
      default: {
        float end[3] = {start[0] + d[0], start[1] + d[1], start[2] + d[2]};
        MakeM4(start, end, static_cast<uint32_t>(rnd.Int(0, 70000)));
      }
    }
  }

  void ExpectSane(const ProjectileRecord& r, const ProjectileExtra& x) {
    ASSERT_TRUE(vec3::IsFinite(r.position));
    ASSERT_TRUE(vec3::IsFinite(r.velocity));
    ASSERT_FALSE(std::isnan(r.expiryTime));  // infinite: never expires, or has already
    ASSERT_LE(r.active, 1);
    ASSERT_LE(r.isTracer, 1);
    ASSERT_TRUE(std::isfinite(x.pierceBudget));
    ASSERT_FALSE(std::isnan(x.trailLength));
    ASSERT_FALSE(std::isnan(x.refractLength));  // infinite: none of the trail shown yet
    ASSERT_GE(x.entryClass, 0);
    ASSERT_LT(x.entryClass, SurfaceClassCount);
    for (int32_t flag : {repeatRequested, skipHostHit, damageRestorePending}) {
      ASSERT_TRUE(flag == 0 || flag == 1);
    }
  }

  // One step of the host's loop for a record, impacts and repeats included.
  void Step(ProjectileRecord& r, ProjectileExtra& x, float dt) {
    savedTimeStep = dt;
    fake.timeStep = dt;
    for (int pass = 0; pass <= settings.MaxLoop && r.active; ++pass) {
      const float step = fake.timeStep;
      ApplyFlightForces(&r, step);
      ASSERT_NO_FATAL_FAILURE(ExpectSane(r, x));
      const float end[3] = {r.position[0] + r.velocity[0] * step,
                            r.position[1] + r.velocity[1] * step,
                            r.position[2] + r.velocity[2] * step};
      const float a = Side(r.position), b = Side(end);
      if ((a <= 0.0f) == (b <= 0.0f) || !vec3::IsFinite(end)) {
        if (vec3::IsFinite(end)) vec3::Copy(r.position, end);
        break;
      }
      const float t = a / (a - b);
      const float hit[3] = {r.position[0] + (end[0] - r.position[0]) * t,
                            r.position[1] + (end[1] - r.position[1]) * t,
                            r.position[2] + (end[2] - r.position[2]) * t};
      float normal[3];
      for (int i = 0; i < 3; ++i) normal[i] = a > 0.0f ? planeNormal[i] : -planeNormal[i];
      if (rnd_->Chance(20)) normal[0] = -normal[0];  // the host's normals are not always kind
      ASSERT_NO_FATAL_FAILURE(Impact(r, x, hit, normal));
      if (!repeatRequested) break;
      repeatRequested = 0;
    }
  }

  void Impact(ProjectileRecord& r, ProjectileExtra& x, const float* hit, const float* normal) {
    const uint16_t damageBefore = static_cast<uint16_t>(r.damage);
    const WeaponBallistics& w = WeaponRow(r.weaponType);
    const float speed = vec3::Length(r.velocity);
    const bool special = r.weaponType == 34 || r.weaponType == 38;
    const uint32_t kind = static_cast<uint32_t>(rnd_->Int(0, 4));
    fake.ClearCalls();
    ResolveImpact(&r, hit, normal, 0, kind);
    ++impacts;
    const int lineTests = fake.Count(HostCallKind::LineTest);
    ASSERT_LE(lineTests, settings.SolidLoop > 0 ? settings.SolidLoop + 1 : 1);
    ASSERT_NO_FATAL_FAILURE(ExpectSane(r, x));

    if (!special && damageRestorePending && speed >= settings.minSpeedScaled && speed > 0.0f) {
      const long double energy = static_cast<long double>(speed) * speed * w.speedFactor *
                                 w.speedFactor * static_cast<long double>(damageBefore);
      long double truncated = std::trunc(energy);
      const bool fits = truncated > -2147483649.0L && truncated < 2147483648.0L;
      const uint16_t expected = fits ? static_cast<uint16_t>(static_cast<int64_t>(truncated)) : 0;
      const uint16_t now = static_cast<uint16_t>(r.damage);
      ASSERT_EQ(savedDamage, damageBefore);
      if (skipHostHit && r.active) {
        ASSERT_EQ(now, 0);  // left a solid
      } else if (repeatRequested) {
        ASSERT_LE(now, expected);  // a ricochet keeps a share; entering keeps all
      } else if (r.active) {
        ASSERT_EQ(now, expected);  // plain hit
      }
    }
    // The takeover's part of the cycle: put the damage back and clear the flags.
    if (damageRestorePending) r.damage = static_cast<int16_t>(savedDamage);
    damageRestorePending = 0;
    skipHostHit = 0;
  }

  Random* rnd_ = nullptr;
  uint32_t shooterWalker = 0;
};

TEST_F(SimProperty, RandomShotsKeepEveryRecordFinite) {
  shooterWalker = fake.AddShooter(3, 1, 7);
  for (uint32_t seed = 1; seed <= 100; ++seed) {
    Random rnd(seed);
    rnd_ = &rnd;
    RandomWorld(rnd);
    for (int shot = 0; shot < 100; ++shot) {
      Shoot(rnd);
      const int32_t slot = pool.nextSlot == 0 ? kSlots - 1 : pool.nextSlot - 1;
      ProjectileRecord& r = sim.Record(slot);
      ProjectileExtra& x = sim.Extra(slot);
      ASSERT_NO_FATAL_FAILURE(ExpectSane(r, x)) << "seed " << seed << " shot " << shot;
      for (int frame = 0; frame < 12 && r.active; ++frame) {
        ASSERT_NO_FATAL_FAILURE(Step(r, x, rnd.Uniform(0.1f, 2.0f)))
            << "seed " << seed << " shot " << shot << " frame " << frame;
      }
    }
  }
  EXPECT_GT(impacts, 1000);  // the run reaches the impact response often
}

}  // namespace
}  // namespace pellix
