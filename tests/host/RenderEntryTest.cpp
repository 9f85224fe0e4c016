// The render commands through the loaded plug-in: what reaches the renderer
// (input offset, centre, Amount) is read back from rendered pixels, and the
// host's records, handles and parameters are checked after every frame.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "PluginFixture.h"

namespace zftest {
namespace {

using testhost::Channels;
using testhost::World;

// An opaque frame whose red channel tells which pixel a sample came from.
Channels codedPixel(A_long x, A_long y) {
  return Channels{255, static_cast<double>((2 * x + 101 * y) % 256), 50, 60};
}

// Counts the pixels of `world` that differ from `expected`, reporting the first.
testing::AssertionResult pixelsAre(World const& world,
                                   std::function<Channels(A_long, A_long)> const& expected) {
  long mismatches = 0;
  std::string first;
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      const Channels got = world.get(x, y);
      const Channels want = expected(x, y);
      if (got.alpha != want.alpha || got.red != want.red || got.green != want.green ||
          got.blue != want.blue) {
        if (mismatches++ == 0) {
          first = "(" + std::to_string(x) + ", " + std::to_string(y) + "): got argb " +
                  std::to_string(got.alpha) + " " + std::to_string(got.red) + " " +
                  std::to_string(got.green) + " " + std::to_string(got.blue) + ", want " +
                  std::to_string(want.alpha) + " " + std::to_string(want.red) + " " +
                  std::to_string(want.green) + " " + std::to_string(want.blue);
        }
      }
    }
  }
  if (mismatches == 0) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << mismatches << " pixels differ, first at " << first;
}

using testhost::nameOf;
using testhost::RenderPath;

class RenderEntryTest : public PluginTest {
 protected:
  void SetUp() override { setUpEffect(); }

  // Sends one frame the given way and returns the first failing command's result.
  PF_Err renderFrame(testhost::Instance& instance, RenderPath path, World& input, World& output,
                     testhost::CommandHook const& hook = {}) {
    testhost::SmartRenderOptions options;
    options.hook = hook;
    testhost::FrameResult const r = testhost::renderFrame(instance, path, input, output, options);
    EXPECT_TRUE(r.rendered);
    return r.err;
  }

  long worldSuiteAcquisitions() const {
    return host.suiteStats(kPFWorldSuite, kPFWorldSuiteVersion2).acquired;
  }
};

TEST_F(RenderEntryTest, SmartRenderPlacesTheInputAtTheOriginOfItsWidenedRectangle) {
  const A_long w = 24, h = 16;
  struct Case {
    char const* name;
    PF_LRect preset;  // the host's preset output rectangle
    bool setInputRect;
    PF_LRect inputRect;  // the checked-out input's rectangle
    A_long originX, originY;
  };
  const Case cases[] = {
      {"input not offset", {0, 0, 0, 0}, false, {}, 0, 0},
      {"input rectangle at (-10, -5)", {0, 0, 0, 0}, true, {-10, -5, w - 10, h - 5}, -10, -5},
      {"preset rectangle widened by the input's", {-20, -3, 5, 5}, false, {}, -20, -3},
      {"preset rectangle inside the input's", {2, 2, 5, 5}, true, {-4, -1, w, h}, -4, -1},
      // An empty preset takes the input's rectangle as it is, empty or not.
      {"empty input rectangle over an empty preset", {6, 6, 6, 9}, true, {-3, -2, -3, h}, -3, -2},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    testhost::Instance instance(effect, w, h);
    World input(PF_PixelFormat_ARGB32, w, h);
    World output(PF_PixelFormat_ARGB32, w, h);
    fillWorld(input, codedPixel);

    testhost::SmartRenderOptions options;
    options.presetResultRect = c.preset;
    options.presetMaxResultRect = c.preset;
    options.presetFlags = 0x7FF6;  // every bit but RETURNS_EXTRA_PIXELS: the flags are set, not added to
    options.setInputRect = c.setInputRect;
    options.inputRect = c.inputRect;
    options.setOutputRequest = true;
    options.outputRequest.rect = PF_LRect{3, 3, 9, 9};
    options.outputRequest.field = PF_Field_UPPER;
    options.outputRequest.channel_mask = 0x7;
    options.outputRequest.preserve_rgb_of_zero_alpha = 1;
    const testhost::SmartRenderResult r = instance.smartRender(input, output, options);
    ASSERT_EQ(r.preRender.command.err, PF_Err_NONE);
    ASSERT_EQ(r.render.err, PF_Err_NONE);

    // The whole layer is asked for, the rest of the request as the host made it.
    ASSERT_EQ(r.preRender.checkouts.size(), 1u);
    testhost::LayerCheckout const& checkout = r.preRender.checkouts[0];
    EXPECT_EQ(checkout.index, 0);
    EXPECT_EQ(checkout.checkout_id, 0);
    EXPECT_EQ(bytesOf(checkout.request.rect), bytesOf(PF_LRect{0, 0, w, h}));
    EXPECT_EQ(checkout.request.field, PF_Field_UPPER);
    EXPECT_EQ(checkout.request.channel_mask, 0x7);
    EXPECT_EQ(checkout.request.preserve_rgb_of_zero_alpha, 1);

    // The output reported is the layer's own rectangle, whatever the input's.
    EXPECT_EQ(bytesOf(r.preRender.output.result_rect), bytesOf(PF_LRect{0, 0, w, h}));
    EXPECT_EQ(bytesOf(r.preRender.output.max_result_rect), bytesOf(PF_LRect{0, 0, w, h}));
    EXPECT_EQ(r.preRender.output.flags, PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS);
    EXPECT_TRUE(r.deleteFuncCalled);

    // Amount 0: output pixel (x, y) is input pixel (x - originX, y - originY),
    // transparent black where that lies outside the input.
    EXPECT_TRUE(pixelsAre(output, [&](A_long x, A_long y) {
      const A_long ix = x - c.originX, iy = y - c.originY;
      return ix < w && iy < h && ix >= 0 && iy >= 0 ? codedPixel(ix, iy) : Channels{0, 0, 0, 0};
    }));
    EXPECT_EQ(host.handleStats().live, 0);
  }
}

// Red taken from the sample displaced towards the centre with magnification
// 2 (Amount 50, linear, Red-Cyan), worked out from the kernel's formula: the
// centre row is counted from the bottom edge, coordinates truncate to zero.
std::vector<double> expectedReds(A_long w, A_long h, int cx, int cy) {
  std::vector<double> reds;
  double const cyEff = h - cy;
  for (A_long y = 0; y < h; ++y) {
    for (A_long x = 0; x < w; ++x) {
      double const xs = (x - cx) / 2.0 + cx;
      double const ys = (y - cyEff) / 2.0 + cyEff;
      const A_long col = static_cast<A_long>(std::trunc(xs));
      const A_long row = static_cast<A_long>(std::trunc(ys));
      bool const inside = col >= 0 && col < w && row >= 0 && row < h;
      reds.push_back(inside ? codedPixel(col, row).red : 0.0);
    }
  }
  return reds;
}

TEST_F(RenderEntryTest, FrameCenterIsRoundedDownToWholePixels) {
  const A_long w = 128, h = 8;
  struct Case {
    char const* name;
    PF_Fixed x, y;
    int cx, cy;
  };
  const Case cases[] = {
      {"x at -0.5 px", -32768, pixels(4), -1, 4},
      {"x at 99.99 px", 6552944, pixels(4), 99, 4},
      {"y at -0.5 px", pixels(10), -32768, 10, -1},
      {"y at 3.99 px", pixels(10), 261488, 10, 3},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<double> reds = expectedReds(w, h, c.cx, c.cy);
    // The frame tells rounding down from truncation and from rounding to nearest.
    double (*const readings[])(double) = {[](double v) { return std::trunc(v); },
                                          [](double v) { return std::round(v); }};
    for (auto const reading : readings) {
      int const ax = static_cast<int>(reading(c.x / 65536.0));
      int const ay = static_cast<int>(reading(c.y / 65536.0));
      if (ax != c.cx || ay != c.cy) {
        ASSERT_NE(expectedReds(w, h, ax, ay), reds);
      }
    }

    testhost::Instance instance(effect, w, h);
    instance.setPoint(kCenter, c.x, c.y);
    instance.setPopup(kMode, kRedCyan);
    instance.setPopup(kScaling, kLinear);
    instance.setFloat(kAmount, 50.0);
    instance.setPopup(kShow, kFinal);
    World input(PF_PixelFormat_ARGB32, w, h);
    World output(PF_PixelFormat_ARGB32, w, h);
    fillWorld(input, codedPixel);
    for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
      SCOPED_TRACE(nameOf(path));
      output.fillBytes(0);
      ASSERT_EQ(renderFrame(instance, path, input, output), PF_Err_NONE);
      EXPECT_TRUE(pixelsAre(output, [&](A_long x, A_long y) {
        return Channels{255, reds[static_cast<size_t>(y * w + x)], 50, 60};
      }));
    }
  }
}

TEST_F(RenderEntryTest, ParametersAreReadAtTheFramesTime) {
  // Frame 75 at 25 per second, 2 units long: 3.0 s. Every other reading of
  // the three times lands on another keyframe: frame 0, or the step taken
  // for the time, is at 0 s; 75 at the host's usual 30 per second is 2.5 s;
  // 75 at a scale of 2 is 37.5 s.
  host.settings().current_time = 75;
  host.settings().time_step = 2;
  host.settings().time_scale = 25;
  const A_long w = 64, h = 8;
  testhost::Instance instance(effect, w, h);
  instance.setPopup(kMode, kRedCyan);
  instance.setPopup(kScaling, kLinear);
  instance.setPopup(kShow, kFinal);
  auto const amountAt = [&](double seconds, PF_FpLong amount) {
    PF_ParamDef def = instance.param(kAmount);
    def.u.fs_d.value = amount;
    return testhost::Keyframe{seconds, def};
  };
  auto const centerAt = [&](double seconds, int x, int y) {
    PF_ParamDef def = instance.param(kCenter);
    def.u.td.x_value = pixels(x);
    def.u.td.y_value = pixels(y);
    return testhost::Keyframe{seconds, def};
  };
  instance.setKeyframes(kAmount, {amountAt(0.0, 0.0), amountAt(2.9, 50.0), amountAt(3.1, -20.0)});
  instance.setKeyframes(kCenter, {centerAt(0.0, 2, 2), centerAt(2.9, 40, 5), centerAt(3.1, 10, 1)});
  World input(PF_PixelFormat_ARGB32, w, h);
  World output(PF_PixelFormat_ARGB32, w, h);
  fillWorld(input, codedPixel);
  // Amount 50 about (40, 5): magnification 2, as worked out above.
  const std::vector<double> reds = expectedReds(w, h, 40, 5);
  for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
    SCOPED_TRACE(nameOf(path));
    output.fillBytes(0);
    if (path == RenderPath::Plain) {
      ASSERT_EQ(instance.render(input, output).err, PF_Err_NONE);
    } else {
      const testhost::SmartRenderResult r = instance.smartRender(input, output);
      ASSERT_EQ(r.render.err, PF_Err_NONE);
      ASSERT_EQ(r.preRender.checkouts.size(), 1u);
      EXPECT_EQ(r.preRender.checkouts[0].what_time, 75);
      EXPECT_EQ(r.preRender.checkouts[0].time_step, 2);
      EXPECT_EQ(r.preRender.checkouts[0].time_scale, 25u);
    }
    EXPECT_TRUE(pixelsAre(output, [&](A_long x, A_long y) {
      return Channels{255, reds[static_cast<size_t>(y * w + x)], 50, 60};
    }));
  }
  // The step, which picks no keyframe, goes to the host as it came.
  for (testhost::ParamCheckout const& checkout : instance.checkoutLog()) {
    SCOPED_TRACE(checkout.index);
    EXPECT_EQ(checkout.what_time, 75);
    EXPECT_EQ(checkout.time_step, 2);
    EXPECT_EQ(checkout.time_scale, 25u);
  }
}

// "Sampling" reaches the renderer on every path of both hosts: a red ramp
// read at half the distance from the centre column reads between two
// pixels, which nearest sampling truncates and smooth sampling mixes. A
// value outside the popup (a damaged project) is nearest. All six
// parameters go back to the host.
struct Route {
  testhost::App app;
  PF_PixelFormat format;
  RenderPath path;
};

TEST(RenderEntrySampling, EveryPathOfBothHostsReadsTheSamplingPopup) {
  const Route routes[] = {{testhost::App::AfterEffects, PF_PixelFormat_ARGB128, RenderPath::Plain},
                          {testhost::App::AfterEffects, PF_PixelFormat_ARGB128, RenderPath::Smart},
                          {testhost::App::PremierePro, PrPixelFormat_BGRA_4444_32f, RenderPath::Plain}};
  // Column 7 reads the point 3.5 (Amount 50 doubles distances from column 0);
  // red is a tenth of the column.
  struct Case {
    PF_ParamValue sampling;
    double red;
  };
  const Case cases[] = {{kNearest, 0.3}, {kSmooth, 0.35}, {0, 0.3}, {3, 0.3}};
  const A_long w = 16, h = 4;
  for (Route const& route : routes) {
    testhost::Host host(route.app);
    testhost::Effect effect(host, ZF_PLUGIN_PATH);
    ASSERT_EQ(effect.globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
    for (Case const& c : cases) {
      SCOPED_TRACE(testing::Message()
                   << (route.app == testhost::App::PremierePro ? "Premiere Pro " : "After Effects ")
                   << nameOf(route.path) << ", sampling " << c.sampling);
      testhost::Instance instance(effect, w, h);
      instance.setPoint(kCenter, pixels(0), pixels(h - 1));  // centre row 1, counted from the bottom
      instance.setPopup(kMode, kRedCyan);
      instance.setPopup(kScaling, kLinear);
      instance.setFloat(kAmount, 50.0);
      instance.setPopup(kShow, kFinal);
      instance.setPopup(kSampling, c.sampling);
      World input(route.format, w, h);
      World output(route.format, w, h);
      fillWorld(input, [](A_long x, A_long) { return Channels{1.0, x / 10.0, 0.5, 0.5}; });
      ASSERT_EQ(testhost::renderFrame(instance, route.path, input, output).err, PF_Err_NONE);
      EXPECT_NEAR(output.get(7, 1).red, c.red, 1e-6);
      EXPECT_EQ(instance.checkoutLog().size(), static_cast<std::size_t>(kCheckedOutParams));
      EXPECT_EQ(instance.outstandingCheckouts(), 0);
    }
    EXPECT_EQ(host.accountingReport(), "");
  }
}

// "Spectrum samples" reaches the renderer on every path of both hosts as a
// whole count: halves round up, values beyond 3 to 64 are clamped, a value
// that is not finite renders as the default 12, and a project saved before
// the parameter existed (disk ids 2 to 7) gets 12 as well. Each value's
// frame must equal the frame of the count it stands for and differ from a
// neighbouring count's.
TEST(RenderEntrySpectrum, SampleCountsAreRoundedClampedAndDefaultedOnEveryPath) {
  const Route routes[] = {{testhost::App::AfterEffects, PF_PixelFormat_ARGB128, RenderPath::Plain},
                          {testhost::App::AfterEffects, PF_PixelFormat_ARGB32, RenderPath::Smart},
                          {testhost::App::PremierePro, PrPixelFormat_BGRA_4444_32f, RenderPath::Plain}};
  struct Case {
    double value;
    double sameAs;
    double unlike;
  };
  double const nan = std::nan("");
  const Case cases[] = {{4.5, 5, 4},   {4.49, 4, 5},  {2.5, 3, 4},       {-7, 3, 4},
                        {1e9, 64, 63}, {nan, 12, 11}, {HUGE_VAL, 12, 13}};
  const A_long w = 40, h = 9;
  for (Route const& route : routes) {
    testhost::Host host(route.app);
    testhost::Effect effect(host, ZF_PLUGIN_PATH);
    ASSERT_EQ(effect.globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
    World input(route.format, w, h);
    fillWorld(input, [](A_long x, A_long y) {
      return Channels{(x + y) % 3 == 0 ? 1.0 : 0.6, x % 4 / 3.0, y / 8.0, 0.5};
    });
    auto frame = [&](testhost::Instance& instance, double samples) {
      instance.setPoint(kCenter, pixels(3), pixels(2));
      instance.setPopup(kMode, kSpectrum);
      instance.setFloat(kAmount, 60.0);
      instance.setFloat(kSpectrumSamples, samples);
      World output(route.format, w, h);
      EXPECT_EQ(testhost::renderFrame(instance, route.path, input, output).err, PF_Err_NONE);
      EXPECT_EQ(instance.checkoutLog().size() % static_cast<std::size_t>(kCheckedOutParams), 0u);
      EXPECT_EQ(instance.outstandingCheckouts(), 0);
      return output.bytes();
    };
    testhost::Instance instance(effect, w, h);
    for (Case const& c : cases) {
      SCOPED_TRACE(testing::Message() << nameOf(route.path) << ", samples " << c.value);
      const std::vector<std::uint8_t> got = frame(instance, c.value);
      EXPECT_EQ(got, frame(instance, c.sameAs));
      EXPECT_NE(got, frame(instance, c.unlike));
    }
    // Saved before "Spectrum samples": disk ids 2 to 7 only.
    testhost::Instance opened(effect, w, h, savedBefore(effect.paramDefs(), 7));
    EXPECT_EQ(opened.param(kSpectrumSamples).u.fs_d.value, 12.0);
    opened.setPopup(kMode, kSpectrum);
    opened.setPoint(kCenter, pixels(3), pixels(2));
    opened.setFloat(kAmount, 60.0);
    World fromProject(route.format, w, h);
    ASSERT_EQ(testhost::renderFrame(opened, route.path, input, fromProject).err, PF_Err_NONE);
    EXPECT_EQ(fromProject.bytes(), frame(instance, 12));
    EXPECT_EQ(host.accountingReport(), "");
  }
}

// Displaced column of pixel x on the centre row, centre at column 0, linear
// scaling: x / s truncated, s = 1 + 0.02 Amount, all in float.
std::vector<A_long> displacedColumns(float amount, A_long w) {
  std::vector<A_long> columns;
  float const k = amount * 0.02f;
  float const s = 1.0f + k;
  for (A_long x = 0; x < w; ++x) {
    float const xs = static_cast<float>(x) / s;
    columns.push_back(static_cast<A_long>(std::trunc(xs)));
  }
  return columns;
}

TEST_F(RenderEntryTest, AmountArrivesAsTheNearestFloat) {
  // One row wide enough for the last bit of Amount to move a column: at
  // x = 4525 the nearest float to 12.345 reads column 3629, the float above
  // it 3628. The float below gives the same magnification, so a narrowing
  // that rounds down cannot be told apart through pixels; every coarser
  // reading of 12.345 can.
  const A_long w = 4600, h = 1;
  float const nearest = static_cast<float>(12.345);
  const std::vector<A_long> columns = displacedColumns(nearest, w);
  for (float const other : {12.0f, 12.3f, 12.34f, 12.35f, std::nextafter(nearest, 100.0f)}) {
    SCOPED_TRACE(other);
    ASSERT_NE(displacedColumns(other, w), columns);
  }

  testhost::Instance instance(effect, w, h);
  // Centre (0, 1): column 0, and with one row the centre row is row 0.
  instance.setPoint(kCenter, pixels(0), pixels(1));
  instance.setPopup(kMode, kRedCyan);
  instance.setPopup(kScaling, kLinear);
  instance.setFloat(kAmount, 12.345);
  instance.setPopup(kShow, kFinal);
  World input(PF_PixelFormat_ARGB128, w, h);
  World output(PF_PixelFormat_ARGB128, w, h);
  fillWorld(input, [](A_long x, A_long) { return Channels{1.0, x / 8192.0, 0.25, 0.75}; });
  for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
    SCOPED_TRACE(nameOf(path));
    ASSERT_EQ(renderFrame(instance, path, input, output), PF_Err_NONE);
    EXPECT_TRUE(pixelsAre(output, [&](A_long x, A_long) {
      return Channels{1.0, columns[static_cast<size_t>(x)] / 8192.0, 0.25, 0.75};
    }));
  }
}

TEST_F(RenderEntryTest, PlainAndSmartRenderOfAnUnshiftedInputAreIdentical) {
  const A_long w = 40, h = 30;
  testhost::Instance instance(effect, w, h);
  instance.setPoint(kCenter, pixels(10), pixels(7));
  instance.setPopup(kMode, 2);
  instance.setPopup(kScaling, 3);
  instance.setFloat(kAmount, -30.0);
  instance.setPopup(kShow, 2);
  World input(PF_PixelFormat_ARGB64, w, h);
  fillWorld(input, [](A_long x, A_long y) {
    return Channels{(x + y) % 5 == 0 ? 0.0 : 32768.0, x * 800.0, y * 1000.0, (x * y) % 32769 * 1.0};
  });
  World plain(PF_PixelFormat_ARGB64, w, h);
  World smart(PF_PixelFormat_ARGB64, w, h);
  ASSERT_EQ(renderFrame(instance, RenderPath::Plain, input, plain), PF_Err_NONE);
  ASSERT_EQ(renderFrame(instance, RenderPath::Smart, input, smart), PF_Err_NONE);
  EXPECT_EQ(plain.bytes(), smart.bytes());
  EXPECT_NE(plain.bytes(), input.bytes());
}

TEST_F(RenderEntryTest, FailedCheckInIsReportedAfterEveryParameterIsBack) {
  for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
    SCOPED_TRACE(nameOf(path));
    testhost::Instance instance(effect, 8, 8);
    World input(PF_PixelFormat_ARGB32, 8, 8);
    World output(PF_PixelFormat_ARGB32, 8, 8);
    fillWorld(input, codedPixel);
    host.faults().checkinParam.failAt(3, PF_Err_INVALID_INDEX);
    EXPECT_EQ(renderFrame(instance, path, input, output), PF_Err_INVALID_INDEX);
    EXPECT_EQ(host.faults().checkinParam.calls(), kCheckedOutParams);
    host.faults().checkinParam.reset();
    EXPECT_EQ(instance.outstandingCheckouts(), 0);
    // The frame itself was rendered: Amount 0 gives the opaque input back.
    EXPECT_TRUE(pixelsAre(output, codedPixel));
  }
}

TEST_F(RenderEntryTest, FailedParameterCheckoutStopsTheFrame) {
  for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
    SCOPED_TRACE(nameOf(path));
    testhost::Instance instance(effect, 8, 8);
    World input(PF_PixelFormat_ARGB32, 8, 8);
    World output(PF_PixelFormat_ARGB32, 8, 8);
    fillWorld(input, codedPixel);
    const std::vector<std::uint8_t> untouched = output.bytes();
    long const driverRuns = worldSuiteAcquisitions();
    host.faults().checkoutParam.failAt(2, PF_Interrupt_CANCEL);
    EXPECT_EQ(renderFrame(instance, path, input, output), PF_Interrupt_CANCEL);
    host.faults().checkoutParam.reset();
    EXPECT_EQ(instance.outstandingCheckouts(), 0);
    EXPECT_EQ(worldSuiteAcquisitions(), driverRuns);
    EXPECT_EQ(output.bytes(), untouched);
  }
}

TEST_F(RenderEntryTest, FailedWorldCheckoutEndsTheSmartRenderBeforeAnyParameter) {
  struct Case {
    char const* name;
    testhost::FaultInjector testhost::Faults::*fault;
  };
  const Case cases[] = {{"checkout_layer_pixels", &testhost::Faults::checkoutLayerPixels},
                        {"checkout_output", &testhost::Faults::checkoutOutput}};
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    testhost::Instance instance(effect, 8, 8);
    World input(PF_PixelFormat_ARGB32, 8, 8);
    World output(PF_PixelFormat_ARGB32, 8, 8);
    const std::vector<std::uint8_t> untouched = output.bytes();
    long const driverRuns = worldSuiteAcquisitions();
    (host.faults().*c.fault).failAt(1, PF_Err_OUT_OF_MEMORY);
    const testhost::SmartRenderResult r = instance.smartRender(input, output);
    (host.faults().*c.fault).reset();
    EXPECT_EQ(r.render.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(instance.checkoutLog().empty());
    EXPECT_EQ(worldSuiteAcquisitions(), driverRuns);
    EXPECT_EQ(output.bytes(), untouched);
  }
}

TEST_F(RenderEntryTest, DriverFailureIsReportedWithParametersCheckedIn) {
  // Without the Iterate8 suite the driver cannot convert anything and answers
  // 516: the frame must not be reported as rendered.
  host.setSuiteMissing(kPFIterate8Suite, kPFIterate8SuiteVersion1);
  for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
    SCOPED_TRACE(nameOf(path));
    testhost::Instance instance(effect, 8, 8);
    World input(PF_PixelFormat_ARGB32, 8, 8);
    World output(PF_PixelFormat_ARGB32, 8, 8);
    const std::vector<std::uint8_t> untouched = output.bytes();
    EXPECT_EQ(renderFrame(instance, path, input, output), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(instance.outstandingCheckouts(), 0);
    EXPECT_EQ(output.bytes(), untouched);
  }
}

TEST_F(RenderEntryTest, PreRenderDataIsGivenBackWithEveryFrame) {
  testhost::Instance instance(effect, 8, 8);
  World input(PF_PixelFormat_ARGB32, 8, 8);
  World output(PF_PixelFormat_ARGB32, 8, 8);
  for (int frame = 0; frame < 5; ++frame) {
    SCOPED_TRACE(frame);
    const testhost::SmartRenderResult r = instance.smartRender(input, output);
    EXPECT_EQ(r.render.err, PF_Err_NONE);
    EXPECT_TRUE(r.deleteFuncCalled);
    EXPECT_EQ(host.handleStats().live, 0);
  }
  // The host may give the data back long after the commands, on a thread of
  // its own, whether the frame was rendered or not. Every suite of the
  // commands is released by then; the host reports any Handle Suite call
  // made while the suite is not acquired.
  for (bool const rendered : {true, false}) {
    SCOPED_TRACE(rendered ? "after its frame" : "frame never rendered");
    const testhost::PreRenderResult pre = instance.smartPreRenderOnly(input);
    ASSERT_EQ(pre.command.err, PF_Err_NONE);
    ASSERT_NE(pre.output.pre_render_data, nullptr);
    if (rendered) {
      ASSERT_EQ(instance.smartRenderOnly(input, output, pre.output.pre_render_data).render.err, PF_Err_NONE);
    }
    EXPECT_EQ(host.handleStats().live, 1);
    std::thread([&pre] { testhost::Instance::deletePreRenderData(pre.output); }).join();
    const testhost::SuiteStats handleSuite = host.suiteStats(kPFHandleSuite, kPFHandleSuiteVersion2);
    EXPECT_EQ(handleSuite.acquired, handleSuite.released);
    EXPECT_EQ(host.handleStats().live, 0);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

TEST_F(RenderEntryTest, PreRenderWithoutMemoryForTheOriginFails) {
  struct Case {
    char const* name;
    testhost::FaultInjector testhost::Faults::*fault;
  };
  const Case cases[] = {{"no handle", &testhost::Faults::newHandle},
                        {"no lock", &testhost::Faults::lockHandle}};
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    testhost::Instance instance(effect, 8, 8);
    World input(PF_PixelFormat_ARGB32, 8, 8);
    (host.faults().*c.fault).failAt(1);
    const testhost::PreRenderResult pre = instance.smartPreRenderOnly(input);
    (host.faults().*c.fault).reset();
    EXPECT_EQ(pre.command.err, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(pre.output.pre_render_data, nullptr);
    EXPECT_EQ(bytesOf(pre.output.result_rect), bytesOf(PF_LRect{0, 0, 8, 8}));
    EXPECT_EQ(bytesOf(pre.output.max_result_rect), bytesOf(PF_LRect{0, 0, 8, 8}));
  }
}

TEST_F(RenderEntryTest, SmartRenderThatCannotReadTheOriginRendersNothing) {
  testhost::Instance instance(effect, 8, 8);
  World input(PF_PixelFormat_ARGB32, 8, 8);
  World output(PF_PixelFormat_ARGB32, 8, 8);
  const std::vector<std::uint8_t> untouched = output.bytes();
  const testhost::PreRenderResult pre = instance.smartPreRenderOnly(input);
  ASSERT_EQ(pre.command.err, PF_Err_NONE);

  host.faults().lockHandle.failAt(1);
  const testhost::SmartRenderResult r = instance.smartRenderOnly(input, output, pre.output.pre_render_data);
  host.faults().lockHandle.reset();
  EXPECT_EQ(r.render.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(instance.outstandingCheckouts(), 0);
  EXPECT_EQ(output.bytes(), untouched);

  // Without the Handle Suite the origin cannot be read either; the
  // parameters already checked out still go back.
  host.setSuiteMissing(kPFHandleSuite, kPFHandleSuiteVersion2);
  const testhost::SmartRenderResult noSuite =
      instance.smartRenderOnly(input, output, pre.output.pre_render_data);
  host.setSuiteMissing(kPFHandleSuite, kPFHandleSuiteVersion2, false);
  EXPECT_EQ(noSuite.render.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(instance.outstandingCheckouts(), 0);
  EXPECT_EQ(output.bytes(), untouched);

  testhost::Instance::deletePreRenderData(pre.output);
}

TEST_F(RenderEntryTest, PreRenderAnswersInFullWhenTheLayerCheckoutFails) {
  testhost::Instance instance(effect, 8, 8);
  World input(PF_PixelFormat_ARGB32, 8, 8);
  World output(PF_PixelFormat_ARGB32, 8, 8);
  host.faults().checkoutLayer.failAt(1, PF_Interrupt_CANCEL);
  const testhost::SmartRenderResult r = instance.smartRender(input, output);
  host.faults().checkoutLayer.reset();
  EXPECT_EQ(r.preRender.command.err, PF_Interrupt_CANCEL);
  EXPECT_FALSE(r.rendered);
  EXPECT_EQ(bytesOf(r.preRender.output.result_rect), bytesOf(PF_LRect{0, 0, 8, 8}));
  EXPECT_EQ(bytesOf(r.preRender.output.max_result_rect), bytesOf(PF_LRect{0, 0, 8, 8}));
  EXPECT_EQ(r.preRender.output.flags, PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS);
  EXPECT_TRUE(r.deleteFuncCalled);
}

// Watches the World Suite, which only the render driver takes: two
// acquisitions outstanding at once mean two drivers running together. The
// basic suite's callbacks carry no context, hence the one watched suite per
// process.
struct WorldSuiteWatch {
  static SPBasicSuite const* real;
  static std::atomic<int> outstanding;
  static std::atomic<int> most;
  static std::atomic<int> acquisitions;

  static bool isWorldSuite(char const* name, int32_t version) {
    return name != nullptr && std::strcmp(name, kPFWorldSuite) == 0 && version == kPFWorldSuiteVersion2;
  }
  static SPErr acquire(char const* name, int32_t version, void const** suite) {
    const SPErr err = real->AcquireSuite(name, version, suite);
    if (err == kSPNoError && isWorldSuite(name, version)) {
      int const now = ++outstanding;
      ++acquisitions;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
    }
    return err;
  }
  static SPErr release(char const* name, int32_t version) {
    if (isWorldSuite(name, version)) {
      --outstanding;
    }
    return real->ReleaseSuite(name, version);
  }
};
SPBasicSuite const* WorldSuiteWatch::real = nullptr;
std::atomic<int> WorldSuiteWatch::outstanding{0};
std::atomic<int> WorldSuiteWatch::most{0};
std::atomic<int> WorldSuiteWatch::acquisitions{0};

TEST_F(RenderEntryTest, ConcurrentFramesNeverOverlapInTheRenderDriver) {
  SPBasicSuite watched = *host.basicSuite();
  WorldSuiteWatch::real = host.basicSuite();
  watched.AcquireSuite = WorldSuiteWatch::acquire;
  watched.ReleaseSuite = WorldSuiteWatch::release;
  WorldSuiteWatch::most = 0;
  WorldSuiteWatch::acquisitions = 0;
  const testhost::CommandHook useWatched = [&](PF_InData& in, PF_OutData&) { in.pica_basicP = &watched; };

  const A_long w = 48, h = 32;
  testhost::Instance instance(effect, w, h);
  instance.setPopup(kMode, kRedCyan);
  instance.setFloat(kAmount, 40.0);
  constexpr int kThreads = 4;
  constexpr int kFramesEach = 12;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      World input(PF_PixelFormat_ARGB32, w, h);
      World output(PF_PixelFormat_ARGB32, w, h);
      fillWorld(input, codedPixel);
      for (int frame = 0; frame < kFramesEach; ++frame) {
        const RenderPath path = (t + frame) % 2 == 0 ? RenderPath::Plain : RenderPath::Smart;
        testhost::SmartRenderOptions options;
        options.hook = useWatched;
        if (testhost::renderFrame(instance, path, input, output, options).err != PF_Err_NONE) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(WorldSuiteWatch::acquisitions.load(), kThreads * kFramesEach);
  EXPECT_EQ(WorldSuiteWatch::most.load(), 1);
  EXPECT_EQ(WorldSuiteWatch::outstanding.load(), 0);
}

}  // namespace
}  // namespace zftest
