// The portable path: the kernel one pixel at a time, in plain C++.

#include "KernelFrame.h"

#include <cmath>
#include <cstring>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

#include "KernelRows.h"

namespace {

struct ScalarLanes {
  using F = float;
  using I = int;
  static constexpr int lanes = 1;
  static constexpr bool gathers = false;
  using Rgba32Lanes = ScalarLanes;
  using ChannelMask = bool;  // a channel is displaced in every lane or in none

  static F set1(float v) { return v; }
  static F add(F a, F b) { return a + b; }
  static F sub(F a, F b) { return a - b; }
  static F mul(F a, F b) { return a * b; }
  static F div(F a, F b) { return a / b; }
  static F sqrt(F a) { return std::sqrt(a); }
  static F abs(F a) { return std::fabs(a); }
  static bool less(F a, F b) { return a < b; }
  static bool greater(F a, F b) { return a > b; }
  static bool both(bool a, bool b) { return a && b; }
  static F select(bool mask, F a, F b) { return mask ? a : b; }
  static I select(bool mask, I a, I b) { return mask ? a : b; }
  static bool displacedMask(DisplacedChannels, bool taken) { return taken; }
  static F fromInt(I v) { return static_cast<float>(v); }
  static I truncInt(F v) { return sampleCoordinate(v); }
  static I iota(int x0) { return x0; }
  static I reverse(I v) { return v; }
  static F reverse(F v) { return v; }
  static F negate(F v) { return -v; }
  static F loadFloats(float const* p) { return *p; }
  static I loadInts(int const* p) { return *p; }
  static void storeFloats(float* dst, F v) { *dst = v; }
  static void storeInts(int* dst, I v) { *dst = v; }

  static bool isZero(F v) { return v == 0.0f; }
  static bool isZero(I v) { return v == 0; }
  static F zeroWhere(bool mask, F v) { return mask ? 0.0f : v; }
  static I zeroWhere(bool mask, I v) { return mask ? 0 : v; }
  static F larger(F a1, F a2) { return a1 < a2 ? a2 : a1; }
  static I larger(I a1, I a2) { return a1 < a2 ? a2 : a1; }

  static Rgba<F> loadPixels(unsigned char const* const* p) {
    float px[4];
    std::memcpy(px, p[0], sizeof px);
    return {px[0], px[1], px[2], px[3]};
  }

  static Rgba<I> loadBytePixels(unsigned char const* const* p) {
    return {p[0][0], p[0][1], p[0][2], p[0][3]};
  }

  // One 16-byte store; left to itself the compiler splits the copy of a
  // float[4] into two 8-byte stores.
  static void storePixels(unsigned char* dst, Rgba<F> const& px) {
#if defined(__SSE__) || defined(_M_X64)
    _mm_storeu_ps(reinterpret_cast<float*>(dst), _mm_setr_ps(px.r, px.g, px.b, px.a));
#else
    float const values[4] = {px.r, px.g, px.b, px.a};
    std::memcpy(dst, values, sizeof values);
#endif
  }
};

}  // namespace

void processRowsScalar(KernelFrame const& frame, int firstRow, int endRow) {
  processRowsOn<ScalarLanes>(frame, firstRow, endRow);
}
