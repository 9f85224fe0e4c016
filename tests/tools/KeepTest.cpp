// What a file carries besides its RGBA pixels comes through a render: data
// type, windows, extra channels, metadata, compression. Inputs are written
// and outputs read with OpenImageIO (PNG with libpng); renders at Amount 0
// hand every pixel back, so expected samples are the input's, converted by
// hand where the output's type differs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include <OpenImageIO/half.h>
#include <OpenImageIO/imageio.h>

#include "ToolTestSupport.h"

namespace {

using tooltest::runTool;
using tooltest::ScratchDir;

using tooltest::Opened;
using tooltest::openFile;
using tooltest::writeFile;

// An EXR of 40 x 20 pixels whose data window starts at (8, 7) inside a
// 64 x 48 display window, half RGBA and a float depth channel, tiled, piz
// compressed, with a frame rate and a text of its own.
TEST(Keep, ExrWindowsDepthChannelMetadataAndHalfData) {
  const ScratchDir dir;
  OIIO::ImageSpec layout(40, 20, 5, OIIO::TypeHalf);
  layout.channelnames = {"R", "G", "B", "A", "Z"};
  layout.channelformats = {OIIO::TypeHalf, OIIO::TypeHalf, OIIO::TypeHalf, OIIO::TypeHalf, OIIO::TypeFloat};
  layout.alpha_channel = 3;
  layout.x = 8;
  layout.y = 7;
  layout.full_width = 64;
  layout.full_height = 48;
  layout.tile_width = 16;
  layout.tile_height = 16;
  layout.attribute("compression", "piz");
  int const fps[2] = {24, 1};
  layout.attribute("FramesPerSecond", OIIO::TypeRational, fps);
  layout.attribute("Note", "Zarnit test");
  std::vector<float> in;
  for (int i = 0; i < 40 * 20; ++i) {
    // Halves exactly, alpha never 0; depth far beyond what half holds exactly.
    auto const f = static_cast<float>(i);
    in.insert(in.end(), {std::fmod(f, 64.0f) / 64.0f, std::fmod(f, 32.0f) / 32.0f, 0.5f,
                         1.0f - std::fmod(f, 8.0f) / 16.0f, 1000.0f + f / 7.0f});
  }
  writeFile(dir.path("in.exr"), layout, in);

  auto const r = runTool({dir.path("in.exr"), dir.path("out.exr"), "--amount", "0"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Opened out = openFile(dir.path("out.exr"));
  EXPECT_EQ(out.header.x, 8);
  EXPECT_EQ(out.header.y, 7);
  EXPECT_EQ(out.header.width, 40);
  EXPECT_EQ(out.header.height, 20);
  EXPECT_EQ(out.header.full_x, 0);
  EXPECT_EQ(out.header.full_y, 0);
  EXPECT_EQ(out.header.full_width, 64);
  EXPECT_EQ(out.header.full_height, 48);
  EXPECT_EQ(out.header.tile_width, 16);
  ASSERT_EQ(out.header.channelnames, (std::vector<std::string>{"R", "G", "B", "A", "Z"}));
  EXPECT_EQ(out.header.channelformat(0), OIIO::TypeHalf);
  EXPECT_EQ(out.header.channelformat(4), OIIO::TypeFloat);
  EXPECT_EQ(out.header.get_string_attribute("compression"), "piz");
  EXPECT_EQ(out.header.get_string_attribute("Note"), "Zarnit test");
  const OIIO::ParamValue* rate = out.header.find_attribute("FramesPerSecond", OIIO::TypeRational);
  ASSERT_NE(rate, nullptr);
  EXPECT_EQ(static_cast<int const*>(rate->data())[0], 24);
  EXPECT_EQ(static_cast<int const*>(rate->data())[1], 1);
  for (std::size_t i = 0; i < in.size(); ++i) {
    // The depth as written by the float channel: no half rounding on the way.
    ASSERT_EQ(out.floats[i], i % 5 == 4 ? in[i] : static_cast<float>(Imath::half(in[i]))) << "sample " << i;
  }
}

// The same four red values in every input (green and blue equal, opaque).
struct TypeCase {
  char const* name;
  char const* input;
  std::function<void(std::string const& path)> write;
  std::vector<std::string> args;
  char const* output;
  OIIO::TypeDesc type;
  std::vector<double> reds;  // the output's four red samples, in its units
};

void PrintTo(TypeCase const& c, std::ostream* os) {
  *os << c.name;
}

std::vector<float> fourGreys(std::vector<float> const& values) {
  std::vector<float> samples;
  for (float v : values) {
    samples.insert(samples.end(), {v, v, v, 1.0f});
  }
  return samples;
}

void writeGreys(std::string const& path, OIIO::TypeDesc type, std::vector<float> const& values,
                char const* compression = "") {
  OIIO::ImageSpec layout(4, 1, 4, type);
  layout.alpha_channel = 3;
  if (*compression != '\0') {
    layout.attribute("compression", compression);
    layout.attribute("Exif:ColorSpace", 1);  // Exif data once made TIFF writing lose the image
  }
  writeFile(path, layout, fourGreys(values));
}

void writeGreyPng(std::string const& path, int bitDepth, std::vector<std::uint32_t> const& values) {
  const std::uint32_t opaque = bitDepth == 16 ? 65535 : 255;
  std::vector<std::uint32_t> samples;
  for (std::uint32_t v : values) {
    samples.insert(samples.end(), {v, v, v, opaque});
  }
  tooltest::writePng(path, 4, 1, bitDepth, samples);
}

class DataType : public testing::TestWithParam<TypeCase> {};

TEST_P(DataType, OutputKeepsTheInputTypeOrTheFormatsDeepest) {
  TypeCase const& c = GetParam();
  const ScratchDir dir;
  c.write(dir.path(c.input));
  std::vector<std::string> args = {dir.path(c.input), dir.path(c.output), "--amount", "0"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  auto const r = runTool(args);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const Opened out = openFile(dir.path(c.output));
  EXPECT_EQ(out.header.format, c.type) << out.header.format;
  for (int x = 0; x < 4; ++x) {
    double const red = out.floats[static_cast<std::size_t>(x) * 4];
    // Integer samples come back divided by their full value: scaled and rounded back.
    EXPECT_EQ(c.type == OIIO::TypeDesc::UINT8    ? std::round(red * 255.0)
              : c.type == OIIO::TypeDesc::UINT16 ? std::round(red * 65535.0)
                                                 : red,
              c.reds[static_cast<std::size_t>(x)])
        << "pixel " << x;
  }
  if (std::string(c.input) == "in.tif") {
    EXPECT_EQ(out.header.get_string_attribute("compression"), "packbits");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DataType,
    testing::Values(
        // A float render into PNG, which has no float: its deepest, 16 bits.
        // 0.25 * 65535 + 0.5 = 16384.25 and 0.75 * 65535 + 0.5 = 49151.75, rounded down.
        TypeCase{"floatExrToPng",
                 "in.exr",
                 [](std::string const& p) {
                   writeGreys(p, OIIO::TypeFloat, {0.0f, 0.25f, 0.75f, 1.0f});
                 },
                 {},
                 "out.png",
                 OIIO::TypeDesc::UINT16,
                 {0, 16384, 49151, 65535}},
        // A 16-bit file rendered in 8 bits stays a 16-bit file: each 8-bit
        // value v as 257 v. 1000 / 257 = 3.9 -> 4 -> 1028; 40000 / 257 = 155.6
        // -> 156 -> 40092.
        TypeCase{"sixteenBitPngRenderedInEightBits",
                 "in.png",
                 [](std::string const& p) {
                   writeGreyPng(p, 16, {0, 1000, 40000, 65535});
                 },
                 {"--format", "ae8"},
                 "out.png",
                 OIIO::TypeDesc::UINT16,
                 {0, 1028, 40092, 65535}},
        // OpenEXR has no 8-bit type: its deepest, float, each value v / 255.
        TypeCase{"eightBitPngToExr",
                 "in.png",
                 [](std::string const& p) {
                   writeGreyPng(p, 8, {0, 64, 191, 255});
                 },
                 {},
                 "out.exr",
                 OIIO::TypeDesc::FLOAT,
                 {0, static_cast<double>(64.0f / 255.0f), static_cast<double>(191.0f / 255.0f), 1}},
        // A 16-bit TIFF stays 16-bit and packbits-compressed; these values
        // are ones the host's 16-bit range hands back unchanged.
        TypeCase{"sixteenBitTiffKeepsTypeAndCompression",
                 "in.tif",
                 [](std::string const& p) {
                   writeGreys(p, OIIO::TypeUInt16, {0.0f, 1000.0f / 65535.0f, 32768.0f / 65535.0f, 1.0f},
                              "packbits");
                 },
                 {},
                 "out.tif",
                 OIIO::TypeDesc::UINT16,
                 {0, 1000, 32768, 65535}}),
    [](auto const& test) { return std::string(test.param.name); });

// PNG's colour space tag, text and resolution reach the PNG written.
TEST(Keep, PngColourSpaceTextAndResolution) {
  const ScratchDir dir;
  std::vector<std::uint32_t> rgba(8 * 6 * 4, 200);
  tooltest::writePng(dir.path("in.png"), 8, 6, 8, rgba, 4, true);
  auto const r = runTool({dir.path("in.png"), dir.path("out.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  tooltest::RawImage out = tooltest::readPng(dir.path("out.png"));
  EXPECT_TRUE(out.srgb);
  EXPECT_EQ(out.text["Title"], "Zarnit test");
  EXPECT_EQ(out.pixelsPerMetre, 2835u);
  EXPECT_EQ(out.bitDepth, 8);
}

// How the input was stored comes through where the output's format can
// keep it: 10 bits per sample in DPX, JPEG compression in an RGB TIFF (which
// stays RGB: the render made no pixel transparent).
TEST(Keep, BitsPerSampleAndCompressionOfTheInput) {
  struct Case {
    char const* file;
    OIIO::TypeDesc type;
    int bits;                 // 0: the type's own
    char const* compression;  // "": the format's default
  };
  for (Case const& c :
       {Case{"in.dpx", OIIO::TypeUInt16, 10, ""}, Case{"in.tif", OIIO::TypeUInt8, 0, "jpeg"}}) {
    SCOPED_TRACE(c.file);
    const ScratchDir dir;
    OIIO::ImageSpec layout(16, 8, 3, c.type);
    if (c.bits > 0) {
      layout.attribute("oiio:BitsPerSample", c.bits);
    }
    if (*c.compression != '\0') {
      layout.attribute("compression", c.compression);
    }
    writeFile(dir.path(c.file), layout, std::vector<float>(16 * 8 * 3, 0.5f));
    const std::string out = dir.path(std::string("out") + std::strchr(c.file, '.'));
    auto const r = runTool({dir.path(c.file), out, "--amount", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const OIIO::ImageSpec written = openFile(out).header;
    EXPECT_EQ(written.nchannels, 3);
    if (c.bits > 0) {
      EXPECT_EQ(written.get_int_attribute("oiio:BitsPerSample"), c.bits);
    }
    if (*c.compression != '\0') {
      EXPECT_EQ(written.get_string_attribute("compression"), c.compression);
    }
  }
}

}  // namespace
