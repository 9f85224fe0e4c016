// Sequence data: one 4-byte value per effect instance, made, kept, trimmed
// and disposed of through the host's handles.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "PluginFixture.h"

namespace zftest {
namespace {

std::int32_t valueIn(PF_Handle handle) {
  std::int32_t value;
  std::memcpy(&value, *handle, sizeof value);
  return value;
}

// A handle of `size` bytes starting with `value` (as much of it as fits).
PF_Handle handleHolding(testhost::Host& host, A_HandleSize size, std::int32_t value) {
  PF_Handle handle = host.newHandle(size);
  std::memcpy(*handle, &value, size < sizeof value ? static_cast<size_t>(size) : sizeof value);
  return handle;
}

class SequenceDataTest : public PluginTest {
 protected:
  void SetUp() override { setUpEffect(); }
};

TEST_F(SequenceDataTest, SetupAndResetupOfAFreshInstanceMakeAZeroedFourByteHandle) {
  struct Case {
    char const* name;
    bool resetup;
  };
  for (Case const& c : {Case{"setup", false}, Case{"resetup", true}}) {
    SCOPED_TRACE(c.name);
    testhost::Instance instance(effect, 16, 16);
    const testhost::CommandResult r = c.resetup ? instance.sequenceResetup() : instance.sequenceSetup();
    EXPECT_EQ(r.err, PF_Err_NONE);
    ASSERT_NE(r.out.sequence_data, nullptr);
    EXPECT_EQ(host.handleSize(r.out.sequence_data), 4u);
    // New host memory holds a garbage pattern, so the 0 was written.
    EXPECT_EQ(valueIn(r.out.sequence_data), 0);
    EXPECT_EQ(r.out.flat_sdata_size, 4);
    EXPECT_EQ(r.out.out_flags & PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING, 0);
    EXPECT_EQ(instance.sequenceSetdown().err, PF_Err_NONE);
  }
}

TEST_F(SequenceDataTest, ExistingDataIsKeptAndTrimmedToFourBytesOnSetupOnly) {
  struct Case {
    char const* name;
    A_HandleSize size;
    bool resetup;
    bool resizeRefused;
    A_HandleSize sizeAfter;
  };
  const Case cases[] = {
      {"setup, 4 bytes", 4, false, false, 4},  {"setup, 8 bytes", 8, false, false, 4},
      {"setup, 2 bytes", 2, false, false, 4},  {"setup, 8 bytes, resize refused", 8, false, true, 8},
      {"resetup, 4 bytes", 4, true, false, 4}, {"resetup, 8 bytes", 8, true, false, 8},
  };
  for (Case const& c : cases) {
    SCOPED_TRACE(c.name);
    testhost::Instance instance(effect, 16, 16);
    const PF_Handle existing = handleHolding(host, c.size, c.size >= 4 ? 1234 : 0);
    instance.setSequenceData(existing);
    long const allocatedBefore = host.handleStats().allocated;
    PF_OutData outBefore{};
    // Resetup of existing data calls nothing of the host: it needs no callbacks.
    const testhost::CommandHook capture = [&](PF_InData& in, PF_OutData& out) {
      outBefore = out;
      if (c.resetup) {
        in.utils = nullptr;
      }
    };
    if (c.resizeRefused) {
      host.faults().resizeHandle.failAt(1, PF_Err_OUT_OF_MEMORY);
    }

    const testhost::CommandResult r =
        c.resetup ? instance.sequenceResetup(capture) : instance.sequenceSetup(capture);
    EXPECT_EQ(host.faults().resizeHandle.failures(), c.resizeRefused ? 1 : 0);
    host.faults().resizeHandle.reset();
    EXPECT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(r.out.sequence_data, existing);
    EXPECT_EQ(r.out.flat_sdata_size, outBefore.flat_sdata_size);
    EXPECT_EQ(host.handleStats().allocated, allocatedBefore);
    ASSERT_TRUE(host.isLiveHandle(existing));
    EXPECT_EQ(host.handleSize(existing), c.sizeAfter);
    if (c.size >= 4) {
      EXPECT_EQ(valueIn(existing), 1234);
    }
    EXPECT_EQ(instance.sequenceSetdown().err, PF_Err_NONE);
  }
}

TEST_F(SequenceDataTest, SetdownDisposesOfTheHandleAndClearsBothRecords) {
  testhost::Instance instance(effect, 16, 16);
  ASSERT_EQ(instance.sequenceSetup().err, PF_Err_NONE);
  const PF_Handle handle = instance.sequenceData();
  ASSERT_TRUE(host.isLiveHandle(handle));

  const testhost::CommandResult r = instance.sequenceSetdown();
  EXPECT_EQ(r.err, PF_Err_NONE);
  EXPECT_FALSE(host.isLiveHandle(handle));
  EXPECT_EQ(r.in.sequence_data, nullptr);
  EXPECT_EQ(r.out.sequence_data, nullptr);

  // Without data there is nothing to do, and no callback is needed for it.
  const testhost::CommandResult again =
      instance.sequenceSetdown([](PF_InData& in, PF_OutData&) { in.utils = nullptr; });
  EXPECT_EQ(again.err, PF_Err_NONE);
  EXPECT_EQ(host.handleStats().disposed, 1);
}

TEST_F(SequenceDataTest, FailedAllocationReportsInternalError) {
  for (bool const resetup : {false, true}) {
    SCOPED_TRACE(resetup ? "resetup" : "setup");
    testhost::Instance instance(effect, 16, 16);
    host.faults().newHandle.failAt(1);
    const testhost::CommandHook preset = [](PF_InData&, PF_OutData& out) { out.flat_sdata_size = 99; };
    const testhost::CommandResult r =
        resetup ? instance.sequenceResetup(preset) : instance.sequenceSetup(preset);
    host.faults().newHandle.reset();

    EXPECT_EQ(r.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_STREQ(r.out.return_msg, "Internal Error");
    EXPECT_NE(r.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    EXPECT_EQ(r.out.sequence_data, nullptr);
    EXPECT_EQ(r.out.flat_sdata_size, 99);
  }
}

}  // namespace
}  // namespace zftest
