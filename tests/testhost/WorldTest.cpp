#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testhost/Host.h"
#include "testhost/World.h"

namespace {

using testhost::Channels;
using testhost::Host;
using testhost::World;

// Channels in memory order for a pixel set to alpha 10, red 20, green 30,
// blue 40 (floats: 0.1 .. 0.4), as the host layouts define them.
struct Layout {
  PF_PixelFormat code;
  int channelBytes;
  std::vector<double> inMemory;
};

const Layout kLayouts[] = {
    {PF_PixelFormat_ARGB32, 1, {10, 20, 30, 40}},
    {PF_PixelFormat_ARGB64, 2, {10, 20, 30, 40}},
    {PF_PixelFormat_ARGB128, 4, {0.1f, 0.2f, 0.3f, 0.4f}},
    {PF_PixelFormat_BGRA32, 1, {40, 30, 20, 10}},
    {PrPixelFormat_BGRA_4444_32f, 4, {0.4f, 0.3f, 0.2f, 0.1f}},
    {PrPixelFormat_BGRA_4444_32f_Linear, 4, {0.4f, 0.3f, 0.2f, 0.1f}},
};

double channelAt(std::uint8_t const* p, int channelBytes, int i) {
  if (channelBytes == 1) {
    return p[i];
  }
  if (channelBytes == 2) {
    std::uint16_t v;
    std::memcpy(&v, p + 2 * i, 2);
    return v;
  }
  float v;
  std::memcpy(&v, p + 4 * i, 4);
  return v;
}

TEST(World, PixelsLieInTheHostsChannelOrder) {
  for (Layout const& layout : kLayouts) {
    SCOPED_TRACE(testhost::pixelFormatInfo(layout.code)->name);
    World world(layout.code, 3, 2, 5);
    bool const isFloat = layout.channelBytes == 4;
    const Channels value = isFloat ? Channels{0.1, 0.2, 0.3, 0.4} : Channels{10, 20, 30, 40};
    world.set(2, 1, value);
    std::uint8_t const* pixel = world.row(1) + 2 * 4 * layout.channelBytes;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(channelAt(pixel, layout.channelBytes, i), layout.inMemory[static_cast<size_t>(i)])
          << "channel " << i;
    }
    const Channels back = world.get(2, 1);
    EXPECT_FLOAT_EQ(static_cast<float>(back.red), static_cast<float>(value.red));
    EXPECT_FLOAT_EQ(static_cast<float>(back.blue), static_cast<float>(value.blue));
    EXPECT_EQ(world.rowbytes(), 3 * 4 * layout.channelBytes + 5);
    EXPECT_TRUE(world.paddingIntact());
  }
}

TEST(World, IntegerLayoutsClampToTheirRange) {
  World eight(PF_PixelFormat_ARGB32, 1, 1);
  eight.set(0, 0, Channels{300, -5, 127.6, 0});
  EXPECT_EQ(eight.get(0, 0).alpha, 255);
  EXPECT_EQ(eight.get(0, 0).red, 0);
  EXPECT_EQ(eight.get(0, 0).green, 128);
  World sixteen(PF_PixelFormat_ARGB64, 1, 1);
  sixteen.set(0, 0, Channels{40000, 32768, 1, 0});
  EXPECT_EQ(sixteen.get(0, 0).alpha, 32768);
  EXPECT_EQ(sixteen.get(0, 0).red, 32768);
}

TEST(World, WritingIntoThePaddingIsDetected) {
  World world(PF_PixelFormat_ARGB32, 4, 3, 8);
  world.fill(Channels{1, 2, 3, 4});
  EXPECT_TRUE(world.paddingIntact());
  world.row(1)[4 * 4] = 0;
  EXPECT_FALSE(world.paddingIntact());
}

TEST(World, FormatQueriesRecogniseWorldsAndCopiesOfTheirRecords) {
  Host host;
  void const* worldTable = nullptr;
  void const* formatTable = nullptr;
  ASSERT_EQ(host.basicSuite()->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &worldTable), kSPNoError);
  ASSERT_EQ(host.basicSuite()->AcquireSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, &formatTable),
            kSPNoError);
  auto const* worlds = static_cast<PF_WorldSuite2 const*>(worldTable);
  auto const* formats = static_cast<PF_PixelFormatSuite1 const*>(formatTable);
  for (Layout const& layout : kLayouts) {
    SCOPED_TRACE(testhost::pixelFormatInfo(layout.code)->name);
    World world(layout.code, 2, 2);
    PF_EffectWorld copy = *world.record();
    PF_PixelFormat fromWorldSuite = 0;
    PrPixelFormat fromFormatSuite = 0;
    EXPECT_EQ(worlds->PF_GetPixelFormat(&copy, &fromWorldSuite), PF_Err_NONE);
    EXPECT_EQ(formats->GetPixelFormat(&copy, &fromFormatSuite), PF_Err_NONE);
    EXPECT_EQ(fromWorldSuite, layout.code);
    EXPECT_EQ(fromFormatSuite, layout.code);
  }
  PF_EffectWorld stranger{};
  PF_PixelFormat format = 0;
  EXPECT_EQ(worlds->PF_GetPixelFormat(&stranger, &format), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(format, PF_PixelFormat_INVALID);
  host.basicSuite()->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
  host.basicSuite()->ReleaseSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(World, NewWorldMakesAnEightBitWorldThatMustBeDisposedOf) {
  Host host;
  PF_InData in = host.inData();
  PF_EffectWorld world{};
  ASSERT_EQ(in.utils->new_world(in.effect_ref, 1, 9, PF_NewWorldFlag_CLEAR_PIXELS, &world), PF_Err_NONE);
  EXPECT_EQ(world.width, 1);
  EXPECT_EQ(world.height, 9);
  EXPECT_GE(world.rowbytes, 4);
  EXPECT_EQ(world.data[8 * world.rowbytes / 4].alpha, 0) << "cleared";
  EXPECT_EQ(host.liveHostWorlds(), 1);
  EXPECT_EQ(host.accountingReport(), "1 host world not disposed of\n");
  ASSERT_EQ(in.utils->dispose_world(in.effect_ref, &world), PF_Err_NONE);
  EXPECT_EQ(world.data, nullptr);
  EXPECT_EQ(in.utils->dispose_world(in.effect_ref, &world), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.accountingReport(), "1 dispose_world call for a world the host did not make\n");
}

TEST(World, NewWorldFailsAtTheInjectedCall) {
  Host host;
  host.faults().newWorld.failAt(1, PF_Err_OUT_OF_MEMORY);
  PF_InData in = host.inData();
  PF_EffectWorld world{};
  EXPECT_EQ(in.utils->new_world(in.effect_ref, 1, 4, 0, &world), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(world.data, nullptr);
  EXPECT_EQ(in.utils->new_world(nullptr, 1, 4, 0, &world), PF_Err_BAD_CALLBACK_PARAM) << "no effect_ref";
  EXPECT_EQ(host.accountingReport(), "");
}

}  // namespace
