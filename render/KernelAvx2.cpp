// The AVX2 path, eight pixels per vector, taken where the processor has
// AVX2; RGBA8 samples come by the hardware's 32-bit gathers.

#include "InstructionSet.h"
#include "KernelFrame.h"

#if ZF_AVX2

// Everything the code below includes from the standard library comes
// before the AVX2 region (see InstructionSet.h).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include <immintrin.h>

// From here to the end of the region, every function, the formula's
// templates included, is compiled for AVX2. Only processRowsAvx2 is called
// from outside, and only where the processor runs AVX2.
ZF_BEGIN_AVX2

// The vector types' alignment attributes do not travel into a template
// argument; Rgba<> of them only holds values, it never overlays memory.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#include "KernelRows.h"

namespace {

struct Avx2PixelPairs;

struct Avx2Lanes {
  using F = __m256;
  using I = __m256i;
  static constexpr int lanes = 8;
  static constexpr bool gathers = true;
  using Rgba32Lanes = Avx2PixelPairs;
  using ChannelMask = bool;  // a channel is displaced in every lane or in none

  static F set1(float v) { return _mm256_set1_ps(v); }
  static F add(F a, F b) { return _mm256_add_ps(a, b); }
  static F sub(F a, F b) { return _mm256_sub_ps(a, b); }
  static F mul(F a, F b) { return _mm256_mul_ps(a, b); }
  static F div(F a, F b) { return _mm256_div_ps(a, b); }
  static F sqrt(F a) { return _mm256_sqrt_ps(a); }
  static F abs(F a) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), a); }
  static F less(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_LT_OQ); }
  static F greater(F a, F b) { return _mm256_cmp_ps(a, b, _CMP_GT_OQ); }
  static F both(F a, F b) { return _mm256_and_ps(a, b); }
  static F select(F mask, F a, F b) { return _mm256_blendv_ps(b, a, mask); }
  static bool displacedMask(DisplacedChannels, bool taken) { return taken; }
  static F select(bool taken, F a, F b) { return taken ? a : b; }
  static I select(bool taken, I a, I b) { return taken ? a : b; }
  static F fromInt(I v) { return _mm256_cvtepi32_ps(v); }
  // NaN and out-of-range lanes give INT_MIN.
  static I truncInt(F v) { return _mm256_cvttps_epi32(v); }
  static I iota(int x0) {
    return _mm256_add_epi32(_mm256_set1_epi32(x0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
  }
  static I reverse(I v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)); }
  static F reverse(F v) { return _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)); }
  static F negate(F v) { return _mm256_xor_ps(v, _mm256_set1_ps(-0.0f)); }
  static F loadFloats(float const* p) { return _mm256_loadu_ps(p); }
  static I loadInts(int const* p) { return _mm256_loadu_si256(reinterpret_cast<__m256i const*>(p)); }
  static void storeFloats(float* dst, F v) { _mm256_storeu_ps(dst, v); }
  static void storeInts(int* dst, I v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), v); }

  static F isZero(F v) { return _mm256_cmp_ps(v, _mm256_setzero_ps(), _CMP_EQ_OQ); }
  static I isZero(I v) { return _mm256_cmpeq_epi32(v, _mm256_setzero_si256()); }
  static F zeroWhere(F mask, F v) { return _mm256_andnot_ps(mask, v); }
  static I zeroWhere(I mask, I v) { return _mm256_andnot_si256(mask, v); }
  // a2 only where a1 < a2, as std::max(a1, a2) chooses.
  static F larger(F a1, F a2) { return _mm256_max_ps(a2, a1); }
  static I larger(I a1, I a2) { return _mm256_max_epi32(a1, a2); }

  // Two pixels, one in each half of a register.
  static F pixelPair(unsigned char const* low, unsigned char const* high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(reinterpret_cast<float const*>(low))),
                                _mm_loadu_ps(reinterpret_cast<float const*>(high)), 1);
  }

  static Rgba<F> loadPixels(unsigned char const* const* p) {
    F const t0 = pixelPair(p[0], p[4]);
    F const t1 = pixelPair(p[1], p[5]);
    F const t2 = pixelPair(p[2], p[6]);
    F const t3 = pixelPair(p[3], p[7]);
    F const rg01 = _mm256_unpacklo_ps(t0, t1);
    F const ba01 = _mm256_unpackhi_ps(t0, t1);
    F const rg23 = _mm256_unpacklo_ps(t2, t3);
    F const ba23 = _mm256_unpackhi_ps(t2, t3);
    return {_mm256_shuffle_ps(rg01, rg23, _MM_SHUFFLE(1, 0, 1, 0)),
            _mm256_shuffle_ps(rg01, rg23, _MM_SHUFFLE(3, 2, 3, 2)),
            _mm256_shuffle_ps(ba01, ba23, _MM_SHUFFLE(1, 0, 1, 0)),
            _mm256_shuffle_ps(ba01, ba23, _MM_SHUFFLE(3, 2, 3, 2))};
  }

  static void storePixels(unsigned char* dst, Rgba<F> const& px) {
    F const rg0145 = _mm256_unpacklo_ps(px.r, px.g);
    F const rg2367 = _mm256_unpackhi_ps(px.r, px.g);
    F const ba0145 = _mm256_unpacklo_ps(px.b, px.a);
    F const ba2367 = _mm256_unpackhi_ps(px.b, px.a);
    F const p04 = _mm256_shuffle_ps(rg0145, ba0145, _MM_SHUFFLE(1, 0, 1, 0));
    F const p15 = _mm256_shuffle_ps(rg0145, ba0145, _MM_SHUFFLE(3, 2, 3, 2));
    F const p26 = _mm256_shuffle_ps(rg2367, ba2367, _MM_SHUFFLE(1, 0, 1, 0));
    F const p37 = _mm256_shuffle_ps(rg2367, ba2367, _MM_SHUFFLE(3, 2, 3, 2));
    float* out = reinterpret_cast<float*>(dst);
    _mm256_storeu_ps(out, _mm256_permute2f128_ps(p04, p15, 0x20));
    _mm256_storeu_ps(out + 8, _mm256_permute2f128_ps(p26, p37, 0x20));
    _mm256_storeu_ps(out + 16, _mm256_permute2f128_ps(p04, p15, 0x31));
    _mm256_storeu_ps(out + 24, _mm256_permute2f128_ps(p26, p37, 0x31));
  }

  // RGBA8 pixels, one per 32-bit lane with R in the low byte, as channels.
  static Rgba<I> byteChannels(I words) {
    I const byte = _mm256_set1_epi32(0xFF);
    return {_mm256_and_si256(words, byte), _mm256_and_si256(_mm256_srli_epi32(words, 8), byte),
            _mm256_and_si256(_mm256_srli_epi32(words, 16), byte), _mm256_srli_epi32(words, 24)};
  }

  static Rgba<I> loadBytePixels(unsigned char const* const* p) {
    std::int32_t w[8];
    for (int k = 0; k < 8; ++k)
      std::memcpy(&w[k], p[k], sizeof w[k]);
    return byteChannels(_mm256_setr_epi32(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]));
  }

  // All bits set in the lanes of v that lie in [0, bound).
  static I withinBound(I v, I bound) {
    return _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), v), _mm256_cmpgt_epi32(bound, v));
  }

  // Plain samples of one input row (null: outside): one load when the
  // columns are consecutive and inside, as they are unless the offset is
  // not whole.
  ZF_INLINE static Rgba<I> gatherRowBytes(unsigned char const* rowData, int const* columns, int width) {
    if (rowData == nullptr)
      return byteChannels(_mm256_setzero_si256());
    I const x = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(columns));
    I const inside = withinBound(x, _mm256_set1_epi32(width));
    I const consecutive = _mm256_cmpeq_epi32(x, iota(columns[0]));
    if (_mm256_movemask_epi8(_mm256_and_si256(inside, consecutive)) == -1)
      return byteChannels(
          _mm256_loadu_si256(reinterpret_cast<__m256i const*>(rowData + std::ptrdiff_t{4} * columns[0])));
    return byteChannels(_mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                                    reinterpret_cast<int const*>(rowData), x, inside, 4));
  }

  // RGBA32 samples by byte offset from the input's start, a gather per
  // channel; lanes outside read 0.
  ZF_INLINE static Rgba<F> gatherFloatPixels(unsigned char const* input, int const* columns, int const* rows,
                                             int width, int height, std::int32_t rowBytes) {
    I const x = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(columns));
    I const y = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(rows));
    F const inside = _mm256_castsi256_ps(_mm256_and_si256(withinBound(x, _mm256_set1_epi32(width)),
                                                          withinBound(y, _mm256_set1_epi32(height))));
    I const offset =
        _mm256_add_epi32(_mm256_mullo_epi32(y, _mm256_set1_epi32(rowBytes)), _mm256_slli_epi32(x, 4));
    // Every channel by its byte offset from the one base: the input may be
    // empty (null), and no lane is then read, but null + 1 is no pointer.
    float const* base = reinterpret_cast<float const*>(input);
    F const zero = _mm256_setzero_ps();
    auto const channel = [&](int c) {
      return _mm256_mask_i32gather_ps(zero, base, _mm256_add_epi32(offset, _mm256_set1_epi32(4 * c)), inside,
                                      1);
    };
    return {channel(0), channel(1), channel(2), channel(3)};
  }

  // Displaced samples by byte offset from the input's start; lanes outside
  // read 0.
  ZF_INLINE static Rgba<I> gatherBytes(unsigned char const* input, int const* columns, int const* rows,
                                       int width, int height, std::int32_t rowBytes, bool oneRow) {
    I const x = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(columns));
    I const y = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(rows));
    I const inside =
        _mm256_and_si256(withinBound(x, _mm256_set1_epi32(width)), withinBound(y, _mm256_set1_epi32(height)));
    // Where the displaced row is one for the whole output row (oneRow),
    // lanes that share the first lane's row and lie within eight pixels of
    // its column, all inside: one load, and a permute puts each pixel in its
    // lane. Elsewhere the test would be a branch no predictor follows.
    if (oneRow) {
      I const step = _mm256_sub_epi32(x, _mm256_set1_epi32(columns[0]));
      I const near = _mm256_and_si256(_mm256_cmpeq_epi32(y, _mm256_set1_epi32(rows[0])),
                                      withinBound(step, _mm256_set1_epi32(8)));
      if (_mm256_movemask_epi8(_mm256_and_si256(inside, near)) == -1 && columns[0] <= width - 8) {
        unsigned char const* first =
            input + std::ptrdiff_t{rows[0]} * rowBytes + std::ptrdiff_t{4} * columns[0];
        I const window = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(first));
        return byteChannels(_mm256_permutevar8x32_epi32(window, step));
      }
    }
    I const offset =
        _mm256_add_epi32(_mm256_mullo_epi32(y, _mm256_set1_epi32(rowBytes)), _mm256_slli_epi32(x, 2));
    return byteChannels(_mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                                    reinterpret_cast<int const*>(input), offset, inside, 1));
  }
};

// RGBA32 samples merged two pixels to a register, as they lie in memory,
// which spares transposing pixels that arrive and leave whole: every
// channel of Rgba<F> is the whole register, of which only that channel's
// lanes count, and the alpha is spread over its pixel's four lanes.
struct Avx2PixelPairs : Avx2Lanes {
  static constexpr int lanes = 2;

  // Every channel's mask is the lanes of all displaced channels: selecting
  // with it once gives the whole merged pixel, whichever channel is asked.
  using ChannelMask = F;
  static F displacedMask(DisplacedChannels all, bool) {
    int const r = all.red ? -1 : 0;
    int const g = all.green ? -1 : 0;
    int const b = all.blue ? -1 : 0;
    return _mm256_castsi256_ps(_mm256_setr_epi32(r, g, b, 0, r, g, b, 0));
  }

  static Rgba<F> loadPixels(unsigned char const* const* p) {
    F const pixels = pixelPair(p[0], p[1]);
    F const alpha = _mm256_shuffle_ps(pixels, pixels, _MM_SHUFFLE(3, 3, 3, 3));
    return {pixels, pixels, pixels, alpha};
  }

  static void storePixels(unsigned char* dst, Rgba<F> const& px) {
    F const rg = _mm256_blend_ps(px.r, px.g, 0x22);
    F const rgb = _mm256_blend_ps(rg, px.b, 0x44);
    _mm256_storeu_ps(reinterpret_cast<float*>(dst), _mm256_blend_ps(rgb, px.a, 0x88));
  }
};

}  // namespace

void processRowsAvx2(KernelFrame const& frame, int firstRow, int endRow) {
  processRowsOn<Avx2Lanes>(frame, firstRow, endRow);
}

ZF_END_AVX2

#else

void processRowsAvx2(KernelFrame const&, int, int) {}

#endif
