// The SSE2 path, four pixels per vector: the x86-64 baseline, so every
// x86-64 processor runs it.

#include "InstructionSet.h"
#include "KernelFrame.h"

#if ZF_SSE2

#include <cstdint>
#include <cstring>

#include <emmintrin.h>

// The vector types' alignment attributes do not travel into a template
// argument; Rgba<> of them only holds values, it never overlays memory.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#include "KernelRows.h"

namespace {

struct Sse2Lanes {
  using F = __m128;
  using I = __m128i;
  static constexpr int lanes = 4;
  static constexpr bool gathers = false;
  using Rgba32Lanes = Sse2Lanes;
  using ChannelMask = bool;  // a channel is displaced in every lane or in none

  static F set1(float v) { return _mm_set1_ps(v); }
  static F add(F a, F b) { return _mm_add_ps(a, b); }
  static F sub(F a, F b) { return _mm_sub_ps(a, b); }
  static F mul(F a, F b) { return _mm_mul_ps(a, b); }
  static F div(F a, F b) { return _mm_div_ps(a, b); }
  static F sqrt(F a) { return _mm_sqrt_ps(a); }
  static F abs(F a) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), a); }
  static F less(F a, F b) { return _mm_cmplt_ps(a, b); }
  static F greater(F a, F b) { return _mm_cmpgt_ps(a, b); }
  static F both(F a, F b) { return _mm_and_ps(a, b); }
  static F select(F mask, F a, F b) { return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b)); }
  static bool displacedMask(DisplacedChannels, bool taken) { return taken; }
  static F select(bool taken, F a, F b) { return taken ? a : b; }
  static I select(bool taken, I a, I b) { return taken ? a : b; }
  static F fromInt(I v) { return _mm_cvtepi32_ps(v); }
  // NaN and out-of-range lanes give INT_MIN.
  static I truncInt(F v) { return _mm_cvttps_epi32(v); }
  static I iota(int x0) { return _mm_add_epi32(_mm_set1_epi32(x0), _mm_setr_epi32(0, 1, 2, 3)); }
  static I reverse(I v) { return _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)); }
  static F reverse(F v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }
  static F negate(F v) { return _mm_xor_ps(v, _mm_set1_ps(-0.0f)); }
  static F loadFloats(float const* p) { return _mm_loadu_ps(p); }
  static I loadInts(int const* p) { return _mm_loadu_si128(reinterpret_cast<__m128i const*>(p)); }
  static void storeFloats(float* dst, F v) { _mm_storeu_ps(dst, v); }
  static void storeInts(int* dst, I v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v); }

  static F isZero(F v) { return _mm_cmpeq_ps(v, _mm_setzero_ps()); }
  static I isZero(I v) { return _mm_cmpeq_epi32(v, _mm_setzero_si128()); }
  static F zeroWhere(F mask, F v) { return _mm_andnot_ps(mask, v); }
  static I zeroWhere(I mask, I v) { return _mm_andnot_si128(mask, v); }
  // a2 only where a1 < a2, as std::max(a1, a2) chooses.
  static F larger(F a1, F a2) { return _mm_max_ps(a2, a1); }
  static I larger(I a1, I a2) {
    I const second = _mm_cmpgt_epi32(a2, a1);
    return _mm_or_si128(_mm_and_si128(second, a2), _mm_andnot_si128(second, a1));
  }

  static Rgba<F> loadPixels(unsigned char const* const* p) {
    F r = _mm_loadu_ps(reinterpret_cast<float const*>(p[0]));
    F g = _mm_loadu_ps(reinterpret_cast<float const*>(p[1]));
    F b = _mm_loadu_ps(reinterpret_cast<float const*>(p[2]));
    F a = _mm_loadu_ps(reinterpret_cast<float const*>(p[3]));
    _MM_TRANSPOSE4_PS(r, g, b, a);
    return {r, g, b, a};
  }

  static Rgba<I> loadBytePixels(unsigned char const* const* p) {
    std::int32_t w[4];
    for (int k = 0; k < 4; ++k)
      std::memcpy(&w[k], p[k], sizeof w[k]);
    I const words = _mm_setr_epi32(w[0], w[1], w[2], w[3]);
    I const byte = _mm_set1_epi32(0xFF);
    return {_mm_and_si128(words, byte), _mm_and_si128(_mm_srli_epi32(words, 8), byte),
            _mm_and_si128(_mm_srli_epi32(words, 16), byte), _mm_srli_epi32(words, 24)};
  }

  static void storePixels(unsigned char* dst, Rgba<F> px) {
    _MM_TRANSPOSE4_PS(px.r, px.g, px.b, px.a);
    _mm_storeu_ps(reinterpret_cast<float*>(dst), px.r);
    _mm_storeu_ps(reinterpret_cast<float*>(dst + 16), px.g);
    _mm_storeu_ps(reinterpret_cast<float*>(dst + 32), px.b);
    _mm_storeu_ps(reinterpret_cast<float*>(dst + 48), px.a);
  }
};

}  // namespace

void processRowsSse2(KernelFrame const& frame, int firstRow, int endRow) {
  processRowsOn<Sse2Lanes>(frame, firstRow, endRow);
}

#else

void processRowsSse2(KernelFrame const&, int, int) {}

#endif
