// The conversions eight pixels at a time with AVX2, where the processor has
// it: two float pixels to a register.

#include "render/InstructionSet.h"

#include "pixels/ConversionRuns.h"

#if ZF_AVX2

// Everything the code below includes from the standard library comes
// before the AVX2 region (see render/InstructionSet.h).
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <immintrin.h>

ZF_BEGIN_AVX2

// The vector types' alignment attributes do not travel into a template
// argument; Block<> of them only holds values, it never overlays memory.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#include "pixels/ConversionBody.h"

namespace {

// The byte shuffle that moves the channels of every 8-bit pixel: byte b of
// a 128-bit half takes byte (b & 12) + its channel's source place.
template <int Order>
constexpr std::array<std::int8_t, 32> channelShuffle() {
  std::array<std::int8_t, 32> index{};
  for (int b = 0; b < 32; ++b)
    index[static_cast<std::size_t>(b)] = static_cast<std::int8_t>((b & 12) + ((Order >> (2 * (b & 3))) & 3));
  return index;
}

struct Avx2Lanes {
  using F = __m256;  // two pixels
  static constexpr int blockPixels = 8;

  static F set1(float v) { return _mm256_set1_ps(v); }
  static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
  static F add(F a, F b) { return _mm256_add_ps(a, b); }
  static F min(F a, F b) { return _mm256_min_ps(a, b); }
  static F max(F a, F b) { return _mm256_max_ps(a, b); }

  static __m128i load128(unsigned char const* p) {
    return _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
  }
  static void storeBytes(unsigned char* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
  }

  template <class In>
  static F twoPixels(unsigned char const* p) {
    if constexpr (std::is_same_v<In, float>)
      return _mm256_loadu_ps(reinterpret_cast<float const*>(p));
    else if constexpr (std::is_same_v<In, std::uint16_t>)
      return _mm256_cvtepi32_ps(_mm256_cvtepu16_epi32(load128(p)));
    else
      return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<__m128i const*>(p))));
  }

  template <class In>
  static Block<F> load(unsigned char const* p) {
    constexpr std::ptrdiff_t pair = 8 * sizeof(In);
    return {{twoPixels<In>(p), twoPixels<In>(p + pair), twoPixels<In>(p + 2 * pair),
             twoPixels<In>(p + 3 * pair)}};
  }

  template <int Order>
  static Block<F> reorder(Block<F> const& b) {
    return {{_mm256_permute_ps(b.v[0], Order), _mm256_permute_ps(b.v[1], Order),
             _mm256_permute_ps(b.v[2], Order), _mm256_permute_ps(b.v[3], Order)}};
  }

  // Integer channels: truncated toward zero; NaN and values beyond the int
  // range convert to 0x80000000, whose low 16 bits are 0. The packs work
  // within each 128-bit half; a permute puts the pixels back in order.
  template <class Out>
  static void store(unsigned char* p, Block<F> const& b) {
    if constexpr (std::is_same_v<Out, float>) {
      float* f = reinterpret_cast<float*>(p);
      for (int i = 0; i < 4; ++i)
        _mm256_storeu_ps(f + 8 * i, b.v[i]);
    } else if constexpr (std::is_same_v<Out, std::uint16_t>) {
      // Values are 0 .. 32768, beyond the signed pack: shifted down by
      // 32768 they pack exactly, and flipping the top bit shifts them back.
      __m256i const bias = _mm256_set1_epi32(32768);
      __m256i const flip = _mm256_set1_epi16(static_cast<short>(0x8000));
      __m256i w[4];
      for (int i = 0; i < 4; ++i)
        w[i] = _mm256_sub_epi32(_mm256_cvttps_epi32(b.v[i]), bias);
      // Each pack gives pixels 0 2 | 1 3 of its pair of registers.
      storeBytes(p, _mm256_xor_si256(_mm256_permute4x64_epi64(_mm256_packs_epi32(w[0], w[1]), 0xD8), flip));
      storeBytes(p + 32,
                 _mm256_xor_si256(_mm256_permute4x64_epi64(_mm256_packs_epi32(w[2], w[3]), 0xD8), flip));
    } else {
      __m256i const low = _mm256_set1_epi32(0xFF);
      __m256i w[4];
      for (int i = 0; i < 4; ++i)
        w[i] = _mm256_and_si256(_mm256_cvttps_epi32(b.v[i]), low);
      // The packs give pixels 0 2 4 6 in the low half, 1 3 5 7 in the high.
      __m256i const packed =
          _mm256_packus_epi16(_mm256_packs_epi32(w[0], w[1]), _mm256_packs_epi32(w[2], w[3]));
      storeBytes(p, _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
    }
  }

  template <int Order>
  static void copyBytes(unsigned char const* s, unsigned char* d) {
    static constexpr std::array<std::int8_t, 32> index = channelShuffle<Order>();
    __m256i const shuffle = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(index.data()));
    storeBytes(d, _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<__m256i const*>(s)), shuffle));
  }
};

}  // namespace

ZF_END_AVX2

PixelRun const* avx2PixelRuns() {
  return pixelRuns<Avx2Lanes>;
}

#else

PixelRun const* avx2PixelRuns() {
  return nullptr;
}

#endif
