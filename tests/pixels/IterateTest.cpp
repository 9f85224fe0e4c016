// The fallback row iterator's sequential route and the per-pixel callback of
// its host route, called directly with a recording row callback.

#include "pixels/Convert.h"

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace {

struct Call {
  void* refcon;
  A_long threadIndex;
  A_long row;
  A_long rowCount;
};

std::mutex callsMutex;
std::vector<Call> calls;
A_long failingRow = -1;
PF_Err failure = PF_Err_NONE;

PF_Err recordRow(void* refcon, A_long threadIndex, A_long row, A_long rowCount) {
  std::lock_guard<std::mutex> lock(callsMutex);
  calls.push_back({refcon, threadIndex, row, rowCount});
  return row == failingRow ? failure : PF_Err_NONE;
}

class SequentialRoute : public testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    failingRow = -1;
    failure = PF_Err_NONE;
  }

  ConvertData cd{};  // no iterateSuite: the sequential route
};

TEST_F(SequentialRoute, NoRowsCallsNothing) {
  for (A_long rowCount : {0, -1, -100}) {
    EXPECT_EQ(MyGenericIterateFunc(rowCount, &cd, recordRow), PF_Err_NONE);
    EXPECT_TRUE(calls.empty()) << "rowCount " << rowCount;
  }
}

TEST_F(SequentialRoute, RunsEveryRowInOrderOnThreadZero) {
  EXPECT_EQ(MyGenericIterateFunc(5, &cd, recordRow), PF_Err_NONE);
  ASSERT_EQ(calls.size(), 5u);
  for (A_long row = 0; row < 5; ++row) {
    EXPECT_EQ(calls[row].refcon, &cd);
    EXPECT_EQ(calls[row].threadIndex, 0);
    EXPECT_EQ(calls[row].row, row);
    EXPECT_EQ(calls[row].rowCount, 5);
  }
}

TEST_F(SequentialRoute, StopsAfterTheFirstErrorAndReturnsIt) {
  failingRow = 3;
  failure = PF_Interrupt_CANCEL;
  EXPECT_EQ(MyGenericIterateFunc(8, &cd, recordRow), PF_Interrupt_CANCEL);
  ASSERT_EQ(calls.size(), 4u) << "rows 0 to 3 run, row 4 not";
  for (A_long row = 0; row < 4; ++row)
    EXPECT_EQ(calls[row].row, row);
}

TEST_F(SequentialRoute, AnErrorOnTheLastRowIsReturned) {
  failingRow = 2;
  failure = 77;
  EXPECT_EQ(MyGenericIterateFunc(3, &cd, recordRow), 77);
  EXPECT_EQ(calls.size(), 3u);
}

TEST_F(SequentialRoute, FakeIteratorRunsThePixelsRowWithThreadIndexOne) {
  PF_InData inData{};
  int refconTarget = 0;
  FakeIterateData fake{&inData, recordRow, &refconTarget, 9};
  failingRow = 6;
  failure = 42;
  PF_Pixel in{};
  PF_Pixel out{};

  EXPECT_EQ(MyFakeIterator(&fake, 0, 4, &in, &out), PF_Err_NONE);
  EXPECT_EQ(MyFakeIterator(&fake, 0, 6, &in, &out), 42);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].refcon, &refconTarget);
  EXPECT_EQ(calls[0].threadIndex, 1);
  EXPECT_EQ(calls[0].row, 4);
  EXPECT_EQ(calls[0].rowCount, 9);
  EXPECT_EQ(calls[1].row, 6);
}

TEST_F(SequentialRoute, HostRouteWithoutTheCallbacksItNeedsIsRefused) {
  PF_InData inData{};
  _PF_UtilCallbacks utils{};
  inData.utils = &utils;
  PF_Iterate8Suite1 suite{};  // no iterate
  cd.inData = &inData;
  cd.iterateSuite = &suite;
  EXPECT_EQ(MyGenericIterateFunc(4, &cd, recordRow), PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_TRUE(calls.empty());
}

}  // namespace
