// Mode Spectrum on every instruction-set path: bit for bit the same as the
// scalar path, within rounding of the plain model (ReferenceKernel.h), the
// hand-worked spread of a white line, and hashes every build must keep.

#include "ReferenceKernel.h"
#include "TestFrames.h"
#include "render/KernelPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int spectrum = 3;

class Spectrum : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    if (!instructionSetSupported(GetParam()))
      GTEST_SKIP() << instructionSetName(GetParam()) << " does not run here";
  }

  static Frame render(InstructionSet path, RenderData rd) {
    Frame out = outputFrame(rd.output.width, rd.output.height);
    rd.output = out.desc;
    processWith(path, &rd, 0, rd.output.height);
    return out;
  }
};

INSTANTIATE_TEST_SUITE_P(Kernel, Spectrum, testing::ValuesIn(instructionSets),
                         [](testing::TestParamInfo<InstructionSet> const& set) {
                           return std::string(instructionSetName(set.param));
                         });

// Random frames, centres, Amounts, scalings, views, sample counts, depths,
// samplings and smart-render offsets.
TEST_P(Spectrum, MatchesTheScalarPathToTheBitAndThePlainModelToRounding) {
  std::mt19937 rng(2718);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int const widths[] = {1, 3, 7, 8, 9, 17, 40, 67};
  for (int i = 0; i < 300; ++i) {
    int const outW = widths[rng() % std::size(widths)];
    int const outH = pick(1, 12);
    bool const bytes = rng() % 2 == 0;
    int const inW = pick(1, outW + 8);
    int const inH = pick(1, outH + 8);
    auto const seed = static_cast<std::uint32_t>(rng());
    Frame in = bytes ? generatedByteFrame(inW, inH, seed) : generatedFloatFrame(inW, inH, seed);
    Frame out = outputFrame(outW, outH);
    RenderData rd = renderData(in, out, 0.0f, 0, 0, spectrum);
    rd.amount = std::uniform_real_distribution<float>(-100.0f, 100.0f)(rng);
    rd.centerX = pick(-10, outW + 10);
    rd.centerY = pick(-10, outH + 10);
    rd.scaling = pick(0, 2);
    rd.show = pick(0, 4);
    rd.sampling = pick(0, 1);
    rd.spectrumSamples = i % 10 == 0 ? pick(-5, 80) : pick(3, 24);
    rd.inputOffsetX = static_cast<float>(pick(-6, 6));
    rd.inputOffsetY = static_cast<float>(pick(-6, 6));
    SCOPED_TRACE(testing::Message() << "case " << i << ": " << outW << "x" << outH
                                    << (bytes ? " bytes" : " floats") << " amount " << rd.amount << " centre "
                                    << rd.centerX << "," << rd.centerY << " scaling " << rd.scaling
                                    << " show " << rd.show << " sampling " << rd.sampling << " samples "
                                    << rd.spectrumSamples);
    Frame const ours = render(GetParam(), rd);
    ASSERT_EQ(ours.bytes, render(InstructionSet::Scalar, rd).bytes);
    for (int y = 0; y < outH; ++y) {
      for (int x = 0; x < outW; ++x) {
        ModelPixel const want = spectrumModelPixel(rd, x, y);
        RefPixel const got = ours.at(x, y);
        // Colours may reach a little past 0..1 in float frames.
        double const tolerance = 2e-5;
        ASSERT_NEAR(got.r, want.r, tolerance) << x << ", " << y;
        ASSERT_NEAR(got.g, want.g, tolerance) << x << ", " << y;
        ASSERT_NEAR(got.b, want.b, tolerance) << x << ", " << y;
        ASSERT_NEAR(got.a, want.a, tolerance) << x << ", " << y;
      }
    }
  }
}

// One white pixel at column 30 of an opaque black row, centre at column 0
// on that row, linear Amount 50: s = 2, and sample i of pixel x reads column
// trunc(x / s_i). With 3 samples (t = 0, 0.5, 1) each channel takes one: blue
// the plain pixel (x = 30), green s = 1.5 (x = 45, 46), red s = 2 (x = 60,
// 61). With 5 (s = 1, 1.25, 1.5, 1.75, 2; red weights 0, 0, 0, .5, 1, green
// 0, .5, 1, .5, 0, blue 1, .5, 0, 0, 0) each hit is its weight over the
// channel's total. A negative Amount swaps red and blue.
TEST_P(Spectrum, AWhiteDotOpensIntoTheColoursInOrder) {
  struct Hit {
    int column;
    float r, g, b;
  };
  struct Case {
    float amount;
    int samples;
    std::vector<Hit> hits;
  };
  float const third = 1.0f / 3.0f;
  Case const cases[] = {
      {50.0f, 3, {{30, 0, 0, 1}, {45, 0, 1, 0}, {46, 0, 1, 0}, {60, 1, 0, 0}, {61, 1, 0, 0}}},
      {-50.0f, 3, {{30, 1, 0, 0}, {45, 0, 1, 0}, {46, 0, 1, 0}, {60, 0, 0, 1}, {61, 0, 0, 1}}},
      {50.0f,
       5,
       {{30, 0, 0, 2 * third},
        {38, 0, 0.25f, third},
        {45, 0, 0.5f, 0},
        {46, 0, 0.5f, 0},
        {53, third, 0.25f, 0},
        {54, third, 0.25f, 0},
        {60, 2 * third, 0, 0},
        {61, 2 * third, 0, 0}}},
  };
  Frame in(100, 1, 32);
  for (int x = 0; x < 100; ++x)
    in.setFloat(x, 0, {x == 30 ? 1.0f : 0.0f, x == 30 ? 1.0f : 0.0f, x == 30 ? 1.0f : 0.0f, 1.0f});
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << "amount " << c.amount << ", " << c.samples << " samples");
    Frame out = outputFrame(100, 1);
    RenderData rd = renderData(in, out, c.amount, 0, 1, spectrum);  // centre row: 1 - 1 = 0
    rd.spectrumSamples = c.samples;
    Frame const ours = render(GetParam(), rd);
    for (int x = 0; x < 100; ++x) {
      SCOPED_TRACE(x);
      RefPixel want{0, 0, 0, 1};
      for (Hit const& h : c.hits)
        if (h.column == x)
          want = {h.r, h.g, h.b, 1};
      RefPixel const got = ours.at(x, 0);
      EXPECT_NEAR(got.r, want.r, 1e-6);
      EXPECT_NEAR(got.g, want.g, 1e-6);
      EXPECT_NEAR(got.b, want.b, 1e-6);
      EXPECT_EQ(got.a, 1.0f);
    }
  }
}

// An opaque uniform frame keeps its colour wherever every sample point
// falls inside it: everywhere, with the centre in the middle.
TEST_P(Spectrum, AUniformFrameStaysItsColour) {
  for (int bitDepth : {8, 32}) {
    for (int sampling : {0, 1}) {
      SCOPED_TRACE(testing::Message() << "bitDepth " << bitDepth << " sampling " << sampling);
      Frame in(33, 21, bitDepth);
      for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 33; ++x) {
          if (bitDepth == 8)
            in.setBytes(x, y, 51, 128, 204, 255);
          else
            in.setFloat(x, y, {0.2f, 0.5f, 0.8f, 1.0f});
        }
      Frame out = outputFrame(33, 21);
      RenderData rd = renderData(in, out, 37.5f, 16, 10, spectrum, 2);
      rd.sampling = sampling;
      rd.spectrumSamples = 17;
      Frame const ours = render(GetParam(), rd);
      float const want[3] = {bitDepth == 8 ? 51 / 255.0f : 0.2f, bitDepth == 8 ? 128 / 255.0f : 0.5f,
                             bitDepth == 8 ? 204 / 255.0f : 0.8f};
      for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 33; ++x) {
          RefPixel const got = ours.at(x, y);
          ASSERT_NEAR(got.r, want[0], 1e-6) << x << ", " << y;
          ASSERT_NEAR(got.g, want[1], 1e-6) << x << ", " << y;
          ASSERT_NEAR(got.b, want[2], 1e-6) << x << ", " << y;
          ASSERT_NEAR(got.a, 1.0f, 1e-6) << x << ", " << y;  // smooth weights sum to 1 within rounding
        }
    }
  }
}

// Recorded once from the scalar path (which agrees with the model above);
// every build and every path must keep them.
TEST_P(Spectrum, FrameHashesAreFixed) {
  struct Case {
    char const* name;
    int bitDepth, sampling, scaling, show, samples;
    float amount;
    std::uint64_t hash;
  };
  Case const cases[] = {
      {"float nearest cubic", 32, 0, 2, 0, 12, 63.0f, 0x2bd6a7cf136cc241ull},
      {"float smooth linear", 32, 1, 0, 1, 7, -41.5f, 0xda64107de4fd4bbfull},
      {"byte nearest square", 8, 0, 1, 2, 24, 88.0f, 0x5fcbec65d929ac16ull},
      {"byte smooth cubic", 8, 1, 2, 0, 12, 75.0f, 0x7e0014f33c4ae6dbull},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    Frame in = c.bitDepth == 8 ? generatedByteFrame(129, 67, 0x5eed) : generatedFloatFrame(129, 67, 0x5eed);
    Frame out = outputFrame(129, 67);
    RenderData rd = renderData(in, out, c.amount, 50, 30, spectrum, c.scaling, c.show);
    rd.sampling = c.sampling;
    rd.spectrumSamples = c.samples;
    rd.inputOffsetX = 2.0f;
    rd.inputOffsetY = -3.0f;
    std::uint64_t const hash = fnv1a(render(GetParam(), rd).bytes);
    EXPECT_EQ(hash, c.hash) << "actual 0x" << std::hex << hash;
  }
}

}  // namespace
