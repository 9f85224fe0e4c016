// The fault matrix: every host operation the plug-in relies on fails in
// turn, at every call of a command, through the loaded library. Each case
// must give the documented error, leave the output world untouched or write
// it exactly as a fault-free frame (row by row where a cancel comes during
// the output conversion), and leave the host's books balanced.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <tuple>

#include "FaultHooks.h"
#include "Frames.h"

namespace zfrel {
namespace {

using testhost::App;
using testhost::FaultInjector;
using testhost::Faults;
using testhost::World;

constexpr A_long kWidth = 12;
constexpr A_long kHeight = 9;

struct Frame {
  App app;
  PF_PixelFormat format;
  RenderPath path;
};

std::string describe(Frame const& f) {
  return std::string(nameOf(f.app)) + ", " + testhost::pixelFormatInfo(f.format)->name + ", " +
         nameOf(f.path);
}

const Frame kFrames[] = {
    {App::AfterEffects, PF_PixelFormat_ARGB128, RenderPath::Plain},
    {App::AfterEffects, PF_PixelFormat_ARGB128, RenderPath::Smart},
    {App::PremierePro, PF_PixelFormat_BGRA32, RenderPath::Plain},
    {App::PremierePro, PF_PixelFormat_BGRA32, RenderPath::Smart},
};

// One frame's worth of set-up: the effect loaded and set up, an input
// picture, an output world holding the stand-in's garbage pattern.
struct Rig {
  explicit Rig(Frame const& f, std::string const& plugin = ZF_PLUGIN_PATH)
      : frame(f),
        session(f.app, plugin, kWidth, kHeight),
        input(f.format, kWidth, kHeight),
        output(f.format, kWidth, kHeight) {
    fillPattern(input, 1);
    applyParams(session.instance, Params{});
    before = output.bytes();
  }

  FrameResult render(testhost::SmartRenderOptions const& options = {}) {
    return renderFrame(session.instance, frame.path, input, output, options);
  }
  bool untouched() const { return output.bytes() == before; }
  testhost::Faults& faults() { return session.host.faults(); }

  Frame frame;
  Session session;
  World input;
  World output;
  std::vector<std::uint8_t> before;
};

// Disarms an injector when the case ends, before the rig's own clean-up.
struct Armed {
  FaultInjector& injector;
  ~Armed() { injector.reset(); }
};

// What a fault-free frame writes, rendered once per kind of frame.
World const& cleanOutput(Frame const& f) {
  static std::map<std::tuple<App, PF_PixelFormat, RenderPath>, std::unique_ptr<World>> cache;
  std::unique_ptr<World>& world = cache[{f.app, f.format, f.path}];
  if (world == nullptr) {
    Rig rig(f);
    EXPECT_EQ(rig.render().err, PF_Err_NONE);
    world = std::make_unique<World>(f.format, kWidth, kHeight);
    for (A_long y = 0; y < kHeight; ++y) {
      std::memcpy(world->row(y), rig.output.row(y),
                  static_cast<std::size_t>(kWidth) * world->info().bytesPerPixel);
    }
  }
  return *world;
}

void reportCases(char const* what, int cases) {
  ::testing::Test::RecordProperty("cases", cases);
  std::cout << "[ cases    ] " << what << ": " << cases << "\n";
}

// Calls of one host operation in a fault-free frame.
long callsInCleanFrame(Frame const& f, FaultInjector Faults::*op,
                       std::function<void(Rig&)> const& prepare = {}) {
  Rig rig(f);
  if (prepare) {
    prepare(rig);
  }
  (rig.faults().*op).reset();
  EXPECT_EQ(rig.render().err, PF_Err_NONE);
  long const calls = (rig.faults().*op).calls();
  rig.session.host.setIterateGenericAvailable(true);
  return calls;
}

struct OpFault {
  char const* name;
  FaultInjector Faults::*op;
  PF_Err injected;  // what the host answers
  PF_Err expected;  // what the frame must return
  bool rendered;    // the output is written in full despite the fault
  bool withoutIterateGeneric;
  bool stops;  // nothing more of the kind is asked for after the failure
};

// Every call of the operation fails in turn (and, separately, every call
// from that one on); one call more than a frame makes must change nothing.
TEST(FaultMatrix, EveryCallOfEveryHostOperationFailsInTurn) {
  const OpFault faults[] = {
      {"host_new_handle", &Faults::newHandle, PF_Err_OUT_OF_MEMORY, PF_Err_OUT_OF_MEMORY, false, false, true},
      {"host_lock_handle", &Faults::lockHandle, PF_Err_OUT_OF_MEMORY, PF_Err_OUT_OF_MEMORY, false, false,
       true},
      {"new_world", &Faults::newWorld, PF_Err_OUT_OF_MEMORY, PF_Err_OUT_OF_MEMORY, false, true, true},
      {"checkout_param", &Faults::checkoutParam, PF_Err_INVALID_INDEX, PF_Err_INVALID_INDEX, false, false,
       true},
      // Every parameter is checked in, whatever the host answered before.
      {"checkin_param", &Faults::checkinParam, PF_Err_INVALID_INDEX, PF_Err_INVALID_INDEX, true, false,
       false},
      {"checkout_layer", &Faults::checkoutLayer, PF_Interrupt_CANCEL, PF_Interrupt_CANCEL, false, false,
       true},
      {"checkout_layer_pixels", &Faults::checkoutLayerPixels, PF_Err_OUT_OF_MEMORY, PF_Err_OUT_OF_MEMORY,
       false, false, true},
      {"checkout_output", &Faults::checkoutOutput, PF_Err_OUT_OF_MEMORY, PF_Err_OUT_OF_MEMORY, false, false,
       true},
  };
  int cases = 0;
  for (OpFault const& fault : faults) {
    for (Frame const& f : kFrames) {
      auto const prepare = [&](Rig& rig) {
        rig.session.host.setIterateGenericAvailable(!fault.withoutIterateGeneric);
      };
      long const calls = callsInCleanFrame(f, fault.op, prepare);
      for (bool const andAfter : {false, true}) {
        for (long k = 1; k <= calls + 1; ++k) {
          SCOPED_TRACE(::testing::Message()
                       << fault.name << " fails at call " << k << (andAfter ? " and after" : "") << " of "
                       << calls << ", " << describe(f));
          ++cases;
          Rig rig(f);
          prepare(rig);
          FaultInjector& injector = rig.faults().*fault.op;
          FrameResult r;
          {
            Armed armed{injector};
            injector.failAt(k, fault.injected, andAfter);
            r = rig.render();
            EXPECT_EQ(injector.failures() > 0, k <= calls);
            if (k <= calls) {
              EXPECT_EQ(injector.calls(), fault.stops ? k : calls);
            }
          }
          rig.session.host.setIterateGenericAvailable(true);
          if (k > calls) {
            EXPECT_EQ(r.err, PF_Err_NONE);
            EXPECT_TRUE(samePixels(rig.output, cleanOutput(f)));
          } else {
            EXPECT_EQ(r.err, fault.expected);
            if (fault.rendered) {
              EXPECT_TRUE(samePixels(rig.output, cleanOutput(f)));
            } else {
              EXPECT_TRUE(rig.untouched());
            }
          }
          EXPECT_EQ(rig.session.imbalance(), "");
        }
      }
    }
  }
  reportCases("host operations failing in frames", cases);
}

// The sequence handle: the one allocation of setup and resetup.
TEST(FaultMatrix, SequenceDataAllocationFailureShowsInternalError) {
  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    for (bool const resetup : {false, true}) {
      for (bool const lockToo : {false, true}) {
        SCOPED_TRACE(::testing::Message() << nameOf(app) << (resetup ? ", resetup" : ", setup")
                                          << (lockToo ? ", every handle call failing" : ""));
        ++cases;
        Session session(app, ZF_PLUGIN_PATH, 8, 8);
        testhost::Instance& instance = session.instance;
        instance.sequenceSetdown();
        testhost::CommandResult r;
        {
          Armed armed{session.host.faults().newHandle};
          Armed armedLock{session.host.faults().lockHandle};
          session.host.faults().newHandle.failAt(1, PF_Err_OUT_OF_MEMORY, true);
          if (lockToo) {
            session.host.faults().lockHandle.failAt(1, PF_Err_OUT_OF_MEMORY, true);
          }
          r = resetup ? instance.sequenceResetup() : instance.sequenceSetup();
        }
        EXPECT_EQ(r.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_STREQ(r.out.return_msg, "Internal Error");
        EXPECT_NE(r.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
        EXPECT_EQ(r.out.sequence_data, nullptr);
        EXPECT_EQ(session.imbalance(), "");
      }
    }
  }
  reportCases("sequence data allocation", cases);
}

// A suite the host does not supply, for every command that could ask for
// it. Unless listed, the command goes on as if the suite were there.
TEST(FaultMatrix, EverySuiteMissingFromEveryCommand) {
  struct Suite {
    char const* name;  // null: no basic suite at all
    int32_t version;
  };
  const Suite suites[] = {{nullptr, 0},
                          {kPFHandleSuite, kPFHandleSuiteVersion2},
                          {kPFANSISuite, kPFANSISuiteVersion1},
                          {kPFWorldSuite, kPFWorldSuiteVersion2},
                          {kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1},
                          {kPFIterate8Suite, kPFIterate8SuiteVersion1}};
  enum class Outcome { Written, Untouched };
  struct Exception {
    char const* command;
    App app;
    char const* suite;  // "basic" for the basic suite
    PF_Err expected;
    Outcome outcome;
  };
  char const* kBasic = "basic";
  const Exception exceptions[] = {
      {"about", App::AfterEffects, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"about", App::AfterEffects, kPFANSISuite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"global setup", App::PremierePro, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"plain render", App::AfterEffects, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"plain render", App::PremierePro, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"plain render", App::AfterEffects, kPFWorldSuite, testhost::kSuiteNotFoundError, Outcome::Untouched},
      {"plain render", App::PremierePro, kPFWorldSuite, testhost::kSuiteNotFoundError, Outcome::Untouched},
      {"plain render", App::AfterEffects, kPFIterate8Suite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"plain render", App::PremierePro, kPFIterate8Suite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"plain render", App::PremierePro, kPFPixelFormatSuite, PF_Err_NONE, Outcome::Untouched},
      {"smart pre-render", App::AfterEffects, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart pre-render", App::PremierePro, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart pre-render", App::AfterEffects, kPFHandleSuite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart pre-render", App::PremierePro, kPFHandleSuite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::AfterEffects, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::PremierePro, kBasic, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::AfterEffects, kPFHandleSuite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::PremierePro, kPFHandleSuite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::AfterEffects, kPFWorldSuite, testhost::kSuiteNotFoundError, Outcome::Untouched},
      {"smart render", App::PremierePro, kPFWorldSuite, testhost::kSuiteNotFoundError, Outcome::Untouched},
      {"smart render", App::AfterEffects, kPFIterate8Suite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::PremierePro, kPFIterate8Suite, PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"smart render", App::PremierePro, kPFPixelFormatSuite, PF_Err_NONE, Outcome::Untouched},
  };

  // Each command runs with the suite gone; the rest of the frame (the
  // pre-render of a smart render) runs with it there.
  using Command =
      std::function<PF_Err(Rig&, std::function<void()> const& remove, std::function<void()> const& restore)>;
  const std::pair<char const*, Command> commands[] = {
      {"about",
       [](Rig& rig, auto remove, auto restore) {
         remove();
         const PF_Err err = rig.session.effect.about().err;
         restore();
         return err;
       }},
      {"global setup",
       [](Rig& rig, auto remove, auto restore) {
         remove();
         const testhost::CommandResult r = rig.session.effect.globalSetup();
         restore();
         if (rig.frame.app == App::PremierePro && r.err == PF_Err_NONE) {
           // Without the suite nothing is announced, yet the flags are Premiere's.
           EXPECT_EQ(r.out.out_flags & PF_OutFlag_DEEP_COLOR_AWARE, 0);
         }
         return r.err;
       }},
      {"params setup",
       [](Rig& rig, auto remove, auto restore) {
         remove();
         const PF_Err err = rig.session.effect.paramsSetup().err;
         restore();
         EXPECT_EQ(rig.session.effect.paramDefs().size(), kParamCount);
         return err;
       }},
      {"sequence setup",
       [](Rig& rig, auto remove, auto restore) {
         rig.session.instance.sequenceSetdown();
         remove();
         const PF_Err err = rig.session.instance.sequenceSetup().err;
         restore();
         return err;
       }},
      {"sequence setdown",
       [](Rig& rig, auto remove, auto restore) {
         remove();
         const PF_Err err = rig.session.instance.sequenceSetdown().err;
         restore();
         return err;
       }},
      {"plain render",
       [](Rig& rig, auto remove, auto restore) {
         remove();
         const PF_Err err = rig.session.instance.render(rig.input, rig.output).err;
         restore();
         return err;
       }},
      {"smart pre-render",
       [](Rig& rig, auto remove, auto restore) {
         remove();
         const testhost::PreRenderResult pre = rig.session.instance.smartPreRenderOnly(rig.input);
         restore();
         PF_Err err = pre.command.err;
         if (err == PF_Err_NONE) {
           err = rig.session.instance.smartRenderOnly(rig.input, rig.output, pre.output.pre_render_data)
                     .render.err;
         }
         testhost::Instance::deletePreRenderData(pre.output);
         return err;
       }},
      {"smart render",
       [](Rig& rig, auto remove, auto restore) {
         const testhost::PreRenderResult pre = rig.session.instance.smartPreRenderOnly(rig.input);
         EXPECT_EQ(pre.command.err, PF_Err_NONE);
         remove();
         const PF_Err err =
             rig.session.instance.smartRenderOnly(rig.input, rig.output, pre.output.pre_render_data)
                 .render.err;
         restore();
         testhost::Instance::deletePreRenderData(pre.output);
         return err;
       }},
  };

  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    const Frame f{app, app == App::PremierePro ? PF_PixelFormat_BGRA32 : PF_PixelFormat_ARGB32,
                  RenderPath::Plain};
    for (auto const& command : commands) {
      bool const renders = std::strstr(command.first, "render") != nullptr;
      for (Suite const& suite : suites) {
        char const* suiteName = suite.name == nullptr ? kBasic : suite.name;
        SCOPED_TRACE(::testing::Message()
                     << command.first << " in " << nameOf(app) << " without " << suiteName);
        ++cases;
        PF_Err expected = PF_Err_NONE;
        Outcome outcome = renders ? Outcome::Written : Outcome::Untouched;
        for (Exception const& e : exceptions) {
          if (std::strcmp(e.command, command.first) == 0 && e.app == app &&
              std::strcmp(e.suite, suiteName) == 0) {
            expected = e.expected;
            outcome = e.outcome;
          }
        }
        Rig rig(f);
        testhost::Host& host = rig.session.host;
        auto const remove = [&] {
          if (suite.name == nullptr) {
            host.setPassBasicSuite(false);
          } else {
            host.setSuiteMissing(suite.name, suite.version);
          }
        };
        auto const restore = [&] {
          host.setPassBasicSuite(true);
          if (suite.name != nullptr) {
            host.setSuiteMissing(suite.name, suite.version, false);
          }
        };
        EXPECT_EQ(command.second(rig, remove, restore), expected);
        if (outcome == Outcome::Written) {
          EXPECT_TRUE(samePixels(rig.output, cleanOutput(f)));
        } else {
          EXPECT_TRUE(rig.untouched());
        }
        EXPECT_EQ(rig.session.imbalance(), "");
      }
    }
  }
  reportCases("suites missing", cases);
}

// A thread start that the system refuses, at each of the sixteen workers,
// through the test-only build of the plug-in.
TEST(FaultMatrix, EveryWorkerThreadStartFailsInTurn) {
  const Frame frames[] = {{App::AfterEffects, PF_PixelFormat_ARGB32, RenderPath::Plain},
                          {App::AfterEffects, PF_PixelFormat_ARGB32, RenderPath::Smart},
                          {App::PremierePro, PrPixelFormat_BGRA_4444_32f, RenderPath::Plain},
                          {App::PremierePro, PrPixelFormat_BGRA_4444_32f, RenderPath::Smart}};
  int cases = 0;
  for (Frame const& f : frames) {
    for (int worker = 1; worker <= 17; ++worker) {
      bool const refused = worker <= 16;
      SCOPED_TRACE(::testing::Message()
                   << "worker " << worker << (refused ? " refused, " : " (none refused), ") << describe(f));
      ++cases;
      Rig rig(f, ZF_FAULTS_PLUGIN_PATH);
      auto const refuse =
          reinterpret_cast<RefuseWorkerStartFunc>(rig.session.effect.plugin().symbol(kRefuseWorkerStart));
      auto const refusals =
          reinterpret_cast<RefusedWorkerStartsFunc>(rig.session.effect.plugin().symbol(kRefusedWorkerStarts));
      ASSERT_NE(refuse, nullptr);
      ASSERT_NE(refusals, nullptr);
      refuse(refused ? worker : 0);
      const FrameResult r = rig.render();
      EXPECT_EQ(refusals(), refused ? 1 : 0);
      refuse(0);
      if (refused) {
        // The system error leaves the driver; the render entry reports it.
        EXPECT_EQ(r.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
        EXPECT_TRUE(rig.untouched());
      } else {
        EXPECT_EQ(r.err, PF_Err_NONE);
        EXPECT_TRUE(samePixels(rig.output, cleanOutput(f)));
      }
      EXPECT_EQ(rig.session.imbalance(), "");
      // The lock was given back: the next frame renders.
      EXPECT_EQ(rig.render().err, PF_Err_NONE);
      EXPECT_TRUE(samePixels(rig.output, cleanOutput(f)));
    }
  }
  reportCases("worker thread starts refused", cases);
}

// A cancel at each abort poll: with one host iteration thread every row of
// both conversions polls, and so does the driver before the kernel.
TEST(FaultMatrix, CancelAtEveryRowOfEveryConversionAndBeforeTheKernel) {
  int cases = 0;
  for (testhost::PixelFormatInfo const& format : testhost::kPixelFormats) {
    const App app = format.order == testhost::ChannelOrder::BGRA ? App::PremierePro : App::AfterEffects;
    for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
      const Frame f{app, format.code, path};
      auto const oneThread = [](Rig& rig) { rig.session.host.setIterateWorkers(1); };
      long const polls = callsInCleanFrame(f, &Faults::abort, oneThread);
      EXPECT_EQ(polls, kHeight + 1 + kHeight) << describe(f);
      for (long k = 1; k <= polls + 1; ++k) {
        SCOPED_TRACE(::testing::Message()
                     << "cancel at poll " << k << " of " << polls << ", " << describe(f));
        ++cases;
        Rig rig(f);
        oneThread(rig);
        FrameResult r;
        {
          Armed armed{rig.faults().abort};
          rig.faults().abort.failAt(k, PF_Interrupt_CANCEL);
          r = rig.render();
        }
        if (k > polls) {
          EXPECT_EQ(r.err, PF_Err_NONE);
          EXPECT_TRUE(samePixels(rig.output, cleanOutput(f)));
        } else {
          EXPECT_EQ(r.err, PF_Interrupt_CANCEL);
          // Output rows converted before the cancel, and the row that saw it,
          // are final; no other row is touched.
          long const written = k - (kHeight + 1);
          const World before(f.format, kWidth, kHeight);
          for (A_long y = 0; y < kHeight; ++y) {
            if (y < written) {
              EXPECT_TRUE(sameRow(rig.output, cleanOutput(f), y)) << "row " << y;
            } else {
              EXPECT_TRUE(sameRow(rig.output, before, y)) << "row " << y;
            }
          }
        }
        EXPECT_EQ(rig.session.imbalance(), "");
      }
    }
  }
  reportCases("cancel at every poll, one host thread", cases);
}

// The same with the host's four iteration threads: only thread 0 polls, the
// other threads stop at their next row, and every row is either final or
// untouched.
TEST(FaultMatrix, CancelWithSeveralHostThreadsLeavesWholeRows) {
  int cases = 0;
  for (Frame const& f : kFrames) {
    long const polls = callsInCleanFrame(f, &Faults::abort);
    for (long k = 1; k <= polls; ++k) {
      SCOPED_TRACE(::testing::Message() << "cancel at poll " << k << " of " << polls << ", " << describe(f));
      ++cases;
      Rig rig(f);
      FrameResult r;
      {
        Armed armed{rig.faults().abort};
        rig.faults().abort.failAt(k, PF_Interrupt_CANCEL);
        r = rig.render();
      }
      EXPECT_EQ(r.err, PF_Interrupt_CANCEL);
      const World before(f.format, kWidth, kHeight);
      for (A_long y = 0; y < kHeight; ++y) {
        EXPECT_TRUE(sameRow(rig.output, cleanOutput(f), y) || sameRow(rig.output, before, y)) << "row " << y;
      }
      EXPECT_EQ(rig.session.imbalance(), "");
    }
  }
  reportCases("cancel at every poll, four host threads", cases);
}

}  // namespace
}  // namespace zfrel
