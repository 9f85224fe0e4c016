// The 16-band row split, the thread lifecycle and the failure path.

#include "ReferenceKernel.h"
#include "TestFrames.h"
#include "render/Dispatch.h"
#include "render/Kernel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace {

struct Band {
  int worker, first, end;
};

// State of the recording thread starter; the starter is a plain function
// pointer, so it lives here. Only the dispatching thread touches `bands`.
struct StartLog {
  std::vector<Band> bands;
  int failAt = -1;
  bool failWithBadAlloc = false;
  bool slowWorkers = false;
  std::atomic<int> finished{0};

  void reset() {
    bands.clear();
    failAt = -1;
    failWithBadAlloc = false;
    slowWorkers = false;
    finished = 0;
  }
};
StartLog startLog;

std::thread recordingStart(int worker, RenderData const* rd, int firstRow, int endRow) {
  startLog.bands.push_back({worker, firstRow, endRow});
  if (worker == startLog.failAt) {
    if (startLog.failWithBadAlloc)
      throw std::bad_alloc();
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  bool const slow = startLog.slowWorkers;
  return std::thread([rd, firstRow, endRow, slow] {
    // A slow worker would still be running if the dispatch returned without joining it.
    if (slow)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    process(rd, firstRow, endRow);
    startLog.finished.fetch_add(1);
  });
}

TEST(RowDispatch, BandHeightIsOneMoreThanASixteenthRoundedDown) {
  struct Case {
    int height, band;
  };
  Case const cases[] = {{0, 1}, {1, 1}, {15, 1}, {16, 2}, {31, 2}, {32, 3}, {100, 7}, {112, 8}, {1080, 68}};
  for (Case const& c : cases) {
    SCOPED_TRACE(c.height);
    EXPECT_EQ(bandHeight(c.height), c.band);
  }
}

// Beyond 2^24 rows the height is rounded to a float before the sixteenth
// is taken: 16777231 becomes 16777232, whose sixteenth is 1048577, so the
// band is 1048578, a row more than 16777231 / 16 + 1. Where the float sum
// loses the added row (2^28 + 15 rounds to 2^28, and 2^24 + 1 to 2^24),
// the band is height / 16 + 1. Either way the bands cover every row.
TEST(RowDispatch, HugeHeightsRoundThroughFloatAndStillCoverEveryRow) {
  struct Case {
    int height, band;
  };
  Case const cases[] = {{16777217, 1048577},    {16777231, 1048578},     {268435471, 16777217},
                        {1073741887, 67108868}, {2147483583, 134217724}, {INT_MAX, 134217728}};
  for (Case const& c : cases) {
    SCOPED_TRACE(c.height);
    EXPECT_EQ(bandHeight(c.height), c.band);
    EXPECT_GT(static_cast<long long>(c.band) * 16, c.height);
  }
}

TEST(RowDispatch, HundredRowsSplitIntoBandsOfSeven) {
  startLog.reset();
  Frame in = generatedFloatFrame(2, 100, 1);
  Frame out = outputFrame(2, 100);
  RenderData const rd = renderData(in, out, 20.0f, 1, 50);
  dispatchRows(&rd, recordingStart);
  ASSERT_EQ(startLog.bands.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(startLog.bands[i].worker, i);
    EXPECT_EQ(startLog.bands[i].first, 7 * i);
  }
  for (int i = 0; i < 14; ++i)
    EXPECT_EQ(startLog.bands[i].end, 7 * i + 7);
  EXPECT_EQ(startLog.bands[14].end, 100);  // rows 98 and 99
  EXPECT_GE(startLog.bands[15].first, startLog.bands[15].end);
}

TEST(RowDispatch, EveryRowIsWrittenExactlyOnceWithSixteenThreads) {
  for (int height = 0; height <= 300; ++height) {
    SCOPED_TRACE(height);
    startLog.reset();
    Frame in = generatedFloatFrame(3, height, static_cast<std::uint32_t>(height));
    Frame out = outputFrame(3, height);
    RenderData const rd = renderData(in, out, -35.0f, 1, height / 3, 1, 2);
    dispatchRows(&rd, recordingStart);

    ASSERT_EQ(startLog.bands.size(), 16u);
    ASSERT_EQ(startLog.finished.load(), 16);
    std::vector<int> writes(static_cast<std::size_t>(height), 0);
    for (Band const& b : startLog.bands)
      for (int y = b.first; y < b.end; ++y)
        ++writes[static_cast<std::size_t>(y)];
    for (int y = 0; y < height; ++y)
      ASSERT_EQ(writes[static_cast<std::size_t>(y)], 1) << "row " << y;

    Frame expected = outputFrame(3, height);
    RenderData refRd = rd;
    refRd.output = expected.desc;
    referenceRender(refRd);
    ASSERT_EQ(out.bytes, expected.bytes);
  }
}

TEST(RowDispatch, DefaultThreadsRenderTheWholeFrame) {
  for (int height : {0, 1, 15, 16, 17, 131}) {
    SCOPED_TRACE(height);
    Frame in = generatedByteFrame(41, height, 9);
    Frame out = outputFrame(41, height);
    RenderData const rd = renderData(in, out, 64.0f, 30, 12, 2, 1, 2);
    dispatchRows(&rd);
    Frame expected = outputFrame(41, height);
    RenderData refRd = rd;
    refRd.output = expected.desc;
    referenceRender(refRd);
    EXPECT_EQ(out.bytes, expected.bytes);
  }
}

// The result is not cleared before the kernel runs: a pattern left in it by
// the host's fresh memory must vanish wherever the kernel writes, and
// records the kernel's set-up rejects must leave every byte as it was.
TEST(RowDispatch, TheKernelAloneWritesTheResultAndARejectedSetUpWritesNothing) {
  Frame in = generatedFloatFrame(7, 9, 3);
  Frame out = outputFrame(7, 9);
  RenderData rd = renderData(in, out, 40.0f, 2, 4, 1, 2);
  dispatchRows(&rd);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 7; ++x)
      ASSERT_FALSE(untouched(out, x, y)) << x << ", " << y;

  Frame const before = out;
  rd.output.width = 0;  // rows without pixels: nothing to write
  dispatchRows(&rd);
  rd.output.width = 7;
  process(&rd, 5, 5);  // an empty range
  process(&rd, 6, 2);  // a reversed one
  EXPECT_EQ(out.bytes, before.bytes);
}

TEST(RowDispatch, NegativeHeightWritesNothing) {
  startLog.reset();
  Frame in = generatedFloatFrame(4, 4, 2);
  Frame out = outputFrame(4, 4);
  RenderData rd = renderData(in, out, 20.0f, 1, 1);
  rd.output.height = -37;
  dispatchRows(&rd, recordingStart);
  EXPECT_EQ(startLog.finished.load(), 16);
  for (Band const& b : startLog.bands)
    EXPECT_GE(b.first, b.end);
  EXPECT_EQ(out.bytes, outputFrame(4, 4).bytes);
}

TEST(RowDispatch, FailedThreadStartJoinsStartedWorkersThenReportsSystemError) {
  for (int failAt = 0; failAt < 16; ++failAt) {
    SCOPED_TRACE(failAt);
    startLog.reset();
    startLog.failAt = failAt;
    startLog.slowWorkers = true;
    Frame in = generatedFloatFrame(5, 64, 4);
    Frame out = outputFrame(5, 64);
    RenderData const rd = renderData(in, out, 20.0f, 2, 30);
    try {
      dispatchRows(&rd, recordingStart);
      ADD_FAILURE() << "no exception";
    } catch (std::system_error const& e) {
      EXPECT_EQ(e.code(), std::make_error_code(std::errc::resource_unavailable_try_again));
      EXPECT_NE(std::string(e.what()).find("thread constructor failed"), std::string::npos) << e.what();
      EXPECT_EQ(startLog.finished.load(), failAt);
    }
    EXPECT_EQ(startLog.bands.size(), static_cast<std::size_t>(failAt + 1));
  }
}

TEST(RowDispatch, OtherStartFailuresAlsoJoinStartedWorkers) {
  startLog.reset();
  startLog.failAt = 5;
  startLog.failWithBadAlloc = true;
  startLog.slowWorkers = true;
  Frame in = generatedFloatFrame(5, 64, 4);
  Frame out = outputFrame(5, 64);
  RenderData const rd = renderData(in, out, 20.0f, 2, 30);
  EXPECT_THROW(dispatchRows(&rd, recordingStart), std::bad_alloc);
  EXPECT_EQ(startLog.finished.load(), 5);
}

}  // namespace
