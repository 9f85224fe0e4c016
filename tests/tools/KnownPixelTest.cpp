// Rendered pixels against values worked out by hand from the effect's
// formula: for an output pixel (x, y), with the centre (cx, cy) in whole
// pixels and the frame H rows high, the centre row counts from the bottom,
// cyEff = H - cy; dx = x - cx, dy = y - cyEff, r = sqrt(dx^2 + dy^2); the
// magnification is s = 1 + 0.02 |g| with g = Amount (linear), Amount * r/maxR
// (square) or Amount * (r/maxR)^2 (cubic), maxR the distance from the centre
// to the farthest corner; the displaced sample is read at
// (trunc(dx / s + cx), trunc(dy / s + cyEff)). A positive Amount takes the
// Mode's primary from the displaced sample, a negative one the other two.
#include <gtest/gtest.h>

#include <cstdint>

#include "ToolTestSupport.h"

namespace {

using tooltest::RawImage;
using tooltest::runTool;
using tooltest::ScratchDir;

// The demo renders its chart (640 x 360) with the defaults: centre 50%,50%
// = (320, 180), Red-Cyan, linear, Amount 25, Final.
//
// Output pixel (489, 200): cyEff = 360 - 180 = 180, dx = 169, dy = 20;
// s = 1 + 0.02 * 25 = 1.5; displaced x = 169 / 1.5 + 320 = 432.67 -> 432,
// displaced y = 20 / 1.5 + 180 = 193.33 -> 193. The chart is plain grey
// (0.5) at (489, 200) and has its one-pixel white grid line at column 432, so
// red comes from the white line and green and blue from the grey:
// (1, 0.5, 0.5), alpha max(1, 1) = 1. In 8 bits that is (255, 128, 128, 255).
TEST(KnownPixel, DemoChartShowsTheRedFringeWorkedOutByHand) {
  const ScratchDir dir;
  auto const r = runTool({"--demo", dir.path("demo")});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  const RawImage chart = tooltest::readExr(dir.path("demo/chart.exr"));
  ASSERT_EQ(chart.width, 640);
  ASSERT_EQ(chart.height, 360);
  // The premises: grey at the pixel, a lone white column where it samples.
  for (int c = 0; c < 3; ++c) {
    ASSERT_EQ(chart.floatAt(489, 200, c), 0.5f);
    ASSERT_EQ(chart.floatAt(432, 193, c), 1.0f);
    ASSERT_EQ(chart.floatAt(431, 193, c), 0.5f);
    ASSERT_EQ(chart.floatAt(433, 193, c), 0.5f);
  }

  for (char const* name : {"chart-ae32.exr", "chart-pr32.exr", "chart-pr32-linear.exr"}) {
    SCOPED_TRACE(name);
    const RawImage out = tooltest::readExr(dir.path(std::string("demo/") + name));
    EXPECT_EQ(out.floatAt(489, 200, 0), 1.0f);
    EXPECT_EQ(out.floatAt(489, 200, 1), 0.5f);
    EXPECT_EQ(out.floatAt(489, 200, 2), 0.5f);
    EXPECT_EQ(out.floatAt(489, 200, 3), 1.0f);
    // One column either side samples grey: no fringe there.
    EXPECT_EQ(out.floatAt(487, 200, 0), 0.5f);
  }
  for (char const* name : {"chart-ae8.png", "chart-pr8.png"}) {
    SCOPED_TRACE(name);
    const RawImage out = tooltest::readPng(dir.path(std::string("demo/") + name));
    EXPECT_EQ(out.at(489, 200, 0), 255u);
    EXPECT_EQ(out.at(489, 200, 1), 128u);
    EXPECT_EQ(out.at(489, 200, 2), 128u);
    EXPECT_EQ(out.at(489, 200, 3), 255u);
  }
  const RawImage out16 = tooltest::readPng(dir.path("demo/chart-ae16.png"));
  EXPECT_EQ(out16.at(489, 200, 0), 65535u);
  EXPECT_EQ(out16.at(489, 200, 1), 32768u);  // host 16384 -> 32767.5, rounded up
}

// A 100 x 100 input whose pixel (x, y) holds red = x and green = y tells, in
// the output, which column a red and which row a green was read from.
struct DisplacementCase {
  char const* name;
  std::vector<std::string> options;
  int x, y;
  std::uint32_t red, green;  // = the columns and rows read
};

void PrintTo(DisplacementCase const& c, std::ostream* os) {
  *os << c.name;
}

class Displacement : public testing::TestWithParam<DisplacementCase> {};

TEST_P(Displacement, SampleIsReadWhereTheFormulaSays) {
  const ScratchDir dir;
  std::vector<std::uint32_t> rgba;
  for (std::uint32_t y = 0; y < 100; ++y) {
    for (std::uint32_t x = 0; x < 100; ++x) {
      rgba.insert(rgba.end(), {x, y, 0, 255});
    }
  }
  tooltest::writePng(dir.path("coords.png"), 100, 100, 8, rgba);
  std::vector<std::string> args = {dir.path("coords.png"), dir.path("out.png")};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  auto const r = runTool(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const RawImage out = tooltest::readPng(dir.path("out.png"));
  EXPECT_EQ(out.at(GetParam().x, GetParam().y, 0), GetParam().red);
  EXPECT_EQ(out.at(GetParam().x, GetParam().y, 1), GetParam().green);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Displacement,
    testing::Values(
        // Centre (50, 50), pixel (90, 50): dx = 40, dy = 0, s = 2 -> column 70; red moves, green stays.
        DisplacementCase{"linear", {"--center", "50,50", "--amount", "50"}, 90, 50, 70, 50},
        // Amount -50: the same magnification, but green and blue move; row 50 is read for green.
        DisplacementCase{"negative", {"--center", "50,50", "--amount", "-50"}, 90, 50, 90, 50},
        // Centre 50%,20% = (50, 20), cyEff = 80; pixel (50, 90): dy = 10, s = 2 -> row 85.
        DisplacementCase{"bottomUp", {"--center", "50%,20%", "--amount", "-50"}, 50, 90, 50, 85},
        // Square: maxR = 50 sqrt 2 = 70.71, g = 50 * 40 / 70.71 = 28.28, s = 1.566,
        // 40 / 1.566 = 25.55 -> column 75.
        DisplacementCase{
            "square", {"--center", "50,50", "--amount", "50", "--scaling", "square"}, 90, 50, 75, 50},
        // Cubic: g = 50 * (40 / 70.71)^2 = 16, s = 1.32, 40 / 1.32 = 30.30 -> column 80.
        DisplacementCase{
            "cubic", {"--center", "50,50", "--amount", "50", "--scaling", "cubic"}, 90, 50, 80, 50},
        // Green-Purple, Amount 50: green moves. Pixel (50, 90) with centre (50, 50): cyEff = 50,
        // dy = 40, s = 2 -> row 70; red stays at column 50.
        DisplacementCase{"greenPurple",
                         {"--center", "50,50", "--amount", "50", "--mode", "green-purple"},
                         50,
                         90,
                         50,
                         70}),
    [](auto const& test) { return std::string(test.param.name); });

}  // namespace
