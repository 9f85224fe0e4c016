// The conversions one pixel at a time, in plain C++: the whole row where no
// vector code runs, and the last pixels of a row everywhere.

#include "pixels/ConversionBody.h"

#include <cstdint>
#include <cstring>

namespace {

// Floats strictly inside these bounds truncate to a representable int32.
constexpr float intLow = -2147483648.0f;
constexpr float intHigh = 2147483648.0f;

// Channels go through memcpy: host rows carry no alignment promise beyond
// their own, and the compiler turns these into plain loads and stores.
template <class Channel>
Channel loadChannel(unsigned char const* p) {
  Channel c;
  std::memcpy(&c, p, sizeof c);
  return c;
}

template <class Channel>
void storeChannel(unsigned char* p, Channel c) {
  std::memcpy(p, &c, sizeof c);
}

struct ScalarLanes {
  using F = float;
  static constexpr int blockPixels = 1;  // the four registers are one pixel's channels

  static F set1(float v) { return v; }
  static F mul(F a, F b) { return a * b; }
  static F add(F a, F b) { return a + b; }
  static F min(F a, F b) { return a < b ? a : b; }
  static F max(F a, F b) { return a > b ? a : b; }

  template <class In>
  static Block<F> load(unsigned char const* p) {
    Block<F> b;
    for (int c = 0; c < 4; ++c)
      b.v[c] = static_cast<F>(loadChannel<In>(p + c * static_cast<int>(sizeof(In))));
    return b;
  }

  template <int Order>
  static Block<F> reorder(Block<F> const& b) {
    return {{b.v[sourcePlace<Order, 0>], b.v[sourcePlace<Order, 1>], b.v[sourcePlace<Order, 2>],
             b.v[sourcePlace<Order, 3>]}};
  }

  // Integer channels keep the low bits of the value truncated toward zero;
  // NaN and values beyond the int range, which no int holds, give 0.
  template <class Out>
  static void store(unsigned char* p, Block<F> const& b) {
    for (int c = 0; c < 4; ++c) {
      unsigned char* channel = p + c * static_cast<int>(sizeof(Out));
      if constexpr (std::is_same_v<Out, float>) {
        storeChannel(channel, b.v[c]);
      } else {
        bool const fits = b.v[c] > intLow && b.v[c] < intHigh;
        storeChannel(channel, fits ? static_cast<Out>(static_cast<std::int32_t>(b.v[c])) : Out{0});
      }
    }
  }

  template <int Order>
  static void copyBytes(unsigned char const* s, unsigned char* d) {
    unsigned char const pixel[4] = {s[sourcePlace<Order, 0>], s[sourcePlace<Order, 1>],
                                    s[sourcePlace<Order, 2>], s[sourcePlace<Order, 3>]};
    std::memcpy(d, pixel, sizeof pixel);
  }
};

}  // namespace

PixelRun const* scalarPixelRuns() {
  return pixelRuns<ScalarLanes>;
}
