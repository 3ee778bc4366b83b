// The drawing and its resources on a real Direct3D 9 device (Wine, Xvfb, Mesa): state put back,
// scene copy, resets, and a picture of a volley of tracers and plain rounds.
#include <d3d9.h>
#include <d3dx9.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "sim/pool.h"
#include "startup/settings.h"
#include "startup/tables.h"
#include "tests/support/sample_setup.h"
#include "tests/visuals/host_device.h"
#include "visuals/direct3d_binding.h"
#include "visuals/draw_tracers.h"
#include "visuals/trace_loop.h"
#include "visuals/tracer_batch.h"
#include "visuals/tracer_resources.h"

namespace pellix {
namespace {

using testing::hostDevice;
using testing::hostRenderSurface;

constexpr int kSlots = 64;
constexpr uint32_t kTracerColour = 0xFFFF4020;
constexpr D3DCOLOR kSky = 0xFF304860;

struct SceneVertex {
  float x, y, z;
  D3DCOLOR colour;
};

class DeviceDrawing : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Without a device every case fails in SetUp with the reason (a failure here would only
    // skip them).
    testing::CreateHostDevice(640, 360, &d3d_, &noDevice_);
  }
  static void TearDownTestSuite() {
    ReleaseTracerResources();
    if (hostRenderSurface) hostRenderSurface->Release();
    if (tracerEffect) reinterpret_cast<ID3DXEffect*>(tracerEffect)->Release();
    tracerEffect = nullptr;
    if (hostDevice) hostDevice->Release();
    if (d3d_) d3d_->Release();
    hostDevice = nullptr;
    hostRenderSurface = nullptr;
    DestroyWindow(testing::hostWindow);
  }
  static D3DPRESENT_PARAMETERS Params(UINT width, UINT height) {
    return testing::HostParams(width, height);
  }

  void SetUp() override {
    ASSERT_NE(hostDevice, nullptr) << noDevice_;
    settings = testing::DefaultSettings(2, kSlots);
    settings.RefractSize = 0.4f;  // wider than the default refraction strip
    std::memset(weapons_, 0, sizeof weapons_);
    for (WeaponBallistics& w : weapons_) {
      w.ammoTrailLength = 1.0f;
      w.tracerTrailLength = 1.5f;
    }
    weapons_[1].tracerColour = kTracerColour;
    weaponTable = weapons_;
    std::memset(projectiles_, 0, sizeof projectiles_);
    std::memset(trails_, 0, sizeof trails_);
    std::memset(extras_, 0, sizeof extras_);
    pool =
        ProjectilePool{projectiles_, projectiles_ + kSlots, trails_, trails_ + kSlots, extras_, 0};
    host.at = testing::HostMemory;
    BindDirect3D();
    ASSERT_EQ(drawTracers, &DrawTracers);
  }

  // A live round in slot i of the pool flying from `from` to `to` (the trail's tail and head).
  void Round(int i, D3DXVECTOR3 from, D3DXVECTOR3 to, bool tracer, float width) {
    TrailRecord& t = pool.trailArray[i];
    std::memcpy(t.start, &from, 12);
    std::memcpy(t.end, &to, 12);
    t.activity = 1;
    t.width = width;
    t.isTracer = tracer;
    t.weaponType = tracer ? 1 : 0;
    ProjectileRecord& p = pool.projectileArray[i];
    p.active = 1;
    p.isTracer = tracer;
    p.weaponType = t.weaponType;
    std::memcpy(p.position, &to, 12);
    const D3DXVECTOR3 v = (to - from) * 0.1f;
    std::memcpy(p.velocity, &v, 12);
    pool.extraArray[i].refractLength = 2.0f;  // the refraction strip reaches back a little
  }

  void Camera(D3DXMATRIX* view, D3DXMATRIX* projection) const {
    D3DSURFACE_DESC d;
    hostRenderSurface->GetDesc(&d);
    const D3DXVECTOR3 eye(0, -6, 2.5f), at(0, 40, 6), up(0, 0, 1);
    D3DXMatrixLookAtLH(view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(projection, D3DX_PI / 3, float(d.Width) / d.Height, 0.5f, 500);
  }

  // The host's frame: a ground, a wall, and (when asked) the tracer drawing at its trace step.
  void DrawFrame(bool tracers) {
    IDirect3DDevice9* dev = hostDevice;
    dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kSky, 1.0f, 0);
    dev->BeginScene();
    D3DXMATRIX view, projection, world;
    Camera(&view, &projection);
    D3DXMatrixIdentity(&world);
    dev->SetTransform(D3DTS_WORLD, &world);
    dev->SetTransform(D3DTS_VIEW, &view);
    dev->SetTransform(D3DTS_PROJECTION, &projection);
    dev->SetRenderState(D3DRS_LIGHTING, FALSE);
    dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    dev->SetRenderState(D3DRS_FOGENABLE, FALSE);
    dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    dev->SetRenderState(D3DRS_STENCILENABLE, FALSE);
    dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    const D3DCOLOR ground = 0xFF3A4A2A, wall = 0xFF806850, stripe = 0xFFB0A080;
    const SceneVertex quads[] = {
        // ground
        {-400, -100, 0, ground},
        {400, -100, 0, ground},
        {-400, 400, 0, ground},
        {400, 400, 0, ground},
        // a long low wall and its stripe, far off
        {-60, 80, 0, wall},
        {60, 80, 0, wall},
        {-60, 80, 3, wall},
        {60, 80, 3, wall},
        {-60, 79.9f, 1, stripe},
        {60, 79.9f, 1, stripe},
        {-60, 79.9f, 1.6f, stripe},
        {60, 79.9f, 1.6f, stripe},
        // a pillar (on screen the world's -x is to the right)
        {17, 40, 0, wall},
        {20, 40, 0, wall},
        {17, 40, 16, wall},
        {20, 40, 16, wall},
    };
    for (int q = 0; q < 4; ++q) {
      dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quads + 4 * q, sizeof(SceneVertex));
    }
    if (tracers && drawTracers) drawTracers();
    dev->EndScene();
  }

  // The back buffer as 32-bit pixels.
  std::vector<uint32_t> ReadBack(UINT* width, UINT* height) const {
    D3DSURFACE_DESC d;
    hostRenderSurface->GetDesc(&d);
    IDirect3DSurface9* copy = nullptr;
    hostDevice->CreateOffscreenPlainSurface(d.Width, d.Height, d.Format, D3DPOOL_SYSTEMMEM, &copy,
                                            nullptr);
    std::vector<uint32_t> pixels;
    if (copy && SUCCEEDED(hostDevice->GetRenderTargetData(hostRenderSurface, copy))) {
      D3DLOCKED_RECT r;
      copy->LockRect(&r, nullptr, D3DLOCK_READONLY);
      pixels.resize(d.Width * d.Height);
      for (UINT y = 0; y < d.Height; ++y) {
        std::memcpy(&pixels[y * d.Width], static_cast<const char*>(r.pBits) + y * r.Pitch,
                    d.Width * 4);
      }
      copy->UnlockRect();
    }
    if (copy) copy->Release();
    *width = d.Width;
    *height = d.Height;
    return pixels;
  }

  // Draws a full pool one trail at a time and batched, and compares the pictures.
  void ExpectBatchedPictureIsThePictureOfOneTrailAtATime();

  // Pixel position of a world point.
  void Project(const D3DXVECTOR3& p, UINT width, UINT height, int* x, int* y) const {
    D3DXMATRIX view, projection, viewProj;
    Camera(&view, &projection);
    viewProj = view * projection;
    D3DXVECTOR3 c;
    D3DXVec3TransformCoord(&c, &p, &viewProj);
    *x = int((c.x + 1) * 0.5f * width);
    *y = int((1 - c.y) * 0.5f * height);
  }

  static IDirect3D9* d3d_;
  static std::string noDevice_;
  WeaponBallistics weapons_[2];
  ProjectileRecord projectiles_[kSlots];
  TrailRecord trails_[kSlots];
  ProjectileExtra extras_[kSlots];
};
IDirect3D9* DeviceDrawing::d3d_ = nullptr;
std::string DeviceDrawing::noDevice_;

// Everything of the device that the drawing and the effect's passes may touch.
struct DeviceState {
  DWORD renderStates[9];
  DWORD fvf;
  IDirect3DVertexDeclaration9* declaration;
  IDirect3DVertexBuffer9* stream;
  UINT offset, stride;
  IDirect3DIndexBuffer9* indices;
  IDirect3DVertexShader9* vs;
  IDirect3DPixelShader9* ps;
  IDirect3DBaseTexture9* texture0;
  DWORD samplerStates[5];
  IDirect3DSurface9* target;
  D3DMATRIX view, projection;

  explicit DeviceState(IDirect3DDevice9* dev) {
    const D3DRENDERSTATETYPE states[9] = {
        D3DRS_ZENABLE,   D3DRS_STENCILENABLE, D3DRS_ALPHABLENDENABLE,
        D3DRS_FOGENABLE, D3DRS_ZWRITEENABLE,  D3DRS_SRCBLEND,
        D3DRS_DESTBLEND, D3DRS_CULLMODE,      D3DRS_STENCILFUNC};
    for (int i = 0; i < 9; ++i) dev->GetRenderState(states[i], &renderStates[i]);
    dev->GetFVF(&fvf);
    dev->GetVertexDeclaration(&declaration);
    dev->GetStreamSource(0, &stream, &offset, &stride);
    // With no buffer bound the offset and stride mean nothing: Direct3D keeps the last ones
    // bound, which no call can set back without binding a buffer.
    if (!stream) offset = stride = 0;
    dev->GetIndices(&indices);
    dev->GetVertexShader(&vs);
    dev->GetPixelShader(&ps);
    dev->GetTexture(0, &texture0);
    const D3DSAMPLERSTATETYPE samplers[5] = {D3DSAMP_MINFILTER, D3DSAMP_MAGFILTER,
                                             D3DSAMP_MIPFILTER, D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV};
    for (int i = 0; i < 5; ++i) dev->GetSamplerState(0, samplers[i], &samplerStates[i]);
    dev->GetRenderTarget(0, &target);
    dev->GetTransform(D3DTS_VIEW, &view);
    dev->GetTransform(D3DTS_PROJECTION, &projection);
    for (IUnknown* o :
         std::initializer_list<IUnknown*>{declaration, stream, indices, vs, ps, texture0, target}) {
      if (o) o->Release();  // compared by identity only
    }
  }
  bool operator==(const DeviceState& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

TEST_F(DeviceDrawing, DeviceStateIsPutBackAndTheSceneIsCopied) {
  Round(0, {-20, 30, 9}, {20, 30, 7}, true, 0.2f);
  Round(5, {-20, 20, 5}, {20, 25, 6}, false, 0.2f);
  IDirect3DDevice9* dev = hostDevice;
  // The host's state: values the drawing changes, and objects it must hand back.
  const D3DVERTEXELEMENT9 elements[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
  IDirect3DVertexDeclaration9* declaration = nullptr;
  ASSERT_EQ(dev->CreateVertexDeclaration(elements, &declaration), D3D_OK);
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(dev->CreateVertexBuffer(256, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
  IDirect3DIndexBuffer9* indices = nullptr;
  ASSERT_EQ(dev->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr),
            D3D_OK);

  dev->BeginScene();
  D3DXMATRIX view, projection;
  Camera(&view, &projection);
  dev->SetTransform(D3DTS_VIEW, &view);
  dev->SetTransform(D3DTS_PROJECTION, &projection);
  dev->SetVertexDeclaration(declaration);
  dev->SetStreamSource(0, buffer, 12, 24);
  dev->SetIndices(indices);
  dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  dev->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
  dev->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESS);
  const DeviceState before(dev);
  DrawTracers();
  const DeviceState after(dev);
  dev->EndScene();
  EXPECT_TRUE(before == after);
  EXPECT_EQ(before.declaration, declaration);
  EXPECT_EQ(after.stream, buffer);
  EXPECT_EQ(after.indices, indices);
  EXPECT_EQ(after.renderStates[5], DWORD(D3DBLEND_DESTCOLOR));
  ASSERT_NE(tracerBatch.vertexBuffers[1], nullptr);  // drawn batched, the default

  // The effect loaded beside the executable, and a render-target copy of the back buffer's size.
  ASSERT_NE(tracerEffect, nullptr);
  ASSERT_NE(sceneCopyTexture, nullptr);
  ASSERT_NE(sceneCopySurface, nullptr);
  D3DSURFACE_DESC copy, back;
  reinterpret_cast<IDirect3DTexture9*>(sceneCopyTexture)->GetLevelDesc(0, &copy);
  hostRenderSurface->GetDesc(&back);
  EXPECT_EQ(copy.Width, back.Width);
  EXPECT_EQ(copy.Height, back.Height);
  EXPECT_EQ(copy.Format, back.Format);
  EXPECT_EQ(copy.Usage, DWORD(D3DUSAGE_RENDERTARGET));
  EXPECT_EQ(copy.Pool, D3DPOOL_DEFAULT);

  dev->SetVertexDeclaration(nullptr);
  dev->SetStreamSource(0, nullptr, 0, 0);
  dev->SetIndices(nullptr);
  declaration->Release();
  buffer->Release();
  indices->Release();
}

TEST_F(DeviceDrawing, SceneCopyHoldsTheFrameDrawnSoFar) {
  DrawFrame(true);
  ASSERT_NE(sceneCopySurface, nullptr);
  IDirect3DSurface9* copy = reinterpret_cast<IDirect3DSurface9*>(sceneCopySurface);
  D3DSURFACE_DESC d;
  copy->GetDesc(&d);
  IDirect3DSurface9* system = nullptr;
  hostDevice->CreateOffscreenPlainSurface(d.Width, d.Height, d.Format, D3DPOOL_SYSTEMMEM, &system,
                                          nullptr);
  ASSERT_EQ(hostDevice->GetRenderTargetData(copy, system), D3D_OK);
  D3DLOCKED_RECT r;
  system->LockRect(&r, nullptr, D3DLOCK_READONLY);
  const auto pixel = [&](UINT x, UINT y) {
    return static_cast<const uint32_t*>(r.pBits)[y * r.Pitch / 4 + x] & 0xFFFFFF;
  };
  EXPECT_EQ(pixel(5, 5), kSky & 0xFFFFFF);                  // sky at the top
  EXPECT_EQ(pixel(d.Width / 2, d.Height - 40), 0x3A4A2Au);  // ground below
  system->UnlockRect();
  system->Release();
}

TEST_F(DeviceDrawing, ResetSucceedsOnlyOnceTheSceneCopyAndTheBatchAreReleased) {
  DrawFrame(true);
  ASSERT_NE(sceneCopyTexture, nullptr);
  ASSERT_NE(tracerBatch.vertexBuffers[0], nullptr);
  ASSERT_NE(tracerBatch.vertexBuffers[1], nullptr);
  ASSERT_NE(tracerBatch.indexBuffer, nullptr);
  // The host gives up its own back-buffer reference around a reset.
  hostRenderSurface->Release();
  hostRenderSurface = nullptr;
  D3DPRESENT_PARAMETERS pp = Params(400, 300);
  // With the default-pool copy and buffers alive the reset fails: the release below is what
  // makes it work.
  EXPECT_NE(hostDevice->Reset(&pp), D3D_OK);
  ReleaseTracerResources();
  EXPECT_EQ(sceneCopyTexture, nullptr);
  EXPECT_EQ(sceneCopySurface, nullptr);
  EXPECT_EQ(tracerBatch.vertexBuffers[0], nullptr);
  EXPECT_EQ(tracerBatch.vertexBuffers[1], nullptr);
  EXPECT_EQ(tracerBatch.indexBuffer, nullptr);
  pp = Params(400, 300);
  EXPECT_EQ(hostDevice->Reset(&pp), D3D_OK);
  RestoreTracerResources();
  hostDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &hostRenderSurface);

  // The next frame makes a copy of the new size and the batch's buffers, and draws again.
  Round(1, {-20, 30, 9}, {20, 30, 7}, true, 0.2f);
  DrawFrame(true);
  ASSERT_NE(sceneCopyTexture, nullptr);
  ASSERT_NE(tracerBatch.vertexBuffers[0], nullptr);
  D3DSURFACE_DESC copy;
  reinterpret_cast<IDirect3DTexture9*>(sceneCopyTexture)->GetLevelDesc(0, &copy);
  EXPECT_EQ(copy.Width, 400u);
  EXPECT_EQ(copy.Height, 300u);
  UINT w, h;
  const std::vector<uint32_t> pixels = ReadBack(&w, &h);
  int x, y;
  Project(D3DXVECTOR3(10, 30, 7.5f), w, h, &x, &y);
  ASSERT_FALSE(pixels.empty());
  EXPECT_GT((pixels[y * w + x] >> 16) & 0xFF, (kSky >> 16 & 0xFF) + 40u) << "tracer after reset";

  // Back to the first size for the tests after this one. The batch's buffers alone block the
  // reset as the copy does: the copy goes first here, as the release lets it go.
  hostRenderSurface->Release();
  hostRenderSurface = nullptr;
  reinterpret_cast<ID3DXEffect*>(tracerEffect)->SetTexture(hRenderScene, nullptr);
  reinterpret_cast<IDirect3DSurface9*>(sceneCopySurface)->Release();
  reinterpret_cast<IDirect3DTexture9*>(sceneCopyTexture)->Release();
  sceneCopySurface = nullptr;
  sceneCopyTexture = nullptr;
  pp = Params(640, 360);
  EXPECT_NE(hostDevice->Reset(&pp), D3D_OK);
  ReleaseTracerResources();
  pp = Params(640, 360);
  ASSERT_EQ(hostDevice->Reset(&pp), D3D_OK);
  RestoreTracerResources();
  hostDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &hostRenderSurface);
}

TEST_F(DeviceDrawing, TheEffectKeepsAReferenceToTheTextureItWasGiven) {
  // Why the release unbinds "RenderScene" first: dropping only our own references leaves the
  // effect's, and the default-pool texture blocks the reset. (No batch buffers here, which
  // would block it as well.)
  settings.TracerBatch = 0;
  ReleaseTracerBatch(*renderApi);
  DrawFrame(true);
  ASSERT_NE(sceneCopyTexture, nullptr);
  reinterpret_cast<IDirect3DSurface9*>(sceneCopySurface)->Release();
  reinterpret_cast<IDirect3DTexture9*>(sceneCopyTexture)->Release();
  sceneCopySurface = nullptr;
  sceneCopyTexture = nullptr;
  hostRenderSurface->Release();
  hostRenderSurface = nullptr;
  D3DPRESENT_PARAMETERS pp = Params(640, 360);
  EXPECT_NE(hostDevice->Reset(&pp), D3D_OK);
  reinterpret_cast<ID3DXEffect*>(tracerEffect)->SetTexture(hRenderScene, nullptr);
  pp = Params(640, 360);
  EXPECT_EQ(hostDevice->Reset(&pp), D3D_OK);
  hostDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &hostRenderSurface);
}

TEST_F(DeviceDrawing, PictureOfAVolley) {
  // A volley from a gun on the left of the screen, fanning out to the right; every third round
  // is a tracer. Each trail is a third of the path long, its head a little farther each round.
  struct Shot {
    D3DXVECTOR3 from, to;
    bool tracer;
  };
  std::vector<Shot> shots;
  const D3DXVECTOR3 muzzle(8, 2, 4);
  for (int i = 0; i < 12; ++i) {
    const D3DXVECTOR3 target(-14 - 1.5f * i, 30 + 1.0f * i, 4 + 1.4f * i);
    const D3DXVECTOR3 path = target - muzzle;
    const D3DXVECTOR3 head = muzzle + path * (0.4f + 0.04f * i);
    shots.push_back({head - path * 0.33f, head, i % 3 == 0});
  }
  for (size_t i = 0; i < shots.size(); ++i) {
    Round(int(i) * 5 % kSlots, shots[i].from, shots[i].to, shots[i].tracer,
          shots[i].tracer ? 0.12f : 0.1f);
  }
  UINT w, h;
  DrawFrame(false);
  const std::vector<uint32_t> plain = ReadBack(&w, &h);
  DrawFrame(true);
  const std::vector<uint32_t> drawn = ReadBack(&w, &h);
  ASSERT_EQ(plain.size(), size_t(w) * h);
  ASSERT_EQ(drawn.size(), plain.size());
  EXPECT_EQ(D3DXSaveSurfaceToFileA("tracers.png", D3DXIFF_PNG, hostRenderSurface, nullptr, nullptr),
            D3D_OK);

  const auto channel = [](uint32_t p, int shift) { return int((p >> shift) & 0xFF); };
  for (const Shot& s : shots) {
    // A point a fifth of the way back from the head, where the streak is bright.
    const D3DXVECTOR3 at = s.to + (s.from - s.to) * 0.2f;
    int x, y;
    Project(at, w, h, &x, &y);
    ASSERT_TRUE(x > 0 && y > 0 && x < int(w) && y < int(h));
    // The brightest change within a pixel of the projected point (the strip is a few pixels
    // wide; its centre line may fall between pixel centres).
    int dr = 0, dg = 0, db = 0;
    for (int yy = y - 1; yy <= y + 1; ++yy) {
      for (int xx = x - 1; xx <= x + 1; ++xx) {
        const uint32_t before = plain[yy * w + xx], after = drawn[yy * w + xx];
        ASSERT_EQ(before & 0xFFFFFF, kSky & 0xFFFFFF) << "sample against the sky only";
        const int r = channel(after, 16) - channel(before, 16);
        if (r > dr) {
          dr = r;
          dg = channel(after, 8) - channel(before, 8);
          db = channel(after, 0) - channel(before, 0);
        }
      }
    }
    SCOPED_TRACE(::testing::Message() << (s.tracer ? "tracer" : "plain") << " at " << x << "," << y
                                      << ": " << dr << " " << dg << " " << db);
    if (s.tracer) {
      // Added light in the tracer's colour, 0xFF4020: red well above green above blue.
      EXPECT_GT(dr, 80);
      EXPECT_GT(dr, 2 * dg);
      EXPECT_GE(dg, db);
    } else {
      // The default trail colour 0x08FFFF80: faint, red and green alike, blue about half.
      EXPECT_GE(dr, 3);
      EXPECT_LE(dr, 12);
      EXPECT_LE(std::abs(dr - dg), 1);
      EXPECT_LT(db, dr);
    }
  }
  // Away from every strip nothing changes.
  EXPECT_EQ(plain[5 * w + 5], drawn[5 * w + 5]);
  EXPECT_EQ(plain[(h - 3) * w + w / 2], drawn[(h - 3) * w + w / 2]);
}

// The batched drawing gives the picture of drawing one trail at a time, pixel for pixel: a full
// pool of 4096 crossing, overlapping trails (tracers and plain rounds, live and ended), with
// each TracerType that draws, with the effect that tracerEffect holds.
void DeviceDrawing::ExpectBatchedPictureIsThePictureOfOneTrailAtATime() {
  constexpr int kFull = 4096;
  std::vector<ProjectileRecord> projectiles(kFull);
  std::vector<TrailRecord> trails(kFull);
  std::vector<ProjectileExtra> extras(kFull);
  pool = ProjectilePool{projectiles.data(), projectiles.data() + kFull,
                        trails.data(),      trails.data() + kFull,
                        extras.data(),      0};
  settings.MaxPellix = kFull;
  settings.TracerBloom = 0.01f;
  ReleaseTracerBatch(*renderApi);  // made again, for the whole pool
  std::mt19937 rng(12);
  const auto random = [&](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
  };
  for (int i = 0; i < kFull; ++i) {
    const D3DXVECTOR3 head(random(-25, 25), random(12, 70), random(0.5f, 18));
    const D3DXVECTOR3 back(random(-4, 4), random(-4, 4), random(-1, 1));
    Round(i, head + back, head, i % 3 == 0, random(0.02f, 0.3f));
    extras[i].refractLength = random(0, 4);
    if (i % 5 == 0) {  // ended: the trail shrinks into its last point
      projectiles[i].active = 0;
      trails[i].activity = 2;
    }
  }
  for (int type : {2, 1}) {
    SCOPED_TRACE(::testing::Message() << "TracerType " << type);
    settings.TracerType = type;
    UINT w = 0, h = 0;
    std::vector<uint32_t> pictures[2];
    for (int batch : {0, 1}) {
      settings.TracerBatch = batch;
      for (TracerVertex& v : tracerStrip) v.tex[2] = 1.0f;
      DrawFrame(true);
      pictures[batch] = ReadBack(&w, &h);
    }
    ASSERT_NE(tracerBatch.vertexBuffers[1], nullptr);
    EXPECT_EQ(tracerBatch.capacity, kFull);
    DrawFrame(false);
    const std::vector<uint32_t> plain = ReadBack(&w, &h);
    ASSERT_EQ(pictures[0].size(), size_t(w) * h);
    ASSERT_EQ(pictures[1].size(), pictures[0].size());
    ASSERT_EQ(plain.size(), pictures[0].size());
    int differing = 0, drawn = 0;
    for (size_t p = 0; p < plain.size(); ++p) {
      differing += pictures[1][p] != pictures[0][p];
      drawn += pictures[0][p] != plain[p];
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(drawn, int(w * h / 4)) << "the trails cover much of the picture";
  }
  ReleaseTracerBatch(*renderApi);
}

TEST_F(DeviceDrawing, BatchedPictureIsThePictureOfOneTrailAtATime) {
  ExpectBatchedPictureIsThePictureOfOneTrailAtATime();
}

// The same with an effect whose passes cull counterclockwise triangles, as a modder's may: the
// batch keeps every triangle of a strip that one trail at a time keeps. The effect is written
// by effect_builder beside the shipped one, as "pellix_culled.fx".
TEST_F(DeviceDrawing, BatchedPictureIsThePictureOfOneTrailAtATimeWhenThePassesCull) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string file = path;
  file = file.substr(0, file.find_last_of('\\') + 1) + "pellix_culled.fx";
  ID3DXEffect* culled = nullptr;
  ASSERT_EQ(D3DXCreateEffectFromFileA(hostDevice, file.c_str(), nullptr, nullptr, 0, nullptr,
                                      &culled, nullptr),
            D3D_OK)
      << file;
  // Its passes do cull.
  UINT passes = 0;
  culled->Begin(&passes, 0);
  for (UINT p = 0; p < passes; ++p) {
    culled->BeginPass(p);
    DWORD cull = 0;
    hostDevice->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ(cull, DWORD{D3DCULL_CCW}) << "pass " << p;
    culled->EndPass();
  }
  culled->End();
  EXPECT_EQ(passes, 2u);

  GpuEffect* const shipped = tracerEffect;
  const EffectHandle shippedScene = hRenderScene, shippedWvp = hMatWVP;
  tracerEffect = reinterpret_cast<GpuEffect*>(culled);
  hRenderScene = culled->GetParameterByName(nullptr, "RenderScene");
  hMatWVP = culled->GetParameterByName(nullptr, "matWVP");
  ExpectBatchedPictureIsThePictureOfOneTrailAtATime();
  if (sceneCopyTexture != nullptr) culled->SetTexture(hRenderScene, nullptr);
  tracerEffect = shipped;
  hRenderScene = shippedScene;
  hMatWVP = shippedWvp;
  culled->Release();
}

}  // namespace
}  // namespace pellix
