// At reduced resolution the host hands over the reduced frame and a centre in
// reduced pixels. The picture must then be the full-resolution picture
// scaled down: same centre, same relative fringe width.

#include "TestFrames.h"
#include "render/Kernel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int fullW = 256;
constexpr int fullH = 160;

// 8 x 8 blocks with lines two pixels wide; every edge lies on an even
// coordinate, so each 2 x 2 cell of the full frame is one colour.
RefPixel blockyPixel(int x, int y) {
  if (x % 32 == 16 || x % 32 == 17)
    return {0.9f, 0.1f, 0.5f, 1.0f};
  if (y % 40 == 20 || y % 40 == 21)
    return {0.2f, 0.8f, 0.3f, 0.5f};
  int const bx = x / 8;
  int const by = y / 8;
  float const alpha = (bx + by) % 7 == 0 ? 0.0f : ((bx * by) % 3 == 0 ? 0.25f : 1.0f);
  return {static_cast<float>(bx) / 32.0f, static_cast<float>(by) / 20.0f,
          static_cast<float>((bx + by) % 5) / 4.0f, alpha};
}

bool samePixel(RefPixel a, RefPixel b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// Where the displaced point of pixel (x, y) lies, worked out in double from
// the geometry alone: magnification 1 + 0.02 |g| about the centre, whose row
// is counted from the bottom edge.
struct Point {
  double x, y;
};
Point displacedPoint(int x, int y, int width, int height, int cx, int cyFromBottom, double amount,
                     int scaling) {
  double const cy = height - cyFromBottom;
  double const dx = x - cx;
  double const dy = y - cy;
  double const r = std::hypot(dx, dy);
  double const maxR = std::max({std::hypot(cx, cy), std::hypot(width - cx, cy), std::hypot(cx, height - cy),
                                std::hypot(width - cx, height - cy)});
  double g = amount;
  if (scaling == 1)
    g = r / maxR * amount;
  else if (scaling == 2)
    g = (r / maxR) * (r / maxR) * amount;
  double const s = 1.0 + 0.02 * std::fabs(g);
  return {dx / s + cx, dy / s + cy};
}

// The half frame samples column 0 from (-1, -0.5] where the full frame, at
// twice the coordinate, samples outside. A little slack covers the double
// estimate.
bool inTruncationBand(double v) {
  return v > -1.001 && v <= -0.499;
}

// The displaced point of the half frame is exactly half the full frame's
// (every step scales by a power of two), and the half frame samples full
// column 2 trunc(xs / 2) where the full frame samples trunc(xs): the same
// 2 x 2 cell. The one exception is a half-frame point in (-1, -0.5]: it
// truncates to column 0 while the full frame's point, in (-2, -1], lies
// outside. That band exists only when the centre is left of or above the
// frame (under 2% of the pixels here); every difference must lie in it.
TEST(ReducedResolution, HalfResolutionMatchesTheDownscaledFullRender) {
  struct Case {
    int cx, cy;  // full-resolution pixels, even
    bool centreInside;
  };
  Case const cases[] = {{128, 80, true},  {100, 40, true},   {30, 150, true},
                        {-60, 30, false}, {300, 200, false}, {-40, -20, false}};
  float const amounts[] = {60.0f, -45.0f, 100.0f, 12.5f};

  Frame fullIn = floatFrame(fullW, fullH, blockyPixel);
  Frame halfIn = floatFrame(fullW / 2, fullH / 2, [](int x, int y) { return blockyPixel(2 * x, 2 * y); });

  for (Case const& c : cases) {
    for (float amount : amounts) {
      for (int scaling = 0; scaling <= 2; ++scaling) {
        for (int mode = 0; mode <= 2; ++mode) {
          SCOPED_TRACE(testing::Message() << "centre " << c.cx << "," << c.cy << " amount " << amount
                                          << " scaling " << scaling << " mode " << mode);
          Frame fullOut = outputFrame(fullW, fullH);
          RenderData const full = renderData(fullIn, fullOut, amount, c.cx, c.cy, mode, scaling);
          process(&full, 0, fullH);

          Frame halfOut = outputFrame(fullW / 2, fullH / 2);
          RenderData half = renderData(halfIn, halfOut, amount, c.cx / 2, c.cy / 2, mode, scaling);
          half.downsampleX = 0.5f;
          half.downsampleY = 0.5f;
          process(&half, 0, fullH / 2);

          int mismatches = 0;
          for (int y = 0; y < fullH / 2; ++y) {
            for (int x = 0; x < fullW / 2; ++x) {
              ASSERT_FALSE(untouched(halfOut, x, y)) << "unwritten " << x << "," << y;
              if (samePixel(halfOut.at(x, y), fullOut.at(2 * x, 2 * y)))
                continue;
              ++mismatches;
              Point const p = displacedPoint(x, y, fullW / 2, fullH / 2, c.cx / 2, c.cy / 2,
                                             static_cast<double>(amount), scaling);
              ASSERT_TRUE(inTruncationBand(p.x) || inTruncationBand(p.y))
                  << "unexplained difference at " << x << "," << y << ", displaced point " << p.x << ","
                  << p.y;
            }
          }
          if (c.centreInside) {
            EXPECT_EQ(mismatches, 0);
          }
          EXPECT_LE(mismatches, (fullW / 2) * (fullH / 2) / 50);
        }
      }
    }
  }
}

}  // namespace
