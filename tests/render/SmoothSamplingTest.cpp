// Smooth sampling of the displaced point, on every instruction-set path,
// against values worked out from the geometry: where the point lies (u, v),
// its four pixels and their weights. The bit-for-bit agreement with the
// reference kernel is KernelPathTest's.

#include "TestFrames.h"
#include "render/KernelPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

namespace {

// Linear scaling, Amount a, centre (cx, cy) on a frame of height h: the
// displaced point of output pixel (x, y) in input pixels, in double.
struct Point {
  double u, v;
};

Point displacedPoint(double amount, int cx, int cy, int h, int x, int y, double offsetX = 0,
                     double offsetY = 0) {
  double const s = 1.0 + std::fabs(amount) * 0.02;
  double const cyEff = h - cy;
  return {(x - cx) / s + cx - offsetX, (y - cyEff) / s + cyEff - offsetY};
}

class SmoothSampling : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    if (!instructionSetSupported(GetParam()))
      GTEST_SKIP() << instructionSetName(GetParam()) << " does not run here";
  }

  Frame render(RenderData rd, int sampling) const {
    Frame out = outputFrame(rd.output.width, rd.output.height);
    rd.output = out.desc;
    rd.sampling = sampling;
    processWith(GetParam(), &rd, 0, rd.output.height);
    return out;
  }
};

INSTANTIATE_TEST_SUITE_P(Kernel, SmoothSampling, testing::ValuesIn(instructionSets),
                         [](testing::TestParamInfo<InstructionSet> const& set) {
                           return std::string(instructionSetName(set.param));
                         });

// At Amount 0 every displaced point is a pixel itself: both samplings read
// the same values, whatever the frame, view or offset.
TEST_P(SmoothSampling, EqualsNearestBitForBitAtAmountZero) {
  std::minstd_rand rng(4242);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int i = 0; i < 40; ++i) {
    int const w = 1 + pick(40);
    int const h = 1 + pick(20);
    auto const seed = static_cast<std::uint32_t>(rng());
    Frame in = i % 2 == 0 ? generatedByteFrame(w, h, seed) : generatedFloatFrame(w, h, seed);
    Frame out = outputFrame(w, h);
    int const cx = pick(60) - 10;
    int const cy = pick(30) - 5;
    RenderData rd = renderData(in, out, i % 3 == 0 ? -0.0f : 0.0f, cx, cy, i % 3, i % 3, i % 5);
    rd.inputOffsetX = static_cast<float>(pick(7) - 3);
    rd.inputOffsetY = static_cast<float>(pick(7) - 3);
    SCOPED_TRACE(testing::Message() << "case " << i);
    EXPECT_EQ(render(rd, 1).bytes, render(rd, 0).bytes);
  }
}

// Red is a horizontal ramp on an opaque image: the smooth displaced red of
// every pixel is the ramp at u, wherever u falls between two pixels. Half a
// pixel off, or the two neighbours' weights swapped, misses it by far more
// than rounding.
TEST_P(SmoothSampling, ReadsARampAtTheDisplacedPoint) {
  constexpr int w = 64;
  constexpr int h = 9;
  Frame in = floatFrame(w, h, [](int x, int) {
    return RefPixel{0.25f * static_cast<float>(x), 0.5f, 0.5f, 1.0f};
  });
  struct Case {
    float amount;
    int cx;
    float offsetX;
  };
  for (Case const c :
       {Case{37.0f, 20, 0.0f}, Case{71.3f, 50, 0.0f}, Case{5.5f, 0, 3.0f}, Case{99.0f, 63, -4.0f}}) {
    SCOPED_TRACE(testing::Message() << "amount " << c.amount << " centre " << c.cx << " offset "
                                    << c.offsetX);
    Frame out = outputFrame(w, h);
    RenderData rd = renderData(in, out, c.amount, c.cx, 4);
    rd.inputOffsetX = c.offsetX;
    Frame const smooth = render(rd, 1);
    for (int x = 0; x < w; ++x) {
      Point const p = displacedPoint(c.amount, c.cx, 4, h, x, 4, c.offsetX);
      if (p.u < 0.0 || p.u > w - 1)
        continue;  // the ramp's end: pixels beyond are transparent
      EXPECT_NEAR(smooth.at(x, 4).r, 0.25 * p.u, 1e-4) << "x " << x << " u " << p.u;
    }
  }
}

// One opaque pixel on transparent black: where the displaced point lies
// next to it, the smooth sample's alpha is that pixel's weight and its
// colour the pixel's own, not darkened by the transparent neighbours.
TEST_P(SmoothSampling, ALonePixelGivesItsWeightAsAlphaAndKeepsItsColour) {
  constexpr int w = 40;
  constexpr int h = 40;
  constexpr int dotX = 20;
  constexpr int dotY = 12;
  Frame in = floatFrame(w, h, [](int x, int y) {
    return x == dotX && y == dotY ? RefPixel{0.8f, 0.3f, 0.6f, 1.0f} : RefPixel{0.0f, 0.0f, 0.0f, 0.0f};
  });
  Frame out = outputFrame(w, h);
  // Amount 30, s = 1.6, centre (8, 30), counted from the bottom (8, 10):
  // output pixels near (27, 13) read around the dot; their plain samples
  // are transparent.
  RenderData const rd = renderData(in, out, 30.0f, 8, 30);
  Frame const smooth = render(rd, 1);
  int seen = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      Point const p = displacedPoint(30.0, 8, 30, h, x, y);
      double const wx = 1.0 - std::fabs(p.u - dotX);
      double const wy = 1.0 - std::fabs(p.v - dotY);
      if (wx <= 0.0 || wy <= 0.0 || (x == dotX && y == dotY))
        continue;
      ++seen;
      SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y << " point " << p.u << "," << p.v);
      RefPixel const px = smooth.at(x, y);
      EXPECT_NEAR(px.a, wx * wy, 1e-5);
      EXPECT_NEAR(px.r, 0.8, 1e-5);  // red is the displaced channel
      EXPECT_EQ(px.g, 0.0f);         // green and blue are the plain sample's
    }
  }
  EXPECT_GE(seen, 2);
}

// An opaque input read across its left edge, where the plain samples are
// outside it: the displaced point between column -1 and column 0 takes only
// column 0's weight, so the edge fades instead of ending in a hard step.
TEST_P(SmoothSampling, SamplesAcrossTheInputEdgeFadeToTransparent) {
  constexpr int inWidth = 20;
  constexpr int w = 30;
  constexpr int h = 5;
  constexpr double offset = 12.0;  // the input starts at output column 12
  Frame in = floatFrame(inWidth, h, [](int, int) { return RefPixel{1.0f, 1.0f, 1.0f, 1.0f}; });
  Frame out = outputFrame(w, h);
  // Amount 40 (s = 1.8) about column 25 pulls output columns 0 and 1 to
  // points just left of the input.
  RenderData rd = renderData(in, out, 40.0f, 25, 2, 0, 0, 3);  // "Alpha" shows the larger alpha
  rd.inputOffsetX = static_cast<float>(offset);
  Frame const smooth = render(rd, 1);
  Frame const nearest = render(rd, 0);
  int fading = 0;
  for (int x = 0; x < w; ++x) {
    Point const p = displacedPoint(40.0, 25, 2, h, x, 2, offset);
    double const inside = std::clamp(std::min(1.0 + p.u, inWidth - p.u), 0.0, 1.0);
    double const plain = x >= offset ? 1.0 : 0.0;
    SCOPED_TRACE(testing::Message() << "x " << x << " u " << p.u);
    EXPECT_NEAR(smooth.at(x, 2).a, std::max(plain, inside), 1e-5);
    if (plain == 0.0 && inside > 0.0 && inside < 1.0) {
      ++fading;
      float const step = nearest.at(x, 2).a;  // nearest sampling knows no in-between
      EXPECT_TRUE(step == 0.0f || step == 1.0f) << step;
    }
  }
  EXPECT_GE(fading, 2);
}

}  // namespace
