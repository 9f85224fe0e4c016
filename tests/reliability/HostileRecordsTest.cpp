// Records no sound host sends: null records and callbacks, callback tables
// cut short, worlds with impossible or unusual geometry, formats outside
// every table, parameter values outside their ranges. Each gets a host
// error code with nothing touched, or a defined frame, worked out here
// independently where it is a frame. Run under the address and
// undefined-behaviour sanitizers, any out-of-bounds access fails the case.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <functional>
#include <iostream>
#include <limits>
#include <vector>

#include "Frames.h"
#include "SuiteFilter.h"

namespace zfrel {
namespace {

using testhost::App;
using testhost::World;

constexpr A_long kWidth = 12;
constexpr A_long kHeight = 9;

void reportCases(char const* what, int cases) {
  ::testing::Test::RecordProperty("cases", cases);
  std::cout << "[ cases    ] " << what << ": " << cases << "\n";
}

// The float format of each host: frames whose result the reference kernel
// gives exactly.
PF_PixelFormat floatFormatOf(App app) {
  return app == App::PremierePro ? PrPixelFormat_BGRA_4444_32f : PF_PixelFormat_ARGB128;
}

bool allTransparent(World const& world) {
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      const testhost::Channels c = world.get(x, y);
      if (c.alpha != 0.0 || c.red != 0.0 || c.green != 0.0 || c.blue != 0.0) {
        return false;
      }
    }
  }
  return true;
}

// --- Null records ------------------------------------------------------------

PF_Err unexpectedLayerCheckout(PF_ProgPtr, PF_ParamIndex, A_long, PF_RenderRequest const*, A_long, A_long,
                               A_u_long, PF_CheckoutResult*) {
  ADD_FAILURE() << "checkout_layer called";
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err unexpectedPixelsCheckout(PF_ProgPtr, A_long, PF_EffectWorld**) {
  ADD_FAILURE() << "checkout_layer_pixels called";
  return PF_Err_BAD_CALLBACK_PARAM;
}
PF_Err unexpectedOutputCheckout(PF_ProgPtr, PF_EffectWorld**) {
  ADD_FAILURE() << "checkout_output called";
  return PF_Err_BAD_CALLBACK_PARAM;
}

// Every handled command without in_data: nothing can be asked of the host,
// so nothing may be read or written. The same for commands that write
// out_data, without it (About in Premiere Pro writes nothing and succeeds).
TEST(HostileRecords, EveryHandledCommandWithoutInDataOrOutData) {
  Session session(App::AfterEffects, ZF_PLUGIN_PATH, 4, 4);
  World output(PF_PixelFormat_ARGB32, 4, 4);
  const std::vector<std::uint8_t> pixels = output.bytes();
  PF_PreRenderInput preInput{};
  PF_PreRenderOutput preOutput{};
  PF_PreRenderExtra preExtra{&preInput, &preOutput, nullptr};
  int cases = 0;
  for (const PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_SEQUENCE_SETUP,
                           PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_RENDER,
                           PF_Cmd_SMART_PRE_RENDER, PF_Cmd_SMART_RENDER}) {
    for (bool const otherRecords : {false, true}) {
      SCOPED_TRACE(::testing::Message()
                   << "cmd " << cmd << (otherRecords ? " with" : " without") << " the others");
      ++cases;
      PF_OutData out;
      std::memset(&out, 0x5A, sizeof out);
      const PF_OutData before = out;
      const PF_Err err = session.effect.plugin().effectMain()(
          cmd, nullptr, otherRecords ? &out : nullptr, nullptr, otherRecords ? output.record() : nullptr,
          otherRecords ? &preExtra : nullptr);
      EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
      EXPECT_EQ(std::memcmp(&out, &before, sizeof out), 0);
    }
  }
  // Commands that write out_data refuse to run without it.
  for (const PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_SEQUENCE_SETUP,
                           PF_Cmd_SEQUENCE_RESETUP, PF_Cmd_SEQUENCE_SETDOWN}) {
    for (const App app : {App::AfterEffects, App::PremierePro}) {
      SCOPED_TRACE(::testing::Message() << "cmd " << cmd << " without out_data in " << nameOf(app));
      ++cases;
      session.host.setApp(app);
      PF_InData in = session.host.inData(4, 4);
      in.sequence_data = session.instance.sequenceData();
      const PF_InData before = in;
      EXPECT_EQ(session.effect.plugin().effectMain()(cmd, &in, nullptr, nullptr, nullptr, nullptr),
                cmd == PF_Cmd_ABOUT && app == App::PremierePro ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM);
      EXPECT_EQ(std::memcmp(&in, &before, sizeof in), 0);
    }
  }
  session.host.setApp(App::AfterEffects);
  EXPECT_EQ(session.effect.paramDefs().size(), kParamCount);
  EXPECT_EQ(output.bytes(), pixels);
  EXPECT_EQ(session.imbalance(), "");
  reportCases("commands without in_data or out_data", cases);
}

// The render commands' own records missing, one at a time; a record a
// command does not use (out_data for a render) may be missing without
// consequence.
TEST(HostileRecords, RenderCommandsWithARecordMissing) {
  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    Session session(app, ZF_PLUGIN_PATH, kWidth, kHeight);
    testhost::Instance& instance = session.instance;
    applyParams(instance, Params{});
    World input(floatFormatOf(app), kWidth, kHeight);
    fillPattern(input, 3);
    World expected(floatFormatOf(app), kWidth, kHeight);
    expectFloatFrame(input, Params{}, 0.0f, 0.0f, expected);

    std::vector<PF_ParamDef> defs(6);
    defs[0].param_type = PF_Param_LAYER;
    defs[0].u.ld = *input.record();
    PF_ParamDef* params[6] = {&defs[0], &defs[1], &defs[2], &defs[3], &defs[4], &defs[5]};
    PF_ParamDef* noInput[6] = {nullptr, &defs[1], &defs[2], &defs[3], &defs[4], &defs[5]};
    PF_PreRenderInput preInput{};
    PF_PreRenderOutput preOutput{};
    // Callbacks that must not be reached: each case is refused before.
    PF_PreRenderCallbacks preCallbacks{unexpectedLayerCheckout, nullptr};
    PF_SmartRenderInput smartInput{};
    PF_SmartRenderCallbacks smartCallbacks{unexpectedPixelsCheckout, nullptr, unexpectedOutputCheckout};

    struct Case {
      char const* name;
      PF_Cmd cmd;
      PF_ParamDef** params;
      bool output;
      void* extra;
      PF_Err expected;
    };
    PF_PreRenderExtra preNoInput{nullptr, &preOutput, &preCallbacks};
    PF_PreRenderExtra preNoOutput{&preInput, nullptr, &preCallbacks};
    PF_PreRenderExtra preNoCallbacks{&preInput, &preOutput, nullptr};
    PF_SmartRenderExtra smartNoInput{nullptr, &smartCallbacks};
    PF_SmartRenderExtra smartNoCallbacks{&smartInput, nullptr};
    const Case cases_[] = {
        {"render without params", PF_Cmd_RENDER, nullptr, true, nullptr, PF_Err_BAD_CALLBACK_PARAM},
        {"render without input layer", PF_Cmd_RENDER, noInput, true, nullptr, PF_Err_BAD_CALLBACK_PARAM},
        {"render without output", PF_Cmd_RENDER, params, false, nullptr, PF_Err_BAD_CALLBACK_PARAM},
        {"pre-render without extra", PF_Cmd_SMART_PRE_RENDER, nullptr, false, nullptr,
         PF_Err_BAD_CALLBACK_PARAM},
        {"pre-render without extra input", PF_Cmd_SMART_PRE_RENDER, nullptr, false, &preNoInput,
         PF_Err_BAD_CALLBACK_PARAM},
        {"pre-render without extra output", PF_Cmd_SMART_PRE_RENDER, nullptr, false, &preNoOutput,
         PF_Err_BAD_CALLBACK_PARAM},
        {"pre-render without callbacks", PF_Cmd_SMART_PRE_RENDER, nullptr, false, &preNoCallbacks,
         PF_Err_BAD_CALLBACK_PARAM},
        {"smart render without extra", PF_Cmd_SMART_RENDER, nullptr, false, nullptr,
         PF_Err_BAD_CALLBACK_PARAM},
        {"smart render without extra input", PF_Cmd_SMART_RENDER, nullptr, false, &smartNoInput,
         PF_Err_BAD_CALLBACK_PARAM},
        {"smart render without callbacks", PF_Cmd_SMART_RENDER, nullptr, false, &smartNoCallbacks,
         PF_Err_BAD_CALLBACK_PARAM},
    };
    for (Case const& c : cases_) {
      SCOPED_TRACE(::testing::Message() << c.name << ", " << nameOf(app));
      ++cases;
      World output(floatFormatOf(app), kWidth, kHeight);
      const std::vector<std::uint8_t> before = output.bytes();
      EXPECT_EQ(instance.send(c.cmd, c.params, c.output ? output.record() : nullptr, c.extra).err,
                c.expected);
      EXPECT_EQ(output.bytes(), before);
      EXPECT_EQ(session.imbalance(), "");
    }

    // A plain render without out_data, sent by the host from inside a
    // command of its own so that the effect_ref is live.
    {
      SCOPED_TRACE(::testing::Message() << "render without out_data, " << nameOf(app));
      ++cases;
      World output(floatFormatOf(app), kWidth, kHeight);
      PF_Err nested = -1;
      for (int i = 1; i < 6; ++i) {
        defs[static_cast<std::size_t>(i)] = instance.param(testhost::Position{i});
      }
      instance.send(PF_Cmd_FRAME_SETUP, nullptr, nullptr, nullptr, [&](PF_InData& in, PF_OutData&) {
        nested = session.effect.plugin().effectMain()(PF_Cmd_RENDER, &in, nullptr, params, output.record(),
                                                      nullptr);
      });
      EXPECT_EQ(nested, PF_Err_NONE);
      EXPECT_TRUE(samePixels(output, expected));
      EXPECT_EQ(session.imbalance(), "");
    }
  }
  reportCases("render records missing", cases);
}

// --- Callback tables -----------------------------------------------------------

struct Member {
  char const* name;
  bool inUtils;        // else in inter
  std::size_t offset;  // byte offset in its table
};

#define ZF_UTIL(field)                              \
  Member {                                          \
#field, true, offsetof(PF_UtilCallbacks, field) \
  }
#define ZF_INTER(field)                                  \
  Member {                                               \
#field, false, offsetof(PF_InteractCallbacks, field) \
  }

const Member kMembers[] = {
    ZF_UTIL(host_new_handle),
    ZF_UTIL(host_lock_handle),
    ZF_UTIL(host_unlock_handle),
    ZF_UTIL(host_dispose_handle),
    ZF_UTIL(host_get_handle_size),
    ZF_UTIL(host_resize_handle),
    ZF_UTIL(ansi.strcpy),
    ZF_UTIL(new_world),
    ZF_UTIL(dispose_world),
    ZF_UTIL(iterate),
    ZF_UTIL(iterate_generic),
    ZF_INTER(checkout_param),
    ZF_INTER(checkin_param),
    ZF_INTER(add_param),
    ZF_INTER(abort),
    ZF_INTER(progress),
};

enum class Command { ParamsSetup, SequenceSetup, SequenceSetdown, PlainRender, SmartFrame, FallbackRender };

char const* commandName(Command c) {
  switch (c) {
    case Command::ParamsSetup:
      return "params setup";
    case Command::SequenceSetup:
      return "sequence setup";
    case Command::SequenceSetdown:
      return "sequence setdown";
    case Command::PlainRender:
      return "plain render";
    case Command::SmartFrame:
      return "smart frame";
    case Command::FallbackRender:
      return "render without iterate_generic";
  }
  return "?";
}

// The callbacks each command cannot do without: with one of them missing it
// answers PF_Err_BAD_CALLBACK_PARAM before touching anything. Sequence setup
// runs on an instance without data (it makes the handle), setdown on one
// with data (it trims and disposes of it).
bool needs(Command c, char const* member) {
  auto const among = [&](std::initializer_list<char const*> names) {
    for (const char* n : names) {
      if (std::strcmp(n, member) == 0) {
        return true;
      }
    }
    return false;
  };
  switch (c) {
    case Command::ParamsSetup:
      return among({"ansi.strcpy", "add_param"});
    case Command::SequenceSetup:
      return among({"host_new_handle", "host_dispose_handle", "ansi.strcpy"});
    case Command::SequenceSetdown:
      return among({"host_get_handle_size", "host_resize_handle", "host_dispose_handle"});
    case Command::PlainRender:
    case Command::SmartFrame:
      return among({"checkout_param", "checkin_param", "abort", "host_new_handle", "host_lock_handle",
                    "host_unlock_handle", "host_dispose_handle"});
    case Command::FallbackRender:
      return among({"checkout_param", "checkin_param", "abort", "host_new_handle", "host_lock_handle",
                    "host_unlock_handle", "host_dispose_handle", "new_world", "dispose_world"});
  }
  return false;
}

// Runs one command with the host's utils and inter tables changed by
// `change`; checks the result against what the command needs.
struct TableCase {
  Command command;
  std::function<void(PF_UtilCallbacks&, PF_InteractCallbacks&)> change;
  bool refused;
};

void runTableCase(App app, TableCase const& c) {
  Session session(app, ZF_PLUGIN_PATH, kWidth, kHeight);
  testhost::Instance& instance = session.instance;
  applyParams(instance, Params{});
  World input(floatFormatOf(app), kWidth, kHeight);
  fillPattern(input, 4);
  World expected(floatFormatOf(app), kWidth, kHeight);
  expectFloatFrame(input, Params{}, 0.0f, 0.0f, expected);
  World output(floatFormatOf(app), kWidth, kHeight);
  const std::vector<std::uint8_t> before = output.bytes();

  PF_UtilCallbacks utils = *session.host.utils();
  const testhost::CommandHook hook = [&](PF_InData& in, PF_OutData&) {
    c.change(utils, in.inter);
    in.utils = &utils;
  };
  const PF_Err want = c.refused ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE;
  switch (c.command) {
    case Command::ParamsSetup: {
      const testhost::CommandResult r = session.effect.paramsSetup(hook);
      EXPECT_EQ(r.err, want);
      EXPECT_EQ(session.effect.paramDefs().size(), c.refused ? 1u : kParamCount);
      session.effect.paramsSetup();
      break;
    }
    case Command::SequenceSetup: {
      instance.sequenceSetdown();
      const testhost::CommandResult r = instance.sequenceSetup(hook);
      EXPECT_EQ(r.err, want);
      EXPECT_EQ(r.out.sequence_data == nullptr, c.refused);
      break;
    }
    case Command::SequenceSetdown: {
      const PF_Handle held = instance.sequenceData();
      EXPECT_EQ(instance.sequenceSetdown(hook).err, want);
      if (c.refused) {
        // The host still holds its handle; it is given back properly.
        instance.setSequenceData(held);
      }
      break;
    }
    case Command::PlainRender:
    case Command::SmartFrame:
    case Command::FallbackRender: {
      session.host.setIterateGenericAvailable(c.command != Command::FallbackRender);
      testhost::SmartRenderOptions options;
      options.hook = hook;
      const FrameResult r =
          renderFrame(instance, c.command == Command::SmartFrame ? RenderPath::Smart : RenderPath::Plain,
                      input, output, options);
      session.host.setIterateGenericAvailable(true);
      EXPECT_EQ(r.err, want);
      if (c.refused) {
        EXPECT_EQ(output.bytes(), before);
      } else {
        EXPECT_TRUE(samePixels(output, expected));
      }
      break;
    }
  }
  EXPECT_EQ(session.imbalance(), "");
}

const Command kCommands[] = {Command::ParamsSetup, Command::SequenceSetup, Command::SequenceSetdown,
                             Command::PlainRender, Command::SmartFrame,    Command::FallbackRender};

TEST(HostileRecords, EveryCallbackMissingFromEveryCommand) {
  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    for (const Command command : kCommands) {
      for (Member const& m : kMembers) {
        SCOPED_TRACE(::testing::Message()
                     << commandName(command) << " without " << m.name << ", " << nameOf(app));
        ++cases;
        auto const change = [m](PF_UtilCallbacks& utils, PF_InteractCallbacks& inter) {
          unsigned char* table =
              m.inUtils ? reinterpret_cast<unsigned char*>(&utils) : reinterpret_cast<unsigned char*>(&inter);
          std::memset(table + m.offset, 0, sizeof(void (*)()));
        };
        runTableCase(app, TableCase{command, change, needs(command, m.name)});
      }
      SCOPED_TRACE(::testing::Message() << commandName(command) << " without utils at all, " << nameOf(app));
      ++cases;
      Session session(app, ZF_PLUGIN_PATH, kWidth, kHeight);
      auto const noUtils = [](PF_InData& in, PF_OutData&) { in.utils = nullptr; };
      if (command == Command::ParamsSetup) {
        EXPECT_EQ(session.effect.paramsSetup(noUtils).err, PF_Err_BAD_CALLBACK_PARAM);
        session.effect.paramsSetup();
      } else if (command == Command::SequenceSetup) {
        session.instance.sequenceSetdown();
        EXPECT_EQ(session.instance.sequenceSetup(noUtils).err, PF_Err_BAD_CALLBACK_PARAM);
      } else if (command == Command::SequenceSetdown) {
        const PF_Handle held = session.instance.sequenceData();
        EXPECT_EQ(session.instance.sequenceSetdown(noUtils).err, PF_Err_BAD_CALLBACK_PARAM);
        session.instance.setSequenceData(held);
      } else {
        World input(floatFormatOf(app), kWidth, kHeight);
        World output(floatFormatOf(app), kWidth, kHeight);
        const std::vector<std::uint8_t> before = output.bytes();
        testhost::SmartRenderOptions options;
        options.hook = noUtils;
        EXPECT_EQ(renderFrame(session.instance,
                              command == Command::SmartFrame ? RenderPath::Smart : RenderPath::Plain, input,
                              output, options)
                      .err,
                  PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_EQ(output.bytes(), before);
      }
      EXPECT_EQ(session.imbalance(), "");
    }
  }
  reportCases("callbacks missing", cases);
}

// A host whose tables end early (an older, shorter utils or inter table):
// everything from one member on is null.
TEST(HostileRecords, CallbackTablesCutShort) {
  int cases = 0;
  for (const Command command : kCommands) {
    for (bool const utilsTable : {true, false}) {
      std::vector<std::size_t> cuts = {0};
      for (Member const& m : kMembers) {
        if (m.inUtils == utilsTable) {
          cuts.push_back(m.offset);
          cuts.push_back(m.offset + sizeof(void (*)()));
        }
      }
      for (const std::size_t cut : cuts) {
        bool refused = false;
        for (Member const& m : kMembers) {
          if (m.inUtils == utilsTable && m.offset >= cut && needs(command, m.name)) {
            refused = true;
          }
        }
        SCOPED_TRACE(::testing::Message() << commandName(command) << ", " << (utilsTable ? "utils" : "inter")
                                          << " cut at byte " << cut);
        ++cases;
        auto const change = [cut, utilsTable](PF_UtilCallbacks& utils, PF_InteractCallbacks& inter) {
          unsigned char* table = utilsTable ? reinterpret_cast<unsigned char*>(&utils)
                                            : reinterpret_cast<unsigned char*>(&inter);
          const std::size_t size = utilsTable ? sizeof utils : sizeof inter;
          std::memset(table + cut, 0, size - cut);
        };
        runTableCase(App::AfterEffects, TableCase{command, change, refused});
      }
    }
  }
  reportCases("callback tables cut short", cases);
}

// Suites handed out with functions missing from their tables.
TEST(HostileRecords, SuiteFunctionsMissing) {
  struct Case {
    char const* name;
    char const* suite;
    int32_t version;
    std::vector<std::size_t> offsets;
    App app;
    Command command;  // ParamsSetup stands for global setup, SequenceSetup for About
    PF_Err expected;
    bool written;
  };
  const Case cases_[] = {
      {"World Suite without PF_GetPixelFormat",
       kPFWorldSuite,
       kPFWorldSuiteVersion2,
       {offsetof(PF_WorldSuite2, PF_GetPixelFormat)},
       App::AfterEffects,
       Command::PlainRender,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Pixel Format Suite without GetPixelFormat",
       kPFPixelFormatSuite,
       kPFPixelFormatSuiteVersion1,
       {offsetof(PF_PixelFormatSuite1, GetPixelFormat)},
       App::PremierePro,
       Command::SmartFrame,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Pixel Format Suite without GetPixelFormat, in After Effects",
       kPFPixelFormatSuite,
       kPFPixelFormatSuiteVersion1,
       {offsetof(PF_PixelFormatSuite1, GetPixelFormat)},
       App::AfterEffects,
       Command::PlainRender,
       PF_Err_NONE,
       true},
      {"Iterate8 Suite without iterate_generic",
       kPFIterate8Suite,
       kPFIterate8SuiteVersion1,
       {offsetof(PF_Iterate8Suite1, iterate_generic)},
       App::AfterEffects,
       Command::SmartFrame,
       PF_Err_NONE,
       true},
      {"Iterate8 Suite without either iterator",
       kPFIterate8Suite,
       kPFIterate8SuiteVersion1,
       {offsetof(PF_Iterate8Suite1, iterate_generic), offsetof(PF_Iterate8Suite1, iterate)},
       App::PremierePro,
       Command::PlainRender,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Handle Suite without host_new_handle",
       kPFHandleSuite,
       kPFHandleSuiteVersion2,
       {offsetof(PF_HandleSuite1, host_new_handle)},
       App::AfterEffects,
       Command::SmartFrame,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Handle Suite without host_lock_handle",
       kPFHandleSuite,
       kPFHandleSuiteVersion2,
       {offsetof(PF_HandleSuite1, host_lock_handle)},
       App::PremierePro,
       Command::SmartFrame,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Handle Suite without host_dispose_handle",
       kPFHandleSuite,
       kPFHandleSuiteVersion2,
       {offsetof(PF_HandleSuite1, host_dispose_handle)},
       App::AfterEffects,
       Command::SmartFrame,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Handle Suite without host_unlock_handle, plain render",
       kPFHandleSuite,
       kPFHandleSuiteVersion2,
       {offsetof(PF_HandleSuite1, host_unlock_handle)},
       App::AfterEffects,
       Command::PlainRender,
       PF_Err_NONE,
       true},
      {"Pixel Format Suite without ClearSupportedPixelFormats",
       kPFPixelFormatSuite,
       kPFPixelFormatSuiteVersion1,
       {offsetof(PF_PixelFormatSuite1, ClearSupportedPixelFormats)},
       App::PremierePro,
       Command::ParamsSetup,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"Pixel Format Suite without AddSupportedPixelFormat",
       kPFPixelFormatSuite,
       kPFPixelFormatSuiteVersion1,
       {offsetof(PF_PixelFormatSuite1, AddSupportedPixelFormat)},
       App::PremierePro,
       Command::ParamsSetup,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
      {"ANSI Suite without sprintf",
       kPFANSISuite,
       kPFANSISuiteVersion1,
       {offsetof(PF_ANSICallbacksSuite1, sprintf)},
       App::AfterEffects,
       Command::SequenceSetup,
       PF_Err_BAD_CALLBACK_PARAM,
       false},
  };
  int cases = 0;
  for (Case const& c : cases_) {
    SCOPED_TRACE(c.name);
    ++cases;
    Session session(c.app, ZF_PLUGIN_PATH, kWidth, kHeight);
    applyParams(session.instance, Params{});
    SuiteFilter filter(session.host.basicSuite());
    for (const std::size_t offset : c.offsets) {
      filter.nullMember(c.suite, c.version, offset);
    }
    const testhost::CommandHook hook = [&](PF_InData& in, PF_OutData&) { in.pica_basicP = filter.basic(); };
    World input(floatFormatOf(c.app), kWidth, kHeight);
    fillPattern(input, 5);
    World output(floatFormatOf(c.app), kWidth, kHeight);
    const std::vector<std::uint8_t> before = output.bytes();
    PF_Err err = PF_Err_NONE;
    if (c.command == Command::ParamsSetup) {
      err = session.effect.globalSetup(hook).err;
    } else if (c.command == Command::SequenceSetup) {
      const testhost::CommandResult r = session.effect.about([&](PF_InData& in, PF_OutData& out) {
        hook(in, out);
        std::strcpy(out.return_msg, "kept");
      });
      EXPECT_STREQ(r.out.return_msg, "kept");
      err = r.err;
    } else {
      testhost::SmartRenderOptions options;
      options.hook = hook;
      err = renderFrame(session.instance,
                        c.command == Command::SmartFrame ? RenderPath::Smart : RenderPath::Plain, input,
                        output, options)
                .err;
    }
    EXPECT_EQ(err, c.expected);
    if (c.written) {
      World expected(floatFormatOf(c.app), kWidth, kHeight);
      expectFloatFrame(input, Params{}, 0.0f, 0.0f, expected);
      EXPECT_TRUE(samePixels(output, expected));
    } else {
      EXPECT_EQ(output.bytes(), before);
    }
    EXPECT_EQ(session.imbalance(), "");
  }
  reportCases("suite functions missing", cases);
}

// --- Worlds ------------------------------------------------------------------

enum class Outcome { Untouched, Expected, Transparent };

// A world record changed the way a hostile host might send it; the world's
// memory stays the test's. `apply` may ask the filter to answer a format for
// the changed record.
struct WorldCase {
  char const* name;
  bool onInput;
  std::function<void(World&, SuiteFilter&)> apply;
  PF_Err expected;
  Outcome outcome;
};

// Rows stored bottom up: the record's data points at the last row in
// memory, rowbytes is negative, and the host reports the world's format for
// that address. The picture the plug-in sees is the world's rows reversed.
void presentBottomUp(World& world, SuiteFilter& filter, A_long rowbytesCut = 0) {
  PF_EffectWorld& r = *world.record();
  const PF_PixelFormat format = world.format();
  const A_long stride = r.rowbytes;
  r.data = reinterpret_cast<PF_PixelPtr>(world.row(world.height() - 1));
  r.rowbytes = -(stride - rowbytesCut);
  filter.answerFormat(r.data, format);
}

// Reverses the rows of a world in memory.
void flipRows(World& world) {
  const std::size_t bytes = static_cast<std::size_t>(world.rowbytes());
  std::vector<std::uint8_t> row(bytes);
  for (A_long y = 0; y < world.height() / 2; ++y) {
    std::uint8_t* a = world.row(y);
    std::uint8_t* b = world.row(world.height() - 1 - y);
    std::memcpy(row.data(), a, bytes);
    std::memcpy(a, b, bytes);
    std::memcpy(b, row.data(), bytes);
  }
}

TEST(HostileRecords, WorldGeometry) {
  auto const set = [](auto field, A_long value) {
    return [field, value](World& w, SuiteFilter&) { w.record()->*field = value; };
  };
  auto const shortRows = [](A_long by) {
    return [by](World& w, SuiteFilter&) { w.record()->rowbytes = w.width() * w.info().bytesPerPixel - by; };
  };
  const WorldCase cases_[] = {
      {"input width 0", true, set(&PF_LayerDef::width, 0), PF_Err_NONE, Outcome::Transparent},
      {"input height 0", true, set(&PF_LayerDef::height, 0), PF_Err_NONE, Outcome::Transparent},
      {"output width 0", false, set(&PF_LayerDef::width, 0), PF_Err_NONE, Outcome::Untouched},
      {"output height 0", false, set(&PF_LayerDef::height, 0), PF_Err_NONE, Outcome::Untouched},
      {"input width -1", true, set(&PF_LayerDef::width, -1), PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"input height INT_MIN", true, set(&PF_LayerDef::height, INT_MIN), PF_Err_BAD_CALLBACK_PARAM,
       Outcome::Untouched},
      {"output width INT_MIN", false, set(&PF_LayerDef::width, INT_MIN), PF_Err_BAD_CALLBACK_PARAM,
       Outcome::Untouched},
      {"output height -3", false, set(&PF_LayerDef::height, -3), PF_Err_BAD_CALLBACK_PARAM,
       Outcome::Untouched},
      {"input without data", true,
       [](World& w, SuiteFilter& f) {
         w.record()->data = nullptr;
         f.answerFormat(nullptr, w.format());
       },
       PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"output without data", false,
       [](World& w, SuiteFilter& f) {
         w.record()->data = nullptr;
         f.answerFormat(nullptr, w.format());
       },
       PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"input without data and width 0", true,
       [](World& w, SuiteFilter& f) {
         w.record()->data = nullptr;
         w.record()->width = 0;
         f.answerFormat(nullptr, w.format());
       },
       PF_Err_NONE, Outcome::Transparent},
      {"input rows a byte short", true, shortRows(1), PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"output rows a pixel short", false, shortRows(4), PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"input rowbytes 0", true, set(&PF_LayerDef::rowbytes, 0), PF_Err_BAD_CALLBACK_PARAM,
       Outcome::Untouched},
      // A rowbytes that is long enough but larger than the world's memory
      // (INT_MIN, say) cannot be told from a sound one: the host's contract.
      {"output bottom up, rows a pixel short", false,
       [](World& w, SuiteFilter& f) { presentBottomUp(w, f, 16); }, PF_Err_BAD_CALLBACK_PARAM,
       Outcome::Untouched},
      {"input bottom up", true, [](World& w, SuiteFilter& f) { presentBottomUp(w, f); }, PF_Err_NONE,
       Outcome::Expected},
      {"output bottom up", false, [](World& w, SuiteFilter& f) { presentBottomUp(w, f); }, PF_Err_NONE,
       Outcome::Expected},
      {"input bottom up, rows short", true, [](World& w, SuiteFilter& f) { presentBottomUp(w, f, 4); },
       PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
      {"input in a format outside the table", true,
       [](World& w, SuiteFilter& f) { f.answerFormat(w.record()->data, 0x7A7A7A7A); }, PF_Err_NONE,
       Outcome::Transparent},
      {"output in a format outside the table", false,
       [](World& w, SuiteFilter& f) { f.answerFormat(w.record()->data, 0); }, PF_Err_NONE,
       Outcome::Untouched},
      {"input the host cannot name", true,
       [](World& w, SuiteFilter&) { w.record()->data = reinterpret_cast<PF_PixelPtr>(w.row(1)); },
       PF_Err_BAD_CALLBACK_PARAM, Outcome::Untouched},
  };
  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
      for (WorldCase const& c : cases_) {
        SCOPED_TRACE(::testing::Message() << c.name << ", " << nameOf(app) << ", " << nameOf(path));
        ++cases;
        Session session(app, ZF_PLUGIN_PATH, kWidth, kHeight);
        applyParams(session.instance, Params{});
        SuiteFilter filter(session.host.basicSuite());
        World input(floatFormatOf(app), kWidth, kHeight);
        World output(floatFormatOf(app), kWidth, kHeight);
        fillPattern(input, 6);
        World expected(floatFormatOf(app), kWidth, kHeight);
        expectFloatFrame(input, Params{}, 0.0f, 0.0f, expected);

        World& changed = c.onInput ? input : output;
        const PF_EffectWorld original = *changed.record();
        bool const bottomUp = std::strstr(c.name, "bottom up") != nullptr;
        if (bottomUp && c.onInput) {
          flipRows(input);
        }
        const std::vector<std::uint8_t> before = output.bytes();
        c.apply(changed, filter);
        testhost::SmartRenderOptions options;
        options.hook = [&](PF_InData& in, PF_OutData&) { in.pica_basicP = filter.basic(); };
        const FrameResult r = renderFrame(session.instance, path, input, output, options);
        *changed.record() = original;
        if (bottomUp && !c.onInput) {
          flipRows(output);
        }
        EXPECT_EQ(r.err, c.expected);
        switch (c.outcome) {
          case Outcome::Untouched:
            EXPECT_EQ(output.bytes(), before);
            break;
          case Outcome::Expected:
            EXPECT_TRUE(samePixels(output, expected));
            break;
          case Outcome::Transparent:
            EXPECT_TRUE(allTransparent(output));
            break;
        }
        EXPECT_EQ(session.imbalance(), "");
      }
    }
  }
  reportCases("world geometry", cases);
}

// Worlds the host may legitimately send: tiny, padded, sharing memory, and
// inputs larger than, smaller than or offset from the output.
TEST(HostileRecords, WorldSizesPaddingAndInputPlacement) {
  struct Case {
    char const* name;
    A_long inWidth, inHeight, outWidth, outHeight;
    A_long padding;
    bool sameWorld;
    bool setInputRect;
    PF_LRect inputRect;
  };
  const Case cases_[] = {
      {"1 x 1", 1, 1, 1, 1, 0, false, false, {}},
      {"1 wide", 1, 9, 1, 9, 0, false, false, {}},
      {"1 high", 12, 1, 12, 1, 0, false, false, {}},
      {"padded rows", 12, 9, 12, 9, 24, false, false, {}},
      {"padded by less than a pixel", 12, 9, 12, 9, 3, false, false, {}},
      {"input and output the same world", 12, 9, 12, 9, 0, true, false, {}},
      {"input larger", 20, 14, 12, 9, 0, false, false, {}},
      {"input smaller", 5, 4, 12, 9, 0, false, false, {}},
      {"input offset up and left", 20, 14, 12, 9, 0, false, true, {-4, -3, 16, 11}},
      {"input offset down and right", 5, 4, 12, 9, 0, false, true, {3, 2, 8, 6}},
      {"input far off", 6, 5, 12, 9, 0, false, true, {INT_MIN, INT_MIN, INT_MIN + 6, INT_MIN + 5}},
      {"input far off the other way",
       6,
       5,
       12,
       9,
       0,
       false,
       true,
       {INT_MAX - 6, INT_MAX - 5, INT_MAX, INT_MAX}},
  };
  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
      for (Case const& c : cases_) {
        if (c.setInputRect && path == RenderPath::Plain) {
          continue;  // only a smart render places its input
        }
        SCOPED_TRACE(::testing::Message() << c.name << ", " << nameOf(app) << ", " << nameOf(path));
        ++cases;
        Session session(app, ZF_PLUGIN_PATH, c.inWidth, c.inHeight);
        const Params params;
        applyParams(session.instance, params);
        World input(floatFormatOf(app), c.inWidth, c.inHeight, c.padding);
        World output(floatFormatOf(app), c.outWidth, c.outHeight, c.padding);
        fillPattern(input, 7);
        World expected(floatFormatOf(app), c.outWidth, c.outHeight);
        float const offsetX = c.setInputRect ? static_cast<float>(c.inputRect.left) : 0.0f;
        float const offsetY = c.setInputRect ? static_cast<float>(c.inputRect.top) : 0.0f;
        expectFloatFrame(input, params, offsetX, offsetY, expected);
        testhost::SmartRenderOptions options;
        options.setInputRect = c.setInputRect;
        options.inputRect = c.inputRect;
        World& target = c.sameWorld ? input : output;
        EXPECT_EQ(renderFrame(session.instance, path, input, target, options).err, PF_Err_NONE);
        EXPECT_TRUE(samePixels(target, expected));
        EXPECT_TRUE(target.paddingIntact());
        EXPECT_EQ(session.imbalance(), "");
      }
    }
  }
  reportCases("world sizes and input placement", cases);
}

// --- Parameter values ----------------------------------------------------------

TEST(HostileRecords, ParameterValuesOutsideTheirRanges) {
  double const inf = std::numeric_limits<double>::infinity();
  double const nan = std::numeric_limits<double>::quiet_NaN();
  float const finf = std::numeric_limits<float>::infinity();
  float const fnan = std::numeric_limits<float>::quiet_NaN();
  std::vector<std::pair<std::string, Params>> values;
  // Popup values and what the renderer must get: one less, wrapping.
  const std::pair<PF_ParamValue, std::int32_t> popups[] = {
      {0, -1}, {-1, -2}, {999, 998}, {INT_MIN, INT_MAX}, {INT_MAX, INT_MAX - 1}, {5, 4}, {6, 5}};
  for (auto const& popup : popups) {
    for (int const which : {0, 1, 2}) {
      Params p;
      (which == 0 ? p.mode : which == 1 ? p.scaling : p.show) = popup.first;
      (which == 0 ? p.record.mode : which == 1 ? p.record.scaling : p.record.show) = popup.second;
      values.emplace_back(std::string(which == 0   ? "mode "
                                      : which == 1 ? "scaling "
                                                   : "show ") +
                              std::to_string(popup.first),
                          p);
    }
  }
  // Amounts and their nearest floats: beyond float's range an infinity.
  const std::pair<double, float> amounts[] = {
      {inf, finf},    {-inf, -finf},   {nan, fnan},       {-nan, fnan},   {1e300, finf}, {-1e300, -finf},
      {3.5e38, finf}, {100.0, 100.0f}, {-100.0, -100.0f}, {1e-300, 0.0f}, {-0.0, -0.0f}};
  for (auto const& amount : amounts) {
    for (const PF_ParamValue scaling : {1, 3}) {
      Params p;
      p.amount = amount.first;
      p.record.amount = amount.second;
      p.scaling = scaling;
      p.record.scaling = scaling - 1;
      values.emplace_back("amount " + std::to_string(amount.first) + ", scaling " + std::to_string(scaling),
                          p);
    }
  }
  // 16.16 centres and their whole pixels, rounded down.
  const std::pair<PF_Fixed, std::int32_t> extremes[] = {
      {INT_MIN, -32768}, {INT_MAX, 32767}, {-1, -1}, {0, 0}, {65535, 0}, {INT_MIN + 65536, -32767}};
  for (auto const& x : extremes) {
    for (auto const& y : extremes) {
      Params p;
      p.centerX = x.first;
      p.centerY = y.first;
      p.record.centerX = x.second;
      p.record.centerY = y.second;
      p.scaling = 3;
      p.record.scaling = 2;
      values.emplace_back("centre " + std::to_string(x.first) + ", " + std::to_string(y.first), p);
    }
  }
  int cases = 0;
  for (const App app : {App::AfterEffects, App::PremierePro}) {
    Session session(app, ZF_PLUGIN_PATH, kWidth, kHeight);
    World input(floatFormatOf(app), kWidth, kHeight);
    fillPattern(input, 8);
    for (auto const& value : values) {
      for (const RenderPath path : {RenderPath::Plain, RenderPath::Smart}) {
        SCOPED_TRACE(::testing::Message() << value.first << ", " << nameOf(app) << ", " << nameOf(path));
        ++cases;
        applyParams(session.instance, value.second);
        World output(floatFormatOf(app), kWidth, kHeight);
        World expected(floatFormatOf(app), kWidth, kHeight);
        expectFloatFrame(input, value.second, 0.0f, 0.0f, expected);
        EXPECT_EQ(renderFrame(session.instance, path, input, output).err, PF_Err_NONE);
        EXPECT_TRUE(samePixels(output, expected));
        EXPECT_EQ(session.imbalance(), "");
      }
    }
  }
  reportCases("parameter values", cases);
}

}  // namespace
}  // namespace zfrel
