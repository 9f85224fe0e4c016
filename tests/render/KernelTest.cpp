// Per-pixel behaviour of the kernel, with expected values worked out by hand.
// Most inputs are coordinate frames: every channel of input pixel (x, y)
// holds x + 1000 y, so each output channel names the pixel it was read from.

#include "TestFrames.h"
#include "render/Kernel.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

namespace {

constexpr float plain9050 = coordinateCode(90, 50);
constexpr float displaced7050 = coordinateCode(70, 50);

RefPixel renderPixel(RenderData const& rd, Frame& out, int x, int y) {
  process(&rd, 0, rd.output.height);
  return out.at(x, y);
}

void expectPixel(RefPixel actual, RefPixel expected) {
  EXPECT_EQ(actual.r, expected.r);
  EXPECT_EQ(actual.g, expected.g);
  EXPECT_EQ(actual.b, expected.b);
  EXPECT_EQ(actual.a, expected.a);
}

// 100 x 100, centre (50, 50), so cyEff = 50 and maxR = 50 sqrt 2 = 70.7107.
// Pixel (90, 50): dx = 40, dy = 0, r = 40, Amount 50.
//   linear: s = 1 + 0.02 * 50 = 2,                 xs = 40 / 2 + 50 = 70
//   square: g = 50 * 40 / 70.7107 = 28.284, s = 1.56569, xs = 40 / 1.56569 + 50 = 75.55 -> 75
//   cubic:  g = 50 * (40 / 70.7107)^2 = 16,  s = 1.32,    xs = 40 / 1.32 + 50 = 80.30 -> 80
// so square and cubic read strictly between 70 and 90, cubic nearer 90.
TEST(Kernel, WorkedExampleReadsTheHandComputedColumn) {
  struct Case {
    int scaling;
    float amount;
    int column;
  };
  Case const cases[] = {{0, 50.0f, 70},  {1, 50.0f, 75},  {2, 50.0f, 80},
                        {0, -50.0f, 70}, {1, -50.0f, 75}, {2, -50.0f, 80}};
  Frame in = coordinateFrame(100, 100);
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << "scaling " << c.scaling << " amount " << c.amount);
    Frame out = outputFrame(100, 100);
    RenderData const rd = renderData(in, out, c.amount, 50, 50, 0, c.scaling);
    RefPixel const p = renderPixel(rd, out, 90, 50);
    float const displaced = coordinateCode(c.column, 50);
    if (c.amount > 0)
      expectPixel(p, {displaced, plain9050, plain9050, 1.0f});
    else
      expectPixel(p, {plain9050, displaced, displaced, 1.0f});
  }
}

// Centre (50, 20) on 100 x 100: cyEff = 100 - 20 = 80. Pixel (50, 90): dy = 10,
// s = 2, ys = 10 / 2 + 80 = 85.
TEST(Kernel, WorkedExampleRowCentreCountsFromTheBottom) {
  Frame in = coordinateFrame(100, 100);
  Frame out = outputFrame(100, 100);
  RenderData const rd = renderData(in, out, 50.0f, 50, 20);
  RefPixel const p = renderPixel(rd, out, 50, 90);
  EXPECT_EQ(p.r, coordinateCode(50, 85));
  EXPECT_EQ(p.g, coordinateCode(50, 90));
}

// Centre (30, 20) on a 120 x 100 frame: the fixed point is (30, 100 - 20).
// With Amount 100 (s = 3): pixel (30, 20) has dy = -60, ys = -20 + 80 = 60;
// pixel (90, 80) has dx = 60, xs = 20 + 30 = 50.
TEST(Kernel, UndisplacedPixelIsCentreColumnAndHeightMinusCentreRow) {
  Frame in = coordinateFrame(120, 100);
  Frame out = outputFrame(120, 100);
  RenderData const rd = renderData(in, out, 100.0f, 30, 20);
  process(&rd, 0, 100);
  EXPECT_EQ(out.at(30, 80).r, coordinateCode(30, 80));
  EXPECT_EQ(out.at(30, 20).r, coordinateCode(30, 60));
  EXPECT_EQ(out.at(90, 80).r, coordinateCode(50, 80));
}

TEST(Kernel, ModeAndSignChooseTheDisplacedChannels) {
  float const D = displaced7050;
  float const P = plain9050;
  struct Case {
    int mode;
    float amount;
    RefPixel expected;
  };
  Case const cases[] = {
      {0, 50.0f, {D, P, P, 1.0f}},       {0, -50.0f, {P, D, D, 1.0f}},  // Red-Cyan
      {1, 50.0f, {P, D, P, 1.0f}},       {1, -50.0f, {D, P, D, 1.0f}},  // Green-Purple
      {2, 50.0f, {P, P, D, 1.0f}},       {2, -50.0f, {D, D, P, 1.0f}},  // Blue-Yellow
      {4, 50.0f, {P, P, P, 1.0f}},       {-1, -50.0f, {P, P, P, 1.0f}},
      {INT_MAX, 50.0f, {P, P, P, 1.0f}}, {INT_MIN, -50.0f, {P, P, P, 1.0f}},
  };
  Frame in = coordinateFrame(100, 100);
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " amount " << c.amount);
    Frame out = outputFrame(100, 100);
    RenderData const rd = renderData(in, out, c.amount, 50, 50, c.mode);
    expectPixel(renderPixel(rd, out, 90, 50), c.expected);
  }
}

TEST(Kernel, ScalingOutOfRangeBehavesAsLinear) {
  Frame in = coordinateFrame(100, 100);
  for (int scaling : {3, -1, 1000, INT_MIN, INT_MAX}) {
    SCOPED_TRACE(scaling);
    Frame out = outputFrame(100, 100);
    RenderData const rd = renderData(in, out, 50.0f, 50, 50, 0, scaling);
    EXPECT_EQ(renderPixel(rd, out, 90, 50).r, displaced7050);
  }
}

// Pixel (90, 50) reads its plain sample there and its displaced sample at
// (70, 50) (centre (50, 50), Amount 50, linear, Red-Cyan): R from the
// displaced sample, G and B from the plain one, each blackened when its
// sample's alpha is 0.
TEST(Kernel, ShowViewsCombineTheTwoAlphas) {
  struct Case {
    float a1, a2;
    RefPixel final_, justCA, withoutCA, alpha, fullAlpha;
  };
  Case const cases[] = {
      {1.0f,
       1.0f,
       {0.6f, 0.2f, 0.3f, 1.0f},
       {0.6f, 0.2f, 0.3f, 0.0f},
       {0.6f, 0.2f, 0.3f, 1.0f},
       {1, 1, 1, 1},
       {1, 1, 1, 1}},
      {0.0f, 0.0f, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {1.0f,
       0.0f,
       {0.0f, 0.2f, 0.3f, 1.0f},
       {0.0f, 0.2f, 0.3f, 1.0f},
       {0.0f, 0.2f, 0.3f, 0.0f},
       {1, 1, 1, 1},
       {1, 1, 1, 1}},
      {0.0f,
       1.0f,
       {0.6f, 0.0f, 0.0f, 1.0f},
       {0.6f, 0.0f, 0.0f, 1.0f},
       {0.6f, 0.0f, 0.0f, 0.0f},
       {1, 1, 1, 1},
       {1, 1, 1, 1}},
      {0.25f,
       0.75f,
       {0.6f, 0.2f, 0.3f, 0.75f},
       {0.6f, 0.2f, 0.3f, 0.5f},
       {0.6f, 0.2f, 0.3f, 0.1875f},
       {0.75f, 0.75f, 0.75f, 0.75f},
       {1, 1, 1, 1}},
  };
  for (Case const& c : cases) {
    Frame in(100, 100, 32);
    in.setFloat(90, 50, {0.1f, 0.2f, 0.3f, c.a1});
    in.setFloat(70, 50, {0.6f, 0.7f, 0.8f, c.a2});
    RefPixel const byShow[] = {c.final_, c.justCA, c.withoutCA, c.alpha, c.fullAlpha};
    for (int show = -1; show <= 5; ++show) {
      SCOPED_TRACE(testing::Message() << "A1 " << c.a1 << " A2 " << c.a2 << " show " << show);
      Frame out = outputFrame(100, 100);
      RenderData const rd = renderData(in, out, 50.0f, 50, 50, 0, 0, show);
      RefPixel const expected = (show >= 1 && show <= 4) ? byShow[show] : c.final_;
      expectPixel(renderPixel(rd, out, 90, 50), expected);
    }
  }
}

TEST(Kernel, AmountZeroReturnsInputWithTransparentPixelsBlackened) {
  Frame const floats = generatedFloatFrame(37, 23, 7);
  Frame const bytes = generatedByteFrame(37, 23, 8);
  for (Frame const* source : {&floats, &bytes}) {
    for (float amount : {0.0f, -0.0f}) {
      for (int scaling = 0; scaling <= 2; ++scaling) {
        SCOPED_TRACE(testing::Message() << "bitDepth " << source->desc.bitDepth << " amount " << amount
                                        << " scaling " << scaling);
        Frame in = *source;
        Frame out = outputFrame(37, 23);
        RenderData const rd = renderData(in, out, amount, 11, 4, 0, scaling);
        process(&rd, 0, 23);
        for (int y = 0; y < 23; ++y) {
          for (int x = 0; x < 37; ++x) {
            RefPixel e;
            if (in.desc.bitDepth == 8) {
              unsigned char const* b = in.bytes.data() + (y * 37 + x) * 4;
              e = {b[0] / 255.0f, b[1] / 255.0f, b[2] / 255.0f, b[3] / 255.0f};
            } else {
              e = in.at(x, y);
            }
            if (e.a == 0.0f)
              e.r = e.g = e.b = 0.0f;
            RefPixel const p = out.at(x, y);
            ASSERT_TRUE(p.r == e.r && p.g == e.g && p.b == e.b && p.a == e.a) << "at " << x << "," << y;
          }
        }
      }
    }
  }
}

// Centre (200, 50) right of a 100-wide frame, Amount 50 linear:
// xs = (x - 200) / 2 + 200 = x / 2 + 100 >= 100 for every pixel, so every
// displaced sample is transparent black.
TEST(Kernel, DisplacedSamplesOutsideTheInputAreTransparentBlack) {
  Frame in = coordinateFrame(100, 100);
  for (float amount : {50.0f, -50.0f}) {
    SCOPED_TRACE(amount);
    Frame out = outputFrame(100, 100);
    RenderData const rd = renderData(in, out, amount, 200, 50);
    process(&rd, 0, 100);
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 100; ++x) {
        float const c = coordinateCode(x, y);
        RefPixel const expected = amount > 0 ? RefPixel{0.0f, c, c, 1.0f} : RefPixel{c, 0.0f, 0.0f, 1.0f};
        RefPixel const p = out.at(x, y);
        ASSERT_TRUE(p.r == expected.r && p.g == expected.g && p.b == expected.b && p.a == expected.a)
            << "at " << x << "," << y;
      }
    }
  }
}

// Centre (-50, 50), Amount 50 linear, row 50: xs = (x + 50) / 2 - 50.
// Truncation is toward zero, so -0.5 still reads column 0 while -1 is outside.
TEST(Kernel, DisplacedCoordinatesTruncateTowardZero) {
  struct Case {
    int x;
    float r;
  };
  Case const cases[] = {
      {47, 0.0f},                   // xs = -1.5
      {48, 0.0f},                   // xs = -1
      {49, coordinateCode(0, 50)},  // xs = -0.5
      {50, coordinateCode(0, 50)},  // xs = 0
      {51, coordinateCode(0, 50)},  // xs = 0.5
      {52, coordinateCode(1, 50)},  // xs = 1
  };
  Frame in = coordinateFrame(100, 100);
  Frame out = outputFrame(100, 100);
  RenderData const rd = renderData(in, out, 50.0f, -50, 50);
  process(&rd, 0, 100);
  for (Case const& c : cases) {
    SCOPED_TRACE(c.x);
    EXPECT_EQ(out.at(c.x, 50).r, c.r);
    EXPECT_EQ(out.at(c.x, 50).g, coordinateCode(c.x, 50));
  }
}

// Output pixel (x, y) lies over input pixel (x - inputOffsetX, y - inputOffsetY).
TEST(Kernel, InputOffsetShiftsBothSamples) {
  struct Case {
    float offsetX, offsetY;
    int inWidth, inHeight;
  };
  Case const cases[] = {
      {10.0f, 5.0f, 60, 40}, {-10.0f, -5.0f, 130, 120}, {0.0f, 0.0f, 100, 100}, {-3.0f, 7.0f, 50, 200}};
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << "offset " << c.offsetX << "," << c.offsetY);
    Frame in = coordinateFrame(c.inWidth, c.inHeight);
    Frame out = outputFrame(100, 100);
    RenderData rd = renderData(in, out, 0.0f, 50, 50);
    rd.inputOffsetX = c.offsetX;
    rd.inputOffsetY = c.offsetY;
    process(&rd, 0, 100);
    for (int y = 0; y < 100; ++y) {
      for (int x = 0; x < 100; ++x) {
        int const ix = x - static_cast<int>(c.offsetX);
        int const iy = y - static_cast<int>(c.offsetY);
        bool const inside = ix >= 0 && ix < c.inWidth && iy >= 0 && iy < c.inHeight;
        float const code = inside ? coordinateCode(ix, iy) : 0.0f;
        RefPixel const p = out.at(x, y);
        ASSERT_TRUE(p.r == code && p.g == code && p.b == code && p.a == (inside ? 1.0f : 0.0f))
            << "at " << x << "," << y;
      }
    }
  }

  // The displaced point is found in output pixels, then offset: pixel (90, 50)
  // with centre (50, 50) and Amount 50 displaces to (70, 50), input (60, 45).
  Frame in = coordinateFrame(100, 100);
  Frame out = outputFrame(100, 100);
  RenderData rd = renderData(in, out, 50.0f, 50, 50);
  rd.inputOffsetX = 10.0f;
  rd.inputOffsetY = 5.0f;
  expectPixel(renderPixel(rd, out, 90, 50),
              {coordinateCode(60, 45), coordinateCode(80, 45), coordinateCode(80, 45), 1.0f});
}

// An RGBA8 input whose pixel (x, y) is (x, y, 255 - x, 255): the worked
// example reads R at column 70 with +50 and G, B there with -50.
TEST(Kernel, EightBitInputIsScaledBy255) {
  Frame in(100, 100, 8);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      in.setBytes(x, y, static_cast<unsigned char>(x), static_cast<unsigned char>(y),
                  static_cast<unsigned char>(255 - x), 255);
  struct Case {
    float amount;
    RefPixel expected;
  };
  Case const cases[] = {
      {50.0f, {70.0f / 255.0f, 50.0f / 255.0f, 165.0f / 255.0f, 1.0f}},
      {-50.0f, {90.0f / 255.0f, 50.0f / 255.0f, 185.0f / 255.0f, 1.0f}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.amount);
    Frame out = outputFrame(100, 100);
    RenderData const rd = renderData(in, out, c.amount, 50, 50);
    expectPixel(renderPixel(rd, out, 90, 50), c.expected);
  }
}

TEST(Kernel, EveryBitDepthOtherThanEightReadsFloats) {
  for (int bitDepth : {32, 16, 0, -1}) {
    SCOPED_TRACE(bitDepth);
    Frame in = coordinateFrame(100, 100);
    in.desc.bitDepth = bitDepth;
    Frame out = outputFrame(100, 100);
    RenderData const rd = renderData(in, out, 50.0f, 50, 50);
    expectPixel(renderPixel(rd, out, 90, 50), {displaced7050, plain9050, plain9050, 1.0f});
  }
}

TEST(Kernel, WritesExactlyTheRequestedRows) {
  struct Case {
    int first, end;
  };
  Case const cases[] = {{5, 5}, {7, 3}, {0, -1}, {3, 7}, {0, 1}, {11, 12}, {0, 12}};
  Frame in = generatedFloatFrame(9, 12, 3);
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << "rows " << c.first << ".." << c.end);
    Frame out = outputFrame(9, 12);
    RenderData const rd = renderData(in, out, 30.0f, 4, 4);
    process(&rd, c.first, c.end);
    for (int y = 0; y < 12; ++y) {
      bool const inRange = y >= c.first && y < c.end;
      for (int x = 0; x < 9; ++x)
        ASSERT_EQ(untouched(out, x, y), !inRange) << "at " << x << "," << y;
    }
  }
}

TEST(Kernel, NonPositiveWidthLeavesRowsUntouched) {
  Frame in = generatedFloatFrame(8, 8, 5);
  for (int width : {0, -1, -8, INT_MIN}) {
    SCOPED_TRACE(width);
    Frame out = outputFrame(8, 8);
    RenderData rd = renderData(in, out, 30.0f, 4, 4);
    rd.output.width = width;
    process(&rd, 0, 8);
    EXPECT_EQ(out.bytes, outputFrame(8, 8).bytes);
  }
}

}  // namespace
