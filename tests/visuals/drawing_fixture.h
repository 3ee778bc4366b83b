// Settings, weapon table, pool and recording device for the drawing's unit tests.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/sample_setup.h"
#include "tests/visuals/recording_render_api.h"
#include "visuals/strip_geometry.h"
#include "visuals/tracer_batch.h"
#include "visuals/tracer_resources.h"

namespace pellix::testing {

class DrawingTest : public ::testing::Test {
 protected:
  static constexpr int kSlots = 8;
  static constexpr int kWeapons = 4;

  void SetUp() override {
    savedSettings_ = settings;
    savedPool_ = pool;
    savedTable_ = weaponTable;
    settings = DefaultSettings(kWeapons, kSlots);
    settings.TracerBatch = 0;  // one draw per trail and pass; the batched tests turn it on
    for (int i = 0; i < kWeapons; ++i) {
      weapons_[i] = WeaponBallistics{};
      weapons_[i].ammoTrailLength = 2.0f + i;
      weapons_[i].tracerTrailLength = 4.0f + i;
      weapons_[i].tracerColour = 0xFF000010u + i;
    }
    weaponTable = weapons_;
    pool =
        ProjectilePool{projectiles_, projectiles_ + kSlots, trails_, trails_ + kSlots, extras_, 0};
    renderApi = &api;
    tracerEffect = nullptr;
    hRenderScene = hMatWVP = nullptr;
    sceneCopyTexture = nullptr;
    sceneCopySurface = nullptr;
    tracerBatch = TracerBatch{};
    for (int i = 0; i < TracerStripVertices; ++i) {
      tracerStrip[i].tex[2] = 1.0f;
      tracerStrip[i].tex[3] = 0.0f;
    }
  }
  void TearDown() override {
    settings = savedSettings_;
    pool = savedPool_;
    weaponTable = savedTable_;
    renderApi = nullptr;
    tracerEffect = nullptr;
    hRenderScene = hMatWVP = nullptr;
    sceneCopyTexture = nullptr;
    sceneCopySurface = nullptr;
    tracerBatch = TracerBatch{};
  }

  // A live trail in slot i from start to end.
  TrailRecord& Trail(int i, Vec3 start, Vec3 end, float width = 0.05f, bool tracer = false,
                     uint8_t weapon = 0) {
    TrailRecord& t = trails_[i];
    t = TrailRecord{};
    t.start[0] = start.x, t.start[1] = start.y, t.start[2] = start.z;
    t.end[0] = end.x, t.end[1] = end.y, t.end[2] = end.z;
    t.activity = 1;
    t.width = width;
    t.isTracer = tracer ? 1 : 0;
    t.weaponType = weapon;
    return t;
  }

  // The calls recorded from the first one starting with `from` on.
  std::vector<std::string> CallsFrom(const std::string& from) const {
    for (size_t i = 0; i < api.calls.size(); ++i) {
      if (api.calls[i].rfind(from, 0) == 0) return {api.calls.begin() + i, api.calls.end()};
    }
    return {};
  }

  RecordingRenderApi api;
  WeaponBallistics weapons_[kWeapons]{};
  ProjectileRecord projectiles_[kSlots]{};
  TrailRecord trails_[kSlots]{};
  ProjectileExtra extras_[kSlots]{};

 private:
  Settings savedSettings_{};
  ProjectilePool savedPool_{};
  WeaponBallistics* savedTable_ = nullptr;
};

}  // namespace pellix::testing
