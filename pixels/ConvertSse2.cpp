// The conversions four pixels at a time with SSE2, the x86-64 baseline.

#include "render/InstructionSet.h"

#include "pixels/ConversionRuns.h"

#if ZF_SSE2

#include <cstdint>
#include <type_traits>

#include <emmintrin.h>

// The vector types' alignment attributes do not travel into a template
// argument; Block<> of them only holds values, it never overlays memory.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#include "pixels/ConversionBody.h"

namespace {

struct Sse2Lanes {
  using F = __m128;  // one pixel
  static constexpr int blockPixels = 4;

  static F set1(float v) { return _mm_set1_ps(v); }
  static F mul(F a, F b) { return _mm_mul_ps(a, b); }
  static F add(F a, F b) { return _mm_add_ps(a, b); }
  static F min(F a, F b) { return _mm_min_ps(a, b); }
  static F max(F a, F b) { return _mm_max_ps(a, b); }

  static __m128i loadBytes(unsigned char const* p) {
    return _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
  }
  static void storeBytes(unsigned char* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

  // Two pixels of 16-bit channels as one pixel of floats each.
  static F firstOfWords(__m128i words) {
    return _mm_cvtepi32_ps(_mm_unpacklo_epi16(words, _mm_setzero_si128()));
  }
  static F secondOfWords(__m128i words) {
    return _mm_cvtepi32_ps(_mm_unpackhi_epi16(words, _mm_setzero_si128()));
  }

  template <class In>
  static Block<F> load(unsigned char const* p) {
    if constexpr (std::is_same_v<In, float>) {
      float const* f = reinterpret_cast<float const*>(p);
      return {{_mm_loadu_ps(f), _mm_loadu_ps(f + 4), _mm_loadu_ps(f + 8), _mm_loadu_ps(f + 12)}};
    } else if constexpr (std::is_same_v<In, std::uint16_t>) {
      __m128i const first = loadBytes(p);
      __m128i const second = loadBytes(p + 16);
      return {{firstOfWords(first), secondOfWords(first), firstOfWords(second), secondOfWords(second)}};
    } else {
      __m128i const bytes = loadBytes(p);
      __m128i const first = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
      __m128i const second = _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
      return {{firstOfWords(first), secondOfWords(first), firstOfWords(second), secondOfWords(second)}};
    }
  }

  template <int Order>
  static Block<F> reorder(Block<F> const& b) {
    return {{_mm_shuffle_ps(b.v[0], b.v[0], Order), _mm_shuffle_ps(b.v[1], b.v[1], Order),
             _mm_shuffle_ps(b.v[2], b.v[2], Order), _mm_shuffle_ps(b.v[3], b.v[3], Order)}};
  }

  // Integer channels: truncated toward zero; NaN and values beyond the int
  // range convert to 0x80000000, whose low 16 bits are 0.
  template <class Out>
  static void store(unsigned char* p, Block<F> const& b) {
    if constexpr (std::is_same_v<Out, float>) {
      float* f = reinterpret_cast<float*>(p);
      for (int i = 0; i < 4; ++i)
        _mm_storeu_ps(f + 4 * i, b.v[i]);
    } else if constexpr (std::is_same_v<Out, std::uint16_t>) {
      // Values are 0 .. 32768, beyond the signed pack: shifted down by
      // 32768 they pack exactly, and flipping the top bit shifts them back.
      __m128i const bias = _mm_set1_epi32(32768);
      __m128i const flip = _mm_set1_epi16(static_cast<short>(0x8000));
      __m128i w[4];
      for (int i = 0; i < 4; ++i)
        w[i] = _mm_sub_epi32(_mm_cvttps_epi32(b.v[i]), bias);
      storeBytes(p, _mm_xor_si128(_mm_packs_epi32(w[0], w[1]), flip));
      storeBytes(p + 16, _mm_xor_si128(_mm_packs_epi32(w[2], w[3]), flip));
    } else {
      __m128i const low = _mm_set1_epi32(0xFF);
      __m128i w[4];
      for (int i = 0; i < 4; ++i)
        w[i] = _mm_and_si128(_mm_cvttps_epi32(b.v[i]), low);
      storeBytes(p, _mm_packus_epi16(_mm_packs_epi32(w[0], w[1]), _mm_packs_epi32(w[2], w[3])));
    }
  }

  // Through 16-bit lanes, where SSE2 can move channels within a pixel.
  template <int Order>
  static void copyBytes(unsigned char const* s, unsigned char* d) {
    __m128i const bytes = loadBytes(s);
    __m128i const first = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
    __m128i const second = _mm_unpackhi_epi8(bytes, _mm_setzero_si128());
    storeBytes(d, _mm_packus_epi16(_mm_shufflehi_epi16(_mm_shufflelo_epi16(first, Order), Order),
                                   _mm_shufflehi_epi16(_mm_shufflelo_epi16(second, Order), Order)));
  }
};

}  // namespace

PixelRun const* sse2PixelRuns() {
  return pixelRuns<Sse2Lanes>;
}

#else

PixelRun const* sse2PixelRuns() {
  return nullptr;
}

#endif
