// The rules of Conversions.cpp, several pixels at a time: SSE2, the x86-64
// baseline, and AVX2 where the processor has it. Included by Conversions.cpp
// inside its anonymous namespace, after the layouts and the rules.
//
// Each lane goes through the same float operations as the scalar rule, in
// the same order, so it holds the same bits. Each vectorRun converts a
// multiple of its step and returns how many pixels that was; the scalar loop
// does the rest of the row.

#if ZF_CONVERT_SSE2

// The order, for _mm_shuffle_epi32, _mm_shuffle_ps, _mm_shufflelo/hi_epi16
// and their 256-bit forms alike, that moves each channel from its place in a
// source pixel to its place in a destination pixel.
template <class Src, class Dst>
constexpr int laneOrder() {
  constexpr std::ptrdiff_t s = sizeof(typename Src::Type);
  constexpr std::ptrdiff_t d = sizeof(typename Dst::Type);
  return static_cast<int>(
      (Src::alpha / s) << (2 * (Dst::alpha / d)) | (Src::red / s) << (2 * (Dst::red / d)) |
      (Src::green / s) << (2 * (Dst::green / d)) | (Src::blue / s) << (2 * (Dst::blue / d)));
}

// Rows are converted in blocks, each first asking for the lines some way
// ahead on both sides: every row starts a new stream that the processor's
// own prefetcher is slow to pick up, and a store to a line not yet cached
// waits for the line to be read.
constexpr std::ptrdiff_t blockBytes = 1024;  // of the wider side
constexpr std::uintptr_t prefetchDistance = 2048;

// In integer arithmetic: the lines ahead may lie past the row, where a
// prefetch is harmless but a pointer may not point.
inline void prefetchAhead(unsigned char const* block, std::ptrdiff_t bytes) {
  std::uintptr_t const first = reinterpret_cast<std::uintptr_t>(block) + prefetchDistance;
  for (std::ptrdiff_t offset = 0; offset < bytes; offset += 64)
    _mm_prefetch(reinterpret_cast<char const*>(first + static_cast<std::uintptr_t>(offset)), _MM_HINT_T0);
}

// A vectorRun of one instruction set for one rule.
template <class Rule>
using VectorRun = std::ptrdiff_t (*)(Rule, unsigned char const*, unsigned char*, std::ptrdiff_t, float);

// Converts the row with run a block at a time; returns the pixels converted.
template <class Src, class Dst, class Rule>
std::ptrdiff_t streamRow(VectorRun<Rule> run, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gain) {
  // 64, 128 or 256 pixels: a multiple of every step.
  constexpr std::ptrdiff_t blockPixels = blockBytes / std::max(Src::pixelBytes, Dst::pixelBytes);
  std::ptrdiff_t x = 0;
  while (x < width) {
    std::ptrdiff_t const n = width - x < blockPixels ? width - x : blockPixels;
    unsigned char const* sp = s + x * Src::pixelBytes;
    unsigned char* dp = d + x * Dst::pixelBytes;
    prefetchAhead(sp, n * Src::pixelBytes);
    prefetchAhead(dp, n * Dst::pixelBytes);
    std::ptrdiff_t const done = run(Rule{}, sp, dp, n, gain);
    x += done;
    if (done < n)
      break;
  }
  return x;
}

// WordToByte folds K16 and 255 into one product: v * K16 * 255 is exact for
// every 16-bit v (v * 255 has at most 24 bits), and so is 255 / 32768, so
// the single product rounds to the same float.
constexpr float wordToByteScale = K16 * 255.0f;

namespace sse2 {

inline __m128i loadBytes(unsigned char const* p) {
  return _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
}

inline void storeBytes(unsigned char* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Two pixels of 16-bit lanes, each put in destination order.
template <int Order>
inline __m128i reorderWords(__m128i pixels) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, Order), Order);
}

// Four 8-bit pixels widened to 16-bit lanes in destination order: pixels 0
// and 1 in `first`, 2 and 3 in `second`.
template <int Order>
inline void widenBytes(__m128i bytes, __m128i& first, __m128i& second) {
  __m128i const zero = _mm_setzero_si128();
  first = reorderWords<Order>(_mm_unpacklo_epi8(bytes, zero));
  second = reorderWords<Order>(_mm_unpackhi_epi8(bytes, zero));
}

// Two pixels of 16-bit lanes as one pixel of int32 lanes each.
inline __m128i firstPixelOfWords(__m128i words) {
  return _mm_unpacklo_epi16(words, _mm_setzero_si128());
}

inline __m128i secondPixelOfWords(__m128i words) {
  return _mm_unpackhi_epi16(words, _mm_setzero_si128());
}

// Four pixels of int32 lanes, each 0 .. 255, as 16 bytes.
inline __m128i narrowToBytes(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
  return _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
}

// ByteToFloat and WordToFloat on one pixel of int32 lanes: int to float is
// exact, then the two products.
inline __m128 scaledPixel(__m128i channels, __m128 k, __m128 gain) {
  __m128 const x = _mm_mul_ps(_mm_cvtepi32_ps(channels), k);
  return _mm_mul_ps(x, gain);
}

// WordToByte on one pixel of int32 lanes: the low 8 bits of the truncated
// value. Lanes that fit no int convert to 0x80000000, whose low 8 bits are
// the 0 the rule gives.
inline __m128i wrappedBytePixel(__m128i channels, __m128 gain) {
  __m128 x = _mm_mul_ps(_mm_cvtepi32_ps(channels), _mm_set1_ps(wordToByteScale));
  x = _mm_mul_ps(x, gain);
  return _mm_and_si128(_mm_cvttps_epi32(x), _mm_set1_epi32(0xFF));
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

template <class Src, class Dst>
std::ptrdiff_t vectorRun(CopyByte, unsigned char const* s, unsigned char* d, std::ptrdiff_t width, float) {
  constexpr int order = laneOrder<Src, Dst>();
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i first, second;
    widenBytes<order>(loadBytes(s + x * 4), first, second);
    storeBytes(d + x * 4, _mm_packus_epi16(first, second));
  }
  return x;
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(ByteToFloat, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m128 const k = _mm_set1_ps(K8);
  __m128 const gain = _mm_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i first, second;
    widenBytes<order>(loadBytes(s + x * 4), first, second);
    float* out = reinterpret_cast<float*>(d + x * 16);
    _mm_storeu_ps(out, scaledPixel(firstPixelOfWords(first), k, gain));
    _mm_storeu_ps(out + 4, scaledPixel(secondPixelOfWords(first), k, gain));
    _mm_storeu_ps(out + 8, scaledPixel(firstPixelOfWords(second), k, gain));
    _mm_storeu_ps(out + 12, scaledPixel(secondPixelOfWords(second), k, gain));
  }
  return x;
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(WordToFloat, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m128 const k = _mm_set1_ps(K16);
  __m128 const gain = _mm_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 2 <= width; x += 2) {
    __m128i const words = reorderWords<order>(loadBytes(s + x * 8));
    float* out = reinterpret_cast<float*>(d + x * 16);
    _mm_storeu_ps(out, scaledPixel(firstPixelOfWords(words), k, gain));
    _mm_storeu_ps(out + 4, scaledPixel(secondPixelOfWords(words), k, gain));
  }
  return x;
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(WordToByte, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m128 const gain = _mm_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    __m128i const first = reorderWords<order>(loadBytes(s + x * 8));
    __m128i const second = reorderWords<order>(loadBytes(s + x * 8 + 16));
    storeBytes(d + x * 4, narrowToBytes(wrappedBytePixel(firstPixelOfWords(first), gain),
                                        wrappedBytePixel(secondPixelOfWords(first), gain),
                                        wrappedBytePixel(firstPixelOfWords(second), gain),
                                        wrappedBytePixel(secondPixelOfWords(second), gain)));
  }
  return x;
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(FloatToByte, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m128 const gain = _mm_set1_ps(gainValue);
  __m128 const fullScale = _mm_set1_ps(255.0f);
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    unsigned char const* p = s + x * 16;
    storeBytes(d + x * 4, narrowToBytes(roundedPixel<order>(p, gain, fullScale),
                                        roundedPixel<order>(p + 16, gain, fullScale),
                                        roundedPixel<order>(p + 32, gain, fullScale),
                                        roundedPixel<order>(p + 48, gain, fullScale)));
  }
  return x;
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(FloatToWord, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m128 const gain = _mm_set1_ps(gainValue);
  __m128 const fullScale = _mm_set1_ps(32768.0f);
  // Values are 0 .. 32768, beyond the signed pack: shifted down by 32768
  // they pack exactly, and flipping the top bit shifts them back.
  __m128i const bias = _mm_set1_epi32(32768);
  __m128i const flip = _mm_set1_epi16(static_cast<short>(0x8000));
  std::ptrdiff_t x = 0;
  for (; x + 2 <= width; x += 2) {
    unsigned char const* p = s + x * 16;
    __m128i const first = _mm_sub_epi32(roundedPixel<order>(p, gain, fullScale), bias);
    __m128i const second = _mm_sub_epi32(roundedPixel<order>(p + 16, gain, fullScale), bias);
    storeBytes(d + x * 8, _mm_xor_si128(_mm_packs_epi32(first, second), flip));
  }
  return x;
}

// FloatToFloat and FloatSaturate: a float pixel in, a float pixel out.
template <class Src, class Dst, bool Clamp>
std::ptrdiff_t floatPixels(unsigned char const* s, unsigned char* d, std::ptrdiff_t width, float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m128 const gain = _mm_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 2 <= width; x += 2) {
    float const* in = reinterpret_cast<float const*>(s + x * 16);
    float* out = reinterpret_cast<float*>(d + x * 16);
    for (int i = 0; i < 8; i += 4) {
      __m128 v = _mm_mul_ps(_mm_loadu_ps(in + i), gain);
      if constexpr (Clamp)
        v = clampUnitLanes(v);
      _mm_storeu_ps(out + i, _mm_shuffle_ps(v, v, order));
    }
  }
  return x;
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(FloatToFloat, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gain) {
  return floatPixels<Src, Dst, false>(s, d, width, gain);
}

template <class Src, class Dst>
std::ptrdiff_t vectorRun(FloatSaturate, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                         float gain) {
  return floatPixels<Src, Dst, true>(s, d, width, gain);
}

}  // namespace sse2

#endif

#if ZF_CONVERT_AVX2

// The same in 256-bit registers: two float pixels to a register, eight
// 8-bit pixels. Shuffles and packs work within each 128-bit half, so the
// per-pixel orders above apply to both halves, and the packs leave pixels
// interleaved across the halves until one permute puts them back in order.
namespace avx2 {

#define ZF_AVX2 __attribute__((target("avx2")))

ZF_AVX2 inline __m256i loadBytes(unsigned char const* p) {
  return _mm256_loadu_si256(reinterpret_cast<__m256i const*>(p));
}

ZF_AVX2 inline void storeBytes(unsigned char* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Two pixels as int32 lanes in destination order.
template <int Order>
ZF_AVX2 inline __m256i bytePixels(unsigned char const* p) {
  __m128i const bytes = _mm_loadl_epi64(reinterpret_cast<__m128i const*>(p));
  return _mm256_shuffle_epi32(_mm256_cvtepu8_epi32(bytes), Order);
}

template <int Order>
ZF_AVX2 inline __m256i wordPixels(unsigned char const* p) {
  __m128i const words = _mm_loadu_si128(reinterpret_cast<__m128i const*>(p));
  return _mm256_shuffle_epi32(_mm256_cvtepu16_epi32(words), Order);
}

// Eight pixels of int32 lanes, each 0 .. 255, two to a register, as 32
// bytes. The packs give pixels 0 2 4 6 in the low half, 1 3 5 7 in the high.
ZF_AVX2 inline __m256i narrowToBytes(__m256i p01, __m256i p23, __m256i p45, __m256i p67) {
  __m256i const packed = _mm256_packus_epi16(_mm256_packs_epi32(p01, p23), _mm256_packs_epi32(p45, p67));
  return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

ZF_AVX2 inline __m256 scaledPixels(__m256i channels, __m256 k, __m256 gain) {
  __m256 const x = _mm256_mul_ps(_mm256_cvtepi32_ps(channels), k);
  return _mm256_mul_ps(x, gain);
}

ZF_AVX2 inline __m256i wrappedBytePixels(__m256i channels, __m256 gain) {
  __m256 x = _mm256_mul_ps(_mm256_cvtepi32_ps(channels), _mm256_set1_ps(wordToByteScale));
  x = _mm256_mul_ps(x, gain);
  return _mm256_and_si256(_mm256_cvttps_epi32(x), _mm256_set1_epi32(0xFF));
}

ZF_AVX2 inline __m256 clampUnitLanes(__m256 x) {
  __m256 const c = _mm256_min_ps(_mm256_set1_ps(1.0f), x);
  return _mm256_max_ps(c, _mm256_setzero_ps());
}

template <int Order>
ZF_AVX2 inline __m256i roundedPixels(unsigned char const* p, __m256 gain, __m256 fullScale) {
  __m256 c = _mm256_mul_ps(_mm256_loadu_ps(reinterpret_cast<float const*>(p)), gain);
  c = clampUnitLanes(c);
  c = _mm256_mul_ps(c, fullScale);
  c = _mm256_add_ps(c, _mm256_set1_ps(0.5f));
  return _mm256_shuffle_epi32(_mm256_cvttps_epi32(c), Order);
}

// The byte shuffle that reorders the channels of every 8-bit pixel: byte b
// of a 128-bit half takes byte (b & 12) + its channel's source place.
template <int Order>
constexpr std::array<std::int8_t, 32> channelShuffle() {
  std::array<std::int8_t, 32> index{};
  for (int b = 0; b < 32; ++b)
    index[static_cast<std::size_t>(b)] = static_cast<std::int8_t>((b & 12) + ((Order >> (2 * (b & 3))) & 3));
  return index;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(CopyByte, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float) {
  static constexpr std::array<std::int8_t, 32> index = channelShuffle<laneOrder<Src, Dst>()>();
  __m256i const shuffle = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(index.data()));
  std::ptrdiff_t x = 0;
  for (; x + 8 <= width; x += 8)
    storeBytes(d + x * 4, _mm256_shuffle_epi8(loadBytes(s + x * 4), shuffle));
  return x;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(ByteToFloat, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m256 const k = _mm256_set1_ps(K8);
  __m256 const gain = _mm256_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    float* out = reinterpret_cast<float*>(d + x * 16);
    _mm256_storeu_ps(out, scaledPixels(bytePixels<order>(s + x * 4), k, gain));
    _mm256_storeu_ps(out + 8, scaledPixels(bytePixels<order>(s + x * 4 + 8), k, gain));
  }
  return x;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(WordToFloat, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m256 const k = _mm256_set1_ps(K16);
  __m256 const gain = _mm256_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    float* out = reinterpret_cast<float*>(d + x * 16);
    _mm256_storeu_ps(out, scaledPixels(wordPixels<order>(s + x * 8), k, gain));
    _mm256_storeu_ps(out + 8, scaledPixels(wordPixels<order>(s + x * 8 + 16), k, gain));
  }
  return x;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(WordToByte, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m256 const gain = _mm256_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 8 <= width; x += 8) {
    unsigned char const* p = s + x * 8;
    storeBytes(d + x * 4, narrowToBytes(wrappedBytePixels(wordPixels<order>(p), gain),
                                        wrappedBytePixels(wordPixels<order>(p + 16), gain),
                                        wrappedBytePixels(wordPixels<order>(p + 32), gain),
                                        wrappedBytePixels(wordPixels<order>(p + 48), gain)));
  }
  return x;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(FloatToByte, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m256 const gain = _mm256_set1_ps(gainValue);
  __m256 const fullScale = _mm256_set1_ps(255.0f);
  std::ptrdiff_t x = 0;
  for (; x + 8 <= width; x += 8) {
    unsigned char const* p = s + x * 16;
    storeBytes(d + x * 4, narrowToBytes(roundedPixels<order>(p, gain, fullScale),
                                        roundedPixels<order>(p + 32, gain, fullScale),
                                        roundedPixels<order>(p + 64, gain, fullScale),
                                        roundedPixels<order>(p + 96, gain, fullScale)));
  }
  return x;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(FloatToWord, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m256 const gain = _mm256_set1_ps(gainValue);
  __m256 const fullScale = _mm256_set1_ps(32768.0f);
  __m256i const bias = _mm256_set1_epi32(32768);
  __m256i const flip = _mm256_set1_epi16(static_cast<short>(0x8000));
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    unsigned char const* p = s + x * 16;
    __m256i const first = _mm256_sub_epi32(roundedPixels<order>(p, gain, fullScale), bias);
    __m256i const second = _mm256_sub_epi32(roundedPixels<order>(p + 32, gain, fullScale), bias);
    // The pack gives pixels 0 2 | 1 3; the 64-bit permute puts them in order.
    __m256i const packed = _mm256_packs_epi32(first, second);
    storeBytes(d + x * 8, _mm256_xor_si256(_mm256_permute4x64_epi64(packed, 0xD8), flip));
  }
  return x;
}

template <class Src, class Dst, bool Clamp>
ZF_AVX2 std::ptrdiff_t floatPixels(unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                   float gainValue) {
  constexpr int order = laneOrder<Src, Dst>();
  __m256 const gain = _mm256_set1_ps(gainValue);
  std::ptrdiff_t x = 0;
  for (; x + 4 <= width; x += 4) {
    float const* in = reinterpret_cast<float const*>(s + x * 16);
    float* out = reinterpret_cast<float*>(d + x * 16);
    for (int i = 0; i < 16; i += 8) {
      __m256 v = _mm256_mul_ps(_mm256_loadu_ps(in + i), gain);
      if constexpr (Clamp)
        v = clampUnitLanes(v);
      _mm256_storeu_ps(out + i, _mm256_shuffle_ps(v, v, order));
    }
  }
  return x;
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(FloatToFloat, unsigned char const* s, unsigned char* d, std::ptrdiff_t width,
                                 float gain) {
  return floatPixels<Src, Dst, false>(s, d, width, gain);
}

template <class Src, class Dst>
ZF_AVX2 std::ptrdiff_t vectorRun(FloatSaturate, unsigned char const* s, unsigned char* d,
                                 std::ptrdiff_t width, float gain) {
  return floatPixels<Src, Dst, true>(s, d, width, gain);
}

#undef ZF_AVX2

}  // namespace avx2

#endif
