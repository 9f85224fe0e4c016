// The render driver end to end on the stand-in host's services: its suites,
// handles, iterators and abort callback, in After Effects and Premiere Pro.
// Expected frames are worked out here from the input world: amount 0 gives
// the input back (zero-alpha pixels black, floats clamped), and any other
// setting is checked against the reference kernel of tests/render fed with
// buffers converted by the plain rules below.

#include "ReferenceKernel.h"
#include "pixels/DoRender.h"
#include "testhost/Host.h"
#include "testhost/World.h"

#include "WorkerStarts.h"
#include "WorldFill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using testhost::App;
using testhost::Channels;
using testhost::ChannelType;
using testhost::Host;
using testhost::World;

constexpr App bothApps[] = {App::AfterEffects, App::PremierePro};

char const* appName(App app) {
  return app == App::AfterEffects ? "After Effects" : "Premiere Pro";
}

double clampUnit(double v) {
  if (std::isnan(v) || v < 0.0)
    return 0.0;
  return v > 1.0 ? 1.0 : v;
}

// What the output world should hold where amount 0 reads input pixel c.
Channels throughAmountZero(Channels c, ChannelType type) {
  if (c.alpha == 0.0)
    return {0.0, 0.0, 0.0, 0.0};
  if (type != ChannelType::F32)
    return c;
  return {clampUnit(c.alpha), clampUnit(c.red), clampUnit(c.green), clampUnit(c.blue)};
}

void expectChannels(Channels actual, Channels expected) {
  EXPECT_EQ(actual.alpha, expected.alpha);
  EXPECT_EQ(actual.red, expected.red);
  EXPECT_EQ(actual.green, expected.green);
  EXPECT_EQ(actual.blue, expected.blue);
}

// Output pixel (x, y) lies over input pixel (x - offsetX, y - offsetY).
void expectInputShownThrough(World const& in, World const& out, int offsetX, int offsetY) {
  for (A_long y = 0; y < out.height(); ++y) {
    for (A_long x = 0; x < out.width(); ++x) {
      SCOPED_TRACE(testing::Message() << "output pixel " << x << "," << y);
      A_long const ix = x - offsetX;
      A_long const iy = y - offsetY;
      bool const inside = ix >= 0 && iy >= 0 && ix < in.width() && iy < in.height();
      Channels const expected =
          inside ? throughAmountZero(in.get(ix, iy), in.info().type) : Channels{0.0, 0.0, 0.0, 0.0};
      expectChannels(out.get(x, y), expected);
    }
  }
}

// The working input the driver should build: RGBA8 bytes for 8-bit frames,
// otherwise RGBA32 floats (16-bit values times 2^-15, which is exact).
struct WorkingInput {
  std::vector<unsigned char> bytes;
  ImageDesc desc;
};

WorkingInput workingInputOf(World const& in) {
  WorkingInput w;
  bool const eightBit = in.info().type == ChannelType::U8;
  int const pixelBytes = eightBit ? 4 : 16;
  w.desc.width = in.width();
  w.desc.height = in.height();
  w.desc.bitDepth = eightBit ? 8 : 32;
  w.desc.rowBytes = in.width() * pixelBytes;
  w.bytes.resize(static_cast<std::size_t>(w.desc.rowBytes) * static_cast<std::size_t>(in.height()) + 1);
  w.desc.data = w.bytes.data();
  double const scale = in.info().type == ChannelType::U16 ? 1.0 / 32768.0 : 1.0;
  for (A_long y = 0; y < in.height(); ++y) {
    for (A_long x = 0; x < in.width(); ++x) {
      Channels const c = in.get(x, y);
      double const rgba[4] = {c.red, c.green, c.blue, c.alpha};
      unsigned char* p = w.desc.data +
                         static_cast<std::size_t>(y) * static_cast<std::size_t>(w.desc.rowBytes) +
                         static_cast<std::size_t>(x) * static_cast<std::size_t>(pixelBytes);
      for (int i = 0; i < 4; ++i) {
        if (eightBit) {
          p[i] = static_cast<unsigned char>(rgba[i]);
        } else {
          float const f = static_cast<float>(rgba[i] * scale);
          std::memcpy(p + 4 * i, &f, 4);
        }
      }
    }
  }
  return w;
}

// A working float written into a host channel: clamped to 0..1, integer
// layouts scaled to full scale and rounded half up.
double hostValueOf(float v, ChannelType type) {
  double const c = clampUnit(v);
  switch (type) {
    case ChannelType::U8:
      return std::floor(c * 255.0 + 0.5);
    case ChannelType::U16:
      return std::floor(c * 32768.0 + 0.5);
    case ChannelType::F32:
      return c;
  }
  return 0.0;
}

void expectReferenceRender(World const& in, World const& out, RenderData params) {
  WorkingInput working = workingInputOf(in);
  std::vector<unsigned char> result(static_cast<std::size_t>(out.width()) * out.height() * 16 + 1, 0);
  RenderData ref = params;
  ref.input = working.desc;
  ref.output.width = out.width();
  ref.output.height = out.height();
  ref.output.bitDepth = 32;
  ref.output.rowBytes = out.width() * 16;
  ref.output.data = result.data();
  ref.downsampleX = 1.0f;
  ref.downsampleY = 1.0f;
  referenceRender(ref);

  ChannelType const type = out.info().type;
  for (A_long y = 0; y < out.height(); ++y) {
    for (A_long x = 0; x < out.width(); ++x) {
      SCOPED_TRACE(testing::Message() << "output pixel " << x << "," << y);
      RefPixel const p = referencePixel(ref, x, y);
      expectChannels(out.get(x, y), {hostValueOf(p.a, type), hostValueOf(p.r, type), hostValueOf(p.g, type),
                                     hostValueOf(p.b, type)});
    }
  }
}

RenderData amountZero() {
  RenderData rd{};
  rd.amount = 0.0f;
  rd.centerX = 3;
  rd.centerY = 2;
  return rd;
}

PF_Err render(Host& host, World& in, World& out, RenderData& rd) {
  PF_InData inData = host.inData(in.width(), in.height());
  PF_OutData outData{};
  rd.inputLayer = in.record();
  return doRender(&inData, &outData, &rd, out.record());
}

// Each buffer is sized from its own world: the same size as the output; a
// larger input starting above-left of the output, as a smart render's
// expanded input does; a smaller one starting inside it. Rows are padded.
TEST(DoRender, AmountZeroShowsTheInputThroughItsOffsetInEveryFormat) {
  struct Placement {
    A_long inWidth, inHeight;
    int offsetX, offsetY;
  };
  Placement const placements[] = {{8, 6, 0, 0}, {13, 11, -3, -2}, {5, 4, 2, 1}};
  for (App app : bothApps) {
    for (auto const& format : testhost::kPixelFormats) {
      for (Placement const& p : placements) {
        SCOPED_TRACE(testing::Message() << appName(app) << ", " << format.name << ", input " << p.inWidth
                                        << "x" << p.inHeight << " at " << p.offsetX << "," << p.offsetY);
        Host host(app);
        World in(format.code, p.inWidth, p.inHeight, 12);
        World out(format.code, 8, 6, 8);
        fillPattern(in, 17);
        RenderData rd = amountZero();
        rd.inputOffsetX = static_cast<float>(p.offsetX);
        rd.inputOffsetY = static_cast<float>(p.offsetY);
        EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
        expectInputShownThrough(in, out, p.offsetX, p.offsetY);
        EXPECT_TRUE(out.paddingIntact());

        bool const eightBit = format.type == ChannelType::U8;
        EXPECT_EQ(rd.input.width, p.inWidth);
        EXPECT_EQ(rd.input.height, p.inHeight);
        EXPECT_EQ(rd.input.bitDepth, eightBit ? 8 : 32);
        EXPECT_EQ(rd.input.rowBytes, p.inWidth * (eightBit ? 4 : 16));
        EXPECT_EQ(rd.output.width, 8);
        EXPECT_EQ(rd.output.height, 6);
        EXPECT_EQ(rd.output.bitDepth, 32);
        EXPECT_EQ(rd.output.rowBytes, 8 * 16);
        EXPECT_EQ(host.handleStats().allocated, 2);
        EXPECT_EQ(host.accountingReport(), "");
      }
    }
  }
}

TEST(DoRender, MatchesTheReferenceKernelOnIndependentlyConvertedBuffers) {
  struct Setting {
    float amount;
    int mode, scaling, show;
  };
  Setting const settings[] = {{50.0f, 0, 0, 0}, {-35.0f, 1, 1, 1}, {80.0f, 2, 2, 2}, {20.0f, 0, 1, 4}};
  for (App app : bothApps) {
    for (auto const& format : testhost::kPixelFormats) {
      for (Setting const& s : settings) {
        SCOPED_TRACE(testing::Message()
                     << appName(app) << ", " << format.name << ", amount " << s.amount << " mode " << s.mode
                     << " scaling " << s.scaling << " show " << s.show);
        Host host(app);
        World in(format.code, 21, 17, 4);
        World out(format.code, 19, 15);
        fillPattern(in, 99);
        RenderData rd{};
        rd.amount = s.amount;
        rd.mode = s.mode;
        rd.scaling = s.scaling;
        rd.show = s.show;
        rd.centerX = 6;
        rd.centerY = 9;
        rd.inputOffsetX = -1.0f;
        rd.inputOffsetY = -1.0f;
        EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
        expectReferenceRender(in, out, rd);
        EXPECT_EQ(host.accountingReport(), "");
      }
    }
  }
}

TEST(DoRender, DownsampleFactorsAreNumeratorOverDenominator) {
  Host host(App::AfterEffects);
  host.settings().downsample_x = PF_RationalScale{1, 2};
  host.settings().downsample_y = PF_RationalScale{3, 0};  // no scale at all: read as 3 / 1
  World in(PF_PixelFormat_ARGB32, 4, 4);
  World out(PF_PixelFormat_ARGB32, 4, 4);
  fillPattern(in, 1);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
  EXPECT_EQ(rd.downsampleX, 0.5f);
  EXPECT_EQ(rd.downsampleY, 3.0f);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(DoRender, RunsConversionsThroughTheHostsIterateGeneric) {
  Host host(App::AfterEffects);
  World in(PF_PixelFormat_ARGB64, 6, 9);
  World out(PF_PixelFormat_ARGB64, 6, 9);
  fillPattern(in, 3);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
  expectInputShownThrough(in, out, 0, 0);
  EXPECT_EQ(host.iterateStats().genericCalls, 2);
  EXPECT_EQ(host.iterateStats().pixelCalls, 0);
  testhost::SuiteStats const iterate8 = host.suiteStats(kPFIterate8Suite, kPFIterate8SuiteVersion1);
  EXPECT_EQ(iterate8.acquired, 1);
  EXPECT_EQ(iterate8.released, 1);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(DoRender, WithoutIterateGenericRunsThroughTheHostsPixelIterator) {
  for (auto const& format : testhost::kPixelFormats) {
    SCOPED_TRACE(format.name);
    Host host(App::PremierePro);
    host.setIterateGenericAvailable(false);
    World in(format.code, 6, 9);
    World out(format.code, 6, 9);
    fillPattern(in, 8);
    RenderData rd = amountZero();
    EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
    expectInputShownThrough(in, out, 0, 0);
    EXPECT_EQ(host.iterateStats().genericCalls, 0);
    EXPECT_EQ(host.iterateStats().pixelCalls, 2);
    testhost::SuiteStats const iterate8 = host.suiteStats(kPFIterate8Suite, kPFIterate8SuiteVersion1);
    EXPECT_EQ(iterate8.acquired, 2) << "once by the suite handler, once held directly";
    EXPECT_EQ(iterate8.released, 2);
    EXPECT_EQ(host.liveHostWorlds(), 0);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

struct Untouched {
  explicit Untouched(World const& w) : world(w), before(w.bytes()) {}
  bool still() const { return world.bytes() == before; }
  World const& world;
  std::vector<std::uint8_t> before;
};

TEST(DoRender, WithoutTheIterate8SuiteReturns516AndReleasesEverything) {
  Host host(App::AfterEffects);
  host.setSuiteMissing(kPFIterate8Suite, kPFIterate8SuiteVersion1);
  World in(PF_PixelFormat_ARGB32, 4, 4);
  World out(PF_PixelFormat_ARGB32, 4, 4);
  Untouched const output(out);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(output.still());
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(DoRender, PremiereProWithoutThePixelFormatSuiteLeavesTheOutputAlone) {
  Host host(App::PremierePro);
  host.setSuiteMissing(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1);
  World in(PF_PixelFormat_BGRA32, 4, 4);
  World out(PF_PixelFormat_BGRA32, 4, 4);
  fillPattern(in, 2);
  Untouched const output(out);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
  EXPECT_TRUE(output.still());
  EXPECT_EQ(host.handleStats().allocated, 0);
  EXPECT_EQ(host.iterateStats().genericCalls, 0);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(DoRender, AfterEffectsWithoutThePixelFormatSuiteRendersNormally) {
  Host host(App::AfterEffects);
  host.setSuiteMissing(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1);
  World in(PF_PixelFormat_ARGB128, 5, 3);
  World out(PF_PixelFormat_ARGB128, 5, 3);
  fillPattern(in, 4);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
  expectInputShownThrough(in, out, 0, 0);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(DoRender, WithoutTheWorldSuiteReturnsTheHostsError) {
  for (App app : bothApps) {
    SCOPED_TRACE(appName(app));
    Host host(app);
    host.setSuiteMissing(kPFWorldSuite, kPFWorldSuiteVersion2);
    World in(PF_PixelFormat_ARGB32, 4, 4);
    World out(PF_PixelFormat_ARGB32, 4, 4);
    Untouched const output(out);
    RenderData rd = amountZero();
    EXPECT_EQ(render(host, in, out, rd), testhost::kSuiteNotFoundError);
    EXPECT_TRUE(output.still());
    EXPECT_EQ(host.handleStats().allocated, 0);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

// With one iteration thread, thread index 0 converts every row, so the
// abort polls come in a known order: one per input row, one before the
// kernel, then one per output row.
class Cancel : public testing::Test {
 protected:
  static constexpr A_long inHeight = 7;
  static constexpr A_long outHeight = 6;

  void SetUp() override {
    host.setIterateWorkers(1);
    fillPattern(in, 11);
  }
  void TearDown() override { EXPECT_EQ(host.accountingReport(), ""); }

  Host host{App::AfterEffects};
  World in{PF_PixelFormat_ARGB32, 9, inHeight};
  World out{PF_PixelFormat_ARGB32, 8, outHeight};
};

TEST_F(Cancel, DuringTheInputConversionTheOutputIsLeftAlone) {
  Untouched const output(out);
  host.faults().abort.failAt(2, PF_Interrupt_CANCEL);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Interrupt_CANCEL);
  EXPECT_TRUE(output.still());
  EXPECT_EQ(host.faults().abort.calls(), 2) << "no row converted after the cancel";
}

TEST_F(Cancel, BeforeTheKernelTheOutputIsLeftAlone) {
  Untouched const output(out);
  host.faults().abort.failAt(inHeight + 1, PF_Interrupt_CANCEL);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Interrupt_CANCEL);
  EXPECT_TRUE(output.still());
  EXPECT_EQ(host.faults().abort.calls(), inHeight + 1);
}

TEST_F(Cancel, DuringTheOutputConversionTheRowsWrittenSoFarStay) {
  Untouched const output(out);
  // The fourth output row polls the cancel; it is converted all the same.
  host.faults().abort.failAt(inHeight + 1 + 4, PF_Interrupt_CANCEL);
  RenderData rd = amountZero();
  EXPECT_EQ(render(host, in, out, rd), PF_Interrupt_CANCEL);

  World expected(PF_PixelFormat_ARGB32, 8, outHeight);
  for (A_long y = 0; y < outHeight; ++y) {
    for (A_long x = 0; x < 8; ++x)
      expected.set(x, y, throughAmountZero(in.get(x, y), ChannelType::U8));
  }
  std::vector<std::uint8_t> const after = out.bytes();
  std::size_t const rowBytes = static_cast<std::size_t>(out.rowbytes());
  for (std::size_t y = 0; y < static_cast<std::size_t>(outHeight); ++y) {
    SCOPED_TRACE(testing::Message() << "row " << y);
    std::vector<std::uint8_t> const& source = y < 4 ? expected.bytes() : output.before;
    EXPECT_TRUE(std::equal(after.begin() + static_cast<std::ptrdiff_t>(y * rowBytes),
                           after.begin() + static_cast<std::ptrdiff_t>((y + 1) * rowBytes),
                           source.begin() + static_cast<std::ptrdiff_t>(y * rowBytes)));
  }
}

TEST(DoRender, FailedAllocationsReturnOutOfMemoryBeforeAnyConversion) {
  struct Failure {
    char const* what;
    bool lock;
    long call;
  };
  Failure const failures[] = {{"1st host_new_handle (input)", false, 1},
                              {"2nd host_new_handle (result)", false, 2},
                              {"1st host_lock_handle", true, 1},
                              {"2nd host_lock_handle", true, 2}};
  for (Failure const& f : failures) {
    SCOPED_TRACE(f.what);
    Host host(App::AfterEffects);
    World in(PF_PixelFormat_ARGB128, 6, 5);
    World out(PF_PixelFormat_ARGB128, 6, 5);
    fillPattern(in, 6);
    Untouched const output(out);
    (f.lock ? host.faults().lockHandle : host.faults().newHandle).failAt(f.call);
    RenderData rd = amountZero();
    EXPECT_EQ(render(host, in, out, rd), PF_Err_OUT_OF_MEMORY);
    EXPECT_TRUE(output.still());
    EXPECT_EQ(host.iterateStats().genericCalls, 0);
    EXPECT_EQ(host.handleStats().live, 0);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

TEST(DoRender, AThreadThatCannotStartLeavesNothingBehind) {
  Host host(App::AfterEffects);
  World in(PF_PixelFormat_ARGB32, 8, 40);
  World out(PF_PixelFormat_ARGB32, 8, 40);
  fillPattern(in, 7);
  Untouched const output(out);
  RenderData rd = amountZero();
  // The driver answers for the frame itself; nothing is thrown to the entry.
  testWorkers::watch({5});
  PF_Err const err = render(host, in, out, rd);
  testWorkers::stopWatching();
  EXPECT_EQ(err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_TRUE(output.still());
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(DoRender, NullRecordsAreRefused) {
  Host host(App::AfterEffects);
  World in(PF_PixelFormat_ARGB32, 4, 4);
  World out(PF_PixelFormat_ARGB32, 4, 4);
  PF_InData inData = host.inData(4, 4);
  PF_OutData outData{};
  RenderData rd = amountZero();
  rd.inputLayer = nullptr;
  EXPECT_EQ(doRender(&inData, &outData, &rd, out.record()), PF_Err_BAD_CALLBACK_PARAM);
  rd.inputLayer = in.record();
  EXPECT_EQ(doRender(&inData, &outData, &rd, nullptr), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(doRender(&inData, &outData, nullptr, out.record()), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(doRender(nullptr, &outData, &rd, out.record()), PF_Err_BAD_CALLBACK_PARAM);
  inData.pica_basicP = nullptr;
  EXPECT_EQ(doRender(&inData, &outData, &rd, out.record()), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host.handleStats().allocated, 0);
  EXPECT_EQ(host.accountingReport(), "");
}

// A world record as a hostile or broken host might send it. The stand-in
// knows a world by its pixel memory, so the records below keep the data
// pointer of a real world (and so its format) unless said otherwise.
TEST(DoRender, HostileWorldsGetAnErrorCodeAndNothingIsTouched) {
  struct Hostile {
    char const* what;
    bool onInput;
    PF_PixelFormat format;
    void (*alter)(PF_LayerDef&);
    PF_Err expected;
  };
  Hostile const cases[] = {
      {"negative input width", true, PF_PixelFormat_ARGB32, [](PF_LayerDef& w) { w.width = -1; },
       PF_Err_BAD_CALLBACK_PARAM},
      {"negative output height", false, PF_PixelFormat_ARGB32, [](PF_LayerDef& w) { w.height = -5; },
       PF_Err_BAD_CALLBACK_PARAM},
      {"input without pixels", true, PF_PixelFormat_ARGB32, [](PF_LayerDef& w) { w.data = nullptr; },
       PF_Err_BAD_CALLBACK_PARAM},
      {"input rows shorter than the width", true, PF_PixelFormat_ARGB128,
       [](PF_LayerDef& w) { w.rowbytes = w.width * 16 - 1; }, PF_Err_BAD_CALLBACK_PARAM},
      {"output rows shorter than the width, bottom up", false, PF_PixelFormat_ARGB64,
       [](PF_LayerDef& w) { w.rowbytes = -(w.width * 8 - 2); }, PF_Err_BAD_CALLBACK_PARAM},
      {"output rowbytes 0", false, PF_PixelFormat_BGRA32, [](PF_LayerDef& w) { w.rowbytes = 0; },
       PF_Err_BAD_CALLBACK_PARAM},
      // 200 million 16-bit pixels fit the host's rowbytes, but not the
      // working buffer's 32-bit row of 16-byte pixels.
      {"input too wide for a working row", true, PF_PixelFormat_ARGB64,
       [](PF_LayerDef& w) {
         w.width = 200000000;
         w.rowbytes = 1600000000;
         w.height = 1;
       },
       PF_Err_OUT_OF_MEMORY},
      {"output too wide for a result row", false, PF_PixelFormat_ARGB32,
       [](PF_LayerDef& w) {
         w.width = 200000000;
         w.rowbytes = 800000000;
         w.height = 1;
       },
       PF_Err_OUT_OF_MEMORY},
  };
  for (Hostile const& c : cases) {
    SCOPED_TRACE(c.what);
    Host host(App::AfterEffects);
    World in(c.format, 4, 3);
    World out(c.format, 4, 3);
    Untouched const output(out);
    Untouched const input(in);
    PF_LayerDef hostile = c.onInput ? *in.record() : *out.record();
    c.alter(hostile);
    PF_InData inData = host.inData(4, 3);
    PF_OutData outData{};
    RenderData rd = amountZero();
    rd.inputLayer = c.onInput ? &hostile : in.record();
    EXPECT_EQ(doRender(&inData, &outData, &rd, c.onInput ? out.record() : &hostile), c.expected);
    EXPECT_TRUE(output.still());
    EXPECT_TRUE(input.still());
    EXPECT_EQ(host.handleStats().allocated, 0);
    EXPECT_EQ(host.iterateStats().genericCalls, 0);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

TEST(DoRender, AnEmptyOutputHasNothingToDoButACancelIsStillAnswered) {
  for (auto size : {std::pair<A_long, A_long>{0, 5}, {5, 0}, {0, 0}}) {
    for (PF_Err const abortAnswer : {PF_Err_NONE, PF_Interrupt_CANCEL}) {
      SCOPED_TRACE(testing::Message()
                   << size.first << "x" << size.second << ", abort answers " << abortAnswer);
      Host host(App::AfterEffects);
      World in(PF_PixelFormat_ARGB32, 4, 4);
      World out(PF_PixelFormat_ARGB32, size.first, size.second);
      fillPattern(in, 9);
      Untouched const output(out);
      if (abortAnswer != PF_Err_NONE)
        host.faults().abort.failAt(1, abortAnswer);
      RenderData rd = amountZero();
      EXPECT_EQ(render(host, in, out, rd), abortAnswer);
      EXPECT_TRUE(output.still());
      EXPECT_EQ(host.handleStats().allocated, 0);
      EXPECT_EQ(host.accountingReport(), "");
    }
  }
}

// A working buffer of 4 GiB and more is asked for with its full size: cut to
// 32 bits, 6 GiB would be 2 GiB and 4 GiB nothing at all. The host refuses
// anything above 1 GiB, so no such memory is ever taken. The input record
// claims 16-bit rows of 65536 pixels (1 MiB each as RGBA32) that it does not
// have; the refusal comes before anything reads them.
TEST(DoRender, BuffersOfFourGibibytesAndMoreAreAskedForInFull) {
  struct Claim {
    A_long height;
    A_HandleSize bytes;
  };
  Claim const claims[] = {{6144, A_HandleSize{6} << 30}, {4096, A_HandleSize{4} << 30}};
  for (Claim const& c : claims) {
    SCOPED_TRACE(testing::Message() << c.height << " rows");
    Host host(App::AfterEffects);
    host.setHandleSizeLimit(A_HandleSize{1} << 30);
    World in(PF_PixelFormat_ARGB64, 4, 3);
    World out(PF_PixelFormat_ARGB64, 4, 3);
    Untouched const output(out);
    PF_LayerDef claimed = *in.record();
    claimed.width = 65536;
    claimed.rowbytes = 65536 * 8;
    claimed.height = c.height;
    PF_InData inData = host.inData(4, 3);
    PF_OutData outData{};
    RenderData rd = amountZero();
    rd.inputLayer = &claimed;
    EXPECT_EQ(doRender(&inData, &outData, &rd, out.record()), PF_Err_OUT_OF_MEMORY);
    testhost::HandleStats const stats = host.handleStats();
    EXPECT_EQ(stats.largestRequest, c.bytes);
    EXPECT_EQ(stats.refusedForSize, 1);
    EXPECT_EQ(stats.allocated, 0);
    EXPECT_TRUE(output.still());
    EXPECT_EQ(host.accountingReport(), "");
  }
}

TEST(DoRender, AnEmptyInputRendersTransparentBlack) {
  for (auto const& format : testhost::kPixelFormats) {
    for (auto size : {std::pair<A_long, A_long>{0, 5}, {5, 0}}) {
      SCOPED_TRACE(testing::Message() << format.name << " input " << size.first << "x" << size.second);
      Host host(App::PremierePro);
      World in(format.code, size.first, size.second);
      World out(format.code, 4, 3);
      RenderData rd = amountZero();
      EXPECT_EQ(render(host, in, out, rd), PF_Err_NONE);
      for (A_long y = 0; y < 3; ++y) {
        for (A_long x = 0; x < 4; ++x)
          expectChannels(out.get(x, y), {0.0, 0.0, 0.0, 0.0});
      }
      EXPECT_EQ(host.handleStats().allocated, 1) << "only the result buffer";
      EXPECT_EQ(host.accountingReport(), "");
    }
  }
}

}  // namespace
