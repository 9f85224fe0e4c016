// Whole frames through the loaded plug-in in each of the six pixel formats,
// as After Effects or Premiere Pro sends them, hashed. The hashes were
// recorded from the x86-64 build; every build (Linux, Windows, arm64) must
// reproduce them, because render farms mix machines and frames must match.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

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

// Opaque, transparent and partial pixels; float frames also hold colours
// below 0, above 1 and NaN.
void fillFrame(World& world) {
  double const full = world.info().maxValue;
  bool const isFloat = world.info().type == ChannelType::F32;
  // Part of the recorded hashes: a change of generator changes them.
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

// FNV-1a over the pixel bytes, row by row, without the row padding.
std::uint64_t frameHash(World const& world) {
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
  PF_ParamValue sampling;
};

// Negative Amount, "square" and "Final"; positive, "cubic" and "Just CA";
// the first again, sampled smoothly.
const Setting settings[] = {
    {2, 2, 1, -37.25, kNearest}, {3, 3, 2, 81.5, kNearest}, {2, 2, 1, -37.25, kSmooth}};

// By format in kPixelFormats order, then by setting. The nearest frames
// were recorded from the effect before it had a "Sampling" parameter.
const std::uint64_t recordedHashes[6][3] = {
    {0xf1fa51b0cad3466aull, 0x62355a5908a85385ull, 0x9537e74150be573bull},  // ARGB8
    {0xacdb492bd103bb7aull, 0xb3eb80a673b85c7aull, 0xd9b91806d0173a5full},  // ARGB16
    {0x98a9ccabda3d37b8ull, 0x8a8ada351a5983b5ull, 0x05c4ca53401305c1ull},  // ARGB32
    {0x52791cccad0c79b8ull, 0x642d1158fa5afcddull, 0xc3d9fc3803d47cfbull},  // BGRA8
    {0x7e38ddcfe97b4540ull, 0xa8bd46905a8758cdull, 0xdeb05b645a4377fdull},  // BGRA32
    {0x7e38ddcfe97b4540ull, 0xa8bd46905a8758cdull, 0xdeb05b645a4377fdull},  // BGRA32_Linear
};

// The instance either made anew and set, or opened from a project saved
// before "Sampling" existed (disk ids 2 to 6 only), which must render as
// the effect did then.
enum class Made { New, FromOldProject };

std::unique_ptr<testhost::Instance> instanceWith(testhost::Effect& effect, Setting const& setting, Made made,
                                                 A_long w, A_long h) {
  if (made == Made::New) {
    auto instance = std::make_unique<testhost::Instance>(effect, w, h);
    instance->setPoint(kCenter, pixels(29), pixels(43));
    instance->setPopup(kMode, setting.mode);
    instance->setPopup(kScaling, setting.scaling);
    instance->setFloat(kAmount, setting.amount);
    instance->setPopup(kShow, setting.show);
    instance->setPopup(kSampling, setting.sampling);
    return instance;
  }
  testhost::SavedParams project = savedBefore(effect.paramDefs(), 6);
  project[2].u.td.x_value = pixels(29);
  project[2].u.td.y_value = pixels(43);
  project[3].u.pd.value = setting.mode;
  project[4].u.pd.value = setting.scaling;
  project[5].u.fs_d.value = setting.amount;
  project[6].u.pd.value = setting.show;
  return std::make_unique<testhost::Instance>(effect, w, h, project);
}

TEST(WholeFrames, EveryFormatRendersTheRecordedFrames) {
  const A_long w = 257, h = 131;
  for (std::size_t f = 0; f < 6; ++f) {
    PixelFormatInfo const& info = testhost::kPixelFormats[f];
    bool const premiere = isPremiereFormat(info.code);
    testhost::Host host(premiere ? App::PremierePro : App::AfterEffects);
    testhost::Effect effect(host, ZF_PLUGIN_PATH);
    ASSERT_EQ(effect.globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
    for (std::size_t s = 0; s < std::size(settings); ++s) {
      for (const Made made : {Made::New, Made::FromOldProject}) {
        if (made == Made::FromOldProject && settings[s].sampling != kNearest)
          continue;
        SCOPED_TRACE(testing::Message() << info.name << " setting " << s
                                        << (made == Made::New ? "" : ", project saved before Sampling"));
        std::unique_ptr<testhost::Instance> instance = instanceWith(effect, settings[s], made, w, h);
        ASSERT_EQ(instance->sequenceSetup().err, PF_Err_NONE);
        World input(info.code, w, h);
        World output(info.code, w, h, 12);
        fillFrame(input);
        // Premiere Pro renders by the plain command, After Effects by smart render.
        const PF_Err err =
            premiere ? instance->render(input, output).err : instance->smartRender(input, output).render.err;
        ASSERT_EQ(err, PF_Err_NONE);
        const std::uint64_t hash = frameHash(output);
        EXPECT_EQ(hash, recordedHashes[f][s]) << "actual 0x" << std::hex << hash;
        EXPECT_EQ(instance->sequenceSetdown().err, PF_Err_NONE);
      }
    }
    EXPECT_EQ(host.accountingReport(), "");
  }
}

}  // namespace
}  // namespace zftest
