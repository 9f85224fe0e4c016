#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "testhost/Host.h"

namespace {

using testhost::Host;

// What the row callback saw: how often each index ran, and which OS thread
// ran it under which thread index.
struct Visits {
  std::vector<std::atomic<int>> counts;
  std::mutex mutex;
  std::map<A_long, std::set<std::thread::id>> threadsByIndex;
  std::set<std::thread::id> threads;
  A_long failAt = -1;
  PF_Err failCode = PF_Err_NONE;

  explicit Visits(A_long n) : counts(static_cast<size_t>(n)) {}
};

PF_Err visitRow(void* refcon, A_long threadIndex, A_long i, A_long) {
  auto* v = static_cast<Visits*>(refcon);
  ++v->counts[static_cast<size_t>(i)];
  {
    std::lock_guard<std::mutex> lock(v->mutex);
    v->threadsByIndex[threadIndex].insert(std::this_thread::get_id());
    v->threads.insert(std::this_thread::get_id());
  }
  return i == v->failAt ? v->failCode : PF_Err_NONE;
}

TEST(IterateGeneric, RunsEveryIndexOnceWithThreadIndexZeroOnOneWorker) {
  struct Case {
    int workers;
    A_long iterations;
    size_t expectedThreads;
  };
  const Case cases[] = {{1, 10, 1}, {4, 10, 4}, {4, 3, 3}, {3, 1000, 3}, {4, 1, 1}};
  for (Case const& c : cases) {
    SCOPED_TRACE("workers " + std::to_string(c.workers) + ", iterations " + std::to_string(c.iterations));
    Host host;
    host.setIterateWorkers(c.workers);
    Visits visits(c.iterations);
    ASSERT_EQ(host.utils()->iterate_generic(c.iterations, &visits, visitRow), PF_Err_NONE);
    for (A_long i = 0; i < c.iterations; ++i) {
      ASSERT_EQ(visits.counts[static_cast<size_t>(i)].load(), 1) << "index " << i;
    }
    EXPECT_EQ(visits.threads.size(), c.expectedThreads);
    ASSERT_EQ(visits.threadsByIndex.count(0), 1u) << "index 0 runs under thread index 0";
    EXPECT_EQ(visits.threadsByIndex[0].size(), 1u) << "thread index 0 is one worker";
    std::set<std::thread::id> distinct;
    for (auto const& entry : visits.threadsByIndex) {
      EXPECT_EQ(entry.second.size(), 1u) << "thread index " << entry.first;
      distinct.insert(entry.second.begin(), entry.second.end());
    }
    EXPECT_EQ(distinct.size(), visits.threadsByIndex.size()) << "one thread index per worker";
    EXPECT_EQ(visits.threads.count(std::this_thread::get_id()), 0u) << "workers, not the caller";
  }
}

TEST(IterateGeneric, ZeroIterationsCallNothing) {
  Host host;
  Visits visits(0);
  EXPECT_EQ(host.utils()->iterate_generic(0, &visits, visitRow), PF_Err_NONE);
  EXPECT_TRUE(visits.threads.empty());
}

TEST(IterateGeneric, ReturnsTheFirstErrorAndStartsNoFurtherIndex) {
  Host host;
  host.setIterateWorkers(1);
  Visits visits(100);
  visits.failAt = 5;
  visits.failCode = PF_Interrupt_CANCEL;
  EXPECT_EQ(host.utils()->iterate_generic(100, &visits, visitRow), PF_Interrupt_CANCEL);
  for (A_long i = 0; i < 100; ++i) {
    EXPECT_EQ(visits.counts[static_cast<size_t>(i)].load(), i <= 5 ? 1 : 0) << "index " << i;
  }
}

TEST(IterateGeneric, ReportsAnErrorSeenOnAnyWorker) {
  Host host;
  Visits visits(400);
  visits.failAt = 399;
  visits.failCode = PF_Err_OUT_OF_MEMORY;
  EXPECT_EQ(host.utils()->iterate_generic(400, &visits, visitRow), PF_Err_OUT_OF_MEMORY);
}

TEST(IterateGeneric, SuiteTableCanLackIterateGenericOrBeMissing) {
  Host host;
  void const* table = nullptr;
  ASSERT_EQ(host.basicSuite()->AcquireSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1, &table), kSPNoError);
  EXPECT_NE(static_cast<PF_Iterate8Suite1 const*>(table)->iterate_generic, nullptr);
  host.basicSuite()->ReleaseSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1);

  host.setIterateGenericAvailable(false);
  ASSERT_EQ(host.basicSuite()->AcquireSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1, &table), kSPNoError);
  EXPECT_EQ(static_cast<PF_Iterate8Suite1 const*>(table)->iterate_generic, nullptr);
  EXPECT_NE(static_cast<PF_Iterate8Suite1 const*>(table)->iterate, nullptr);
  host.basicSuite()->ReleaseSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1);

  host.setSuiteMissing(kPFIterate8Suite, kPFIterate8SuiteVersion1);
  EXPECT_NE(host.basicSuite()->AcquireSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1, &table), kSPNoError);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(host.accountingReport(), "");
}

// Pixel iteration: every pixel of the area once, with pointers into the
// right rows of both worlds.
struct PixelVisits {
  PF_EffectWorld* src;
  PF_EffectWorld* dst;
  std::mutex mutex;
  std::map<std::pair<A_long, A_long>, int> seen;
  bool pointersRight = true;
};

PF_Err visitPixel(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out) {
  auto* v = static_cast<PixelVisits*>(refcon);
  auto* srcRow = reinterpret_cast<char*>(v->src->data) + y * v->src->rowbytes;
  auto* dstRow = reinterpret_cast<char*>(v->dst->data) + y * v->dst->rowbytes;
  std::lock_guard<std::mutex> lock(v->mutex);
  ++v->seen[{x, y}];
  if (reinterpret_cast<char*>(in) != srcRow + 4 * x || reinterpret_cast<char*>(out) != dstRow + 4 * x) {
    v->pointersRight = false;
  }
  return PF_Err_NONE;
}

TEST(Iterate, VisitsEveryPixelOfTheAreaOnce) {
  Host host;
  testhost::World src(PF_PixelFormat_ARGB32, 7, 5, 12);
  testhost::World dst(PF_PixelFormat_ARGB32, 7, 5);
  const PF_Rect area{2, 1, 6, 4};
  for (PF_Rect const* a : {static_cast<PF_Rect const*>(nullptr), &area}) {
    SCOPED_TRACE(a == nullptr ? "whole world" : "area");
    PixelVisits visits{src.record(), dst.record(), {}, {}, true};
    PF_InData in = host.inData(7, 5);
    ASSERT_EQ(host.utils()->iterate(&in, 0, 5, src.record(), a, &visits, visitPixel, dst.record()),
              PF_Err_NONE);
    const PF_Rect expected = a == nullptr ? PF_Rect{0, 0, 7, 5} : area;
    EXPECT_EQ(visits.seen.size(),
              static_cast<size_t>((expected.right - expected.left) * (expected.bottom - expected.top)));
    for (auto const& entry : visits.seen) {
      EXPECT_EQ(entry.second, 1);
      EXPECT_GE(entry.first.first, expected.left);
      EXPECT_LT(entry.first.first, expected.right);
      EXPECT_GE(entry.first.second, expected.top);
      EXPECT_LT(entry.first.second, expected.bottom);
    }
    EXPECT_TRUE(visits.pointersRight);
  }
}

TEST(Iterate, RefusesWorldsDeeperThanEightBits) {
  Host host;
  testhost::World deep(PF_PixelFormat_ARGB64, 2, 2);
  PixelVisits visits{deep.record(), deep.record(), {}, {}, true};
  PF_InData in = host.inData(2, 2);
  EXPECT_EQ(host.utils()->iterate(&in, 0, 2, deep.record(), nullptr, &visits, visitPixel, deep.record()),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(visits.seen.empty());
}

}  // namespace
