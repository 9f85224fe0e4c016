// The vector variants of the kernel: SSE2, the x86-64 baseline, and AVX2,
// chosen at run time. Bit-exact with the scalar variant: the same IEEE
// operations in the same order, lane by lane (division and square root are
// correctly rounded in every instruction set; no fused multiply-add exists
// in the instruction sets enabled here, and contraction is off everywhere).

#include "KernelFrame.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#define ZF_KERNEL_SIMD 1
#include <emmintrin.h>
#if defined(__GNUC__)
#define ZF_KERNEL_AVX2 1
#include <cpuid.h>
#include <immintrin.h>
#endif
#endif

#if ZF_KERNEL_SIMD

namespace {

// Colour lanes taken from the displaced sample, by Mode and the sign of Amount.
__m128 displacedLanes(int mode, bool positive) {
  int r = 0, g = 0, b = 0;
  switch (mode) {
    case 0:
      (positive ? r : g) = -1;
      b = positive ? 0 : -1;
      break;
    case 1:
      (positive ? g : r) = -1;
      b = positive ? 0 : -1;
      break;
    case 2:
      (positive ? b : r) = -1;
      g = positive ? 0 : -1;
      break;
    default:
      break;
  }
  return _mm_castsi128_ps(_mm_setr_epi32(r, g, b, 0));
}

}  // namespace

namespace sse2 {

#define ZF_LANES_TARGET
using F = __m128;
using I = __m128i;
constexpr int lanes = 4;

inline F fset1(float v) {
  return _mm_set1_ps(v);
}
inline F fadd(F a, F b) {
  return _mm_add_ps(a, b);
}
inline F fsub(F a, F b) {
  return _mm_sub_ps(a, b);
}
inline F fmul(F a, F b) {
  return _mm_mul_ps(a, b);
}
inline F fdiv(F a, F b) {
  return _mm_div_ps(a, b);
}
inline F fsqrt(F a) {
  return _mm_sqrt_ps(a);
}
inline F less(F a, F b) {
  return _mm_cmplt_ps(a, b);
}
inline F greater(F a, F b) {
  return _mm_cmpgt_ps(a, b);
}
inline F andMask(F a, F b) {
  return _mm_and_ps(a, b);
}
inline F select(F mask, F a, F b) {
  return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}
inline F fromInt(I v) {
  return _mm_cvtepi32_ps(v);
}
// Truncation toward zero; NaN and out-of-range lanes give INT_MIN.
inline I truncInt(F v) {
  return _mm_cvttps_epi32(v);
}
inline I iota(int x0) {
  return _mm_add_epi32(_mm_set1_epi32(x0), _mm_setr_epi32(0, 1, 2, 3));
}
inline void storeInts(int* dst, I v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
}

// v / 255 per channel, divided as the scalar kernel divides.
inline __m128 bytePixel(unsigned char const* p) {
  std::int32_t packed;
  std::memcpy(&packed, p, sizeof packed);
  __m128i const zero = _mm_setzero_si128();
  __m128i v = _mm_cvtsi32_si128(packed);
  v = _mm_unpacklo_epi8(v, zero);
  v = _mm_unpacklo_epi16(v, zero);
  return _mm_div_ps(_mm_cvtepi32_ps(v), _mm_set1_ps(255.0f));
}

#define ZF_LANES_PAIRS 0
#include "KernelLanes.inl"
#undef ZF_LANES_PAIRS
#undef ZF_LANES_TARGET

}  // namespace sse2

void processRowsSse2(KernelFrame const& frame, int firstRow, int endRow) {
  sse2::processRows(frame, firstRow, endRow);
}

bool simdCompiled() {
  return true;
}

#else

void processRowsSse2(KernelFrame const&, int, int) {}
bool simdCompiled() {
  return false;
}

#endif

#if ZF_KERNEL_AVX2

namespace avx2 {

#define ZF_LANES_TARGET __attribute__((target("avx2")))
using F = __m256;
using I = __m256i;
constexpr int lanes = 8;

ZF_LANES_TARGET inline F fset1(float v) {
  return _mm256_set1_ps(v);
}
ZF_LANES_TARGET inline F fadd(F a, F b) {
  return _mm256_add_ps(a, b);
}
ZF_LANES_TARGET inline F fsub(F a, F b) {
  return _mm256_sub_ps(a, b);
}
ZF_LANES_TARGET inline F fmul(F a, F b) {
  return _mm256_mul_ps(a, b);
}
ZF_LANES_TARGET inline F fdiv(F a, F b) {
  return _mm256_div_ps(a, b);
}
ZF_LANES_TARGET inline F fsqrt(F a) {
  return _mm256_sqrt_ps(a);
}
ZF_LANES_TARGET inline F less(F a, F b) {
  return _mm256_cmp_ps(a, b, _CMP_LT_OQ);
}
ZF_LANES_TARGET inline F greater(F a, F b) {
  return _mm256_cmp_ps(a, b, _CMP_GT_OQ);
}
ZF_LANES_TARGET inline F andMask(F a, F b) {
  return _mm256_and_ps(a, b);
}
ZF_LANES_TARGET inline F select(F mask, F a, F b) {
  return _mm256_blendv_ps(b, a, mask);
}
ZF_LANES_TARGET inline F fromInt(I v) {
  return _mm256_cvtepi32_ps(v);
}
ZF_LANES_TARGET inline I truncInt(F v) {
  return _mm256_cvttps_epi32(v);
}
ZF_LANES_TARGET inline I iota(int x0) {
  return _mm256_add_epi32(_mm256_set1_epi32(x0), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}
ZF_LANES_TARGET inline void storeInts(int* dst, I v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), v);
}

ZF_LANES_TARGET inline __m128 bytePixel(unsigned char const* p) {
  std::int32_t packed;
  std::memcpy(&packed, p, sizeof packed);
  __m128i const v = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(packed));
  return _mm_div_ps(_mm_cvtepi32_ps(v), _mm_set1_ps(255.0f));
}

ZF_LANES_TARGET inline __m256 bytePixelPair(unsigned char const* first, unsigned char const* second) {
  std::int32_t a, b;
  std::memcpy(&a, first, sizeof a);
  std::memcpy(&b, second, sizeof b);
  __m256i const v = _mm256_cvtepu8_epi32(_mm_insert_epi32(_mm_cvtsi32_si128(a), b, 1));
  return _mm256_div_ps(_mm256_cvtepi32_ps(v), _mm256_set1_ps(255.0f));
}

// The colour bytes of an RGBA8 pixel (R lowest) that come from the
// displaced sample, from the float lane mask.
ZF_LANES_TARGET inline __m256i displacedByteLanes(__m128 displaced) {
  int const colours = _mm_movemask_ps(displaced);
  std::uint32_t bytes = 0;
  for (int c = 0; c < 3; ++c)
    if ((colours >> c) & 1)
      bytes |= 0xFFu << (8 * c);
  return _mm256_set1_epi32(static_cast<int>(bytes));
}

#define ZF_LANES_PAIRS 1
#include "KernelLanes.inl"
#undef ZF_LANES_PAIRS
#undef ZF_LANES_TARGET

}  // namespace avx2

void processRowsAvx2(KernelFrame const& frame, int firstRow, int endRow) {
  avx2::processRows(frame, firstRow, endRow);
}

// cpuid says the processor has AVX2, xgetbv that the system saves the
// 256-bit registers across thread switches.
bool cpuHasAvx2() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d))
    return false;
  bool const osxsave = (c & (1u << 27)) != 0;
  bool const avx = (c & (1u << 28)) != 0;
  if (!osxsave || !avx)
    return false;
  unsigned xcr0Low = 0, xcr0High = 0;
  __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & 6u) != 6u)
    return false;
  if (__get_cpuid_max(0, nullptr) < 7)
    return false;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & (1u << 5)) != 0;
}

#else

void processRowsAvx2(KernelFrame const&, int, int) {}
bool cpuHasAvx2() {
  return false;
}

#endif
