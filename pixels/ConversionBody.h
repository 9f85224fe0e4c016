// The fifteen row conversions, written once for every instruction set. L is
// a lane type (Convert{Scalar,Sse2,Avx2,Neon}.cpp) that brings only the
// vocabulary: a block of L::blockPixels pixels loaded as floats, channels
// moved within each pixel, stored in a channel type, and L::F arithmetic,
// one IEEE operation per lane.
//
// Results are bit-exact: every 8-bit value must survive the trip to float and
// back, and every build must write the same bytes. So each rule is evaluated
// in 32-bit float, products left to right with one rounding each, one
// operation per line, never contracted (-ffp-contract=off on every target).
// A float reaches an int conversion only through L::store, which truncates
// NaN and out-of-range values to an int whose low 16 bits are 0.
//
// Everything here is a template or a member of one, and every lane type
// lives in an anonymous namespace: an instruction set's copy of the code
// never stands in for another's.
#ifndef ZF_PIXELS_CONVERSIONBODY_H
#define ZF_PIXELS_CONVERSIONBODY_H

#include "pixels/ConversionRuns.h"

#include <cstddef>
#include <cstdint>
#include <type_traits>

// 1/255 and 1/32768 rounded to float (bit patterns 0x3B808081, 0x38000000).
inline constexpr float K8 = 0x1.010102p-8f;
inline constexpr float K16 = 0x1p-15f;

// Pixel layouts: the channel type and where each channel sits in a pixel.
template <class Channel, int AlphaAt, int RedAt, int GreenAt, int BlueAt>
struct Layout {
  using Type = Channel;
  static constexpr int alpha = AlphaAt;
  static constexpr int red = RedAt;
  static constexpr int green = GreenAt;
  static constexpr int blue = BlueAt;
  static constexpr std::ptrdiff_t pixelBytes = 4 * static_cast<std::ptrdiff_t>(sizeof(Channel));
};

using ARGB8 = Layout<std::uint8_t, 0, 1, 2, 3>;
using ARGB16 = Layout<std::uint16_t, 0, 1, 2, 3>;
using ARGB32 = Layout<float, 0, 1, 2, 3>;
using BGRA8 = Layout<std::uint8_t, 3, 2, 1, 0>;
using BGRA32 = Layout<float, 3, 2, 1, 0>;
using RGBA8 = Layout<std::uint8_t, 3, 0, 1, 2>;
using RGBA32 = Layout<float, 3, 0, 1, 2>;

// Where each channel of a destination pixel comes from in the source pixel:
// two bits per destination place, the lowest for place 0, holding the
// source place (the form of _mm_shuffle_ps and its relatives).
template <class Src, class Dst>
constexpr int channelOrder() {
  return Src::alpha << (2 * Dst::alpha) | Src::red << (2 * Dst::red) | Src::green << (2 * Dst::green) |
         Src::blue << (2 * Dst::blue);
}

// The source place of destination place `Place` in an order.
template <int Order, int Place>
inline constexpr int sourcePlace = (Order >> (2 * Place)) & 3;

// Four registers of channels, in pixel order: together L::blockPixels whole
// pixels.
template <class F>
struct Block {
  F v[4];
};

// x above 1 gives 1, otherwise max(0, x); NaN gives 0. (L::min(a, b) is
// "a < b ? a : b" and L::max(a, b) "a > b ? a : b", lane by lane.)
template <class L>
inline typename L::F clampUnit(typename L::F x) {
  typename L::F const c = L::min(L::set1(1.0f), x);
  return L::max(c, L::set1(0.0f));
}

// Per-channel rules, on a channel already read as a float (exactly: every
// 8-bit and 16-bit value is a float). In is the source channel type, Out the
// destination's; L::store truncates toward zero for integer outputs and
// keeps the low bits.

// 8-bit channels moved as they are.
struct CopyByte {
  using In = std::uint8_t;
  using Out = std::uint8_t;
};

struct ByteToFloat {
  using In = std::uint8_t;
  using Out = float;
  template <class L>
  static typename L::F apply(typename L::F v, typename L::F gain) {
    typename L::F x = L::mul(v, L::set1(K8));
    x = L::mul(x, gain);
    return x;
  }
};

// Truncated, not rounded, and the low 8 bits kept: host values run to 32768,
// which gives exactly 255; anything above wraps rather than saturates.
struct WordToByte {
  using In = std::uint16_t;
  using Out = std::uint8_t;
  template <class L>
  static typename L::F apply(typename L::F v, typename L::F gain) {
    typename L::F x = L::mul(v, L::set1(K16));
    x = L::mul(x, L::set1(255.0f));
    x = L::mul(x, gain);
    return x;
  }
};

struct WordToFloat {
  using In = std::uint16_t;
  using Out = float;
  template <class L>
  static typename L::F apply(typename L::F v, typename L::F gain) {
    typename L::F x = L::mul(v, L::set1(K16));
    x = L::mul(x, gain);
    return x;
  }
};

// x above 1 gives full scale, otherwise max(0, x) scaled and rounded half
// up; NaN gives 0. Clamping x to 1 first gives the same full scale
// (1 * 255 + 0.5 truncates to 255).
template <int FullScale>
struct FloatToInteger {
  using In = float;
  using Out = std::conditional_t<FullScale == 255, std::uint8_t, std::uint16_t>;
  template <class L>
  static typename L::F apply(typename L::F v, typename L::F gain) {
    typename L::F c = L::mul(v, gain);
    c = clampUnit<L>(c);
    c = L::mul(c, L::set1(static_cast<float>(FullScale)));
    c = L::add(c, L::set1(0.5f));
    return c;
  }
};

using FloatToByte = FloatToInteger<255>;
using FloatToWord = FloatToInteger<32768>;  // full intensity is 32768

// Over-range and negative values pass into the working buffer unchanged.
struct FloatToFloat {
  using In = float;
  using Out = float;
  template <class L>
  static typename L::F apply(typename L::F v, typename L::F gain) {
    return L::mul(v, gain);
  }
};

// Clamps to 0.0 .. 1.0. NaN is written as 0.0 on every platform, so a float
// frame never hands the host a NaN the effect produced.
struct FloatSaturate {
  using In = float;
  using Out = float;
  template <class L>
  static typename L::F apply(typename L::F v, typename L::F gain) {
    return clampUnit<L>(L::mul(v, gain));
  }
};

// Rows are converted in chunks, each first asking for the lines some way
// ahead on both sides: every row starts a new stream that the processor's
// own prefetcher is slow to pick up, and a store to a line not yet cached
// waits for the line to be read.
inline constexpr std::ptrdiff_t chunkBytes = 1024;  // of the wider side
inline constexpr std::uintptr_t prefetchDistance = 2048;

// In integer arithmetic: the lines ahead may lie past the row, where a
// prefetch is harmless but a pointer may not point. (A template of L, as
// everything compiled for an instruction set.)
template <class L>
inline void prefetchAhead(unsigned char const* chunk, std::ptrdiff_t bytes) {
  std::uintptr_t const first = reinterpret_cast<std::uintptr_t>(chunk) + prefetchDistance;
  for (std::ptrdiff_t offset = 0; offset < bytes; offset += 64)
    __builtin_prefetch(reinterpret_cast<void const*>(first + static_cast<std::uintptr_t>(offset)));
}

// Pixels `from` .. of a row, whole blocks only; returns where it stopped.
template <class L, class Src, class Dst, class Rule>
std::ptrdiff_t convertPixels(unsigned char const* s, unsigned char* d, std::ptrdiff_t from,
                             std::ptrdiff_t width, float gainValue) {
  static_assert(sizeof(typename Src::Type) == sizeof(typename Rule::In),
                "rule reads the source channel type");
  static_assert(sizeof(typename Dst::Type) == sizeof(typename Rule::Out), "rule writes the destination type");
  constexpr std::ptrdiff_t block = L::blockPixels;
  constexpr std::ptrdiff_t widest = Src::pixelBytes > Dst::pixelBytes ? Src::pixelBytes : Dst::pixelBytes;
  constexpr std::ptrdiff_t chunk = chunkBytes / widest;  // a multiple of every block
  constexpr int order = channelOrder<Src, Dst>();
  typename L::F const gain = L::set1(gainValue);

  std::ptrdiff_t x = from;
  while (width - x >= block) {
    std::ptrdiff_t const chunkEnd = x + (width - x < chunk ? width - x : chunk);
    prefetchAhead<L>(s + x * Src::pixelBytes, (chunkEnd - x) * Src::pixelBytes);
    prefetchAhead<L>(d + x * Dst::pixelBytes, (chunkEnd - x) * Dst::pixelBytes);
    for (; chunkEnd - x >= block; x += block) {
      unsigned char const* sp = s + x * Src::pixelBytes;
      unsigned char* dp = d + x * Dst::pixelBytes;
      if constexpr (std::is_same_v<Rule, CopyByte>) {
        L::template copyBytes<order>(sp, dp);
      } else {
        Block<typename L::F> v = L::template load<typename Rule::In>(sp);
        for (typename L::F& channels : v.v)
          channels = Rule::template apply<L>(channels, gain);
        L::template store<typename Rule::Out>(dp, L::template reorder<order>(v));
      }
    }
  }
  return x;
}

// The fifteen conversions on lane type L, in ConversionId order.
template <class L>
inline constexpr PixelRun pixelRuns[conversionCount] = {
#define ZF_PIXEL_RUN(name, Src, Dst, Rule) convertPixels<L, Src, Dst, Rule>,
    ZF_CONVERSIONS(ZF_PIXEL_RUN)
#undef ZF_PIXEL_RUN
};

#endif
