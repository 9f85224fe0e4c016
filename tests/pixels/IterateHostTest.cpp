// MyGenericIterateFunc's host route: rows spread over the stand-in host's
// per-pixel iterator through a one-pixel-wide proxy world.

#include "pixels/Convert.h"
#include "testhost/Host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct Recorder {
  std::mutex mutex;
  std::vector<A_long> rows;
  std::vector<A_long> threadIndices;
  std::vector<A_long> rowCounts;
  void* refcon = nullptr;
  A_long failingRow = -1;
};

Recorder recorder;

PF_Err recordRow(void* refcon, A_long threadIndex, A_long row, A_long rowCount) {
  std::lock_guard<std::mutex> lock(recorder.mutex);
  recorder.refcon = refcon;
  recorder.rows.push_back(row);
  recorder.threadIndices.push_back(threadIndex);
  recorder.rowCounts.push_back(rowCount);
  return row == recorder.failingRow ? PF_Interrupt_CANCEL : PF_Err_NONE;
}

class HostRoute : public testing::Test {
 protected:
  void SetUp() override {
    std::lock_guard<std::mutex> lock(recorder.mutex);
    recorder.rows.clear();
    recorder.threadIndices.clear();
    recorder.rowCounts.clear();
    recorder.refcon = nullptr;
    recorder.failingRow = -1;

    host.setIterateGenericAvailable(false);
    void const* table = nullptr;
    ASSERT_EQ(host.basicSuite()->AcquireSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1, &table),
              kSPNoError);
    cd.inData = &inData;
    cd.iterateSuite = static_cast<PF_Iterate8Suite1 const*>(table);
  }
  void TearDown() override {
    host.basicSuite()->ReleaseSuite(kPFIterate8Suite, kPFIterate8SuiteVersion1);
    EXPECT_EQ(host.accountingReport(), "");
  }

  testhost::Host host{testhost::App::AfterEffects};
  PF_InData inData = host.inData();
  ConvertData cd{};
};

TEST_F(HostRoute, EveryRowRunsOnceWithThreadIndexOneAndTheProxyWorldIsDisposed) {
  host.setIterateWorkers(3);
  EXPECT_EQ(MyGenericIterateFunc(23, &cd, recordRow), PF_Err_NONE);

  std::vector<A_long> rows = recorder.rows;
  std::sort(rows.begin(), rows.end());
  ASSERT_EQ(rows.size(), 23u);
  for (A_long row = 0; row < 23; ++row)
    EXPECT_EQ(rows[static_cast<std::size_t>(row)], row);
  for (std::size_t i = 0; i < recorder.threadIndices.size(); ++i) {
    EXPECT_EQ(recorder.threadIndices[i], 1);
    EXPECT_EQ(recorder.rowCounts[i], 23);
  }
  EXPECT_EQ(recorder.refcon, &cd);
  EXPECT_EQ(host.iterateStats().pixelCalls, 1);
  EXPECT_EQ(host.liveHostWorlds(), 0);
}

TEST_F(HostRoute, ARowsErrorIsReturnedAndTheProxyWorldStillDisposed) {
  recorder.failingRow = 5;
  EXPECT_EQ(MyGenericIterateFunc(12, &cd, recordRow), PF_Interrupt_CANCEL);
  EXPECT_EQ(host.liveHostWorlds(), 0);
}

TEST_F(HostRoute, AFailedProxyWorldReturnsItsErrorWithoutIterating) {
  host.faults().newWorld.failAt(1, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(MyGenericIterateFunc(10, &cd, recordRow), PF_Err_OUT_OF_MEMORY);
  EXPECT_TRUE(recorder.rows.empty());
  EXPECT_EQ(host.iterateStats().pixelCalls, 0);
  EXPECT_EQ(host.liveHostWorlds(), 0);
}

TEST_F(HostRoute, NoRowsAsksForNoProxyWorld) {
  EXPECT_EQ(MyGenericIterateFunc(0, &cd, recordRow), PF_Err_NONE);
  EXPECT_EQ(host.faults().newWorld.calls(), 0);
  EXPECT_EQ(host.iterateStats().pixelCalls, 0);
  EXPECT_TRUE(recorder.rows.empty());
}

}  // namespace
