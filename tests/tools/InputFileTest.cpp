// Input files the tool must refuse, one kind of fault at a time, in many
// formats: made here, then handed to the tool, which must end with exit
// status 1, a message that names the file and says why, and no output. And
// inputs it must read right: channels by name, whatever their order.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <random>

#include "ToolTestSupport.h"

namespace {

using tooltest::runTool;
using tooltest::ScratchDir;

// Noise in every channel: nothing compresses it away.
std::vector<float> noise(int width, int height, int channels) {
  std::minstd_rand rng(11);
  std::vector<float> samples(static_cast<std::size_t>(width) * height * channels);
  for (float& s : samples) {
    s = static_cast<float>(rng() % 1000) / 999.0f;
  }
  return samples;
}

void writeNoise(std::string const& path, int channels, OIIO::TypeDesc type, char const* compression = "") {
  OIIO::ImageSpec layout(96, 64, channels, type);
  if (*compression != '\0') {
    layout.attribute("compression", compression);
  }
  tooltest::writeFile(path, layout, noise(96, 64, channels));
}

// The file cut to 60 % of its length.
void cut(std::string const& path) {
  std::filesystem::resize_file(path, std::filesystem::file_size(path) * 6 / 10);
}

struct BadInput {
  char const* name;  // file name, its extension the format
  std::function<void(std::string const& path)> make;
  char const* reason;  // in the message, after the file's name
};

void PrintTo(BadInput const& c, std::ostream* os) {
  *os << c.name;
}

auto truncated(int channels, OIIO::TypeDesc type, char const* compression = "") {
  return [=](std::string const& path) {
    writeNoise(path, channels, type, compression);
    cut(path);
  };
}

// Several images in one file, the second a copy of the first.
void twoImages(std::string const& path) {
  OIIO::ImageSpec layouts[2] = {OIIO::ImageSpec(16, 16, 4, OIIO::TypeFloat),
                                OIIO::ImageSpec(16, 16, 4, OIIO::TypeFloat)};
  auto out = OIIO::ImageOutput::create(path);
  const std::vector<float> pixels = noise(16, 16, 4);
  ASSERT_TRUE(out && out->open(path, 2, layouts));
  ASSERT_TRUE(out->write_image(OIIO::TypeFloat, pixels.data()));
  ASSERT_TRUE(out->open(path, layouts[1], OIIO::ImageOutput::AppendSubimage));
  ASSERT_TRUE(out->write_image(OIIO::TypeFloat, pixels.data()));
  ASSERT_TRUE(out->close());
}

auto namedChannels(std::vector<std::string> names) {
  return [=](std::string const& path) {
    OIIO::ImageSpec layout(16, 16, static_cast<int>(names.size()), OIIO::TypeFloat);
    layout.channelnames = names;
    tooltest::writeFile(path, layout, noise(16, 16, static_cast<int>(names.size())));
  };
}

// A 30000 x 30000 PNG in a few dozen bytes.
void hugeClaim(std::string const& path) {
  tooltest::writePng(path, 1, 1, 8, {1, 2, 3, 4});
  // Patch the header's width and height (big-endian, after "IHDR") and its CRC.
  std::vector<unsigned char> file;
  {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    unsigned char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
      file.insert(file.end(), buffer, buffer + n);
    }
    std::fclose(f);
  }
  for (int i : {16, 20}) {
    file[static_cast<std::size_t>(i)] = 0x00;
    file[static_cast<std::size_t>(i) + 1] = 0x00;
    file[static_cast<std::size_t>(i) + 2] = 0x75;  // 30000 = 0x7530
    file[static_cast<std::size_t>(i) + 3] = 0x30;
  }
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 12; i < 29; ++i) {  // "IHDR" and its 13 bytes
    crc ^= file[i];
    for (int k = 0; k < 8; ++k) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  crc = ~crc;
  for (int k = 0; k < 4; ++k) {
    file[29 + static_cast<std::size_t>(k)] = static_cast<unsigned char>(crc >> (24 - 8 * k));
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
}

class BadInputs : public testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, AreRefusedNamingTheFileAndTheFault) {
  BadInput const& c = GetParam();
  const ScratchDir dir;
  const std::string input = dir.path(c.name);
  c.make(input);
  auto const r = runTool({input, dir.path("out.exr"), "--amount", "5"});
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_NE(r.err.find("cannot read " + input + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line of our own: " << r.err;
  EXPECT_EQ(dir.listing(), std::vector<std::string>{c.name});
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadInputs,
    testing::Values(
        // Cut short: every decoder is asked whether it complained, not only
        // whether it returned.
        BadInput{"cut.jpg", truncated(3, OIIO::TypeUInt8), "truncated"},
        BadInput{"cut.dpx", truncated(4, OIIO::TypeUInt16), "truncated"},
        BadInput{"cut.tif", truncated(4, OIIO::TypeUInt8, "zip"), "truncated"},
        BadInput{"cut.png", truncated(4, OIIO::TypeUInt16), "truncated"},
        BadInput{"cut.exr", truncated(4, OIIO::TypeHalf), "truncated"},
        BadInput{"cut.tga", truncated(4, OIIO::TypeUInt8), "truncated"},
        BadInput{"cut.bmp", truncated(3, OIIO::TypeUInt8), "truncated"},
        BadInput{"cut.hdr", truncated(3, OIIO::TypeFloat), "truncated"},
        BadInput{"cut.sgi", truncated(4, OIIO::TypeUInt8), "truncated"},
        BadInput{"cut.pnm", truncated(3, OIIO::TypeUInt8), "truncated"},
        // Claims more pixels than it could hold: refused before memory for
        // them is taken.
        BadInput{"claim.png", hugeClaim, "cannot hold the 30000x30000 pixels"},
        // More than one image: which one would be meant?
        BadInput{"parts.exr", twoImages, "holds 2 images"},
        BadInput{"pages.tif", twoImages, "holds 2 images"},
        // Channels that are not colour, or not all of it.
        BadInput{"gbaz.exr", namedChannels({"G", "B", "A", "Z"}), "channels (G, B, A, Z)"},
        BadInput{"xyzw.exr", namedChannels({"X", "Y", "Z", "W"}), "channels (X, Y, Z, W)"}));

// Channels are taken by name, in whatever order the file keeps them.
TEST(InputChannels, AreTakenByName) {
  const ScratchDir dir;
  OIIO::ImageSpec layout(2, 1, 5, OIIO::TypeFloat);
  layout.channelnames = {"Z", "B", "A", "G", "R"};
  layout.alpha_channel = 2;
  // Pixel 0: R 0.25, G 0.5, B 0.75, A 1; pixel 1 the same at half alpha.
  tooltest::writeFile(dir.path("in.exr"), layout, {9, 0.75f, 1, 0.5f, 0.25f, 9, 0.75f, 0.5f, 0.5f, 0.25f});
  auto const r = runTool({dir.path("in.exr"), dir.path("out.exr"), "--amount", "0"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const tooltest::Opened out = tooltest::openFile(dir.path("out.exr"));
  ASSERT_EQ(out.header.channelnames, (std::vector<std::string>{"R", "G", "B", "A", "Z"}));
  EXPECT_EQ(out.floats, (std::vector<float>{0.25f, 0.5f, 0.75f, 1, 9, 0.25f, 0.5f, 0.75f, 0.5f, 9}));
}

}  // namespace
