// How the render driver acts on the pixel format the host reports: codes it
// has no conversion for, Premiere Pro's second opinion, and failed queries.
// The stand-in always answers a world's true format, so a thin basic suite
// in front of it hands out World and Pixel Format suites whose answers the
// test chooses; every acquisition and release still reaches the stand-in
// and its accounting. Handle memory is handed out filled with a pattern that
// shows in the output wherever it is left unwritten.

#include "pixels/DoRender.h"
#include "testhost/Host.h"
#include "testhost/World.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

namespace {

using testhost::App;
using testhost::Channels;
using testhost::Host;
using testhost::World;

struct Answer {
  PF_Err err;
  PF_PixelFormat code;
};

// Callbacks carry no context, so the shim is process-wide; tests run one
// after the other.
struct Shim {
  SPBasicSuite const* host = nullptr;
  SPBasicSuite basic{};
  PF_WorldSuite2 world{};
  PF_PixelFormatSuite1 pixelFormat{};
  PF_Err (*hostWorldQuery)(PF_EffectWorld const*, PF_PixelFormat*) = nullptr;
  PF_Err (*hostPixelFormatQuery)(PF_EffectWorld*, PrPixelFormat*) = nullptr;
  _PF_UtilCallbacks utils{};
  void* (*hostLock)(PF_Handle) = nullptr;
  A_u_longlong (*hostHandleSize)(PF_Handle) = nullptr;
  std::map<void const*, Answer> worldAnswers;  // by pixel memory
  std::map<void const*, Answer> pixelFormatAnswers;
};

Shim shim;

PF_Err answerFrom(std::map<void const*, Answer> const& answers, void const* data, PF_PixelFormat* code) {
  Answer const& a = answers.at(data);
  *code = a.code;
  return a.err;
}

PF_Err worldQuery(PF_EffectWorld const* world, PF_PixelFormat* code) {
  if (shim.worldAnswers.count(world->data) != 0)
    return answerFrom(shim.worldAnswers, world->data, code);
  return shim.hostWorldQuery(world, code);
}

PF_Err pixelFormatQuery(PF_EffectWorld* world, PrPixelFormat* code) {
  if (shim.pixelFormatAnswers.count(world->data) != 0)
    return answerFrom(shim.pixelFormatAnswers, world->data, code);
  return shim.hostPixelFormatQuery(world, code);
}

// Fresh handle memory reads as 0.747 in every float and 63 in every byte,
// values that survive to the output if nothing overwrites them.
void* lockFilled(PF_Handle handle) {
  void* memory = shim.hostLock(handle);
  if (memory != nullptr)
    std::memset(memory, 0x3F, static_cast<std::size_t>(shim.hostHandleSize(handle)));
  return memory;
}

SPErr acquire(char const* name, int32_t version, void const** suite) {
  SPErr const err = shim.host->AcquireSuite(name, version, suite);
  if (err != kSPNoError)
    return err;
  if (std::strcmp(name, kPFWorldSuite) == 0 && version == kPFWorldSuiteVersion2) {
    shim.world = *static_cast<PF_WorldSuite2 const*>(*suite);
    shim.hostWorldQuery = shim.world.PF_GetPixelFormat;
    shim.world.PF_GetPixelFormat = worldQuery;
    *suite = &shim.world;
  } else if (std::strcmp(name, kPFPixelFormatSuite) == 0 && version == kPFPixelFormatSuiteVersion1) {
    shim.pixelFormat = *static_cast<PF_PixelFormatSuite1 const*>(*suite);
    shim.hostPixelFormatQuery = shim.pixelFormat.GetPixelFormat;
    shim.pixelFormat.GetPixelFormat = pixelFormatQuery;
    *suite = &shim.pixelFormat;
  }
  return err;
}

class FormatQuery : public testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(host.accountingReport(), ""); }

  PF_Err render() {
    shim.host = host.basicSuite();
    shim.basic = *shim.host;
    shim.basic.AcquireSuite = acquire;
    shim.utils = *host.utils();
    shim.hostLock = shim.utils.host_lock_handle;
    shim.hostHandleSize = shim.utils.host_get_handle_size;
    shim.utils.host_lock_handle = lockFilled;
    PF_InData inData = host.inData(in.width(), in.height());
    inData.pica_basicP = &shim.basic;
    inData.utils = &shim.utils;
    PF_OutData outData{};
    rd.inputLayer = in.record();
    return doRender(&inData, &outData, &rd, out.record());
  }

  void answerWorld(World const& w, Answer a) { shim.worldAnswers[w.record()->data] = a; }
  void answerPixelFormat(World const& w, Answer a) { shim.pixelFormatAnswers[w.record()->data] = a; }

  void SetUp() override {
    shim.worldAnswers.clear();
    shim.pixelFormatAnswers.clear();
    for (A_long y = 0; y < in.height(); ++y) {
      for (A_long x = 0; x < in.width(); ++x)
        in.set(x, y, Channels{255.0, 10.0 * x, 20.0 * y, x == 1 ? 0.0 : 200.0});
    }
  }

  void setApp(App app) { host.setApp(app); }

  Host host{App::AfterEffects};
  World in{PF_PixelFormat_BGRA32, 5, 4};
  World out{PF_PixelFormat_BGRA32, 5, 4};
  RenderData rd{};  // amount 0: the input comes back unchanged
};

bool sameAsInput(World const& in, World const& out) {
  for (A_long y = 0; y < out.height(); ++y) {
    for (A_long x = 0; x < out.width(); ++x) {
      Channels const a = in.get(x, y);
      Channels const b = out.get(x, y);
      if (a.alpha != b.alpha || a.red != b.red || a.green != b.green || a.blue != b.blue)
        return false;
    }
  }
  return true;
}

TEST_F(FormatQuery, PremiereProsPixelFormatAnswerWinsOverTheWorldSuites) {
  // The World Suite calls the BGRA frames ARGB; Premiere Pro's own suite
  // knows better and is the one believed there.
  answerWorld(in, {PF_Err_NONE, PF_PixelFormat_ARGB32});
  answerWorld(out, {PF_Err_NONE, PF_PixelFormat_ARGB32});
  setApp(App::PremierePro);
  EXPECT_EQ(render(), PF_Err_NONE);
  EXPECT_TRUE(sameAsInput(in, out));
}

TEST_F(FormatQuery, AfterEffectsBelievesTheWorldSuite) {
  // BGRA frames read and written as ARGB: blue is taken for alpha, so the
  // opaque pixels of column 1, whose blue is 0, count as transparent and
  // come back black. Premiere Pro's suite, which knows better, is not asked.
  answerWorld(in, {PF_Err_NONE, PF_PixelFormat_ARGB32});
  answerWorld(out, {PF_Err_NONE, PF_PixelFormat_ARGB32});
  answerPixelFormat(in, {PF_Err_NONE, PF_PixelFormat_BGRA32});
  answerPixelFormat(out, {PF_Err_NONE, PF_PixelFormat_BGRA32});
  EXPECT_EQ(render(), PF_Err_NONE);
  EXPECT_FALSE(sameAsInput(in, out));
  Channels const c = out.get(1, 2);
  EXPECT_EQ(c.alpha + c.red + c.green + c.blue, 0.0);
}

TEST_F(FormatQuery, AnInputFormatWithoutConversionIsReadAsTransparentBlack) {
  answerWorld(in, {PF_Err_NONE, PF_PixelFormat_VUYA32});
  EXPECT_EQ(render(), PF_Err_NONE);
  for (A_long y = 0; y < out.height(); ++y) {
    for (A_long x = 0; x < out.width(); ++x) {
      Channels const c = out.get(x, y);
      EXPECT_EQ(c.alpha + c.red + c.green + c.blue, 0.0) << "pixel " << x << "," << y;
    }
  }
  EXPECT_EQ(host.iterateStats().genericCalls, 1) << "the output conversion only";
}

TEST_F(FormatQuery, AnOutputFormatWithoutConversionIsLeftAlone) {
  answerWorld(out, {PF_Err_NONE, PF_PixelFormat_INVALID});
  std::vector<std::uint8_t> const before = out.bytes();
  EXPECT_EQ(render(), PF_Err_NONE);
  EXPECT_EQ(out.bytes(), before);
  EXPECT_EQ(host.iterateStats().genericCalls, 1) << "the input conversion only";
}

// Only the query whose answer is used can end the frame: the World Suite's
// in After Effects, the Pixel Format Suite's in Premiere Pro (which asks the
// World Suite too and drops its answer). Then it ends before any memory or
// pixel is touched; the other suite's failure changes nothing. A failing
// query also answers ARGB for the BGRA frames, which must not be believed.
TEST_F(FormatQuery, OnlyAFailedQueryWhoseAnswerIsUsedEndsTheRender) {
  struct Failure {
    char const* what;
    App app;
    bool pixelFormatSuite;
    bool onInput;
    bool ends;
  };
  Failure const failures[] = {
      {"After Effects, World Suite, input", App::AfterEffects, false, true, true},
      {"After Effects, World Suite, output", App::AfterEffects, false, false, true},
      {"After Effects, Pixel Format Suite, input", App::AfterEffects, true, true, false},
      {"After Effects, Pixel Format Suite, output", App::AfterEffects, true, false, false},
      {"Premiere Pro, World Suite, input", App::PremierePro, false, true, false},
      {"Premiere Pro, World Suite, output", App::PremierePro, false, false, false},
      {"Premiere Pro, Pixel Format Suite, input", App::PremierePro, true, true, true},
      {"Premiere Pro, Pixel Format Suite, output", App::PremierePro, true, false, true}};
  for (Failure const& f : failures) {
    SCOPED_TRACE(f.what);
    shim.worldAnswers.clear();
    shim.pixelFormatAnswers.clear();
    setApp(f.app);
    World const& target = f.onInput ? in : out;
    if (f.pixelFormatSuite)
      answerPixelFormat(target, {77, PF_PixelFormat_ARGB32});
    else
      answerWorld(target, {77, PF_PixelFormat_ARGB32});
    out.fillBytes(0);
    std::vector<std::uint8_t> const before = out.bytes();
    long const allocated = host.handleStats().allocated;
    long const iterations = host.iterateStats().genericCalls;
    if (f.ends) {
      EXPECT_EQ(render(), 77);
      EXPECT_EQ(out.bytes(), before);
      EXPECT_EQ(host.handleStats().allocated, allocated);
      EXPECT_EQ(host.iterateStats().genericCalls, iterations);
    } else {
      EXPECT_EQ(render(), PF_Err_NONE);
      EXPECT_TRUE(sameAsInput(in, out));
    }
  }
}

}  // namespace
