// The strip built with the project's maths against the same steps written with d3dx9_40's own
// functions, for many random cameras and trails (run under Wine).
#include <d3dx9.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "startup/settings.h"
#include "startup/tables.h"
#include "visuals/strip_geometry.h"

namespace pellix {
namespace {

// Step B of the drawing, written directly with D3DX, for a display-pass strip.
void D3dxStrip(const D3DXMATRIX& view, const D3DXMATRIX& projection, const TrailRecord& trail,
               TracerVertex* strip) {
  D3DXMATRIX viewProj, rotation = view, orient, turn;
  D3DXMatrixMultiply(&viewProj, &view, &projection);
  rotation._41 = rotation._42 = rotation._43 = 0;
  D3DXMatrixInverse(&rotation, nullptr, &rotation);
  const D3DXVECTOR3 head(trail.end), tail(trail.start);
  D3DXVECTOR4 headClip, tailClip, headView, tailView;
  D3DXVec3Transform(&headClip, &head, &viewProj);
  D3DXVec3Transform(&tailClip, &tail, &viewProj);
  D3DXVec3Transform(&headView, &head, &view);
  D3DXVec3Transform(&tailView, &tail, &view);
  const float w = trail.width;
  const float hH = trail.isTracer ? w + settings.TracerBloom * headView.z : w;
  const float hT = trail.isTracer ? w + settings.TracerBloom * tailView.z : w;
  const float lx[8] = {-hH, hH, -hH, hH, -hT, hT, -hT, hT};
  const float ly[8] = {hH, hH, 0, 0, 0, 0, -hT, -hT};
  for (int i = 0; i < 8; ++i) {
    strip[i].position[0] = lx[i];
    strip[i].position[1] = ly[i];
    strip[i].position[2] = 0;
    std::memcpy(strip[i].normal, i < 4 ? &head : &tail, 12);
  }
  const float angle =
      std::atan2(headClip.y / std::fabs(headClip.z) - tailClip.y / std::fabs(tailClip.z),
                 headClip.x / std::fabs(headClip.z) - tailClip.x / std::fabs(tailClip.z)) -
      1.5707964f;
  D3DXMatrixRotationZ(&turn, angle);
  D3DXMatrixMultiply(&orient, &turn, &rotation);
  D3DXVec3TransformCoordArray(reinterpret_cast<D3DXVECTOR3*>(strip[0].position), 44,
                              reinterpret_cast<const D3DXVECTOR3*>(strip[0].position), 44, &orient,
                              8);
  for (int i = 0; i < 8; ++i) {
    for (int k = 0; k < 3; ++k) strip[i].position[k] += strip[i].normal[k];
  }
}

TEST(StripAgainstD3dx9, RandomCamerasAndTrails) {
  std::mt19937 rng(99);
  auto random = [&](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
  };
  WeaponBallistics row{};
  row.tracerColour = 0xFF123456;
  WeaponBallistics* const savedTable = weaponTable;
  const Settings savedSettings = settings;
  weaponTable = &row;
  settings.weaponCount = 1;
  settings.TracerBloom = 0.002f;
  for (int n = 0; n < 3000; ++n) {
    // Camera and trails near the origin: far from it the clip coordinates are sums of large
    // terms that cancel, and their last-place differences would dominate the comparison.
    const D3DXVECTOR3 eye(random(-20, 20), random(-20, 20), random(0, 10));
    const D3DXVECTOR3 at(random(-20, 20), random(-20, 20), random(0, 10));
    const D3DXVECTOR3 up(0, 0, 1);
    D3DXMATRIX view, projection;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, random(0.5f, 1.5f), random(1.2f, 1.9f), 0.5f, 2000);
    TrailRecord trail{};
    // Trails ahead of the camera, as the ones drawn are.
    D3DXVECTOR3 forward = at - eye;
    D3DXVec3Normalize(&forward, &forward);
    const D3DXVECTOR3 centre = eye + forward * random(5, 60);
    const D3DXVECTOR3 along(random(-1, 1), random(-1, 1), random(-0.2f, 0.2f));
    const float length = random(0.5f, 10);
    const D3DXVECTOR3 head = centre + along * length, tail = centre - along * length;
    std::memcpy(trail.end, &head, 12);
    std::memcpy(trail.start, &tail, 12);
    trail.activity = 1;
    trail.width = random(0.01f, 0.5f);
    trail.isTracer = n % 2;

    // A trail that nearly points at the camera has an ill-conditioned screen direction: the
    // last-place differences of the two clip transforms can turn it visibly. Those are left out.
    {
      D3DXMATRIX vp;
      D3DXMatrixMultiply(&vp, &view, &projection);
      D3DXVECTOR4 h, t;
      D3DXVec3Transform(&h, &head, &vp);
      D3DXVec3Transform(&t, &tail, &vp);
      const float dx = h.x / std::fabs(h.z) - t.x / std::fabs(t.z);
      const float dy = h.y / std::fabs(h.z) - t.y / std::fabs(t.z);
      if (std::hypot(dx, dy) < 0.1f) continue;
    }
    Matrix4 v, p;
    std::memcpy(&v, &view, sizeof v);
    std::memcpy(&p, &projection, sizeof p);
    StripFrame frame;
    PrepareStripFrame(&frame, v, p);
    TracerVertex ours[8], theirs[8];
    BuildTracerStrip(ours, frame, trail, ProjectileRecord{}, ProjectileExtra{}, 1);
    D3dxStrip(view, projection, trail, theirs);
    for (int i = 0; i < 8; ++i) {
      for (int k = 0; k < 3; ++k) {
        // A world position: the anchor plus an offset of about a half-width;
        // a few units in the last place of each.
        const float anchor = std::fabs(theirs[i].normal[k]);
        float offset = 0;  // the length of the vertex's offset from its anchor
        for (int c = 0; c < 3; ++c) {
          const float d = theirs[i].position[c] - theirs[i].normal[c];
          offset += d * d;
        }
        offset = std::sqrt(offset);
        const auto ulp = [](float x) { return std::nextafter(x, INFINITY) - x; };
        ASSERT_LE(std::fabs(ours[i].position[k] - theirs[i].position[k]),
                  8 * ulp(anchor) + 64 * ulp(std::fmax(offset, 0.01f)))
            << "case " << n << " vertex " << i << " axis " << k;
      }
    }
  }
  weaponTable = savedTable;
  settings = savedSettings;
}

}  // namespace
}  // namespace pellix
