// Values a host can hand over that the formula alone would turn into undefined
// float-to-int conversions or 32-bit overflow. Run these under the asan
// preset, which traps float-cast overflow.

#include "ReferenceKernel.h"
#include "TestFrames.h"
#include "render/Kernel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

std::vector<unsigned char> render(Frame in, float amount, int scaling, int mode) {
  Frame out = outputFrame(40, 30);
  RenderData const rd = renderData(in, out, amount, 13, 9, mode, scaling);
  process(&rd, 0, 30);
  return out.bytes;
}

TEST(KernelRobustness, NonFiniteAmountRendersAsItsValidCounterpart) {
  struct Case {
    float amount, sameAs;
  };
  Case const cases[] = {{nan, 0.0f}, {-nan, 0.0f}, {inf, 100.0f}, {-inf, -100.0f}};
  Frame const in = generatedFloatFrame(40, 30, 11);
  for (Case const& c : cases) {
    for (int scaling = 0; scaling <= 2; ++scaling) {
      for (int mode = 0; mode <= 2; ++mode) {
        SCOPED_TRACE(testing::Message()
                     << "amount " << c.amount << " scaling " << scaling << " mode " << mode);
        EXPECT_EQ(render(in, c.amount, scaling, mode), render(in, c.sameAs, scaling, mode));
      }
    }
  }
}

// A host may hand an empty input (no pixels, no data): every sample is then
// outside it, in every Mode and Sampling.
TEST(KernelRobustness, AnEmptyInputRendersTransparentBlack) {
  for (int bitDepth : {8, 32}) {
    for (int mode = 0; mode <= 3; ++mode) {
      for (int sampling = 0; sampling <= 1; ++sampling) {
        SCOPED_TRACE(testing::Message()
                     << "depth " << bitDepth << " mode " << mode << " sampling " << sampling);
        Frame in(0, 0, bitDepth);
        Frame out = outputFrame(40, 30);
        RenderData rd = renderData(in, out, 60.0f, 13, 9, mode, 1);
        rd.input.data = nullptr;
        rd.sampling = sampling;
        rd.spectrumSamples = 5;
        process(&rd, 0, 30);
        EXPECT_EQ(out.bytes, std::vector<unsigned char>(out.bytes.size(), 0));
      }
    }
  }
}

// Offsets from a host rectangle near the ends of the int range put every
// sample outside the input.
TEST(KernelRobustness, OffsetsBeyondTheIntRangeSampleTransparentBlack) {
  struct Case {
    float offsetX, offsetY;
  };
  Case const cases[] = {
      {-2147483648.0f, 0.0f},
      {2147483648.0f, 0.0f},
      {0.0f, -2147483648.0f},
      {0.0f, 2147483648.0f},
      {-2147483520.0f, 0.0f},  // largest magnitude inside the int range
      {2147483520.0f, 2147483520.0f},
      {3e38f, -3e38f},
      {inf, 0.0f},
      {0.0f, -inf},
      {nan, 0.0f},
      {0.0f, nan},
  };
  Frame in = generatedFloatFrame(24, 20, 12);
  for (Case const& c : cases) {
    for (int scaling = 0; scaling <= 2; ++scaling) {
      SCOPED_TRACE(testing::Message()
                   << "offset " << c.offsetX << "," << c.offsetY << " scaling " << scaling);
      Frame out = outputFrame(24, 20);
      RenderData rd = renderData(in, out, 80.0f, 10, 10, 0, scaling);
      rd.inputOffsetX = c.offsetX;
      rd.inputOffsetY = c.offsetY;
      process(&rd, 0, 20);
      EXPECT_EQ(out.bytes, Frame(24, 20, 32).bytes);
    }
  }
}

TEST(KernelRobustness, CentreAtTheFixedPointExtremesMatchesReference) {
  int const extremes[] = {32767, -32768, 0};
  Frame in = generatedByteFrame(48, 40, 13);
  for (int cx : extremes) {
    for (int cy : extremes) {
      for (int scaling = 0; scaling <= 2; ++scaling) {
        for (float amount : {100.0f, -37.5f}) {
          SCOPED_TRACE(testing::Message()
                       << "centre " << cx << "," << cy << " scaling " << scaling << " amount " << amount);
          Frame out = outputFrame(48, 40);
          Frame expected = outputFrame(48, 40);
          RenderData rd = renderData(in, out, amount, cx, cy, 1, scaling, 0);
          process(&rd, 0, 40);
          rd.output = expected.desc;
          referenceRender(rd);
          EXPECT_EQ(out.bytes, expected.bytes);
        }
      }
    }
  }
}

// A frame taller than 2^32 / rowBytes rows: the row's byte offset needs 64
// bits. Only the rendered row exists in memory; the image start is placed so
// that row y lands on it.
TEST(KernelRobustness, RowOffsetsBeyondFourGigabytesAreFormedIn64Bits) {
  constexpr int width = 64;
  constexpr int rowBytes = width * 16;
  constexpr int height = 16000001;
  constexpr int y = 16000000;  // below 2^24, so float(y) is exact
  constexpr std::int64_t skipped = std::int64_t{y} * rowBytes;
  ASSERT_GT(skipped, std::int64_t{1} << 32);

  Frame inRow = generatedFloatFrame(width, 1, 14);
  Frame outRow = outputFrame(width, 1);
  auto shifted = [](Frame& f) {
    return reinterpret_cast<unsigned char*>(reinterpret_cast<std::uintptr_t>(f.bytes.data()) -
                                            static_cast<std::uintptr_t>(skipped));
  };

  // Centre row H - y puts the centre on row y, so the displaced sample
  // stays in that row too.
  RenderData rd = renderData(inRow, outRow, 50.0f, 32, height - y);
  rd.input.height = height;
  rd.input.data = shifted(inRow);
  rd.output.height = height;
  rd.output.data = shifted(outRow);
  process(&rd, y, y + 1);

  for (int x = 0; x < width; ++x) {
    SCOPED_TRACE(x);
    RefPixel const e = referencePixel(rd, x, y);
    RefPixel const p = outRow.at(x, 0);
    EXPECT_TRUE(p.r == e.r && p.g == e.g && p.b == e.b && p.a == e.a);
  }
  // The centre pixel reads itself twice.
  RefPixel const own = inRow.at(32, 0);
  RefPixel const centre = outRow.at(32, 0);
  if (own.a == 0.0f) {
    EXPECT_TRUE(centre.r == 0.0f && centre.g == 0.0f && centre.b == 0.0f && centre.a == 0.0f);
  } else {
    EXPECT_TRUE(centre.r == own.r && centre.g == own.g && centre.b == own.b && centre.a == own.a);
  }
}

}  // namespace
