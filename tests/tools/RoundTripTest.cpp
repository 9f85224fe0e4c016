// At Amount 0 the effect hands every pixel back unchanged, except that a
// pixel with alpha 0 loses its colour. So a render at Amount 0 shows exactly
// what the tool's file reading and writing do to pixel values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "ToolTestSupport.h"

namespace {

using tooltest::RawImage;
using tooltest::readExr;
using tooltest::readPng;
using tooltest::runTool;
using tooltest::ScratchDir;

// A 16-bit file value through the host's 0..32768 and back, both steps
// rounded to nearest (worked in double: v * 32768 / 65535 is never a tie, and
// h * 65535 / 32768 is exact).
std::uint32_t sixteenBitRoundTrip(std::uint32_t v) {
  double const host = std::floor(v * 32768.0 / 65535.0 + 0.5);
  return static_cast<std::uint32_t>(std::floor(host * 65535.0 / 32768.0 + 0.5));
}

// Every 16-bit value in red, its mirror in green, a scramble in blue, alpha
// never 0; one more row with alpha 0 and colour.
TEST(RoundTrip, SixteenBitPngAtAmountZeroKeepsEveryHostValue) {
  const ScratchDir dir;
  int const width = 256;
  int const height = 257;
  std::vector<std::uint32_t> rgba;
  for (std::uint32_t i = 0; i < 65536; ++i) {
    rgba.insert(rgba.end(),
                {i, 65535 - i, (i * 7919u) & 0xFFFFu, std::max<std::uint32_t>(1, (i * 40503u) & 0xFFFFu)});
  }
  for (int x = 0; x < width; ++x) {
    rgba.insert(rgba.end(), {40000, 20000, 10000, 0});
  }
  tooltest::writePng(dir.path("in.png"), width, height, 16, rgba);

  auto const r = runTool({dir.path("in.png"), dir.path("out.png"), "--amount", "0"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("ae16"), std::string::npos) << "16-bit files default to After Effects 16-bit";
  const RawImage out = readPng(dir.path("out.png"));
  ASSERT_EQ(out.bitDepth, 16);
  ASSERT_EQ(out.channels, 4);
  ASSERT_EQ(out.width, width);
  ASSERT_EQ(out.height, height);
  int unchangedReds = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 4; ++c) {
        const std::uint32_t in = rgba[(static_cast<std::size_t>(y) * width + x) * 4 + c];
        const std::uint32_t expected = y == 256 ? 0 : sixteenBitRoundTrip(in);
        ASSERT_EQ(out.at(x, y, c), expected) << "pixel " << x << "," << y << " channel " << c << " in " << in;
        ASSERT_LE(y == 256 ? 0 : std::max(expected, in) - std::min(expected, in), 1u);
      }
      unchangedReds += y < 256 && out.at(x, y, 0) == static_cast<std::uint32_t>(y * width + x) ? 1 : 0;
    }
  }
  // 65536 file values share 32769 host values: exactly one file value per
  // host value survives, the top and bottom among them.
  EXPECT_EQ(unchangedReds, 32769);
  EXPECT_EQ(out.at(0, 0, 0), 0u);
  EXPECT_EQ(out.at(255, 255, 0), 65535u);

  // What the tool wrote holds host values only: a second pass changes nothing.
  auto const again = runTool({dir.path("out.png"), dir.path("again.png"), "--amount", "0"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(readPng(dir.path("again.png")).samples, out.samples);
}

struct EightBitCase {
  char const* format;
  char const* path;
};

void PrintTo(EightBitCase const& c, std::ostream* os) {
  *os << c.format << " " << c.path;
}

class EightBitRoundTrip : public testing::TestWithParam<EightBitCase> {};

// Every 8-bit value with every alpha: a premultiplication or its undoing on
// the way in or out would change most of them.
TEST_P(EightBitRoundTrip, PngAtAmountZeroIsUnchangedApartFromZeroAlpha) {
  const ScratchDir dir;
  std::vector<std::uint32_t> rgba;
  for (std::uint32_t a = 0; a < 256; ++a) {
    for (std::uint32_t v = 0; v < 256; ++v) {
      rgba.insert(rgba.end(), {v, 255 - v, (v * 37 + a) & 0xFF, a});
    }
  }
  tooltest::writePng(dir.path("in.png"), 256, 256, 8, rgba);
  auto const r = runTool({dir.path("in.png"), dir.path("out.png"), "--amount", "0", "--format",
                          GetParam().format, "--path", GetParam().path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const RawImage out = readPng(dir.path("out.png"));
  ASSERT_EQ(out.bitDepth, 8);
  ASSERT_EQ(out.channels, 4);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    bool const transparent = rgba[i + 3] == 0;
    for (std::size_t c = 0; c < 4; ++c) {
      ASSERT_EQ(out.samples[i + c], transparent ? 0u : rgba[i + c]) << "sample " << i + c;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, EightBitRoundTrip,
                         testing::Values(EightBitCase{"ae8", "smart"}, EightBitCase{"ae8", "plain"},
                                         EightBitCase{"pr8", "plain"}),
                         [](auto const& test) {
                           return std::string(test.param.format) + "_" + test.param.path;
                         });

// A file without alpha is rendered with an opaque one and written without
// alpha again, unless the render made some pixel less than opaque ("Just
// CA" of an opaque image is transparent everywhere).
TEST(RoundTrip, FileWithoutAlphaStaysWithoutUnlessTheRenderMakesSome) {
  const ScratchDir dir;
  std::vector<std::uint32_t> rgb;
  for (std::uint32_t i = 0; i < 16 * 16; ++i) {
    rgb.insert(rgb.end(), {i, 255 - i, (i * 29) & 0xFF});
  }
  tooltest::writePng(dir.path("rgb.png"), 16, 16, 8, rgb, 3);
  struct Case {
    char const* show;
    int channels;
  };
  for (const Case c : {Case{"final", 3}, Case{"just-ca", 4}}) {
    SCOPED_TRACE(c.show);
    auto const r = runTool({dir.path("rgb.png"), dir.path("out.png"), "--amount", "0", "--show", c.show});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const RawImage out = readPng(dir.path("out.png"));
    ASSERT_EQ(out.channels, c.channels);
    for (std::size_t p = 0; p < 16 * 16 && c.channels == 3; ++p) {
      ASSERT_EQ(out.samples[3 * p], rgb[3 * p]);
      ASSERT_EQ(out.samples[3 * p + 1], rgb[3 * p + 1]);
      ASSERT_EQ(out.samples[3 * p + 2], rgb[3 * p + 2]);
    }
  }
}

struct FloatCase {
  char const* format;
  char const* path;
};

void PrintTo(FloatCase const& c, std::ostream* os) {
  *os << c.format << " " << c.path;
}

class FloatRoundTrip : public testing::TestWithParam<FloatCase> {};

TEST_P(FloatRoundTrip, ExrAtAmountZeroIsUnchangedApartFromZeroAlpha) {
  const ScratchDir dir;
  int const width = 64;
  int const height = 48;
  std::vector<float> rgba;
  std::minstd_rand rng(12345);
  auto unit = [&rng]() {
    return static_cast<float>(rng() % 16777216) / 16777215.0f;  // 0..1, both ends included
  };
  for (int i = 0; i < width * height; ++i) {
    float const alpha = i % 7 == 0 ? 0.0f : i % 5 == 0 ? 1.0f : unit();
    rgba.insert(rgba.end(), {unit(), unit(), i % 11 == 0 ? 1.0f : unit(), alpha});
  }
  tooltest::writeExr(dir.path("in.exr"), width, height, rgba);

  auto const r = runTool({dir.path("in.exr"), dir.path("out.exr"), "--amount", "0", "--format",
                          GetParam().format, "--path", GetParam().path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const RawImage out = readExr(dir.path("out.exr"));
  ASSERT_EQ(out.bitDepth, 32);
  ASSERT_EQ(out.channels, 4);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    bool const transparent = rgba[i + 3] == 0.0f;
    for (std::size_t c = 0; c < 4; ++c) {
      ASSERT_EQ(out.floats[i + c], transparent ? 0.0f : rgba[i + c]) << "sample " << i + c;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, FloatRoundTrip,
                         testing::Values(FloatCase{"ae32", "smart"}, FloatCase{"ae32", "plain"},
                                         FloatCase{"pr32", "plain"}, FloatCase{"pr32-linear", "plain"}),
                         [](auto const& test) {
                           std::string name = std::string(test.param.format) + "_" + test.param.path;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
