#include "visuals/strip_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tests/visuals/drawing_fixture.h"

namespace pellix::testing {
namespace {

constexpr float kTol = 1e-5f;

class StripGeometryTest : public DrawingTest {
 protected:
  // Camera at the origin looking along +z, y up; projection identity, so a point's screen
  // position is (x / |z|, y / |z|).
  StripFrame IdentityFrame() {
    const Matrix4 id{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    StripFrame f;
    PrepareStripFrame(&f, id, id);
    return f;
  }
  // A camera turned to look along world +x with world z up (view = (-y, z, x) + (-5, -5, -5))
  // and a perspective projection with clip (2 xv, 2 yv, 1.25 zv - 2.5, zv): clip z differs from
  // w and from the view depth. Its inverse rotation maps view (a, b, 0) to world (0, -a, b).
  // Points at world z = 5 lie on the screen's horizontal line, so a strip along it is turned by
  // exactly a quarter turn either way and its vertices come out exact.
  StripFrame TurnedFrame() {
    const Matrix4 view{{{0, 0, 1, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}, {-5, -5, -5, 1}}};
    const Matrix4 proj{{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 1.25f, 1}, {0, 0, -2.5f, 0}}};
    StripFrame f;
    PrepareStripFrame(&f, view, proj);
    return f;
  }
  static void ExpectExactly(const float (&expected)[TracerStripVertices][3]) {
    for (int i = 0; i < TracerStripVertices; ++i) {
      for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(tracerStrip[i].position[k], expected[i][k]) << "vertex " << i << " axis " << k;
      }
    }
  }
  void Build(const StripFrame& frame, int slot, uint32_t pass) {
    BuildTracerStrip(tracerStrip, frame, trails_[slot], projectiles_[slot], extras_[slot], pass);
  }
  static void ExpectPosition(int i, float x, float y, float z) {
    SCOPED_TRACE(::testing::Message() << "vertex " << i);
    EXPECT_NEAR(tracerStrip[i].position[0], x, kTol);
    EXPECT_NEAR(tracerStrip[i].position[1], y, kTol);
    EXPECT_NEAR(tracerStrip[i].position[2], z, kTol);
  }
};

// The turn's cosine and sine against dy / r and -dx / r in double, within 2 units in the last
// place of float (at 0 that is 2 x 2^-149: the old angle's cos(-pi/2 in float) = -4.4e-8 is
// out). Squares summed in float would overflow (huge), underflow (tiny) or lose 3 ulps.
TEST(StripTurn, WithinTwoUlpsOfTheExactRotation) {
  const auto ulps = [](float got, double exact) {
    const double a = std::fabs(exact);
    const double ulp = a < 0x1p-126 ? 0x1p-149 : std::ldexp(1.0, std::ilogb(a) - 23);
    return std::fabs(static_cast<double>(got) - exact) / ulp;
  };
  const auto check = [&](float dx, float dy, double c, double s) {
    SCOPED_TRACE(::testing::Message() << "direction (" << dx << ", " << dy << ")");
    const StripTurn t = TurnTowards(dx, dy);
    EXPECT_LE(ulps(t.cosine, c), 2.0) << t.cosine << " against " << c;
    EXPECT_LE(ulps(t.sine, s), 2.0) << t.sine << " against " << s;
  };
  const auto exact = [&](float dx, float dy) {
    const double r = std::hypot(double{dx}, double{dy});
    check(dx, dy, dy / r, -dx / r);
  };
  const float inf = std::numeric_limits<float>::infinity();
  const float huge = std::numeric_limits<float>::max();
  const float tiny = std::numeric_limits<float>::denorm_min();
  for (float m : {1.0f, 3.0f, huge, tiny, 1e-30f, 7e33f}) {
    exact(m, 0), exact(-m, 0), exact(0, m), exact(0, -m), exact(-0.0f, m), exact(m, -0.0f);
    exact(m, m), exact(-m, m), exact(m, 0.3f * m), exact(m, tiny), exact(tiny * 5, -m);
  }
  exact(huge, huge), exact(-huge, 0.75f * huge), exact(3 * tiny, 4 * tiny);
  exact(1e-38f, 2e-39f), exact(6e37f, -1e-44f), exact(1.0f, 1e-8f);
  // Infinite: the infinite component gives the direction (atan2's own limits).
  check(inf, 5, 0, -1), check(-inf, -5, 0, 1), check(2, inf, 1, 0), check(-0.0f, -inf, -1, 0);
  check(inf, -inf, -std::sqrt(0.5), -std::sqrt(0.5));
  // No direction (both zeros of either sign, NaN, inf - inf): turned by -pi / 2.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float dx : {0.0f, -0.0f, nan}) {
    for (float dy : {0.0f, -0.0f, nan}) check(dx, dy, 0, -1);
  }
  check(inf, nan, 0, -1), check(inf - inf, 1, 0, -1);
  // Random directions of every length.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> unit(-1, 1);
  std::uniform_int_distribution<int> scale(-140, 120);
  for (int i = 0; i < 20000; ++i) {
    exact(std::ldexp(unit(rng), scale(rng)), std::ldexp(unit(rng), scale(rng)));
    const int e = scale(rng);
    exact(std::ldexp(unit(rng), e), std::ldexp(unit(rng), e));
  }
}

TEST_F(StripGeometryTest, TrailStraightAcrossTheScreen) {
  // Plain trail from x = -1 to x = 1 at depth 10, width 0.5: the strip runs along x, reaches
  // a half-width past each end, and is 2 half-widths across.
  Trail(0, {-1, 0, 10}, {1, 0, 10}, 0.5f);
  Build(IdentityFrame(), 0, 1);
  const float h = 0.5f;
  ExpectPosition(0, 1 + h, h, 10);
  ExpectPosition(1, 1 + h, -h, 10);
  ExpectPosition(2, 1, h, 10);
  ExpectPosition(3, 1, -h, 10);
  ExpectPosition(4, -1, h, 10);
  ExpectPosition(5, -1, -h, 10);
  ExpectPosition(6, -1 - h, h, 10);
  ExpectPosition(7, -1 - h, -h, 10);
  for (int i = 0; i < TracerStripVertices; ++i) {
    const float* anchor = i < 4 ? trails_[0].end : trails_[0].start;
    EXPECT_EQ(0, std::memcmp(tracerStrip[i].normal, anchor, 12)) << "vertex " << i;
    EXPECT_EQ(tracerStrip[i].diffuse, defaultTrailColour);
    EXPECT_EQ(tracerStrip[i].tex[2], 1.0f);
  }
}

// A view with a projective part (m[0][3] = 0.5): its rotation's inverse has m[0][3] = -0.5, so
// a corner turned to (ly, -lx) (the trail runs along +x, turn -pi/2) gets w = 1 - 0.5 ly and is
// divided by it. Vertex 0 (ly = h = 0.5): (0.5, 0.5) / 0.75 from the head; vertex 6 (ly = -h):
// (-0.5, 0.5) / 1.25 from the tail. Left undivided they would lie at (1.5, 0.5) and (-1.5, 0.5).
TEST_F(StripGeometryTest, AViewWithAProjectivePartDividesEachCornerByItsW) {
  const Matrix4 view{{{1, 0, 0, 0.5f}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  const Matrix4 id{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
  StripFrame f;
  PrepareStripFrame(&f, view, id);
  Trail(0, {-1, 0, 10}, {1, 0, 10}, 0.5f);
  Build(f, 0, 1);
  ExpectPosition(0, 1 + 0.5f / 0.75f, 0.5f / 0.75f, 10);
  ExpectPosition(6, -1 - 0.5f / 1.25f, 0.5f / 1.25f, 10);
}

TEST_F(StripGeometryTest, TrailAlongScreenYTurnsTheStrip) {
  // Head above the tail on screen: the local y axis (tail to head) maps onto world +y.
  Trail(0, {0, -2, 10}, {0, 2, 10}, 0.25f);
  Build(IdentityFrame(), 0, 1);
  const float h = 0.25f;
  ExpectPosition(0, -h, 2 + h, 10);
  ExpectPosition(1, h, 2 + h, 10);
  ExpectPosition(7, h, -2 - h, 10);
}

TEST_F(StripGeometryTest, TrailPointingAtTheCameraStaysFinite) {
  // Both ends project onto the screen centre: atan2(0, 0) lays the strip out with angle -pi/2.
  Trail(0, {0, 0, 20}, {0, 0, 10}, 0.5f);
  Build(IdentityFrame(), 0, 1);
  ExpectPosition(0, 0.5f, 0.5f, 10);
  ExpectPosition(7, -0.5f, -0.5f, 20);
  // A point on the camera plane (z = 0) gives 0 / 0 on screen: same layout, no NaN.
  Trail(1, {0, 0, 0}, {0, 0, 0}, 0.5f);
  Build(IdentityFrame(), 1, 1);
  for (int i = 0; i < TracerStripVertices; ++i) {
    for (float c : tracerStrip[i].position) EXPECT_TRUE(std::isfinite(c)) << "vertex " << i;
  }
  ExpectPosition(0, 0.5f, 0.5f, 0);
}

TEST_F(StripGeometryTest, TracerWithoutBloomHasItsWidthAndThirdCoordinateOneHalf) {
  settings.TracerBloom = 0.0f;
  Trail(0, {-1, 0, 10}, {1, 0, 30}, 0.2f, true, 2);
  Build(IdentityFrame(), 0, 1);
  for (int i = 0; i < TracerStripVertices; ++i) {
    EXPECT_EQ(tracerStrip[i].tex[2], 0.5f) << "vertex " << i;
    EXPECT_EQ(tracerStrip[i].diffuse, weapons_[2].tracerColour);
  }
  // Half-width W at both ends: vertex 2 and 4 lie W from their anchors.
  const auto offset = [](int i) {
    float d = 0;
    for (int k = 0; k < 3; ++k) {
      const float e = tracerStrip[i].position[k] - tracerStrip[i].normal[k];
      d += e * e;
    }
    return std::sqrt(d);
  };
  EXPECT_NEAR(offset(2), 0.2f, kTol);
  EXPECT_NEAR(offset(4), 0.2f, kTol);
}

TEST_F(StripGeometryTest, OneEndBehindTheCameraIsDividedByTheAbsoluteDepth) {
  // Head at view (1, 0, 6): clip (2, 0, 5, 6), screen x 2 / 5 = 0.4. Tail behind the camera at
  // view (2, 0, -4): clip (4, 0, -7.5, -4), screen x 4 / |-7.5| = 0.533. The head lies left of
  // the tail on screen: local y turns onto view -x, world +y, and local x onto world +z.
  // Dividing the tail by its z (-0.533) or its w (-1) would put the head on the right.
  Trail(0, {1, -7, 5}, {11, -6, 5}, 0.5f);
  Build(TurnedFrame(), 0, 1);
  ExpectExactly({{11, -5.5f, 4.5f},
                 {11, -5.5f, 5.5f},
                 {11, -6, 4.5f},
                 {11, -6, 5.5f},
                 {1, -7, 4.5f},
                 {1, -7, 5.5f},
                 {1, -7.5f, 4.5f},
                 {1, -7.5f, 5.5f}});
}

TEST_F(StripGeometryTest, BloomWidensTheFartherEndByItsViewDepth) {
  settings.TracerBloom = 0.03125f;
  settings.TrTailBias = -0.25f;
  // Head at view (1, 0, 4): clip (2, 0, 2.5, 4); tail at view (6, 0, 20): clip (12, 0, 22.5, 20).
  // Screen x 0.8 and 0.533 by |z| (0.5 and 0.6 by |w|): the head is on the right, local y turns
  // onto view +x, world -y, and local x onto world -z.
  // Half-widths from the view depth: 0.25 + 0.03125 x 4 = 0.375 and 0.25 + 0.03125 x 20 = 0.875
  // (the clip depths 2.5 and 22.5 would give 0.328125 and 0.953125). Third coordinate
  // 1 - 0.5 x 0.25 / h: 1 - 0.333333343 and 1 - 0.142857149.
  Trail(0, {25, -11, 5}, {9, -6, 5}, 0.25f, true, 1);
  Build(TurnedFrame(), 0, 1);
  ExpectExactly({{9, -6.375f, 5.375f},
                 {9, -6.375f, 4.625f},
                 {9, -6, 5.375f},
                 {9, -6, 4.625f},
                 {25, -11, 5.875f},
                 {25, -11, 4.125f},
                 {25, -10.125f, 5.875f},
                 {25, -10.125f, 4.125f}});
  for (int i = 0; i < 4; ++i) EXPECT_EQ(tracerStrip[i].tex[2], 0.666666627f);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(tracerStrip[i].tex[2], 0.857142866f);
  // Tail bias on the tail vertices only; u and v fixed; the weapon's colour.
  const float u[] = {-1, -1, 0, 0, 0, 0, 1, 1};
  const float v[] = {-1, 1, -1, 1, -1, 1, -1, 1};
  for (int i = 0; i < TracerStripVertices; ++i) {
    EXPECT_EQ(tracerStrip[i].tex[3], i < 4 ? 0.0f : -0.25f) << "vertex " << i;
    EXPECT_EQ(tracerStrip[i].tex[0], u[i]);
    EXPECT_EQ(tracerStrip[i].tex[1], v[i]);
    EXPECT_EQ(tracerStrip[i].diffuse, weapons_[1].tracerColour);
  }
}

TEST_F(StripGeometryTest, TracerOutsideTheTableTakesRowZeroColour) {
  Trail(0, {-1, 0, 10}, {1, 0, 10}, 0.2f, true, 200);
  Build(IdentityFrame(), 0, 1);
  EXPECT_EQ(tracerStrip[0].diffuse, weapons_[0].tracerColour);
  Trail(1, {-1, 0, 10}, {1, 0, 10}, 0.2f, true, kWeapons);
  Build(IdentityFrame(), 1, 0);
  EXPECT_EQ(tracerStrip[7].diffuse, weapons_[0].tracerColour);
}

TEST_F(StripGeometryTest, RefractionTailOfAnEndedProjectileShrinksWithItsLength) {
  Trail(0, {-5, 0, 10}, {1, 0, 10});
  ProjectileRecord& p = projectiles_[0];
  p.active = 0;
  p.velocity[0] = 2.0f;
  p.velocity[1] = 0.5f;
  for (float e : {3.0f, 1.0f, 0.0f}) {
    extras_[0].refractLength = e;
    const Vec3 tail = RefractionTail(trails_[0], p, extras_[0]);
    EXPECT_FLOAT_EQ(tail.x, 1 - e * 2.0f);
    EXPECT_FLOAT_EQ(tail.y, -e * 0.5f);
    EXPECT_FLOAT_EQ(tail.z, 10);
  }
}

TEST_F(StripGeometryTest, RefractionTailOfALiveProjectile) {
  ProjectileRecord& p = projectiles_[0];
  p.active = 1;
  p.weaponType = 1;
  p.position[0] = 4, p.position[1] = 5, p.position[2] = 6;
  p.velocity[0] = 1, p.velocity[1] = -1, p.velocity[2] = 0.5f;
  // The trail's end lags the projectile (it was written before the last step): the tail
  // reaches back from the projectile's own position, not from the trail's end.
  Trail(0, {0, 0, 0}, {3.5f, 5.5f, 5.75f});
  const auto tailAnchor = [&] {
    Build(IdentityFrame(), 0, 0);
    for (int i = 5; i < 8; ++i)
      EXPECT_EQ(0, std::memcmp(tracerStrip[i].normal, tracerStrip[4].normal, 12));
    return Vec3{tracerStrip[4].normal[0], tracerStrip[4].normal[1], tracerStrip[4].normal[2]};
  };
  // At the shot E = L x R = 3 x 2: the tail is the projectile's position, the body has no length.
  extras_[0].refractLength = 6;
  Vec3 tail = tailAnchor();
  EXPECT_EQ(tail.x, 4);
  EXPECT_EQ(tail.y, 5);
  EXPECT_EQ(tail.z, 6);
  // As the trail update lowers E the tail reaches back along the path: T = 6 - 4 = 2.
  extras_[0].refractLength = 4;
  tail = tailAnchor();
  EXPECT_EQ(tail.x, 2);
  EXPECT_EQ(tail.y, 7);
  EXPECT_EQ(tail.z, 5);
  // A tracer uses its own length and factor (4 x 1.5); a type outside the table row 0.
  p.isTracer = 1;
  p.weaponType = -3;
  extras_[0].refractLength = 0;
  tail = tailAnchor();
  EXPECT_EQ(tail.x, -2);
  EXPECT_EQ(tail.y, 11);
  EXPECT_EQ(tail.z, 3);
}

// Settings beyond the float range, or an endless refraction length, give a strip that cannot
// be drawn: it is collapsed onto its head (covering no pixel), every value sent finite.
TEST_F(StripGeometryTest, AStripThatCannotBeDrawnIsCollapsedOntoItsHead) {
  struct Case {
    const char* name;
    float Settings::*setting;
    float value;
    bool tracer;
    uint32_t pass;
  };
  const Case cases[] = {
      {"endless bloom", &Settings::TracerBloom, INFINITY, true, 1},
      {"endless tail bias", &Settings::AmTailBias, -INFINITY, false, 1},
      {"endless refraction width", &Settings::RefractSize, INFINITY, false, 0},
      {"endless refraction factor", &Settings::AmRefractLen, INFINITY, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    settings = DefaultSettings(kWeapons, kSlots);
    settings.*c.setting = c.value;
    Trail(0, {-1, 0, 10}, {1, 2, 10}, 0.2f, c.tracer, 1);
    ProjectileRecord& p = projectiles_[0];
    p = ProjectileRecord{};
    p.active = 1;
    p.weaponType = 1;
    p.position[0] = 1, p.position[1] = 2, p.position[2] = 10;
    p.velocity[0] = 1;
    extras_[0].refractLength = RefractionLength(weapons_[1].ammoTrailLength, false);
    Build(IdentityFrame(), 0, c.pass);
    for (int i = 0; i < TracerStripVertices; ++i) {
      ExpectPosition(i, 1, 2, 10);
      EXPECT_EQ(0, std::memcmp(tracerStrip[i].normal, trails_[0].end, 12)) << "vertex " << i;
      for (float t : tracerStrip[i].tex) EXPECT_TRUE(std::isfinite(t)) << "vertex " << i;
    }
  }
}

TEST_F(StripGeometryTest, RefractionPassUsesRefractSizeAndKeepsTheThirdCoordinate) {
  settings.RefractSize = 0.3f;
  settings.AmTailBias = -0.5f;
  Trail(0, {-1, 0, 10}, {1, 0, 10}, 0.2f, true, 1);
  settings.TracerBloom = 0.0f;
  Build(IdentityFrame(), 0, 1);  // the display pass leaves 0.5
  Trail(1, {-1, 0, 10}, {1, 0, 10}, 0.9f);
  projectiles_[1].active = 0;
  projectiles_[1].velocity[0] = 1;
  extras_[1].refractLength = 1.5f;
  Build(IdentityFrame(), 1, 0);
  for (int i = 0; i < TracerStripVertices; ++i) {
    EXPECT_EQ(tracerStrip[i].tex[2], 0.5f) << "vertex " << i;
    EXPECT_EQ(tracerStrip[i].tex[3], i < 4 ? 0.0f : -0.5f);
  }
  // Tail anchor = refraction tail, half-width RefractSize at both ends.
  EXPECT_FLOAT_EQ(tracerStrip[4].normal[0], 1 - 1.5f);
  ExpectPosition(0, 1 + 0.3f, 0.3f, 10);
  ExpectPosition(7, -0.5f - 0.3f, -0.3f, 10);
}

TEST_F(StripGeometryTest, LaterPassesWriteNothing) {
  Trail(0, {-1, 0, 10}, {1, 0, 10});
  TracerVertex before[TracerStripVertices];
  std::memcpy(before, tracerStrip, sizeof before);
  Build(IdentityFrame(), 0, 2);
  EXPECT_EQ(0, std::memcmp(before, tracerStrip, sizeof before));
}

TEST_F(StripGeometryTest, StripFacesTheCameraAndFollowsTheTrailOnScreen) {
  // A turned, moved camera with a perspective projection.
  const float a = 0.7f, c = std::cos(a), s = std::sin(a);
  const Matrix4 rotation{{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
  Matrix4 view = rotation;
  view.m[3][0] = -3, view.m[3][1] = 1, view.m[3][2] = 2;
  const float zn = 1, zf = 1000;
  // Square pixels: the strip is turned in the camera's plane, where x and y scale alike.
  const Matrix4 proj{
      {{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, zf / (zf - zn), 1}, {0, 0, -zn * zf / (zf - zn), 0}}};
  StripFrame f;
  PrepareStripFrame(&f, view, proj);
  Trail(0, {5, 2, 30}, {9, -1, 24}, 0.3f);
  Build(f, 0, 1);
  // Camera forward in world space: the third column of the view's rotation.
  const float forward[3] = {view.m[0][2], view.m[1][2], view.m[2][2]};
  for (int i = 0; i < TracerStripVertices; ++i) {
    float d = 0;
    for (int k = 0; k < 3; ++k)
      d += (tracerStrip[i].position[k] - tracerStrip[i].normal[k]) * forward[k];
    EXPECT_NEAR(d, 0, kTol) << "vertex " << i;
  }
  // On screen (x / |z| as the drawing measures it), vertex 2 -> 0 runs along tail -> head.
  const auto screen = [&](const float* p) {
    const Vec4 q = Vec3Transform(Vec3{p[0], p[1], p[2]}, f.viewProj);
    return std::pair<float, float>{q.x / std::fabs(q.z), q.y / std::fabs(q.z)};
  };
  const auto head = screen(trails_[0].end), tail = screen(trails_[0].start);
  float cross = 0;
  {
    const auto p0 = screen(tracerStrip[0].position), p2 = screen(tracerStrip[2].position);
    const float dx = head.first - tail.first, dy = head.second - tail.second;
    const float ex = p0.first - p2.first, ey = p0.second - p2.second;
    cross = (dx * ey - dy * ex) / (std::hypot(dx, dy) * std::hypot(ex, ey));
    EXPECT_GT(dx * ex + dy * ey, 0);  // same direction, not opposite
  }
  EXPECT_NEAR(cross, 0, 1e-3);
}

}  // namespace
}  // namespace pellix::testing
