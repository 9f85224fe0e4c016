// The 16-band row split, the thread lifecycle and the failure path.

#include "ReferenceKernel.h"
#include "TestFrames.h"
#include "render/Dispatch.h"
#include "render/Kernel.h"
#include "WorkerStarts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <new>
#include <string>
#include <system_error>
#include <vector>

namespace {

using testWorkers::Band;

// Watches the starts of one test; unwatched again when it ends.
struct WatchedStarts {
  explicit WatchedStarts(testWorkers::Watch w = {}) { testWorkers::watch(w); }
  ~WatchedStarts() { testWorkers::stopWatching(); }
  WatchedStarts(WatchedStarts const&) = delete;
  WatchedStarts& operator=(WatchedStarts const&) = delete;
};

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
  WatchedStarts const watched;
  Frame in = generatedFloatFrame(2, 100, 1);
  Frame out = outputFrame(2, 100);
  RenderData const rd = renderData(in, out, 20.0f, 1, 50);
  dispatchRows(&rd);
  std::vector<Band> const bands = testWorkers::started();
  ASSERT_EQ(bands.size(), 16u);
  for (int i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(bands[i].band, i);
    EXPECT_EQ(bands[i].first, 7 * i);
  }
  for (int i = 0; i < 14; ++i)
    EXPECT_EQ(bands[i].end, 7 * i + 7);
  EXPECT_EQ(bands[14].end, 100);  // rows 98 and 99
  EXPECT_GE(bands[15].first, bands[15].end);
}

TEST(RowDispatch, EveryRowIsWrittenExactlyOnceWithSixteenThreads) {
  for (int height = 0; height <= 300; ++height) {
    SCOPED_TRACE(height);
    WatchedStarts const watched;
    Frame in = generatedFloatFrame(3, height, static_cast<std::uint32_t>(height));
    Frame out = outputFrame(3, height);
    RenderData const rd = renderData(in, out, -35.0f, 1, height / 3, 1, 2);
    dispatchRows(&rd);

    std::vector<Band> const bands = testWorkers::started();
    ASSERT_EQ(bands.size(), 16u);
    ASSERT_EQ(testWorkers::finished(), 16);
    std::vector<int> writes(static_cast<std::size_t>(height), 0);
    for (Band const& b : bands)
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
  WatchedStarts const watched;
  Frame in = generatedFloatFrame(4, 4, 2);
  Frame out = outputFrame(4, 4);
  RenderData rd = renderData(in, out, 20.0f, 1, 1);
  rd.output.height = -37;
  dispatchRows(&rd);
  EXPECT_EQ(testWorkers::finished(), 16);
  for (Band const& b : testWorkers::started())
    EXPECT_GE(b.first, b.end);
  EXPECT_EQ(out.bytes, outputFrame(4, 4).bytes);
}

TEST(RowDispatch, FailedThreadStartJoinsStartedWorkersThenReportsSystemError) {
  for (int failAt = 0; failAt < 16; ++failAt) {
    SCOPED_TRACE(failAt);
    WatchedStarts const watched({failAt, false, true});
    Frame in = generatedFloatFrame(5, 64, 4);
    Frame out = outputFrame(5, 64);
    RenderData const rd = renderData(in, out, 20.0f, 2, 30);
    try {
      dispatchRows(&rd);
      ADD_FAILURE() << "no exception";
    } catch (std::system_error const& e) {
      EXPECT_EQ(e.code(), std::make_error_code(std::errc::resource_unavailable_try_again));
      EXPECT_NE(std::string(e.what()).find("thread constructor failed"), std::string::npos) << e.what();
      EXPECT_EQ(testWorkers::finished(), failAt);
    }
    EXPECT_EQ(testWorkers::started().size(), static_cast<std::size_t>(failAt + 1));
  }
}

TEST(RowDispatch, OtherStartFailuresAlsoJoinStartedWorkers) {
  WatchedStarts const watched({5, true, true});
  Frame in = generatedFloatFrame(5, 64, 4);
  Frame out = outputFrame(5, 64);
  RenderData const rd = renderData(in, out, 20.0f, 2, 30);
  EXPECT_THROW(dispatchRows(&rd), std::bad_alloc);
  EXPECT_EQ(testWorkers::finished(), 5);
}

}  // namespace
