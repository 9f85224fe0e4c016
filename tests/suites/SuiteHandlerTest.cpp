#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "suites/SuiteHandler.h"
#include "testhost/Host.h"

namespace {

using testhost::Host;

// The three suites the handler knows, with the accessor that serves each.
struct KnownSuite {
  char const* name;
  int32_t version;
  void const* (*access)(AEGP_SuiteHandler&);
};

const KnownSuite kKnown[] = {
    {kPFHandleSuite, kPFHandleSuiteVersion2,
     [](AEGP_SuiteHandler& s) -> void const* { return s.HandleSuite1(); }},
    {kPFIterate8Suite, kPFIterate8SuiteVersion1,
     [](AEGP_SuiteHandler& s) -> void const* { return s.Iterate8Suite1(); }},
    {kPFANSISuite, kPFANSISuiteVersion1,
     [](AEGP_SuiteHandler& s) -> void const* { return s.ANSICallbacksSuite1(); }},
};

int thrownCode(std::function<void()> const& f) {
  try {
    f();
  } catch (int code) {
    return code;
  }
  return 0;
}

TEST(SuiteHandler, NullBasicSuiteThrowsBadCallbackParam) {
  EXPECT_EQ(thrownCode([] { AEGP_SuiteHandler suites(nullptr); }), 516);
}

TEST(SuiteHandler, EachSuiteIsAcquiredOnceHoweverOftenAskedAndReleasedOnce) {
  for (KnownSuite const& known : kKnown) {
    SCOPED_TRACE(known.name);
    Host host;
    {
      AEGP_SuiteHandler suites(host.basicSuite());
      EXPECT_EQ(host.suiteStats(known.name, known.version).acquired, 0) << "nothing is acquired up front";
      void const* first = known.access(suites);
      ASSERT_NE(first, nullptr);
      EXPECT_EQ(known.access(suites), first);
      EXPECT_EQ(known.access(suites), first);
      EXPECT_EQ(host.suiteStats(known.name, known.version).acquired, 1);
      EXPECT_EQ(host.suiteStats(known.name, known.version).released, 0);
    }
    EXPECT_EQ(host.suiteStats(known.name, known.version).released, 1);
    EXPECT_EQ(host.accountingReport(), "");
  }
}

TEST(SuiteHandler, UnusedSuitesAreNeitherAcquiredNorReleased) {
  Host host;
  { AEGP_SuiteHandler suites(host.basicSuite()); }
  for (KnownSuite const& known : kKnown) {
    EXPECT_EQ(host.suiteStats(known.name, known.version).acquired, 0) << known.name;
  }
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(SuiteHandler, MissingSuiteThrowsBadCallbackParamAndAcquiresNothing) {
  for (KnownSuite const& known : kKnown) {
    SCOPED_TRACE(known.name);
    Host host;
    host.setSuiteMissing(known.name, known.version);
    {
      AEGP_SuiteHandler suites(host.basicSuite());
      EXPECT_EQ(thrownCode([&] { known.access(suites); }), 516);
      EXPECT_EQ(thrownCode([&] { known.access(suites); }), 516) << "asked again, still missing";
    }
    EXPECT_EQ(host.suiteStats(known.name, known.version).refused, 2);
    EXPECT_EQ(host.suiteStats(known.name, known.version).acquired, 0);
    EXPECT_EQ(host.accountingReport(), "") << "no release of a suite that was never acquired";
  }
}

TEST(SuiteHandler, SuitesAcquiredBeforeAFailureAreReleasedDuringUnwinding) {
  Host host;
  host.setSuiteMissing(kPFANSISuite, kPFANSISuiteVersion1);
  int const code = thrownCode([&] {
    AEGP_SuiteHandler suites(host.basicSuite());
    suites.HandleSuite1();
    suites.Iterate8Suite1();
    suites.ANSICallbacksSuite1();
    ADD_FAILURE() << "the missing suite must end the command";
  });
  EXPECT_EQ(code, 516);
  EXPECT_EQ(host.suiteStats(kPFHandleSuite, kPFHandleSuiteVersion2).released, 1);
  EXPECT_EQ(host.suiteStats(kPFIterate8Suite, kPFIterate8SuiteVersion1).released, 1);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(SuiteHandler, ReleasesOnAnyException) {
  Host host;
  try {
    AEGP_SuiteHandler suites(host.basicSuite());
    suites.HandleSuite1();
    throw std::runtime_error("render failed");
  } catch (std::runtime_error const&) {
  }
  EXPECT_EQ(host.suiteStats(kPFHandleSuite, kPFHandleSuiteVersion2).released, 1);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(SuiteHandler, LoadSuiteLeavesTheReleaseToTheCaller) {
  Host host;
  {
    AEGP_SuiteHandler suites(host.basicSuite());
    EXPECT_NE(suites.LoadSuite(kPFWorldSuite, kPFWorldSuiteVersion2), nullptr);
    EXPECT_EQ(thrownCode([&] { suites.LoadSuite(kPFWorldSuite, 99); }), 516);
  }
  EXPECT_EQ(host.suiteStats(kPFWorldSuite, kPFWorldSuiteVersion2).released, 0);
  host.basicSuite()->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
  EXPECT_EQ(host.accountingReport(), "");
}

// A host that claims success but hands out no table.
SPErr acquireNothing(char const*, int32_t, void const** suite) {
  *suite = nullptr;
  return kSPNoError;
}
int g_releases = 0;
SPErr countRelease(char const*, int32_t) {
  ++g_releases;
  return kSPNoError;
}

TEST(SuiteHandler, NullTableWithoutErrorCountsAsMissing) {
  SPBasicSuite basic{};
  basic.AcquireSuite = acquireNothing;
  basic.ReleaseSuite = countRelease;
  g_releases = 0;
  {
    AEGP_SuiteHandler suites(&basic);
    EXPECT_EQ(thrownCode([&] { suites.HandleSuite1(); }), 516);
  }
  EXPECT_EQ(g_releases, 0);
}

}  // namespace
