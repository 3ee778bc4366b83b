#include "visuals/tracer_resources.h"

#include <gtest/gtest.h>

#include "startup/reload.h"
#include "tests/visuals/drawing_fixture.h"

namespace pellix::testing {
namespace {

using Calls = std::vector<std::string>;
using TracerResourcesTest = DrawingTest;

TEST_F(TracerResourcesTest, TypeZeroLoadsNothingAndResetsTouchNothing) {
  settings.TracerType = 0;
  PrepareTracerResources();
  EXPECT_EQ(api.calls, (Calls{"HostDevice", "HostRenderSurface", "GetDesc renderSurface"}));
  api.calls.clear();
  ReleaseTracerResources();
  RestoreTracerResources();
  EXPECT_TRUE(api.calls.empty());
  EXPECT_EQ(tracerEffect, nullptr);
}

TEST_F(TracerResourcesTest, TypeOneLoadsTheEffectOnceAndNeverATexture) {
  settings.TracerType = 1;
  PrepareTracerResources();
  PrepareTracerResources();
  EXPECT_EQ(api.Count("GetDesc"), 2);  // the description is read on every call
  EXPECT_EQ(api.Count("CreateEffectFromFile"), 1);
  EXPECT_FALSE(api.Has("CreateTexture"));
  EXPECT_EQ(tracerEffect, RecordingRenderApi::Effect());
  EXPECT_EQ(hRenderScene, RecordingRenderApi::SceneHandle());
  EXPECT_EQ(hMatWVP, RecordingRenderApi::WvpHandle());
  api.calls.clear();
  ReleaseTracerResources();
  RestoreTracerResources();
  EXPECT_EQ(api.calls, (Calls{"OnLostDevice effect", "OnResetDevice effect"}));
}

TEST_F(TracerResourcesTest, EffectPathIsBesideTheExecutable) {
  struct Case {
    std::string module;
    std::string path;
  };
  const std::string longFolder = "C:\\" + std::string(240, 'd');
  const Case cases[] = {
      {"C:\\Games\\Host\\host.exe", "C:\\Games\\Host\\pellix.fx"},
      {"host.exe", "host.exe\\pellix.fx"},  // no backslash: nothing is cut
      {"C:\\host.exe", "C:\\pellix.fx"},
      // A path that fills the whole 260-character buffer still gets the name appended.
      {longFolder + "\\" + std::string(300, 'x'), ""},
  };
  for (const Case& c : cases) {
    api.modulePath = c.module;
    api.effectLoads = false;  // so every call tries again
    api.effectPaths.clear();
    PrepareTracerResources();
    ASSERT_EQ(api.effectPaths.size(), 1u);
    if (c.path.empty()) {
      EXPECT_EQ(api.effectPaths[0], longFolder + "\\pellix.fx");
    } else {
      EXPECT_EQ(api.effectPaths[0], c.path);
    }
  }
  // A failed load looks up no handle and leaves the effect null.
  EXPECT_FALSE(api.Has("GetParameterByName"));
  EXPECT_EQ(tracerEffect, nullptr);
}

TEST_F(TracerResourcesTest, TruncatedPathWithoutBackslashStaysInsideTheBuffer) {
  api.modulePath = std::string(400, 'x');
  api.effectLoads = false;
  PrepareTracerResources();
  ASSERT_EQ(api.effectPaths.size(), 1u);
  EXPECT_EQ(api.effectPaths[0], std::string(259, 'x') + "\\pellix.fx");
}

TEST_F(TracerResourcesTest, SceneCopyIsARenderTargetTextureWithItsLevelZero) {
  api.renderSurfaceDesc.width = 800;
  api.renderSurfaceDesc.height = 600;
  api.renderSurfaceDesc.format = 22;  // X8R8G8B8
  PrepareTracerResources();
  EXPECT_TRUE(api.Has("CreateTexture 800x600 0 1 22 0"));
  EXPECT_EQ(sceneCopyTexture, RecordingRenderApi::Texture(1));
  EXPECT_EQ(sceneCopySurface, RecordingRenderApi::Level0(1));
  EXPECT_EQ(CallsFrom("CreateTexture"),
            (Calls{"CreateTexture 800x600 0 1 22 0", "GetSurfaceLevel texture#1 0"}));
}

TEST_F(TracerResourcesTest, StaleSurfaceIsReleasedBeforeTheNewLevelIsTaken) {
  sceneCopySurface = RecordingRenderApi::Level0(7);
  api.references[sceneCopySurface] = 1;
  tracerEffect = RecordingRenderApi::Effect();
  PrepareTracerResources();
  EXPECT_EQ(CallsFrom("CreateTexture"), (Calls{"CreateTexture 640x480 0 1 21 0", "Release level0#7",
                                               "GetSurfaceLevel texture#1 0"}));
  EXPECT_EQ(api.references[RecordingRenderApi::Level0(7)], 0);
}

TEST_F(TracerResourcesTest, FailedTextureTakesNoSurfaceAndIsTriedAgain) {
  api.textureCreates = false;
  PrepareTracerResources();
  EXPECT_FALSE(api.Has("GetSurfaceLevel"));
  EXPECT_EQ(sceneCopyTexture, nullptr);
  EXPECT_EQ(sceneCopySurface, nullptr);
  api.textureCreates = true;
  PrepareTracerResources();
  EXPECT_EQ(api.Count("CreateTexture"), 2);
  EXPECT_EQ(sceneCopySurface, RecordingRenderApi::Level0(1));
}

TEST_F(TracerResourcesTest, ResetReleasesTheCopyAndTheNextDrawSizesItAnew) {
  PrepareTracerResources();
  api.calls.clear();
  ReleaseTracerResources();
  // The effect's own reference to the copy is dropped before ours, so no default-pool object
  // survives into the reset.
  EXPECT_EQ(api.calls, (Calls{"OnLostDevice effect", "SetTexture effect h:RenderScene null",
                              "Release level0#1", "Release texture#1"}));
  EXPECT_EQ(sceneCopyTexture, nullptr);
  EXPECT_EQ(sceneCopySurface, nullptr);
  EXPECT_EQ(api.HeldReferences(), 0);
  api.calls.clear();
  RestoreTracerResources();
  EXPECT_EQ(api.calls, (Calls{"OnResetDevice effect"}));
  EXPECT_EQ(sceneCopyTexture, nullptr);  // not made at restore

  api.renderSurfaceDesc.width = 1024;
  api.renderSurfaceDesc.height = 768;
  api.calls.clear();
  PrepareTracerResources();
  EXPECT_EQ(CallsFrom("CreateTexture"),
            (Calls{"CreateTexture 1024x768 0 1 21 0", "GetSurfaceLevel texture#2 0"}));
}

// Reload: a changed pellix.fx replaces the effect at the next draw only when it compiles, and a
// TracerType changed in play (here 2 to 0) still lets a reset release what was made.
TEST_F(TracerResourcesTest, AChangedEffectReplacesTheOldOnlyWhenItCompiles) {
  PrepareTracerResources();
  effectReloadPending = 1;
  api.effectLoads = false;
  api.calls.clear();
  PrepareTracerResources();
  EXPECT_EQ(api.Count("CreateEffectFromFile"), 1);
  EXPECT_FALSE(api.Has("ReleaseEffect"));
  EXPECT_EQ(tracerEffect, RecordingRenderApi::Effect());
  EXPECT_EQ(effectReloadPending, 0);

  effectReloadPending = 1;
  api.effectLoads = true;
  api.calls.clear();
  PrepareTracerResources();
  EXPECT_EQ(CallsFrom("CreateEffectFromFile").at(1), "ReleaseEffect effect");
  EXPECT_TRUE(api.Has("GetParameterByName effect#1 null RenderScene"));
  settings.TracerType = 0;
  api.calls.clear();
  ReleaseTracerResources();
  RestoreTracerResources();
  EXPECT_EQ(api.calls, (Calls{"OnLostDevice effect#1", "SetTexture effect#1 h:RenderScene null",
                              "Release level0#1", "Release texture#1", "OnResetDevice effect#1"}));
}

TEST_F(TracerResourcesTest, ResetWithoutEffectStillReleasesTheCopy) {
  api.effectLoads = false;
  PrepareTracerResources();
  api.calls.clear();
  ReleaseTracerResources();
  EXPECT_EQ(api.calls, (Calls{"Release level0#1", "Release texture#1"}));
  api.calls.clear();
  RestoreTracerResources();
  EXPECT_TRUE(api.calls.empty());
}

TEST_F(TracerResourcesTest, NoRenderSurfaceMakesNoCopy) {
  api.renderSurface = nullptr;
  PrepareTracerResources();
  EXPECT_FALSE(api.Has("GetDesc"));
  EXPECT_FALSE(api.Has("CreateTexture"));
  EXPECT_TRUE(api.Has("CreateEffectFromFile"));
}

TEST_F(TracerResourcesTest, NothingHappensBeforeTheDeviceBindingExists) {
  renderApi = nullptr;
  PrepareTracerResources();
  ReleaseTracerResources();
  RestoreTracerResources();
  EXPECT_TRUE(api.calls.empty());
}

}  // namespace
}  // namespace pellix::testing
