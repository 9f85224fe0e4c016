// The kernel's instruction-set paths (scalar, SSE2, AVX2, NEON) against the
// reference kernel: every path must write the reference's bits for every
// record, whatever the lane count, the row width or the values involved.

#include "ReferenceKernel.h"
#include "TestFrames.h"
#include "render/Dispatch.h"
#include "render/KernelPath.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

// Test names and messages show a path by its name.
void PrintTo(InstructionSet path, std::ostream* os) {
  *os << instructionSetName(path);
}

namespace {

constexpr float inf = std::numeric_limits<float>::infinity();
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

// Renders rd with the reference into a fresh buffer of the same shape.
std::vector<unsigned char> referenceBytes(RenderData rd) {
  Frame expected = outputFrame(rd.output.width, rd.output.height);
  rd.output = expected.desc;
  referenceRender(rd);
  return expected.bytes;
}

// Every path of instructionSets, each test once per path. A path this build or
// this processor cannot run is reported as skipped, with the reason.
class KernelPaths : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    InstructionSet const path = GetParam();
    if (!instructionSetCompiled(path))
      GTEST_SKIP() << instructionSetName(path) << " is not built for this processor architecture";
    if (!instructionSetSupported(path))
      GTEST_SKIP() << "this processor cannot run " << instructionSetName(path);
  }

  void render(RenderData const& rd, int firstRow, int endRow) const {
    processWith(GetParam(), &rd, firstRow, endRow);
  }

  // Renders rd on this path into a fresh buffer of its output's shape.
  std::vector<unsigned char> rendered(RenderData rd) const {
    Frame out = outputFrame(rd.output.width, rd.output.height);
    rd.output = out.desc;
    render(rd, 0, rd.output.height);
    return out.bytes;
  }

  void expectMatchesReference(RenderData const& rd) const { EXPECT_EQ(rendered(rd), referenceBytes(rd)); }

  // Renders rd into an output starting `shift` bytes into a buffer filled
  // with the sentinel, and compares it with `expected`.
  void expectShiftedOutput(RenderData rd, std::vector<unsigned char> const& expected, int shift) const {
    std::vector<unsigned char> outBytes(expected.size() + 64, sentinel);
    rd.output.data = outBytes.data() + shift;
    render(rd, 0, rd.output.height);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), outBytes.begin() + shift));
  }
};

INSTANTIATE_TEST_SUITE_P(Kernel, KernelPaths, testing::ValuesIn(instructionSets),
                         [](testing::TestParamInfo<InstructionSet> const& path) {
                           return std::string(instructionSetName(path.param));
                         });

TEST(KernelPathChoice, ScalarIsAlwaysAvailableAndTheActivePathIsSupported) {
  EXPECT_TRUE(instructionSetSupported(InstructionSet::Scalar));
  EXPECT_TRUE(instructionSetSupported(fastestInstructionSet()));
#if defined(__x86_64__) || defined(_M_X64)
  EXPECT_TRUE(instructionSetSupported(InstructionSet::Sse2));
  EXPECT_NE(fastestInstructionSet(), InstructionSet::Scalar);
#endif
#if defined(__aarch64__)
  EXPECT_EQ(fastestInstructionSet(), InstructionSet::Neon);
#endif
}

float randomAmount(std::mt19937& rng) {
  float const unusual[] = {0.0f, -0.0f, 100.0f, -100.0f, 1e-40f, -1e-40f, FLT_MAX, -FLT_MAX,
                           0.5f, -0.5f, 99.99f, inf,     -inf,   nan,     50.0f,   -50.0f};
  if (rng() % 3 == 0)
    return unusual[rng() % (sizeof unusual / sizeof unusual[0])];
  return std::uniform_real_distribution<float>(-100.0f, 100.0f)(rng);
}

int randomCentre(std::mt19937& rng, int extent) {
  switch (rng() % 10) {
    case 0:
      return 32767;
    case 1:
      return -32768;
    case 2:
      return 0;
    case 3:
      return extent;
    default:
      return std::uniform_int_distribution<int>(-extent, 2 * extent)(rng);
  }
}

float randomOffset(std::mt19937& rng) {
  float const unusual[] = {nan, inf, -inf, 2147483648.0f, -2147483648.0f, 2147483520.0f, 3e38f, 0.5f, -1.5f};
  if (rng() % 12 == 0)
    return unusual[rng() % (sizeof unusual / sizeof unusual[0])];
  return static_cast<float>(std::uniform_int_distribution<int>(-12, 12)(rng));
}

// Widths around every lane count around the runs of 128 pixels and the mirror windows of 256, odd
// ones included; input sizes independent of the output's.
TEST_P(KernelPaths, MatchesReferenceOnRandomParameters) {
  int const widths[] = {1,  2,  3,   4,   5,   7,   8,   9,   15,  16,  17,  31,
                        33, 63, 127, 128, 129, 255, 256, 257, 300, 513, 1031};
  std::mt19937 rng(7071);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int i = 0; i < 2000; ++i) {
    int const outW = i % 3 == 0 ? widths[rng() % (sizeof widths / sizeof widths[0])] : pick(1, 70);
    int const outH = pick(1, 24);
    int const inW = pick(1, outW + 20);
    int const inH = pick(1, 40);
    bool const bytes = rng() % 2 == 0;
    auto const seed = static_cast<std::uint32_t>(rng());
    Frame in = bytes ? generatedByteFrame(inW, inH, seed) : generatedFloatFrame(inW, inH, seed);
    Frame out = outputFrame(outW, outH);
    // One draw per statement, so every compiler sees the same sequence.
    RenderData rd = renderData(in, out, 0.0f, 0, 0);
    rd.amount = randomAmount(rng);
    rd.centerX = randomCentre(rng, outW);
    rd.centerY = randomCentre(rng, outH);
    rd.mode = pick(-1, 3);
    if (rd.mode == 3)  // Spectrum has tests of its own; 4 is no Mode at all
      rd.mode = 4;
    rd.scaling = pick(-1, 3);
    rd.show = pick(-1, 5);
    rd.inputOffsetX = randomOffset(rng);
    rd.inputOffsetY = randomOffset(rng);
    rd.sampling = pick(-1, 2);
    SCOPED_TRACE(testing::Message() << "case " << i << ": out " << outW << "x" << outH << " in " << inW << "x"
                                    << inH << " bitDepth " << in.desc.bitDepth << " amount " << rd.amount
                                    << " centre " << rd.centerX << "," << rd.centerY << " mode " << rd.mode
                                    << " scaling " << rd.scaling << " show " << rd.show << " offset "
                                    << rd.inputOffsetX << "," << rd.inputOffsetY << " sampling "
                                    << rd.sampling);
    expectMatchesReference(rd);
    if (HasFailure())
      return;
  }
}

// Every byte value in every channel: the vector paths choose and merge bytes
// before converting them, and must land on the floats of the division.
TEST_P(KernelPaths, EveryByteValueReadsAsItsQuotientBy255) {
  Frame in(256, 4, 8);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 256; ++x)
      in.setBytes(x, y, static_cast<unsigned char>(x), static_cast<unsigned char>(255 - x),
                  static_cast<unsigned char>((x * 7) & 255),
                  static_cast<unsigned char>(y == 0 ? x : 255 - x));
  Frame out = outputFrame(256, 4);
  // Amount 0 reads every pixel as its own displaced sample; "Without CA"
  // keeps the colours and squares the alpha.
  RenderData const rd = renderData(in, out, 0.0f, 0, 0, 0, 0, 2);
  render(rd, 0, 4);
  for (int x = 0; x < 256; ++x) {
    SCOPED_TRACE(x);
    RefPixel const p = out.at(x, 1);
    float const alpha = static_cast<float>(255 - x) / 255.0f;
    bool const clear = x == 255;
    EXPECT_EQ(p.r, clear ? 0.0f : static_cast<float>(x) / 255.0f);
    EXPECT_EQ(p.g, clear ? 0.0f : static_cast<float>(255 - x) / 255.0f);
    EXPECT_EQ(p.a, alpha * alpha);
  }
  // Values worked out by hand: 128 / 255 and 1 / 255 rounded to float.
  EXPECT_EQ(out.at(128, 0).r, 0.501960813999176025390625f);
  EXPECT_EQ(out.at(1, 0).r, 0.0039215688593685627f);
  EXPECT_EQ(out.at(255, 0).r, 1.0f);
  for (int show = 0; show <= 4; ++show)
    expectMatchesReference(renderData(in, out, 0.0f, 0, 0, 0, 0, show));
}

// Offsets and amounts a host can hand over that no formula value fits in an
// int: every path must read transparent black there, whatever its own
// conversion gives for such values.
TEST_P(KernelPaths, NonFiniteAndOutOfRangeValuesMatchReference) {
  float const offsets[] = {
      nan,   inf,        -inf,        2147483648.0f, -2147483648.0f, 2147483520.0f, -2147483520.0f,
      3e38f, 8388608.0f, -8388609.0f, 16777217.0f};
  float const amounts[] = {nan, inf, -inf, 100.0f, -100.0f, 0.0f};
  Frame in = generatedFloatFrame(37, 23, 99);
  for (float offset : offsets) {
    for (float amount : amounts) {
      for (int scaling = 0; scaling <= 2; ++scaling) {
        SCOPED_TRACE(testing::Message()
                     << "offset " << offset << " amount " << amount << " scaling " << scaling);
        Frame out = outputFrame(37, 23);
        RenderData rd = renderData(in, out, amount, 18, 11, 1, scaling, 0);
        rd.inputOffsetX = offset;
        rd.inputOffsetY = -offset;
        expectMatchesReference(rd);
        rd.inputOffsetY = 0.0f;
        expectMatchesReference(rd);
      }
    }
  }
}

// The vector paths must not assume aligned buffers or packed rows.
TEST_P(KernelPaths, UnalignedBuffersAndPaddedRowsMatchReference) {
  int const width = 45;
  int const height = 19;
  for (int bitDepth : {8, 32}) {
    for (int shift : {0, 4, 8, 12}) {
      SCOPED_TRACE(testing::Message() << "bitDepth " << bitDepth << " shift " << shift);
      Frame packed =
          bitDepth == 8 ? generatedByteFrame(width, height, 5) : generatedFloatFrame(width, height, 5);
      int const pixelBytes = bitDepth == 8 ? 4 : 16;
      int const rowBytes = width * pixelBytes + 36;
      std::vector<unsigned char> inBytes(static_cast<std::size_t>(rowBytes) * height + 64);
      for (int y = 0; y < height; ++y)
        std::memcpy(inBytes.data() + shift + static_cast<std::size_t>(y) * rowBytes,
                    packed.bytes.data() + static_cast<std::size_t>(y) * packed.desc.rowBytes,
                    static_cast<std::size_t>(packed.desc.rowBytes));
      RenderData rd{};
      rd.input = {width, height, inBytes.data() + shift, bitDepth, rowBytes};
      rd.amount = -71.5f;
      rd.centerX = 30;
      rd.centerY = 4;
      rd.mode = 2;
      rd.scaling = 1;
      rd.output = {width, height, nullptr, 32, width * 16};
      expectShiftedOutput(rd, referenceBytes(rd), shift);
    }
  }
}

// Frames whose result is large enough to be written around the caches, with
// rows that are and are not 16-byte aligned.
TEST_P(KernelPaths, LargeResultsMatchReferenceWhateverTheAlignment) {
  constexpr int width = 1031;
  constexpr int height = 1040;  // more than 16 MiB of result
  Frame in = generatedFloatFrame(width, height, 17);
  Frame out = outputFrame(width, height);
  RenderData rd = renderData(in, out, 64.0f, 100, 900, 1, 1, 1);
  static std::vector<unsigned char> const expected = referenceBytes(rd);
  for (int shift : {0, 4}) {
    SCOPED_TRACE(testing::Message() << "shift " << shift);
    expectShiftedOutput(rd, expected, shift);
  }
}

// RGBA8 inputs whose samples lie beyond the reach of 32-bit byte offsets
// from the input's start: row 2 at 2^31 bytes, or rows running backwards.
// Only row 2 exists in memory; the input's start is placed so that row 2
// lands on it, and the centre sits on that row, so both samples stay there.
TEST_P(KernelPaths, RgbaBytesBeyondThirtyTwoBitOffsetsReadTheRightPixels) {
  constexpr int width = 64;
  constexpr int height = 3;
  constexpr int y = 2;
  for (std::int32_t rowBytes : {1 << 30, -(1 << 30) - (1 << 20)}) {
    SCOPED_TRACE(testing::Message() << "rowBytes " << rowBytes);
    Frame inRow = generatedByteFrame(width, 1, 21);
    Frame out = outputFrame(width, height);
    RenderData rd = renderData(inRow, out, 50.0f, width / 2, height - y);
    rd.input.height = height;
    rd.input.rowBytes = rowBytes;
    rd.input.data = reinterpret_cast<unsigned char*>(reinterpret_cast<std::uintptr_t>(inRow.bytes.data()) -
                                                     static_cast<std::uintptr_t>(std::int64_t{y} * rowBytes));
    render(rd, y, y + 1);
    for (int x = 0; x < width; ++x) {
      SCOPED_TRACE(x);
      RefPixel const e = referencePixel(rd, x, y);
      RefPixel const p = out.at(x, y);
      EXPECT_TRUE(p.r == e.r && p.g == e.g && p.b == e.b && p.a == e.a);
    }
  }
}

// A whole 4K frame, through the dispatch's 16 bands: the run boundaries,
// the row ends and every band are crossed many times over. The hash is the
// reference's (below).
constexpr std::uint64_t uhdFrameHash = 0x063f911e8053e7f3ull;
constexpr int uhdWidth = 3840;
constexpr int uhdHeight = 2160;

RenderData uhdRecord(Frame& in, Frame& out) {
  return renderData(in, out, 50.0f, 1400, 700, 0, 2, 0);
}

TEST(KernelReference, FullUhdFrameHashIsFixed) {
  Frame in = generatedByteFrame(uhdWidth, uhdHeight, 0x4b);
  Frame out = outputFrame(uhdWidth, uhdHeight);
  RenderData const rd = uhdRecord(in, out);
  BandWork const reference = [](void const* context, int, int first, int end) {
    auto const& r = *static_cast<RenderData const*>(context);
    for (int y = first; y < end; ++y)
      for (int x = 0; x < r.output.width; ++x) {
        RefPixel const p = referencePixel(r, x, y);
        std::memcpy(r.output.data + static_cast<std::int64_t>(y) * r.output.rowBytes +
                        static_cast<std::int64_t>(x) * 16,
                    &p, 16);
      }
  };
  dispatchBands(rd.output.height, reference, &rd);
  std::uint64_t const hash = fnv1a(out.bytes);
  EXPECT_EQ(hash, uhdFrameHash) << "actual 0x" << std::hex << hash;
}

struct PathFrame {
  InstructionSet path;
  RenderData const* rd;
};

TEST_P(KernelPaths, FullUhdFrameHashMatchesReference) {
  Frame in = generatedByteFrame(uhdWidth, uhdHeight, 0x4b);
  Frame out = outputFrame(uhdWidth, uhdHeight);
  RenderData const rd = uhdRecord(in, out);
  PathFrame const frame{GetParam(), &rd};
  BandWork const onPath = [](void const* context, int, int first, int end) {
    auto const& f = *static_cast<PathFrame const*>(context);
    processWith(f.path, f.rd, first, end);
  };
  dispatchBands(rd.output.height, onPath, &frame);
  EXPECT_EQ(fnv1a(out.bytes), uhdFrameHash);
}

}  // namespace
