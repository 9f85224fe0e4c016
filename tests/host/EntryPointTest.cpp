// The entry points as a host meets them: identity, command dispatch, global
// setup, About, the exception boundary and the export table.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <new>
#include <set>
#include <stdexcept>
#include <string>

#include "PluginFixture.h"
#include "host/Identity.h"

namespace zftest {
namespace {

using testhost::App;

struct SuiteId {
  char const* name;
  int32_t version;
};
const SuiteId kAllSuites[] = {{kPFHandleSuite, kPFHandleSuiteVersion2},
                              {kPFANSISuite, kPFANSISuiteVersion1},
                              {kPFWorldSuite, kPFWorldSuiteVersion2},
                              {kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1},
                              {kPFIterate8Suite, kPFIterate8SuiteVersion1}};

long suitesAcquired(testhost::Host const& host) {
  long total = 0;
  for (SuiteId const& suite : kAllSuites) {
    total += host.suiteStats(suite.name, suite.version).acquired;
  }
  return total;
}

class EntryPointTest : public PluginTest {};

TEST_F(EntryPointTest, DeclaresItsIdentityOnceWithTheCallbacksResult) {
  struct Case {
    App app;
    A_Err callbackResult;
  };
  const Case cases[] = {{App::AfterEffects, PF_Err_NONE},
                        {App::PremierePro, PF_Err_NONE},
                        {App::AfterEffects, 7777},
                        {App::PremierePro, PF_Err_OUT_OF_MEMORY}};
  for (Case const& c : cases) {
    SCOPED_TRACE(testing::Message() << "Premiere " << (c.app == App::PremierePro) << ", answer "
                                    << c.callbackResult);
    host.setApp(c.app);
    const testhost::PluginDataResult r = effect.declare(c.callbackResult);
    EXPECT_EQ(r.result, c.callbackResult);
    ASSERT_EQ(r.calls.size(), 1u);
    testhost::PluginDataCall const& call = r.calls[0];
    EXPECT_TRUE(call.inPtrMatches);
    EXPECT_FALSE(call.nullString);
    EXPECT_EQ(call.name, "Zarnit Chromatic Aberration");
    EXPECT_EQ(call.matchName, "zarnit_chromaber");
    EXPECT_EQ(call.category, "Zarnit");
    EXPECT_EQ(call.entryPointName, "EffectMain");
    EXPECT_EQ(call.kind, 0x65464B54);  // 'eFKT'
    EXPECT_EQ(call.apiVersionMajor, 13);
    EXPECT_EQ(call.apiVersionMinor, 27);
    EXPECT_EQ(call.reservedInfo, 8);
  }
  EXPECT_EQ(suitesAcquired(host), 0);
}

TEST_F(EntryPointTest, CommandsWithoutHandlerSucceedAndTouchNothing) {
  const PF_Cmd commands[] = {INT_MIN, -1, 2,  3,  7,  9,  10, 12, 13, 14, 15,   16,
                             17,      18, 19, 20, 21, 22, 25, 26, 31, 34, 1000, INT_MAX};
  for (PF_Cmd cmd : commands) {
    SCOPED_TRACE(testing::Message() << "cmd " << cmd);
    PF_InData in = host.inData(32, 16);
    PF_OutData out;
    std::memset(&out, 0x5A, sizeof out);
    testhost::World output(PF_PixelFormat_ARGB32, 4, 4);
    output.fillBytes(0x33);
    const std::vector<unsigned char> inBefore = bytesOf(in);
    const std::vector<unsigned char> outBefore = bytesOf(out);
    const std::vector<unsigned char> pixelsBefore = output.bytes();

    EXPECT_EQ(effect.plugin().effectMain()(cmd, &in, &out, nullptr, output.record(), nullptr), PF_Err_NONE);
    EXPECT_EQ(bytesOf(in), inBefore);
    EXPECT_EQ(bytesOf(out), outBefore);
    EXPECT_EQ(output.bytes(), pixelsBefore);
  }
  EXPECT_EQ(suitesAcquired(host), 0);
  EXPECT_EQ(host.handleStats().allocated, 0);
}

TEST_F(EntryPointTest, GlobalSetupDeclaresVersionFlagsAndPremiereFormats) {
  using Fault = testhost::FaultInjector testhost::Faults::*;
  struct Case {
    char const* name;
    App app;
    bool pixelFormatSuite;
    Fault fault;  // fails its first call
    A_long outFlags;
    A_long outFlags2;
    std::vector<PrPixelFormat> announced;
    long clears;
  };
  // The two announcements' own errors are not the command's: it goes on
  // and succeeds.
  const Case cases[] = {
      {"After Effects", App::AfterEffects, true, nullptr, 0x02008244, 0x08021488, {}, 0},
      {"Premiere Pro",
       App::PremierePro,
       true,
       nullptr,
       0x00008244,
       0x08020488,
       {0x61726762, 0x61724742, 0x4C614742},
       1},
      {"Premiere Pro without Pixel Format Suite",
       App::PremierePro,
       false,
       nullptr,
       0x00008244,
       0x08020488,
       {},
       0},
      {"Premiere Pro, clearing refused",
       App::PremierePro,
       true,
       &testhost::Faults::clearPixelFormats,
       0x00008244,
       0x08020488,
       {0x61726762, 0x61724742, 0x4C614742},
       0},
      {"Premiere Pro, adding the first refused",
       App::PremierePro,
       true,
       &testhost::Faults::addPixelFormat,
       0x00008244,
       0x08020488,
       {0x61724742, 0x4C614742},
       1},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    testhost::Host appHost(c.app);
    testhost::Effect appEffect(appHost, ZF_PLUGIN_PATH);
    appHost.setSuiteMissing(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, !c.pixelFormatSuite);
    if (c.fault != nullptr) {
      (appHost.faults().*c.fault).failAt(1, PF_Err_OUT_OF_MEMORY);
    }

    const testhost::CommandResult r = appEffect.globalSetup();
    EXPECT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(r.out.my_version, 0x00100001u);
    EXPECT_EQ(r.out.out_flags, c.outFlags);
    EXPECT_EQ(r.out.out_flags2, c.outFlags2);
    EXPECT_EQ(r.out.global_data, nullptr);
    // Announced on a cleared list, once.
    EXPECT_EQ(appHost.supportedPixelFormats(), c.announced);
    EXPECT_EQ(appHost.clearSupportedPixelFormatsCalls(), c.clears);
    if (c.fault != nullptr) {
      EXPECT_EQ((appHost.faults().*c.fault).failures(), 1);
    }
    if (c.app == App::AfterEffects) {
      EXPECT_EQ(suitesAcquired(appHost), 0);
    }
    EXPECT_EQ(appHost.accountingReport(), "");
  }
}

TEST_F(EntryPointTest, AboutShowsNameVersionAndCreditsInAfterEffectsOnly) {
  const testhost::CommandResult ae = effect.about();
  EXPECT_EQ(ae.err, PF_Err_NONE);
  EXPECT_STREQ(ae.out.return_msg,
               "Zarnit Chromatic Aberration, v2.0\r"
               "Written by the Zarnit team.\rColour fringes of a lens, after the fact.");
  EXPECT_EQ(host.suiteStats(kPFANSISuite, kPFANSISuiteVersion1).acquired, 1);

  host.setApp(App::PremierePro);
  const testhost::CommandResult pr =
      effect.about([](PF_InData&, PF_OutData& out) { std::strcpy(out.return_msg, "left alone"); });
  EXPECT_EQ(pr.err, PF_Err_NONE);
  EXPECT_STREQ(pr.out.return_msg, "left alone");
  EXPECT_EQ(host.suiteStats(kPFANSISuite, kPFANSISuiteVersion1).acquired, 1);
}

// Host callbacks that fail by throwing: the plug-in must turn whatever
// reaches its entry point into an error code.
PF_Err addParamThrowingRuntimeError(PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) {
  throw std::runtime_error("host failure");
}
PF_Err addParamThrowingBadAlloc(PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) {
  throw std::bad_alloc();
}
PF_Err addParamThrowingInt(PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) {
  throw 1234;
}
PF_Err addParamThrowingCallbackError(PF_ProgPtr, PF_ParamIndex, PF_ParamDefPtr) {
  throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM);
}

TEST_F(EntryPointTest, ExceptionsBecomeErrorCodesAtTheEntryPoint) {
  struct Case {
    char const* name;
    decltype(PF_InteractCallbacks::add_param) addParam;
    PF_Err expected;
  };
  const Case cases[] = {
      {"runtime_error", addParamThrowingRuntimeError, PF_Err_INTERNAL_STRUCT_DAMAGED},
      {"bad_alloc", addParamThrowingBadAlloc, PF_Err_INTERNAL_STRUCT_DAMAGED},
      {"int 1234", addParamThrowingInt, 1234},
      {"int 516", addParamThrowingCallbackError, PF_Err_BAD_CALLBACK_PARAM},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    const testhost::CommandResult r =
        effect.paramsSetup([&](PF_InData& in, PF_OutData&) { in.inter.add_param = c.addParam; });
    EXPECT_EQ(r.err, c.expected);
  }
}

TEST_F(EntryPointTest, ExportsExactlyTheTwoEntryPoints) {
#if !defined(__ELF__)
  GTEST_SKIP() << "the export table is read from the ELF build; other builds check theirs in tests/platform";
#else
  const std::string command = std::string(ZF_NM) + " -D --defined-only \"" + ZF_PLUGIN_PATH + "\"";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr) << command;
  std::set<std::string> symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char address[128], type[8], name[384];
    if (std::sscanf(line, "%127s %7s %383s", address, type, name) == 3) {
      symbols.insert(name);
    }
  }
  ASSERT_EQ(pclose(pipe), 0) << command;
  EXPECT_EQ(symbols, (std::set<std::string>{"EffectMain", "PluginDataEntryFunction"}));
#endif
}

}  // namespace
}  // namespace zftest
