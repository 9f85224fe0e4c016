// The fifteen row conversions between host layouts and working buffers.
//
// Results are bit-exact: every 8-bit value must survive the trip to float and
// back, and every build must write the same bytes. So each rule is evaluated
// in 32-bit float, products left to right with one rounding each, one
// operation per line, never contracted (-ffp-contract=off on every target).
// A float reaches an int conversion only when it is known to fit: NaN and
// out-of-range values are settled before, since converting them is undefined.

#include "pixels/Convert.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#define ZF_CONVERT_SSE2 1
#include <emmintrin.h>
#endif

namespace {

// 1/255 and 1/32768 rounded to float (bit patterns 0x3B808081, 0x38000000).
constexpr float K8 = 0x1.010102p-8f;
constexpr float K16 = 0x1p-15f;

// Floats strictly inside these bounds truncate to a representable int32.
constexpr float intLow = -2147483648.0f;
constexpr float intHigh = 2147483648.0f;

// Per-channel rules: In is the source channel type, Out the destination's.

struct CopyByte {
  using In = std::uint8_t;
  using Out = std::uint8_t;
  static Out apply(In v, float /*gain*/) { return v; }
};

struct ByteToFloat {
  using In = std::uint8_t;
  using Out = float;
  static Out apply(In v, float gain) {
    float x = static_cast<float>(v) * K8;
    x = x * gain;
    return x;
  }
};

// Truncated, not rounded, and the low 8 bits kept: host values run to 32768,
// which gives exactly 255; anything above wraps rather than saturates.
struct WordToByte {
  using In = std::uint16_t;
  using Out = std::uint8_t;
  static Out apply(In v, float gain) {
    float x = static_cast<float>(v) * K16;
    x = x * 255.0f;
    x = x * gain;
    bool const fits = x > intLow && x < intHigh;
    return fits ? static_cast<Out>(static_cast<std::int32_t>(x)) : Out{0};
  }
};

struct WordToFloat {
  using In = std::uint16_t;
  using Out = float;
  static Out apply(In v, float gain) {
    float x = static_cast<float>(v) * K16;
    x = x * gain;
    return x;
  }
};

// x above 1 gives full scale, otherwise max(0, x) scaled and rounded half
// up; NaN gives 0. Clamping x to 1 first gives the same full scale
// (1 * 255 + 0.5 truncates to 255) and keeps the loop free of branches.
float clampUnit(float x) {
  float const c = x > 1.0f ? 1.0f : x;
  return c > 0.0f ? c : 0.0f;
}

struct FloatToByte {
  using In = float;
  using Out = std::uint8_t;
  static Out apply(In v, float gain) {
    float c = v * gain;
    c = clampUnit(c);
    c = c * 255.0f;
    c = c + 0.5f;
    return static_cast<Out>(static_cast<std::int32_t>(c));
  }
};

// Full intensity is 32768.
struct FloatToWord {
  using In = float;
  using Out = std::uint16_t;
  static Out apply(In v, float gain) {
    float c = v * gain;
    c = clampUnit(c);
    c = c * 32768.0f;
    c = c + 0.5f;
    return static_cast<Out>(static_cast<std::int32_t>(c));
  }
};

// Over-range and negative values pass into the working buffer unchanged.
struct FloatToFloat {
  using In = float;
  using Out = float;
  static Out apply(In v, float gain) { return v * gain; }
};

// Clamps to 0.0 .. 1.0. NaN is written as 0.0 on every platform, so a float
// frame never hands the host a NaN the effect produced.
struct FloatSaturate {
  using In = float;
  using Out = float;
  static Out apply(In v, float gain) { return clampUnit(v * gain); }
};

// Pixel layouts: the channel type and where each channel sits in a pixel.
template <class Channel, int AlphaAt, int RedAt, int GreenAt, int BlueAt>
struct Layout {
  using Type = Channel;
  static constexpr std::ptrdiff_t alpha = AlphaAt * static_cast<std::ptrdiff_t>(sizeof(Channel));
  static constexpr std::ptrdiff_t red = RedAt * static_cast<std::ptrdiff_t>(sizeof(Channel));
  static constexpr std::ptrdiff_t green = GreenAt * static_cast<std::ptrdiff_t>(sizeof(Channel));
  static constexpr std::ptrdiff_t blue = BlueAt * static_cast<std::ptrdiff_t>(sizeof(Channel));
  static constexpr std::ptrdiff_t pixelBytes = 4 * static_cast<std::ptrdiff_t>(sizeof(Channel));
};

using ARGB8 = Layout<std::uint8_t, 0, 1, 2, 3>;
using ARGB16 = Layout<std::uint16_t, 0, 1, 2, 3>;
using ARGB32 = Layout<float, 0, 1, 2, 3>;
using BGRA8 = Layout<std::uint8_t, 3, 2, 1, 0>;
using BGRA32 = Layout<float, 3, 2, 1, 0>;
using RGBA8 = Layout<std::uint8_t, 3, 0, 1, 2>;
using RGBA32 = Layout<float, 3, 0, 1, 2>;

// Channels go through memcpy: host rows carry no alignment promise beyond
// their own, and the compiler turns these into plain loads and stores.
template <class Channel>
Channel load(unsigned char const* p) {
  Channel c;
  std::memcpy(&c, p, sizeof c);
  return c;
}

template <class Channel>
void store(unsigned char* p, Channel c) {
  std::memcpy(p, &c, sizeof c);
}

#if ZF_CONVERT_SSE2

// The rules that the compiler leaves to a pixel at a time, four pixels at a
// time in SSE2 registers: the same float operations, lane by lane, in the
// same order. Each returns how many pixels it converted (a multiple of its
// step); the scalar loop does the rest.

// _mm_shuffle_epi32 order that moves each channel from its lane in a source
// pixel to its lane in a destination pixel.
template <class Src, class Dst>
constexpr int laneOrder() {
  constexpr std::ptrdiff_t s = sizeof(typename Src::Type);
  constexpr std::ptrdiff_t d = sizeof(typename Dst::Type);
  return static_cast<int>(
      (Src::alpha / s) << (2 * (Dst::alpha / d)) | (Src::red / s) << (2 * (Dst::red / d)) |
      (Src::green / s) << (2 * (Dst::green / d)) | (Src::blue / s) << (2 * (Dst::blue / d)));
}

// clampUnit() per lane: min_ps gives its second operand unless the first is
// smaller, so min(1, x) is "x > 1 ? 1 : x" and keeps NaN; max(c, 0) is
// "c > 0 ? c : 0" and turns NaN into 0.
inline __m128 clampUnitLanes(__m128 x) {
  __m128 const c = _mm_min_ps(_mm_set1_ps(1.0f), x);
  return _mm_max_ps(c, _mm_setzero_ps());
}

// FloatToByte or FloatToWord on one pixel: the rounded values as int32
// lanes in destination order.
template <int Order>
inline __m128i roundedPixel(unsigned char const* p, __m128 gain, __m128 fullScale) {
  __m128 c = _mm_mul_ps(_mm_loadu_ps(reinterpret_cast<float const*>(p)), gain);
  c = clampUnitLanes(c);
  c = _mm_mul_ps(c, fullScale);
  c = _mm_add_ps(c, _mm_set1_ps(0.5f));
  return _mm_shuffle_epi32(_mm_cvttps_epi32(c), Order);
}

template <class Src, class Dst, class Rule>
struct VectorRun {
  static constexpr bool available = false;
  static std::ptrdiff_t run(unsigned char const*, unsigned char*, std::ptrdiff_t, float) { return 0; }
};

template <class Src, class Dst>
struct VectorRun<Src, Dst, FloatToByte> {
  static constexpr bool available = true;
  static std::ptrdiff_t run(unsigned char const* s, unsigned char* d, std::ptrdiff_t width, float gainValue) {
    constexpr int order = laneOrder<Src, Dst>();
    __m128 const gain = _mm_set1_ps(gainValue);
    __m128 const fullScale = _mm_set1_ps(255.0f);
    std::ptrdiff_t x = 0;
    for (; x + 4 <= width; x += 4) {
      unsigned char const* p = s + x * 16;
      // Values are 0 .. 255: both packs are exact.
      __m128i const low = _mm_packs_epi32(roundedPixel<order>(p, gain, fullScale),
                                          roundedPixel<order>(p + 16, gain, fullScale));
      __m128i const high = _mm_packs_epi32(roundedPixel<order>(p + 32, gain, fullScale),
                                           roundedPixel<order>(p + 48, gain, fullScale));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4), _mm_packus_epi16(low, high));
    }
    return x;
  }
};

template <class Src, class Dst>
struct VectorRun<Src, Dst, FloatToWord> {
  static constexpr bool available = true;
  static std::ptrdiff_t run(unsigned char const* s, unsigned char* d, std::ptrdiff_t width, float gainValue) {
    constexpr int order = laneOrder<Src, Dst>();
    __m128 const gain = _mm_set1_ps(gainValue);
    __m128 const fullScale = _mm_set1_ps(32768.0f);
    // Values are 0 .. 32768, beyond the signed pack: shifted down by
    // 32768 they pack exactly, and flipping the top bit shifts them back.
    __m128i const bias = _mm_set1_epi32(32768);
    __m128i const flip = _mm_set1_epi16(static_cast<short>(0x8000));
    std::ptrdiff_t x = 0;
    for (; x + 2 <= width; x += 2) {
      unsigned char const* p = s + x * 16;
      __m128i const first = _mm_sub_epi32(roundedPixel<order>(p, gain, fullScale), bias);
      __m128i const second = _mm_sub_epi32(roundedPixel<order>(p + 16, gain, fullScale), bias);
      __m128i const words = _mm_xor_si128(_mm_packs_epi32(first, second), flip);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 8), words);
    }
    return x;
  }
};

template <class Src, class Dst>
struct VectorRun<Src, Dst, WordToByte> {
  static constexpr bool available = true;

  // The low 8 bits of the truncated value, as int32 lanes in destination
  // order; lanes that fit no int give 0.
  template <int Order>
  static __m128i pixel(__m128i words, __m128 gain) {
    __m128 x = _mm_mul_ps(_mm_cvtepi32_ps(words), _mm_set1_ps(K16));
    x = _mm_mul_ps(x, _mm_set1_ps(255.0f));
    x = _mm_mul_ps(x, gain);
    __m128 const fits =
        _mm_and_ps(_mm_cmpgt_ps(x, _mm_set1_ps(intLow)), _mm_cmplt_ps(x, _mm_set1_ps(intHigh)));
    __m128i const value = _mm_and_si128(_mm_cvttps_epi32(x), _mm_castps_si128(fits));
    return _mm_and_si128(_mm_shuffle_epi32(value, Order), _mm_set1_epi32(0xFF));
  }

  static std::ptrdiff_t run(unsigned char const* s, unsigned char* d, std::ptrdiff_t width, float gainValue) {
    constexpr int order = laneOrder<Src, Dst>();
    __m128 const gain = _mm_set1_ps(gainValue);
    __m128i const zero = _mm_setzero_si128();
    std::ptrdiff_t x = 0;
    for (; x + 4 <= width; x += 4) {
      unsigned char const* p = s + x * 8;
      __m128i const first = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
      __m128i const second = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p + 16));
      __m128i const low = _mm_packs_epi32(pixel<order>(_mm_unpacklo_epi16(first, zero), gain),
                                          pixel<order>(_mm_unpackhi_epi16(first, zero), gain));
      __m128i const high = _mm_packs_epi32(pixel<order>(_mm_unpacklo_epi16(second, zero), gain),
                                           pixel<order>(_mm_unpackhi_epi16(second, zero), gain));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x * 4), _mm_packus_epi16(low, high));
    }
    return x;
  }
};

#endif

// Rows are addressed with the world's own rowbytes, which may include padding
// or be negative (rows stored bottom up).
unsigned char* rowStart(PF_EffectWorld const* world, A_long row) {
  return reinterpret_cast<unsigned char*>(world->data) +
         static_cast<std::int64_t>(world->rowbytes) * static_cast<std::int64_t>(row);
}

template <class Src, class Dst, class Rule>
PF_Err convertRow(void* refcon, A_long threadIndex, A_long row) {
  static_assert(sizeof(typename Src::Type) == sizeof(typename Rule::In),
                "rule reads the source channel type");
  static_assert(sizeof(typename Dst::Type) == sizeof(typename Rule::Out), "rule writes the destination type");

  ConvertData const* cd = static_cast<ConvertData const*>(refcon);
  PF_Err result = PF_Err_NONE;
  if (threadIndex == 0)
    result = cd->inData->inter.abort(cd->inData->effect_ref);

  A_long const width = cd->src->width;
  if (width <= 0)
    return result;

  unsigned char const* __restrict s = rowStart(cd->src, row);
  unsigned char* __restrict d = rowStart(cd->dst, row);
  float const gain = cd->gain;
  using In = typename Rule::In;
  std::ptrdiff_t x = 0;
#if ZF_CONVERT_SSE2
  if constexpr (VectorRun<Src, Dst, Rule>::available)
    x = VectorRun<Src, Dst, Rule>::run(s, d, width, gain);
#endif
  for (; x < width; ++x) {
    unsigned char const* sp = s + x * Src::pixelBytes;
    unsigned char* dp = d + x * Dst::pixelBytes;
    In const a = load<In>(sp + Src::alpha);
    In const r = load<In>(sp + Src::red);
    In const g = load<In>(sp + Src::green);
    In const b = load<In>(sp + Src::blue);
    store(dp + Dst::alpha, Rule::apply(a, gain));
    store(dp + Dst::red, Rule::apply(r, gain));
    store(dp + Dst::green, Rule::apply(g, gain));
    store(dp + Dst::blue, Rule::apply(b, gain));
  }
  return result;
}

}  // namespace

// rowCount is part of the callback shape; a row needs only its own number.

PF_Err it_Convert_ARGB8_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB8, RGBA8, CopyByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB8_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB8, RGBA32, ByteToFloat>(refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB16_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB16, RGBA8, WordToByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB16_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB16, RGBA32, WordToFloat>(refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB32_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB32, RGBA8, FloatToByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB32_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB32, RGBA32, FloatToFloat>(refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA8_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA8, RGBA8, CopyByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA8_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA8, RGBA32, ByteToFloat>(refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA32_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA32, RGBA8, FloatToByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA32_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA32, RGBA32, FloatToFloat>(refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_ARGB8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<RGBA32, ARGB8, FloatToByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_ARGB16(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<RGBA32, ARGB16, FloatToWord>(refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_ARGB32_saturate(void* refcon, A_long threadIndex, A_long row,
                                            A_long /*rowCount*/) {
  return convertRow<RGBA32, ARGB32, FloatSaturate>(refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_BGRA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<RGBA32, BGRA8, FloatToByte>(refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_BGRA32_saturate(void* refcon, A_long threadIndex, A_long row,
                                            A_long /*rowCount*/) {
  return convertRow<RGBA32, BGRA32, FloatSaturate>(refcon, threadIndex, row);
}
