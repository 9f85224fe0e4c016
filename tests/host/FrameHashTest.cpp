/* Whole frames through the loaded plug-in in each of the six pixel formats,
 * as After Effects or Premiere Pro sends them, hashed. The hashes were
 * recorded from the x86-64 build; every build (Linux, Windows, arm64) must
 * reproduce them, because render farms mix machines and frames must match. */
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "PluginFixture.h"

namespace zftest {
namespace {

using testhost::App;
using testhost::ChannelType;
using testhost::PixelFormatInfo;
using testhost::World;

bool isPremiereFormat(PF_PixelFormat code) {
  return code == PF_PixelFormat_BGRA32 || code == PrPixelFormat_BGRA_4444_32f ||
         code == PrPixelFormat_BGRA_4444_32f_Linear;
}

/* Opaque, transparent and partial pixels; float frames also hold colours
 * below 0, above 1 and NaN. */
void fillFrame(World& world) {
  double const full = world.info().maxValue;
  bool const isFloat = world.info().type == ChannelType::F32;
  std::uint32_t state = 0x2545;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  auto channel = [&] {
    if (isFloat)
      return static_cast<double>(static_cast<int>(next() % 1200) - 100) / 997.0;
    return static_cast<double>(next() % (static_cast<std::uint32_t>(full) + 1));
  };
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      std::uint32_t const kind = next() % 4;
      double const alpha = kind == 0 ? 0.0 : kind == 1 ? full : channel();
      testhost::Channels c{alpha, channel(), channel(), channel()};
      if (isFloat && (x + 3 * y) % 11 == 5)
        c.green = std::numeric_limits<double>::quiet_NaN();
      world.set(x, y, c);
    }
  }
}

/* FNV-1a over the pixel bytes, row by row, without the row padding. */
std::uint64_t frameHash(const World& world) {
  std::uint64_t h = 14695981039346656037ull;
  const A_long rowBytes = world.width() * world.info().bytesPerPixel;
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long i = 0; i < rowBytes; ++i) {
      h ^= world.row(y)[i];
      h *= 1099511628211ull;
    }
  }
  return h;
}

struct Setting {
  PF_ParamValue mode, scaling, show;  // popup values, from 1
  double amount;
};

/* Negative Amount, "square" and "Final"; positive, "cubic" and "Just CA". */
const Setting settings[] = {{2, 2, 1, -37.25}, {3, 3, 2, 81.5}};

/* By format in kPixelFormats order, then by setting. */
const std::uint64_t recordedHashes[6][2] = {
    {0xf1fa51b0cad3466aull, 0x62355a5908a85385ull},  // ARGB8
    {0xacdb492bd103bb7aull, 0xb3eb80a673b85c7aull},  // ARGB16
    {0x98a9ccabda3d37b8ull, 0x8a8ada351a5983b5ull},  // ARGB32
    {0x52791cccad0c79b8ull, 0x642d1158fa5afcddull},  // BGRA8
    {0x7e38ddcfe97b4540ull, 0xa8bd46905a8758cdull},  // BGRA32
    {0x7e38ddcfe97b4540ull, 0xa8bd46905a8758cdull},  // BGRA32_Linear
};

TEST(WholeFrames, EveryFormatRendersTheRecordedFrames) {
  const A_long w = 257, h = 131;
  for (std::size_t f = 0; f < 6; ++f) {
    const PixelFormatInfo& info = testhost::kPixelFormats[f];
    const bool premiere = isPremiereFormat(info.code);
    testhost::Host host(premiere ? App::PremierePro : App::AfterEffects);
    testhost::Effect effect(host, ZF_PLUGIN_PATH);
    ASSERT_EQ(effect.globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
    for (std::size_t s = 0; s < 2; ++s) {
      SCOPED_TRACE(testing::Message() << info.name << " setting " << s);
      testhost::Instance instance(effect, w, h);
      ASSERT_EQ(instance.sequenceSetup().err, PF_Err_NONE);
      instance.setPoint(kCenter, pixels(29), pixels(43));
      instance.setPopup(kMode, settings[s].mode);
      instance.setPopup(kScaling, settings[s].scaling);
      instance.setFloat(kAmount, settings[s].amount);
      instance.setPopup(kShow, settings[s].show);
      World input(info.code, w, h);
      World output(info.code, w, h, 12);
      fillFrame(input);
      // Premiere Pro renders by the plain command, After Effects by smart render.
      const PF_Err err =
          premiere ? instance.render(input, output).err : instance.smartRender(input, output).render.err;
      ASSERT_EQ(err, PF_Err_NONE);
      const std::uint64_t hash = frameHash(output);
      EXPECT_EQ(hash, recordedHashes[f][s]) << "actual 0x" << std::hex << hash;
      EXPECT_EQ(instance.sequenceSetdown().err, PF_Err_NONE);
    }
    EXPECT_EQ(host.accountingReport(), "");
  }
}

}  // namespace
}  // namespace zftest
