#include "visuals/draw_tracers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/visuals/drawing_fixture.h"

namespace pellix::testing {
namespace {

using Calls = std::vector<std::string>;

const Calls kSaves = {
    "GetRenderTarget device 0", "GetFVF",
    "GetVertexDeclaration",     "GetRenderState 7",
    "GetRenderState 52",        "GetRenderState 27",
    "GetRenderState 28",        "GetRenderState 14",
    "GetRenderState 19",        "GetRenderState 20",
    "GetRenderState 22",        "GetRenderState 56",
    "GetStreamSource 0",        "GetTransform 2",
    "GetTransform 3",
};
const Calls kSets = {
    "SetVertexDeclaration null", "SetRenderState 7 1",  "SetRenderState 52 0",
    "SetRenderState 27 1",       "SetRenderState 28 0", "SetRenderState 14 0",
    "SetRenderState 19 5",       "SetRenderState 20 6", "SetRenderState 22 1",
    "SetRenderState 56 8",
};
const Calls kRestore = {
    "SetFVF 0x142",          "SetVertexDeclaration declaration",
    "SetRenderState 7 107",  "SetRenderState 52 152",
    "SetRenderState 27 127", "SetRenderState 28 128",
    "SetRenderState 14 114", "SetRenderState 19 119",
    "SetRenderState 20 120", "SetRenderState 22 122",
    "SetRenderState 56 156", "SetStreamSource 0 stream 16 32",
    "Release target",        "Release declaration",
    "Release stream",
};
const Calls kAdditive = {"SetRenderState 19 2", "SetRenderState 20 2"};
const std::string kDraw = "DrawPrimitiveUP 5 6 tracerStrip 44";

Calls Join(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// Everything after the effect and the scene copy are in place.
Calls FrameCalls(const Calls& copyAndBind, const Calls& passes) {
  return Join({kSaves, copyAndBind, kSets, passes, kRestore});
}

class DrawTracersTest : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    api.declaration = RecordingRenderApi::Declaration();
    api.stream = RecordingRenderApi::Stream();
  }
  uint32_t hostOffset_ = 16;  // the host's stream 0 offset, where the device takes one
  // Calls of the frame from the first saved state on.
  Calls Frame() const { return CallsFrom("GetRenderTarget"); }
  // The device state the host sees must be the one it had.
  void ExpectStateRestored() {
    for (uint32_t s : {7u, 52u, 27u, 28u, 14u, 19u, 20u, 22u, 56u}) {
      EXPECT_EQ(api.renderStates.at(s), 100 + s) << "state " << s;
    }
    EXPECT_EQ(api.fvf, 0x142u);
    EXPECT_EQ(api.declaration, RecordingRenderApi::Declaration());
    EXPECT_EQ(api.stream, RecordingRenderApi::Stream());
    EXPECT_EQ(api.streamOffset, hostOffset_);
    EXPECT_EQ(api.streamStride, 32u);
    // Every reference the frame took is given back.
    EXPECT_EQ(api.references[RecordingRenderApi::Target()], 0);
    EXPECT_EQ(api.references[RecordingRenderApi::Declaration()], 0);
    EXPECT_EQ(api.references[RecordingRenderApi::Stream()], 0);
  }
};

TEST_F(DrawTracersTest, TypeTwoLoadsCopiesTheSceneAndDrawsBothPasses) {
  Trail(3, {-1, 0, 10}, {1, 0, 10});
  DrawTracers();
  const Calls expectedStart = {
      "HostDevice",
      "HostDevice",
      "HostRenderSurface",
      "GetDesc renderSurface",
      "ModuleFileName 260",
      "CreateEffectFromFile device C:\\Games\\Host\\pellix.fx",
      "GetParameterByName effect null RenderScene",
      "GetParameterByName effect null matWVP",
      "CreateTexture 640x480 0 1 21 0",
      "GetSurfaceLevel texture#1 0",
  };
  ASSERT_GE(api.calls.size(), expectedStart.size());
  EXPECT_EQ(Calls(api.calls.begin(), api.calls.begin() + expectedStart.size()), expectedStart);
  const Calls passes =
      Join({{"SetFVF 0x20152", "Begin effect 2 0", "BeginPass effect 0", kDraw, "EndPass effect"},
            kAdditive,
            {"BeginPass effect 1", kDraw, "EndPass effect"},
            kAdditive,
            {"End effect"}});
  const Calls bind = {"StretchRect target level0#1 0"};
  Calls expected = FrameCalls(bind, passes);
  // The effect parameters come after the nine states, before the FVF.
  expected.insert(
      expected.begin() + kSaves.size() + 1 + kSets.size(),
      {"SetTexture effect h:RenderScene texture#1", "SetFloatArray effect h:matWVP 16"});
  EXPECT_EQ(Frame(), expected);
  EXPECT_EQ(api.drawPasses, (std::vector<uint32_t>{0, 1}));
  ExpectStateRestored();
  // The scene copy outlives the frame; the references the frame took do not.
  EXPECT_EQ(api.references[RecordingRenderApi::Texture(1)], 1);
}

TEST_F(DrawTracersTest, SecondFrameReusesTheResourcesAndReadsTheDescriptionAgain) {
  DrawTracers();
  api.calls.clear();
  DrawTracers();
  EXPECT_EQ(CallsFrom("HostDevice").size(), api.calls.size());
  EXPECT_EQ(api.Count("GetDesc"), 1);
  EXPECT_FALSE(api.Has("CreateEffectFromFile"));
  EXPECT_FALSE(api.Has("CreateTexture"));
  EXPECT_TRUE(api.Has("StretchRect target level0#1 0"));
}

TEST_F(DrawTracersTest, TypeOneSkipsTheCopyAndTheRefractionPass) {
  settings.TracerType = 1;
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  DrawTracers();
  EXPECT_FALSE(api.Has("CreateTexture"));
  const Calls passes =
      Join({{"SetFloatArray effect h:matWVP 16", "SetFVF 0x20152", "Begin effect 2 0"},
            kAdditive,
            {"BeginPass effect 1", kDraw, "EndPass effect"},
            kAdditive,
            {"End effect"}});
  EXPECT_EQ(Frame(), FrameCalls({}, passes));
  ExpectStateRestored();
}

TEST_F(DrawTracersTest, TypeThreeDrawsBothPassesWithoutSceneCopy) {
  settings.TracerType = 3;
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  DrawTracers();
  EXPECT_TRUE(api.Has("CreateEffectFromFile"));
  EXPECT_FALSE(api.Has("CreateTexture"));
  EXPECT_FALSE(api.Has("StretchRect"));
  EXPECT_FALSE(api.Has("SetTexture"));
  EXPECT_EQ(api.drawPasses, (std::vector<uint32_t>{0, 1}));
  ExpectStateRestored();
}

TEST_F(DrawTracersTest, EmptyPoolStillRunsThePassesAndRestores) {
  DrawTracers();
  const Calls passes =
      Join({{"SetFVF 0x20152", "Begin effect 2 0", "BeginPass effect 0", "EndPass effect"},
            kAdditive,
            {"BeginPass effect 1", "EndPass effect"},
            kAdditive,
            {"End effect"}});
  Calls expected = FrameCalls({"StretchRect target level0#1 0"}, passes);
  expected.insert(
      expected.begin() + kSaves.size() + 1 + kSets.size(),
      {"SetTexture effect h:RenderScene texture#1", "SetFloatArray effect h:matWVP 16"});
  EXPECT_EQ(Frame(), expected);
  ExpectStateRestored();
}

TEST_F(DrawTracersTest, PassCountFromBegin) {
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  struct Case {
    int type;
    bool beginWrites;
    uint32_t passes;
    std::vector<uint32_t> drawn;
    int begun;
  };
  const Case cases[] = {
      {2, false, 0, {0, 1}, 2},  // Begin leaves the preset count: two passes
      {2, true, 1, {0}, 1},      // one-pass effect: only the refraction pass
      {1, true, 1, {}, 0},       // one-pass effect with type 1: nothing drawn
      {2, true, 3, {0, 1}, 2},   // a third pass has no strip data: neither begun nor drawn
      {2, true, 0, {}, 0},       // a failed Begin that reports no pass
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "type " << c.type << " passes " << c.passes);
    settings.TracerType = c.type;
    api.beginWritesCount = c.beginWrites;
    api.techniquePasses = c.passes;
    api.calls.clear();
    api.drawPasses.clear();
    DrawTracers();
    EXPECT_EQ(api.drawPasses, c.drawn);
    EXPECT_EQ(api.Count("BeginPass"), c.begun);
    EXPECT_EQ(api.Count("EndPass"), c.begun);
    EXPECT_EQ(api.Count("End effect"), 1);
    ExpectStateRestored();
  }
}

TEST_F(DrawTracersTest, RefractionPassKeepsTheThirdCoordinateOfTheLastDisplayStrip) {
  settings.TracerBloom = 0.0f;
  Trail(0, {-1, 0, 10}, {1, 0, 10}, 0.2f, true, 1);
  DrawTracers();
  DrawTracers();
  ASSERT_EQ(api.drawPasses, (std::vector<uint32_t>{0, 1, 0, 1}));
  for (int i = 0; i < TracerStripVertices; ++i) {
    EXPECT_EQ(api.draws[0][i].tex[2], 1.0f) << "before any display pass";
    EXPECT_EQ(api.draws[1][i].tex[2], 0.5f) << "a tracer without bloom";
    EXPECT_EQ(api.draws[2][i].tex[2], 0.5f) << "left over from the last display strip";
  }
}

TEST_F(DrawTracersTest, OnlyActiveTrailsOfThePoolAreDrawnInSlotOrder) {
  settings.TracerType = 1;
  Trail(1, {0, 0, 10}, {1, 0, 10}, 0.01f);
  Trail(4, {0, 0, 10}, {1, 0, 10}, 0.04f).activity = 2;
  Trail(6, {0, 0, 10}, {1, 0, 10}, 0.06f).activity = 3;
  Trail(2, {0, 0, 10}, {1, 0, 10}, 0.02f).activity = 0;
  // A slot past MaxPellix is never visited.
  settings.MaxPellix = 6;
  DrawTracers();
  ASSERT_EQ(api.draws.size(), 2u);
  // Display pass of a plain trail: vertex 2 lies W across from the head.
  const auto across = [](const std::vector<TracerVertex>& s) {
    return std::fabs(s[2].position[1] - s[2].normal[1]);
  };
  EXPECT_NEAR(across(api.draws[0]), 0.01f, 1e-6f);
  EXPECT_NEAR(across(api.draws[1]), 0.04f, 1e-6f);
}

TEST_F(DrawTracersTest, WorldViewProjectionIsViewTimesProjectionInMemoryOrder) {
  settings.TracerType = 1;
  api.view = Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {2, 3, 4, 1}}};
  api.projection = Matrix4{{{2, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, 5, 1}, {0, 0, -7, 0}}};
  DrawTracers();
  const std::vector<float> expected = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 5, 1, 4, 9, 13, 4};
  EXPECT_EQ(api.wvp, expected);
}

TEST_F(DrawTracersTest, MissingEffectSkipsTheFrameWithoutTouchingTheDevice) {
  api.effectLoads = false;
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  DrawTracers();
  const Calls expected = {
      "HostDevice",
      "HostDevice",
      "HostRenderSurface",
      "GetDesc renderSurface",
      "ModuleFileName 260",
      "CreateEffectFromFile device C:\\Games\\Host\\pellix.fx",
      "CreateTexture 640x480 0 1 21 0",
      "GetSurfaceLevel texture#1 0",
  };
  EXPECT_EQ(api.calls, expected);
  // The next frame tries again and draws once the file loads.
  api.effectLoads = true;
  api.calls.clear();
  DrawTracers();
  EXPECT_EQ(api.Count("CreateEffectFromFile"), 1);
  EXPECT_EQ(api.drawPasses, (std::vector<uint32_t>{0, 1}));
  ExpectStateRestored();
}

TEST_F(DrawTracersTest, MissingSceneCopySkipsOnlyTheRefractionPass) {
  api.textureCreates = false;
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  DrawTracers();
  EXPECT_FALSE(api.Has("StretchRect"));
  EXPECT_FALSE(api.Has("SetTexture"));
  EXPECT_FALSE(api.Has("BeginPass effect 0"));
  EXPECT_EQ(api.drawPasses, (std::vector<uint32_t>{1}));
  ExpectStateRestored();
}

TEST_F(DrawTracersTest, NegativeOrZeroTypeDrawsNothing) {
  for (int type : {0, -1, -2}) {
    settings.TracerType = type;
    Trail(0, {-1, 0, 10}, {1, 0, 10});
    DrawTracers();
    EXPECT_TRUE(api.calls.empty()) << "type " << type;
  }
}

TEST_F(DrawTracersTest, NoDeviceYetDrawsNothing) {
  api.hasDevice = false;
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  DrawTracers();
  EXPECT_EQ(api.calls, (Calls{"HostDevice"}));
  EXPECT_EQ(tracerEffect, nullptr);
}

TEST_F(DrawTracersTest, NullReferencesAreNotReleased) {
  api.deviceHasDeclaration = false;
  api.deviceHasStream = false;
  api.declaration = nullptr;
  api.stream = nullptr;
  DrawTracers();
  EXPECT_TRUE(api.Has("Release target"));
  EXPECT_FALSE(api.Has("Release declaration"));
  EXPECT_FALSE(api.Has("Release stream"));
  EXPECT_TRUE(api.Has("SetVertexDeclaration null"));
  EXPECT_TRUE(api.Has("SetStreamSource 0 null 16 32"));
  EXPECT_EQ(api.HeldReferences(), 2);  // the scene copy's texture and surface only
}

// The batched path: each pass's strips in the batch's vertex buffer, drawn as indexed lists.
class BatchedDrawTest : public DrawTracersTest {
 protected:
  void SetUp() override {
    DrawTracersTest::SetUp();
    settings.TracerBatch = 1;
    // A device without stream offsets, whose cases turn them on.
    api.streamOffsets = false;
    api.streamOffset = hostOffset_ = 0;
  }

  // Five trails among gaps: plain and tracer rounds, live and ended, with bloom and tail bias,
  // one tracer of a weapon beyond the table; a turned camera with a perspective.
  void Volley() {
    settings.TracerBloom = 0.03f;
    settings.TrTailBias = -0.75f;
    settings.AmTailBias = -0.25f;
    const float a = 0.4f, c = std::cos(a), s = std::sin(a);
    api.view = Matrix4{{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {-1, 0.5f, 3, 1}}};
    api.projection =
        Matrix4{{{1.3f, 0, 0, 0}, {0, 1.7f, 0, 0}, {0, 0, 1.001f, 1}, {0, 0, -0.5f, 0}}};
    const struct {
      int slot;
      bool tracer, live;
      uint8_t weapon, activity;
    } rounds[] = {{0, false, true, 0, 1},
                  {2, true, true, 1, 1},
                  {3, true, false, 200, 2},
                  {5, false, false, 3, 2},
                  {7, true, true, 2, 3}};
    for (const auto& r : rounds) {
      const float k = static_cast<float>(r.slot);
      const Vec3 end{1.5f - 0.3f * k, 0.2f * k, 12 + 2.5f * k};
      Trail(r.slot, {end.x - 2.1f, end.y - 0.4f, end.z + 3.3f}, end, 0.04f + 0.01f * k, r.tracer,
            r.weapon)
          .activity = r.activity;
      ProjectileRecord& p = projectiles_[r.slot];
      p.active = r.live;
      p.isTracer = r.tracer;
      p.weaponType = r.weapon;
      std::memcpy(p.position, trails_[r.slot].end, sizeof p.position);
      p.velocity[0] = 0.7f, p.velocity[1] = 0.13f, p.velocity[2] = -1.1f;
      extras_[r.slot].refractLength = 0.5f + 0.25f * k;
    }
  }

  // Two frames, the second after the trails moved on and seen in a mirror (its strips face the
  // other way). `listed`: every triangle as the device receives it, strips unrolled into
  // (k, k+1, k+2), indexed lists as they are; `shown`: what the pass's cull mode keeps.
  struct Drawn {
    std::vector<TracerVertex> listed;
    std::vector<RecordingRenderApi::Triangle> shown;
  };
  Drawn TwoFrames(int batch) {
    settings.TracerBatch = batch;
    for (TracerVertex& v : tracerStrip) v.tex[2] = 1.0f;
    api.calls.clear();
    api.draws.clear();
    api.shown.clear();
    Volley();
    DrawTracers();
    for (TrailRecord& t : trails_) t.width *= 1.5f;
    api.projection.m[0][0] = -api.projection.m[0][0];
    DrawTracers();
    Drawn drawn;
    for (const std::vector<TracerVertex>& d : api.draws) {
      if (batch != 0) {
        drawn.listed.insert(drawn.listed.end(), d.begin(), d.end());
        continue;
      }
      for (size_t k = 0; k + 2 < d.size(); ++k) {
        drawn.listed.insert(drawn.listed.end(), &d[k], &d[k + 3]);
      }
    }
    drawn.shown = api.shown;
    return drawn;
  }
};

TEST_F(BatchedDrawTest, OneIndexedDrawPerPassFromTheBatchBuffers) {
  Volley();
  DrawTracers();
  // Made with the scene copy, for 8 slots: a buffer per pass, and both index orders.
  EXPECT_EQ(api.Count("CreateVertexBuffer 2816 0x208 0x20152 0"), 2);
  EXPECT_TRUE(api.Has("CreateIndexBuffer 576 0x8 101 0"));
  // Filled once a frame; each pass draws the five strips at once from its own buffer, from
  // offset 0 (this device takes no other).
  EXPECT_EQ(api.Count("Lock vertexBuffer#1 0x2000"), 1);
  EXPECT_EQ(api.Count("Lock vertexBuffer#2 0x2000"), 1);
  EXPECT_EQ(api.Count("DrawIndexedPrimitive 4 0 0 40 0 30"), 2);
  EXPECT_EQ(api.drawPasses, (std::vector<uint32_t>{0, 1}));
  EXPECT_TRUE(api.Has("SetStreamSource 0 vertexBuffer#1 0 44"));
  EXPECT_TRUE(api.Has("SetStreamSource 0 vertexBuffer#2 0 44"));
  // The host's indices are read with the rest of its state, put back and given back.
  EXPECT_EQ(api.Count("GetIndices"), 1);
  ExpectStateRestored();
  EXPECT_EQ(api.indices, RecordingRenderApi::Indices());
  EXPECT_EQ(api.references[RecordingRenderApi::Indices()], 0);

  // An empty pool: the passes run, nothing is drawn, and the state still comes back.
  for (TrailRecord& t : trails_) t.activity = 0;
  api.calls.clear();
  DrawTracers();
  EXPECT_EQ(api.Count("BeginPass"), 2);
  EXPECT_FALSE(api.Has("DrawIndexedPrimitive"));
  ExpectStateRestored();
  EXPECT_EQ(api.indices, RecordingRenderApi::Indices());
}

// The picture is the one-trail-at-a-time drawing's: the same triangles, vertex for vertex and
// bit for bit, in the same order (the refraction pass's third coordinate carried over from the
// last display strip of the frame before), however few strips the device lets one draw hold.
// Where the pass culls nothing each triangle is (k, k+1, k+2) as before; where it culls, the
// triangles the device keeps are the strip's own, with its facing (the mirrored frame's strips
// face the other way, so each cull mode drops one frame's).
TEST_F(BatchedDrawTest, SameTrianglesAsOneTrailAtATime) {
  struct Case {
    int type;
    uint32_t techniquePasses, maxPrimitives, maxVertexIndex;
    bool streamOffsets;
    int drawsPerPass;  // 0: the frame is drawn one trail at a time
    int passesDrawn;
  };
  const Case cases[] = {
      {2, 2, 0xFFFFF, 0xFFFFF, false, 1, 2},  // one draw of all five
      {1, 2, 0xFFFFF, 0xFFFFF, false, 1, 1},  // the display pass only
      {2, 1, 0xFFFFF, 0xFFFFF, false, 1, 1},  // a one-pass effect: the refraction pass only
      {2, 2, 13, 0xFFFFF, false, 3, 2},       // two strips' 12 triangles a draw: 2 + 2 + 1
      {2, 2, 5, 0xFFFFF, false, 5, 2},        // not even one strip: still one strip a draw
      {2, 2, 0xFFFFF, 23, true, 2, 2},   // vertices 0 to 23: three strips, then two from an offset
      {2, 2, 0xFFFFF, 23, false, 0, 2},  // no offset taken: beyond vertex 23 one trail at a time
      {2, 2, 0xFFFFF, 39, false, 1, 2},  // vertices 0 to 39: all five, without an offset
  };
  for (const uint32_t cull : {d3d::CULL_NONE, d3d::CULL_CW, d3d::CULL_CCW}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "cull " << cull << " type " << c.type << " passes "
                                        << c.techniquePasses << " caps " << c.maxPrimitives << " "
                                        << c.maxVertexIndex << " " << c.streamOffsets);
      settings.TracerType = c.type;
      api.techniquePasses = c.techniquePasses;
      api.maxPrimitives = c.maxPrimitives;
      api.maxVertexIndex = c.maxVertexIndex;
      api.streamOffsets = c.streamOffsets;
      api.passCullModes = {{0, cull}, {1, cull}};
      const Drawn single = TwoFrames(0);
      TracerVertex lastSingle[TracerStripVertices];
      std::memcpy(lastSingle, tracerStrip, sizeof lastSingle);
      const Drawn batched = TwoFrames(1);
      EXPECT_EQ(api.Count("DrawIndexedPrimitive"), 2 * c.passesDrawn * c.drawsPerPass);
      // Culling drops about one frame's triangles: the strips' own facing, and the few of a
      // strip's body that its turn on screen (by |z|, not w) folds over.
      const size_t triangles = 2u * c.passesDrawn * 5 * TracerStripTriangles;
      if (cull == d3d::CULL_NONE) {
        ASSERT_EQ(single.shown.size(), triangles);
      }
      ASSERT_GE(single.shown.size(), triangles / 3);
      ASSERT_LE(single.shown.size(), cull == d3d::CULL_NONE ? triangles : 2 * triangles / 3);
      ASSERT_EQ(batched.shown.size(), single.shown.size());
      for (size_t i = 0; i < single.shown.size() && cull != d3d::CULL_NONE; ++i) {
        ASSERT_EQ(std::memcmp(single.shown[i].v, batched.shown[i].v, sizeof single.shown[i].v), 0)
            << "triangle " << i;
      }
      if (cull == d3d::CULL_NONE && c.drawsPerPass > 0) {
        ASSERT_EQ(single.listed.size(), batched.listed.size());
        for (size_t i = 0; i < single.listed.size(); ++i) {
          ASSERT_EQ(std::memcmp(&single.listed[i], &batched.listed[i], sizeof(TracerVertex)), 0)
              << "vertex " << i;
        }
      }
      // The one strip array is left as the other drawing leaves it.
      EXPECT_EQ(std::memcmp(lastSingle, tracerStrip, sizeof lastSingle), 0);
      ExpectStateRestored();
    }
  }
}

// Beyond the 8192 strips that 16-bit indices reach, and on a device with small caps, the strips
// go in several draws, each reaching its strips through the base vertex, or from a stream offset
// where the device takes one and the base vertex cannot reach; a device that takes none draws a
// frame with more live trails than it reaches one trail at a time. The same triangles each way.
TEST_F(BatchedDrawTest, LargePoolInSeveralDraws) {
  constexpr int kBig = 8193;  // one strip past what 16-bit indices reach
  std::vector<ProjectileRecord> projectiles(kBig);
  std::vector<TrailRecord> trails(kBig);
  std::vector<ProjectileExtra> extras(kBig);
  pool = ProjectilePool{projectiles.data(), projectiles.data() + kBig,
                        trails.data(),      trails.data() + kBig,
                        extras.data(),      0};
  settings.MaxPellix = kBig;
  settings.TracerType = 1;  // the display pass alone: the passes are drawn alike
  for (int i = 0; i < kBig; ++i) {
    const float x = static_cast<float>(i % 91) * 0.3f - 13, y = static_cast<float>(i % 37) - 18;
    Vec3 start{x, y, 40}, end{x + 0.7f, y + static_cast<float>(i % 5) * 0.2f, 43};
    std::memcpy(trails[i].start, &start, 12);
    std::memcpy(trails[i].end, &end, 12);
    trails[i].activity = 1;
    trails[i].width = 0.1f;
    trails[i].isTracer = i % 3 == 0;
  }
  api.passCullModes = {{1, d3d::CULL_CCW}};
  const auto frame = [&](int batch) {
    settings.TracerBatch = batch;
    api.calls.clear();
    api.shown.clear();
    DrawTracers();
    return api.shown;
  };
  const auto single = frame(0);
  // Most triangles face the camera: the others (a strip's body folded over by its turn) go.
  ASSERT_GT(single.size(), kBig * TracerStripTriangles / 2);
  ASSERT_LT(single.size(), kBig * TracerStripTriangles);
  // Pass 1's draws; the strip order starts after the 8192 strips of the list order.
  const struct {
    uint32_t maxPrimitives, maxVertexIndex;
    bool streamOffsets;
    const char* draws;  // "" for a frame drawn one trail at a time
  } cases[] = {
      {0xFFFFF, 0xFFFFF, false, "4 0 0 65536 147456 49152|4 65536 0 8 147456 6"},
      {0xFFFF, 0xFFFF, true, "4 0 0 65536 147456 49152|4 0 0 8 147456 6"},
      {0xFFFF, 0xFFFF, false, ""},
      {30000, 0xFFFFF, false, "4 0 0 40000 147456 30000|4 40000 0 25544 147456 19158"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "caps " << c.maxPrimitives << " " << c.maxVertexIndex
                                      << " " << c.streamOffsets);
    api.maxPrimitives = c.maxPrimitives;
    api.maxVertexIndex = c.maxVertexIndex;
    api.streamOffsets = c.streamOffsets;
    const auto batched = frame(1);
    ASSERT_EQ(batched.size(), single.size());
    for (size_t i = 0; i < single.size(); ++i) {
      ASSERT_EQ(std::memcmp(single[i].v, batched[i].v, sizeof single[i].v), 0) << "triangle " << i;
    }
    std::string draws;
    for (const std::string& call : api.calls) {
      if (call.rfind("DrawIndexedPrimitive ", 0) == 0) {
        draws += (draws.empty() ? "" : "|") + call.substr(21);
      }
    }
    EXPECT_EQ(draws, c.draws);
    EXPECT_EQ(api.Count("DrawPrimitiveUP"), c.draws[0] == '\0' ? kBig : 0);
    ExpectStateRestored();
  }
}

// Like the scene copy, the buffers are released before a reset (the default pool must be
// empty for it) and made again by the next frame. Without them the trails are drawn one at a
// time: until the next reset when the device refuses them, for a frame when it cannot lock.
TEST_F(BatchedDrawTest, BuffersGoBeforeAResetAndComeBackAfterIt) {
  Volley();
  DrawTracers();
  api.calls.clear();
  ReleaseTracerResources();
  EXPECT_TRUE(api.Has("Release vertexBuffer#1"));
  EXPECT_TRUE(api.Has("Release vertexBuffer#2"));
  EXPECT_TRUE(api.Has("Release indexBuffer#3"));
  EXPECT_EQ(api.HeldReferences(), 0);
  EXPECT_EQ(tracerBatch.vertexBuffers[0], nullptr);
  EXPECT_EQ(tracerBatch.vertexBuffers[1], nullptr);
  EXPECT_EQ(tracerBatch.indexBuffer, nullptr);
  RestoreTracerResources();

  api.vertexBufferCreates = false;  // say the device is short of memory now
  for (int frame = 0; frame < 2; ++frame) {
    api.calls.clear();
    DrawTracers();
    EXPECT_EQ(api.Count("CreateVertexBuffer"), frame == 0 ? 2 : 0);
    EXPECT_EQ(api.Count("DrawPrimitiveUP"), 10);
    EXPECT_FALSE(api.Has("GetIndices"));
  }
  api.vertexBufferCreates = true;
  ReleaseTracerResources();  // a reset: asked for again
  for (bool locks : {true, false, true}) {
    api.locks = locks;
    api.calls.clear();
    DrawTracers();
    EXPECT_EQ(api.Count("DrawIndexedPrimitive"), locks ? 2 : 0);
    EXPECT_EQ(api.Count("DrawPrimitiveUP"), locks ? 0 : 10);
    ExpectStateRestored();
  }
}

}  // namespace
}  // namespace pellix::testing
