#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "testhost/Host.h"

namespace {

using testhost::FaultInjector;
using testhost::Host;

TEST(FaultInjector, FailsAtTheNthCallCountedFromArming) {
  struct Case {
    long n;
    bool andAfter;
    std::vector<PF_Err> expected;
  };
  const Case cases[] = {
      {1, false, {7, 0, 0, 0}},
      {3, false, {0, 0, 7, 0, 0}},
      {3, true, {0, 0, 7, 7, 7}},
      {0, false, {0, 0, 0}},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE("n " + std::to_string(c.n) + (c.andAfter ? " and after" : ""));
    FaultInjector faults;
    faults.next();  // calls before arming do not count
    faults.failAt(c.n, 7, c.andAfter);
    std::vector<PF_Err> answers;
    for (size_t i = 0; i < c.expected.size(); ++i) {
      answers.push_back(faults.next());
    }
    EXPECT_EQ(answers, c.expected);
    EXPECT_EQ(faults.calls(), static_cast<long>(c.expected.size()));
  }
}

TEST(FaultInjector, AbortAnswersExactlyOnceAcrossThreads) {
  Host host;
  host.faults().abort.failAt(250, PF_Interrupt_CANCEL);
  PF_InData in = host.inData();
  std::vector<std::thread> threads;
  std::vector<long> cancels(8, 0);
  for (size_t t = 0; t < cancels.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 100; ++i) {
        if (in.inter.abort(in.effect_ref) == PF_Interrupt_CANCEL) {
          ++cancels[t];
        }
      }
    });
  }
  for (std::thread& t : threads) {
    t.join();
  }
  long total = 0;
  for (long c : cancels) {
    total += c;
  }
  EXPECT_EQ(total, 1);
  EXPECT_EQ(host.faults().abort.calls(), 800);
}

TEST(Handles, BalancedUseLeavesNothingToReport) {
  Host host;
  _PF_UtilCallbacks* utils = host.utils();
  PF_Handle h = utils->host_new_handle(16);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(utils->host_get_handle_size(h), 16u);
  void* memory = utils->host_lock_handle(h);
  EXPECT_EQ(memory, *h) << "the handle is the address of the master pointer";
  std::memset(memory, 0, 16);
  utils->host_unlock_handle(h);
  utils->host_dispose_handle(h);
  EXPECT_EQ(host.accountingReport(), "");
  const testhost::HandleStats stats = host.handleStats();
  EXPECT_EQ(stats.allocated, 1);
  EXPECT_EQ(stats.disposed, 1);
  EXPECT_EQ(stats.live, 0);
}

TEST(Handles, ImbalancesAreReported) {
  struct Case {
    char const* what;
    void (*misuse)(_PF_UtilCallbacks*, PF_Handle);
    char const* reportLine;
  };
  const Case cases[] = {
      {"leak", [](_PF_UtilCallbacks*, PF_Handle) {}, "1 handle not disposed of, sizes 8\n"},
      {"left locked",
       [](_PF_UtilCallbacks* u, PF_Handle h) {
         u->host_lock_handle(h);
         u->host_dispose_handle(h);
       },
       "1 handle disposed of while locked\n"},
      {"over-unlock",
       [](_PF_UtilCallbacks* u, PF_Handle h) {
         u->host_unlock_handle(h);
         u->host_dispose_handle(h);
       },
       "1 unlock of a handle that was not locked\n"},
      {"null handle",
       [](_PF_UtilCallbacks* u, PF_Handle h) {
         u->host_unlock_handle(nullptr);
         u->host_dispose_handle(h);
       },
       "1 handle call with a null, unknown or disposed handle\n"},
      {"double dispose",
       [](_PF_UtilCallbacks* u, PF_Handle h) {
         u->host_dispose_handle(h);
         u->host_dispose_handle(h);
       },
       "1 handle call with a null, unknown or disposed handle\n"},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.what);
    Host host;
    PF_Handle h = host.utils()->host_new_handle(8);
    c.misuse(host.utils(), h);
    EXPECT_EQ(host.accountingReport(), c.reportLine);
  }
}

TEST(Handles, LockedHandleIsReported) {
  Host host;
  PF_Handle h = host.newHandle(3);
  host.utils()->host_lock_handle(h);
  host.utils()->host_lock_handle(h);
  EXPECT_EQ(host.handleLockCount(h), 2);
  EXPECT_EQ(host.accountingReport(),
            "handle of 3 bytes left locked (2 locks)\n1 handle not disposed of, sizes 3\n");
}

TEST(Handles, InjectedFailuresHitTheNthCall) {
  Host host;
  host.faults().newHandle.failAt(2);
  PF_Handle first = host.utils()->host_new_handle(4);
  PF_Handle second = host.utils()->host_new_handle(4);
  PF_Handle third = host.utils()->host_new_handle(4);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);

  host.faults().lockHandle.failAt(2);
  EXPECT_NE(host.utils()->host_lock_handle(first), nullptr);
  EXPECT_EQ(host.utils()->host_lock_handle(third), nullptr);
  EXPECT_EQ(host.handleLockCount(third), 0) << "a failed lock leaves nothing to unlock";
  host.utils()->host_unlock_handle(first);
  host.utils()->host_dispose_handle(first);
  host.utils()->host_dispose_handle(third);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(Handles, ResizeKeepsTheContentsAndMovesTheMemory) {
  Host host;
  PF_Handle h = host.utils()->host_new_handle(8);
  std::memcpy(*h, "abcdefgh", 8);
  void* before = *h;
  PF_Handle same = h;
  ASSERT_EQ(host.utils()->host_resize_handle(4, &same), PF_Err_NONE);
  EXPECT_EQ(same, h);
  EXPECT_EQ(host.utils()->host_get_handle_size(h), 4u);
  EXPECT_EQ(std::memcmp(*h, "abcd", 4), 0);
  EXPECT_NE(*h, before);
  ASSERT_EQ(host.utils()->host_resize_handle(6, &same), PF_Err_NONE);
  EXPECT_EQ(std::memcmp(*h, "abcd", 4), 0);

  host.utils()->host_lock_handle(h);
  EXPECT_NE(host.utils()->host_resize_handle(2, &same), PF_Err_NONE) << "locked memory must not move";
  EXPECT_EQ(host.utils()->host_get_handle_size(h), 6u);
  host.utils()->host_unlock_handle(h);
  host.utils()->host_dispose_handle(h);
  EXPECT_EQ(host.accountingReport(), "1 resize of a locked handle refused\n");
}

TEST(Handles, HandleSuiteSharesTheUtilityBooks) {
  Host host;
  void const* table = nullptr;
  ASSERT_EQ(host.basicSuite()->AcquireSuite(kPFHandleSuite, kPFHandleSuiteVersion2, &table), kSPNoError);
  auto const* suite = static_cast<PF_HandleSuite1 const*>(table);
  PF_Handle h = suite->host_new_handle(12);
  EXPECT_TRUE(host.isLiveHandle(h));
  host.utils()->host_dispose_handle(h);
  EXPECT_FALSE(host.isLiveHandle(h));
  PF_Handle late = host.utils()->host_new_handle(4);
  host.basicSuite()->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion2);
  // The suite's table used after its release still works, but is reported.
  suite->host_dispose_handle(late);
  EXPECT_FALSE(host.isLiveHandle(late));
  EXPECT_EQ(host.accountingReport(), "1 Handle Suite call while the suite was not acquired\n");
}

TEST(Handles, RequestsAboveTheSizeLimitAreRecordedAndRefused) {
  Host host;
  host.setHandleSizeLimit(1000);
  EXPECT_EQ(host.utils()->host_new_handle(A_HandleSize{1} << 32), nullptr);
  PF_Handle h = host.utils()->host_new_handle(1000);
  EXPECT_NE(h, nullptr);
  const testhost::HandleStats stats = host.handleStats();
  EXPECT_EQ(stats.largestRequest, A_HandleSize{1} << 32);
  EXPECT_EQ(stats.refusedForSize, 1);
  EXPECT_EQ(stats.allocated, 1);
  host.utils()->host_dispose_handle(h);
  EXPECT_EQ(host.accountingReport(), "");
}

TEST(BasicSuite, UnbalancedSuitesAreReported) {
  Host host;
  void const* table = nullptr;
  host.basicSuite()->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &table);
  host.basicSuite()->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &table);
  host.basicSuite()->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
  host.basicSuite()->ReleaseSuite(kPFANSISuite, kPFANSISuiteVersion1);
  EXPECT_EQ(host.accountingReport(),
            "suite \"PF World Suite\" version 2 acquired 2, released 1\n"
            "1 ReleaseSuite call without an acquisition\n");
}

TEST(BasicSuite, EachHostKeepsItsOwnBooks) {
  Host afterEffects(testhost::App::AfterEffects);
  Host premiere(testhost::App::PremierePro);
  PF_Handle h = premiere.utils()->host_new_handle(4);
  EXPECT_TRUE(premiere.isLiveHandle(h));
  EXPECT_FALSE(afterEffects.isLiveHandle(h));
  afterEffects.utils()->host_dispose_handle(h);  // the wrong host: refused, counted there
  EXPECT_TRUE(premiere.isLiveHandle(h));
  premiere.utils()->host_dispose_handle(h);
  EXPECT_EQ(premiere.accountingReport(), "");
  EXPECT_EQ(afterEffects.accountingReport(), "1 handle call with a null, unknown or disposed handle\n");
  EXPECT_EQ(afterEffects.inData().appl_id, 0x46585443);
  EXPECT_EQ(premiere.inData().appl_id, 0x50724D72);
}

TEST(Ansi, SprintfStaysWithinTheHostsMessageBuffer) {
  Host host;
  char buffer[300];
  std::memset(buffer, 'x', sizeof buffer);
  const std::string longText(280, 'a');
  host.utils()->ansi.sprintf(buffer, "%s", longText.c_str());
  EXPECT_EQ(std::strlen(buffer), 255u);
  EXPECT_EQ(buffer[256], 'x');
  host.utils()->ansi.sprintf(buffer, "%s, v%d.%d", "Name", 2, 0);
  EXPECT_STREQ(buffer, "Name, v2.0");
  char name[32];
  host.utils()->ansi.strcpy(name, "Amount");
  EXPECT_STREQ(name, "Amount");
}

TEST(InData, CarriesTheHostsTablesAndSettings) {
  Host host;
  host.settings().current_time = 42;
  host.settings().downsample_x = PF_RationalScale{1, 2};
  PF_InData in = host.inData(64, 48);
  EXPECT_EQ(in.utils, host.utils());
  EXPECT_EQ(in.pica_basicP, host.basicSuite());
  EXPECT_EQ(in.width, 64);
  EXPECT_EQ(in.height, 48);
  EXPECT_EQ(in.current_time, 42);
  EXPECT_EQ(in.downsample_x.den, 2u);
  EXPECT_NE(in.effect_ref, nullptr);
  host.setPassBasicSuite(false);
  EXPECT_EQ(host.inData().pica_basicP, nullptr);
}

}  // namespace
