// The fifteen row conversions, called directly, against values worked out by
// hand from the per-channel rules.

#include "TestRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

// The per-channel rule each conversion follows, from the conversion tables.
enum Rule { Copy, ByteToFloat, WordToByte, WordToFloat, FloatToByte, FloatToFloat, FloatToWord, Saturate };

struct Conversion {
  char const* name;
  RowFunc fn;
  LayoutDesc src;
  LayoutDesc dst;
  Rule rule;
};

Conversion const allConversions[] = {
    {"ARGB8_to_RGBA8", it_Convert_ARGB8_to_RGBA8, layoutARGB8, layoutRGBA8, Copy},
    {"ARGB8_to_RGBA32", it_Convert_ARGB8_to_RGBA32, layoutARGB8, layoutRGBA32, ByteToFloat},
    {"ARGB16_to_RGBA8", it_Convert_ARGB16_to_RGBA8, layoutARGB16, layoutRGBA8, WordToByte},
    {"ARGB16_to_RGBA32", it_Convert_ARGB16_to_RGBA32, layoutARGB16, layoutRGBA32, WordToFloat},
    {"ARGB32_to_RGBA8", it_Convert_ARGB32_to_RGBA8, layoutARGB32, layoutRGBA8, FloatToByte},
    {"ARGB32_to_RGBA32", it_Convert_ARGB32_to_RGBA32, layoutARGB32, layoutRGBA32, FloatToFloat},
    {"BGRA8_to_RGBA8", it_Convert_BGRA8_to_RGBA8, layoutBGRA8, layoutRGBA8, Copy},
    {"BGRA8_to_RGBA32", it_Convert_BGRA8_to_RGBA32, layoutBGRA8, layoutRGBA32, ByteToFloat},
    {"BGRA32_to_RGBA8", it_Convert_BGRA32_to_RGBA8, layoutBGRA32, layoutRGBA8, FloatToByte},
    {"BGRA32_to_RGBA32", it_Convert_BGRA32_to_RGBA32, layoutBGRA32, layoutRGBA32, FloatToFloat},
    {"RGBA32_to_ARGB8", it_Convert_RGBA32_to_ARGB8, layoutRGBA32, layoutARGB8, FloatToByte},
    {"RGBA32_to_ARGB16", it_Convert_RGBA32_to_ARGB16, layoutRGBA32, layoutARGB16, FloatToWord},
    {"RGBA32_to_ARGB32_saturate", it_Convert_RGBA32_to_ARGB32_saturate, layoutRGBA32, layoutARGB32, Saturate},
    {"RGBA32_to_BGRA8", it_Convert_RGBA32_to_BGRA8, layoutRGBA32, layoutBGRA8, FloatToByte},
    {"RGBA32_to_BGRA32_saturate", it_Convert_RGBA32_to_BGRA32_saturate, layoutRGBA32, layoutBGRA32, Saturate},
};

Conversion const& conversionNamed(char const* name) {
  for (Conversion const& c : allConversions) {
    if (std::strcmp(c.name, name) == 0)
      return c;
  }
  throw std::invalid_argument(name);
}

// Each conversion on each instruction-set path this machine runs: the
// library picks one, and every one must write the rule's bits.
struct OnPath {
  Conversion const& c;
  RowFunc fn;
  char const* path;
};

std::vector<OnPath> everyPath(bool (*wanted)(Conversion const&)) {
  std::vector<OnPath> all;
  for (Conversion const& c : allConversions) {
    for (InstructionSet set : instructionSets) {
      if (wanted(c) && instructionSetSupported(set))
        all.push_back({c, conversionOn(c.fn, set), instructionSetName(set)});
    }
  }
  return all;
}

bool anyConversion(Conversion const&) {
  return true;
}

bool readsFloats(Conversion const& c) {
  return c.src.type == ChannelType::F32;
}

bool readsIntegers(Conversion const& c) {
  return !readsFloats(c);
}

// Converts a one-pixel frame whose four channels all hold `in`, and checks
// all four channels of the result; an expected +0.0 must not come out as -0.0.
void expectEveryChannel(ConversionHarness& h, Conversion const& c, double in, double out, float gain = 1.0f) {
  SCOPED_TRACE(testing::Message() << c.name << ": " << in << " -> " << out << " (gain " << gain << ")");
  TestFrame src(c.src, 1, 1);
  TestFrame dst(c.dst, 1, 1);
  src.setPixel(0, 0, in, in, in, in);
  h.run(c.fn, src, dst, 0, 1, gain);
  for (Channel ch : {Alpha, Red, Green, Blue}) {
    double const actual = dst.get(0, 0, ch);
    if (std::isnan(out)) {
      EXPECT_TRUE(std::isnan(actual)) << "channel " << ch;
    } else {
      EXPECT_EQ(actual, out) << "channel " << ch;
      if (out == 0.0 && !std::signbit(out)) {
        EXPECT_FALSE(std::signbit(actual)) << "channel " << ch;
      }
    }
  }
}

std::uint32_t bitsOf(float f) {
  std::uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

float floatOf(std::uint32_t b) {
  float f;
  std::memcpy(&f, &b, sizeof f);
  return f;
}

// The per-channel rules as the conversion tables state them, one float
// operation at a time. `in` and the result are raw channel bits: the integer,
// or the float's bit pattern, so NaN payloads and signed zeros are compared
// too.
std::uint32_t ruleBits(Rule rule, std::uint32_t in, float gain) {
  float const k8 = 0x1.010102p-8f;  // 1/255 rounded to float: 0x3B808081
  float const k16 = 0x1p-15f;
  // Read at run time, so the compiler cannot drop a product by 1, which
  // still turns a signalling NaN into a quiet one.
  float const volatile g = gain;
  switch (rule) {
    case Copy:
      return in;
    case ByteToFloat:
    case WordToFloat: {
      float x = static_cast<float>(in) * (rule == ByteToFloat ? k8 : k16);
      x = x * g;
      return bitsOf(x);
    }
    case WordToByte: {
      float x = static_cast<float>(in) * k16;
      x = x * 255.0f;
      x = x * g;
      // Truncated toward zero, low 8 bits. Beyond 2^31 every float is a
      // multiple of 256, so the low bits are 0 there; infinity and NaN have
      // no bits to keep and give 0 as well.
      if (!std::isfinite(x))
        return 0;
      double const low = std::fmod(std::trunc(static_cast<double>(x)), 256.0);
      return static_cast<std::uint32_t>(low < 0 ? low + 256.0 : low);
    }
    case FloatToByte:
    case FloatToWord: {
      float const full = rule == FloatToByte ? 255.0f : 32768.0f;
      float const x = floatOf(in) * g;
      if (std::isnan(x))
        return 0;
      if (x > 1.0f)
        return static_cast<std::uint32_t>(full);
      float y = std::max(0.0f, x) * full;
      y = y + 0.5f;
      return static_cast<std::uint32_t>(std::trunc(y));
    }
    case FloatToFloat:
      return bitsOf(floatOf(in) * g);
    case Saturate: {
      float const x = floatOf(in) * g;
      if (std::isnan(x))
        return bitsOf(0.0f);
      if (x > 1.0f)
        return bitsOf(1.0f);
      // max(0, -0.0) is +0.0 here: a float frame gets no negative zero.
      return bitsOf(std::max(0.0f, x));
    }
  }
  return 0;
}

double sourceValue(LayoutDesc const& layout, std::mt19937& rng) {
  switch (layout.type) {
    case ChannelType::U8:
      return static_cast<double>(rng() % 256);
    case ChannelType::U16:
      return rng() % 3 == 0 ? 32768.0 : static_cast<double>(rng() % 65536);
    case ChannelType::F32:
      break;
  }
  float const unusual[] = {nan,    inf,   -inf,   -0.0f, 0.0f,   1.0f,     1.00000012f, 0.998f,
                           0.999f, 1e30f, -1e30f, 0.5f,  1e-40f, 0.00196f, 0.00197f,    0.99998f};
  if (rng() % 3 == 0)
    return static_cast<double>(unusual[rng() % (sizeof unusual / sizeof unusual[0])]);
  return static_cast<double>(std::uniform_real_distribution<float>(-0.5f, 1.5f)(rng));
}

// Rows of every width around the vector steps (two, four and eight pixels),
// every pixel and channel checked against the rule: no pixel may be
// converted differently for where it falls in the row.
TEST(Conversions, EveryPixelOfARowFollowsTheRuleWhateverTheWidth) {
  int const widths[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 15, 16, 17, 64, 67};
  float const gains[] = {1.0f, 0.5f, 3.0f, -1.0f};
  std::mt19937 rng(31337);
  ConversionHarness h;
  for (OnPath const& p : everyPath(anyConversion)) {
    Conversion const& c = p.c;
    for (int width : widths) {
      for (float gain : gains) {
        SCOPED_TRACE(testing::Message()
                     << c.name << " on " << p.path << " width " << width << " gain " << gain);
        TestFrame src(c.src, width, 1);
        TestFrame dst(c.dst, width, 1);
        for (int x = 0; x < width; ++x)
          for (Channel ch : {Alpha, Red, Green, Blue})
            src.set(x, 0, ch, sourceValue(c.src, rng));
        h.run(p.fn, src, dst, 0, 1, gain);
        for (int x = 0; x < width; ++x) {
          for (Channel ch : {Alpha, Red, Green, Blue}) {
            std::uint32_t const in = src.bits(x, 0, ch);
            EXPECT_EQ(dst.bits(x, 0, ch), ruleBits(c.rule, in, gain))
                << "pixel " << x << " channel " << ch << " in " << src.get(x, 0, ch);
          }
        }
        EXPECT_TRUE(dst.guardsIntact());
        if (HasFailure())
          return;
      }
    }
  }
}

// Feeds source channel values through one conversion a row at a time, gain
// 1 as in a render, and compares every output channel bit for bit with the
// rule. Rows are one pixel longer than a multiple of the vector steps, so the
// per-pixel tail sees values too.
class RuleSweep {
 public:
  explicit RuleSweep(OnPath const& p) : c_(p.c), p_(p), src_(c_.src, width, 1), dst_(c_.dst, width, 1) {}

  // Queues one value (raw bits).
  void add(std::uint32_t value) {
    std::memcpy(src_.pixelBytes(0, 0) + queued_ * c_.src.channelBytes(), &value,
                static_cast<std::size_t>(c_.src.channelBytes()));
    if (++queued_ == width * 4)
      flush();
  }

  // Converts what is queued, the rest of the row zero; false once any value
  // so far broke the rule.
  bool flush() {
    if (queued_ == 0)
      return mismatch_.empty();
    std::memset(src_.pixelBytes(0, 0) + queued_ * c_.src.channelBytes(), 0,
                static_cast<std::size_t>((width * 4 - queued_) * c_.src.channelBytes()));
    h_.run(p_.fn, src_, dst_, 0, 1, 1.0f);
    for (int x = 0; x < width; ++x) {
      for (Channel ch : {Alpha, Red, Green, Blue}) {
        std::uint32_t const in = src_.bits(x, 0, ch);
        std::uint32_t const expected = ruleBits(c_.rule, in, 1.0f);
        std::uint32_t const actual = dst_.bits(x, 0, ch);
        if (actual != expected && mismatch_.empty()) {
          mismatch_ = (testing::Message() << c_.name << " on " << p_.path << ": input 0x" << std::hex << in
                                          << " gives 0x" << actual << ", the rule 0x" << expected)
                          .GetString();
        }
      }
    }
    queued_ = 0;
    return mismatch_.empty();
  }

  std::string const& mismatch() const { return mismatch_; }

 private:
  static constexpr int width = 1021;
  Conversion const& c_;
  OnPath const& p_;
  ConversionHarness h_;
  TestFrame src_;
  TestFrame dst_;
  int queued_ = 0;
  std::string mismatch_;
};

// Float bit patterns spread over the whole range by an odd stride, and every
// pattern near the values where a rule changes course: zeros, 1.0, the
// rounding steps of the 8-bit output, the ends of the int range, infinities
// and the first NaNs.
std::vector<std::uint32_t> sampledFloatPatterns() {
  std::vector<std::uint32_t> patterns;
  for (std::uint64_t b = 0; b < (std::uint64_t{1} << 32); b += 4093)
    patterns.push_back(static_cast<std::uint32_t>(b));
  std::vector<float> centres = {0.0f, 0.5f, 1.0f, 2147483648.0f, std::numeric_limits<float>::max()};
  for (int k = 1; k <= 255; ++k)
    centres.push_back((static_cast<float>(k) - 0.5f) / 255.0f);
  for (float centre : centres) {
    for (std::uint32_t sign : {0u, 0x80000000u}) {
      std::uint32_t const at = bitsOf(centre) | sign;
      for (std::uint32_t d = 0; d < 512; ++d) {
        patterns.push_back(at + d);
        patterns.push_back(at - d);
      }
    }
  }
  return patterns;
}

// Every 8-bit and 16-bit source value, in every conversion that reads them.
TEST(Conversions, EveryByteAndWordValueFollowsTheRule) {
  for (OnPath const& p : everyPath(readsIntegers)) {
    RuleSweep sweep(p);
    std::uint32_t const values = p.c.src.type == ChannelType::U8 ? 256 : 65536;
    for (std::uint32_t v = 0; v < values; ++v)
      sweep.add(v);
    EXPECT_TRUE(sweep.flush()) << sweep.mismatch();
  }
}

TEST(Conversions, SampledFloatPatternsFollowTheRule) {
  std::vector<std::uint32_t> const patterns = sampledFloatPatterns();
  for (OnPath const& p : everyPath(readsFloats)) {
    RuleSweep sweep(p);
    for (std::uint32_t b : patterns)
      sweep.add(b);
    EXPECT_TRUE(sweep.flush()) << sweep.mismatch();
  }
}

// All 2^32 float patterns through each float-reading conversion on each
// path: a quarter of an hour on two cores, so it runs only when asked for:
//   zf_pixels_tests --gtest_also_run_disabled_tests --gtest_filter='*EveryFloatPattern*'
TEST(Conversions, DISABLED_EveryFloatPatternFollowsTheRule) {
  unsigned const threads = std::max(1u, std::thread::hardware_concurrency());
  std::uint64_t const all = std::uint64_t{1} << 32;
  for (OnPath const& p : everyPath(readsFloats)) {
    std::vector<std::string> mismatches(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
      workers.emplace_back([&, t] {
        RuleSweep sweep(p);
        for (std::uint64_t b = all * t / threads; b < all * (t + 1) / threads; ++b)
          sweep.add(static_cast<std::uint32_t>(b));
        sweep.flush();
        mismatches[t] = sweep.mismatch();
      });
    }
    for (std::thread& w : workers)
      w.join();
    for (std::string const& m : mismatches)
      EXPECT_TRUE(m.empty()) << m;
  }
}

TEST(Conversions, EightBitValuesSurviveTheTripThroughFloat) {
  struct Trip {
    LayoutDesc layout;
    RowFunc in;
    RowFunc out;
  };
  Trip const trips[] = {{layoutARGB8, it_Convert_ARGB8_to_RGBA32, it_Convert_RGBA32_to_ARGB8},
                        {layoutBGRA8, it_Convert_BGRA8_to_RGBA32, it_Convert_RGBA32_to_BGRA8}};
  for (Trip const& trip : trips) {
    SCOPED_TRACE(trip.layout.name);
    ConversionHarness h;
    TestFrame host(trip.layout, 256, 1);
    for (int v = 0; v < 256; ++v)
      host.setPixel(v, 0, v, 255 - v, (v * 7) % 256, (v + 128) % 256);
    TestFrame working(layoutRGBA32, 256, 1);
    TestFrame back(trip.layout, 256, 1);
    h.run(trip.in, host, working, 0);
    h.run(trip.out, working, back, 0);
    for (int v = 0; v < 256; ++v) {
      for (Channel ch : {Alpha, Red, Green, Blue})
        ASSERT_EQ(back.get(v, 0, ch), host.get(v, 0, ch)) << "pixel " << v << " channel " << ch;
    }
  }
}

// Every conversion against the hand-worked values of its rule.
TEST(Conversions, EachRuleGivesTheHandWorkedValues) {
  struct RuleCase {
    Rule rule;
    double in;
    double out;
  };
  RuleCase const cases[] = {
      {Copy, 0, 0},
      {Copy, 77, 77},
      {Copy, 255, 255},
      // v times the float nearest 1/255 (0x3B808081): 128 gives 0.50196081
      // exactly (a power of two times the constant); 255 gives 1.00000006,
      // rounded to 1.0.
      {ByteToFloat, 255, 1.0},
      {ByteToFloat, 128, 0.50196081f},
      {ByteToFloat, 0, 0.0},
      {ByteToFloat, 1, 0x1.010102p-8f},
      // v * 2^-15 * 255, truncated, low 8 bits: 32767 gives 254.99 -> 254,
      // 129 gives 1.0039 -> 1, 128 gives 0.996 -> 0; 65535 (beyond the
      // host's range) gives 509.99 -> 509, whose low 8 bits are 253.
      {WordToByte, 32768, 255},
      {WordToByte, 32767, 254},
      {WordToByte, 16384, 127},
      {WordToByte, 128, 0},
      {WordToByte, 129, 1},
      {WordToByte, 0, 0},
      {WordToByte, 65535, 253},
      {WordToFloat, 32768, 1.0},
      {WordToFloat, 16384, 0.5},
      {WordToFloat, 1, 0x1p-15},
      {WordToFloat, 65535, 1.999969482421875},
      {WordToFloat, 0, 0.0},
      // x * 255 + 0.5 truncated, full scale above 1: 0.998 gives 254.99 ->
      // 254, 0.999 gives 255.245 -> 255, 0.002 gives 1.01 -> 1, 0.0019
      // gives 0.98 -> 0.
      {FloatToByte, 1.5, 255},
      {FloatToByte, 1.0, 255},
      {FloatToByte, 0.999f, 255},
      {FloatToByte, 0.998f, 254},
      {FloatToByte, 0.5, 128},
      {FloatToByte, 0.0019f, 0},
      {FloatToByte, 0.002f, 1},
      {FloatToByte, -0.2f, 0},
      {FloatToByte, nan, 0},
      {FloatToByte, inf, 255},
      {FloatToByte, -inf, 0},
      {FloatToByte, -0.0, 0},
      {FloatToByte, 1e30, 255},
      // x * 32768 + 0.5 truncated: 0.99999 gives 32768.17 -> 32768.
      {FloatToWord, 1.0, 32768},
      {FloatToWord, 1.2f, 32768},
      {FloatToWord, 0.99999f, 32768},
      {FloatToWord, 0.5, 16384},
      {FloatToWord, 0.25, 8192},
      {FloatToWord, -0.1f, 0},
      {FloatToWord, nan, 0},
      {FloatToWord, inf, 32768},
      {FloatToWord, -inf, 0},
      // Into the working buffer nothing is clamped.
      {FloatToFloat, 1.7f, 1.7f},
      {FloatToFloat, -0.3f, -0.3f},
      {FloatToFloat, 0.25, 0.25},
      {FloatToFloat, 1e30f, 1e30f},
      {FloatToFloat, inf, inf},
      {FloatToFloat, nan, nan},
      // Float frames get 0.0 .. 1.0, and +0.0 for NaN and negative zero.
      {Saturate, 1.7f, 1.0},
      {Saturate, -0.3f, 0.0},
      {Saturate, 0.25, 0.25},
      {Saturate, 1.0, 1.0},
      {Saturate, nan, 0.0},
      {Saturate, inf, 1.0},
      {Saturate, -inf, 0.0},
      {Saturate, 0.999f, 0.999f},
      {Saturate, -0.0, 0.0},
  };
  ConversionHarness h;
  for (Conversion const& c : allConversions) {
    for (RuleCase const& v : cases) {
      if (v.rule == c.rule)
        expectEveryChannel(h, c, v.in, v.out);
    }
  }
}

// Full scale survives every rule unchanged (255 * K8 rounds to 1.0, and
// 32768 * 2^-15 * 255 is 255), so a pixel with one full channel shows where
// that channel lands.
TEST(Conversions, EveryChannelLandsInItsPlace) {
  ConversionHarness h;
  for (Conversion const& c : allConversions) {
    for (Channel lit : {Alpha, Red, Green, Blue}) {
      SCOPED_TRACE(testing::Message() << c.name << " channel " << lit);
      TestFrame src(c.src, 1, 1);
      TestFrame dst(c.dst, 1, 1);
      src.setPixel(0, 0, 0, 0, 0, 0);
      src.set(0, 0, lit, c.src.fullScale());
      h.run(c.fn, src, dst, 0);
      for (Channel ch : {Alpha, Red, Green, Blue})
        EXPECT_EQ(dst.get(0, 0, ch), ch == lit ? c.dst.fullScale() : 0.0) << "channel " << ch;
    }
  }
}

TEST(Conversions, HandWorkedChannelPlacement) {
  ConversionHarness h;

  TestFrame argb(layoutARGB8, 1, 1);
  std::uint8_t const argbBytes[] = {10, 20, 30, 40};
  std::memcpy(argb.pixelBytes(0, 0), argbBytes, 4);
  TestFrame rgba(layoutRGBA8, 1, 1);
  h.run(it_Convert_ARGB8_to_RGBA8, argb, rgba, 0);
  std::uint8_t const fromArgb[] = {20, 30, 40, 10};
  EXPECT_EQ(0, std::memcmp(rgba.pixelBytes(0, 0), fromArgb, 4));

  TestFrame bgra(layoutBGRA8, 1, 1);
  std::uint8_t const bgraBytes[] = {20, 30, 40, 10};
  std::memcpy(bgra.pixelBytes(0, 0), bgraBytes, 4);
  h.run(it_Convert_BGRA8_to_RGBA8, bgra, rgba, 0);
  std::uint8_t const fromBgra[] = {40, 30, 20, 10};
  EXPECT_EQ(0, std::memcmp(rgba.pixelBytes(0, 0), fromBgra, 4));

  TestFrame working(layoutRGBA32, 1, 1);
  float const rgbaFloats[] = {1.0f, 0.5f, 0.0f, 1.0f};
  std::memcpy(working.pixelBytes(0, 0), rgbaFloats, 16);
  TestFrame argbOut(layoutARGB8, 1, 1);
  TestFrame bgraOut(layoutBGRA8, 1, 1);
  h.run(it_Convert_RGBA32_to_ARGB8, working, argbOut, 0);
  h.run(it_Convert_RGBA32_to_BGRA8, working, bgraOut, 0);
  std::uint8_t const toArgb[] = {255, 255, 128, 0};
  std::uint8_t const toBgra[] = {0, 128, 255, 255};
  EXPECT_EQ(0, std::memcmp(argbOut.pixelBytes(0, 0), toArgb, 4));
  EXPECT_EQ(0, std::memcmp(bgraOut.pixelBytes(0, 0), toBgra, 4));
}

// Rows are found through each world's own rowbytes: padded rows, and rows
// stored bottom up (negative rowbytes), on either side.
TEST(Conversions, RowsAreAddressedThroughEachWorldsOwnRowbytes) {
  struct Shape {
    int srcPadding;
    bool srcBottomUp;
    int dstPadding;
    bool dstBottomUp;
  };
  Shape const shapes[] = {
      {12, false, 0, false}, {0, true, 0, false}, {0, false, 20, true}, {8, true, 4, true}};
  ConversionHarness h;
  for (char const* name : {"ARGB8_to_RGBA8", "ARGB16_to_RGBA32", "RGBA32_to_BGRA8"}) {
    Conversion const& c = conversionNamed(name);
    for (Shape const& s : shapes) {
      SCOPED_TRACE(testing::Message() << c.name << " padding " << s.srcPadding << "/" << s.dstPadding
                                      << " bottom-up " << s.srcBottomUp << "/" << s.dstBottomUp);
      int const width = 5;
      int const height = 4;
      TestFrame src(c.src, width, height, s.srcPadding, s.srcBottomUp);
      TestFrame dst(c.dst, width, height, s.dstPadding, s.dstBottomUp);
      // Pixel (x, y) carries full scale in colour channel (x + y) % 3
      // and, from row 2 on, in alpha: every row of a column differs,
      // so a pixel read from the wrong row shows.
      auto lit = [](int x, int y) { return static_cast<Channel>(Red + (x + y) % 3); };
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          src.setPixel(x, y, 0, 0, 0, 0);
          src.set(x, y, lit(x, y), c.src.fullScale());
          src.set(x, y, Alpha, y >= 2 ? c.src.fullScale() : 0.0);
        }
      }
      h.runAll(c.fn, src, dst);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
          EXPECT_EQ(dst.get(x, y, Alpha), y >= 2 ? c.dst.fullScale() : 0.0);
          for (Channel ch : {Red, Green, Blue})
            EXPECT_EQ(dst.get(x, y, ch), ch == lit(x, y) ? c.dst.fullScale() : 0.0);
        }
      }
      EXPECT_TRUE(src.guardsIntact());
      EXPECT_TRUE(dst.guardsIntact());
    }
  }
}

// Rows 2 GiB and more away from the frame's start, below it or above it
// (negative rowbytes): the offsets overflow 32 bits, so they must be formed
// in 64. Only the converted row exists in memory; the frame's start is placed
// so that the row lands on it, and the row must come out as it does at
// offset 0, guards included.
TEST(Conversions, RowsTwoGibibytesAndMoreAwayAreAddressedIn64Bits) {
  constexpr A_long rowBytes = A_long{1} << 20;
  // 2049 rows: 2^31 + 2^20 bytes, past the int32 range; 4099 rows: 2^32 +
  // 3 MiB, which 32 bits would wrap to 3 MiB.
  A_long const rows[] = {2049, 4099};
  std::mt19937 rng(4242);
  ConversionHarness h;
  for (Conversion const& c : allConversions) {
    TestFrame src(c.src, 7, 1);
    for (int x = 0; x < 7; ++x)
      for (Channel ch : {Alpha, Red, Green, Blue})
        src.set(x, 0, ch, sourceValue(c.src, rng));
    TestFrame nearby(c.dst, 7, 1);
    h.run(c.fn, src, nearby, 0);
    for (A_long row : rows) {
      for (A_long direction : {1, -1}) {
        SCOPED_TRACE(testing::Message() << c.name << " row " << row << " rowbytes " << direction * rowBytes);
        TestFrame dst(c.dst, 7, 1);
        std::int64_t const offset = std::int64_t{row} * direction * rowBytes;
        auto farAway = [&](PF_EffectWorld world) {
          world.data = reinterpret_cast<PF_PixelPtr>(reinterpret_cast<std::uintptr_t>(world.data) -
                                                     static_cast<std::uintptr_t>(offset));
          world.rowbytes = direction * rowBytes;
          world.height = row + 1;
          return world;
        };
        PF_EffectWorld farSrc = farAway(*src.world());
        PF_EffectWorld farDst = farAway(*dst.world());
        h.cd.src = &farSrc;
        h.cd.dst = &farDst;
        h.cd.gain = 1.0f;
        EXPECT_EQ(c.fn(&h.cd, 1, row, row + 1), PF_Err_NONE);
        EXPECT_EQ(dst.storage(), nearby.storage());
      }
    }
  }
}

TEST(Conversions, OnlyThreadZeroPollsAbortAndTheRowIsConvertedWhateverTheAnswer) {
  ConversionHarness h;
  h.probe.answer = PF_Interrupt_CANCEL;
  for (Conversion const& c : allConversions) {
    SCOPED_TRACE(c.name);
    TestFrame src(c.src, 3, 2);
    TestFrame dst(c.dst, 3, 2);
    for (int x = 0; x < 3; ++x)
      src.setPixel(x, 1, c.src.fullScale(), 0, c.src.fullScale(), 0);

    h.probe.polls = 0;
    EXPECT_EQ(h.run(c.fn, src, dst, 1, 0), PF_Interrupt_CANCEL);
    EXPECT_EQ(h.probe.polls, 1);
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(dst.get(x, 1, Alpha), c.dst.fullScale());
      EXPECT_EQ(dst.get(x, 1, Green), c.dst.fullScale());
    }

    for (int threadIndex : {1, 2, 15}) {
      EXPECT_EQ(h.run(c.fn, src, dst, 1, threadIndex), PF_Err_NONE);
      EXPECT_EQ(h.probe.polls, 1) << "thread " << threadIndex << " polled";
    }
  }
}

TEST(Conversions, AnEmptyRowConvertsNothingButThreadZeroStillPolls) {
  ConversionHarness h;
  h.probe.answer = 1234;
  for (Conversion const& c : allConversions) {
    SCOPED_TRACE(c.name);
    for (int width : {0, -4}) {
      TestFrame src(c.src, 0, 1);
      TestFrame dst(c.dst, 2, 1);
      src.world()->width = width;
      std::vector<std::uint8_t> const before = dst.storage();
      h.probe.polls = 0;
      EXPECT_EQ(h.run(c.fn, src, dst, 0, 0), 1234);
      EXPECT_EQ(h.probe.polls, 1);
      EXPECT_EQ(dst.storage(), before);
    }
  }
}

// Every rule multiplies by the gain last, except the 8-bit copies.
TEST(Conversions, GainScalesEveryChannelExceptInEightBitCopies) {
  struct GainCase {
    char const* conversion;
    double in;
    float gain;
    double out;
  };
  GainCase const cases[] = {
      {"ARGB8_to_RGBA8", 100, 2.0f, 100},
      {"BGRA8_to_RGBA8", 100, 0.0f, 100},
      {"ARGB8_to_RGBA32", 255, 0.5f, 0.5},
      {"ARGB16_to_RGBA32", 16384, 4.0f, 2.0},
      {"ARGB16_to_RGBA8", 32768, 0.5f, 127},  // 255 * 0.5 = 127.5, truncated
      {"ARGB16_to_RGBA8", 32768, nan, 0},     // no int to take bits from
      {"ARGB16_to_RGBA8", 32768, 1e30f, 0},
      {"ARGB32_to_RGBA32", 0.75, -2.0f, -1.5},
      {"RGBA32_to_ARGB8", 1.0, 0.5f, 128},
      {"RGBA32_to_ARGB16", 0.25, 2.0f, 16384},
      {"RGBA32_to_BGRA32_saturate", 0.75, 2.0f, 1.0},
  };
  ConversionHarness h;
  for (GainCase const& g : cases)
    expectEveryChannel(h, conversionNamed(g.conversion), g.in, g.out, g.gain);
}

}  // namespace
