// The fifteen row conversions between host layouts and working buffers.
//
// Results are bit-exact: every 8-bit value must survive the trip to float and
// back, and every build must write the same bytes. So each rule is evaluated
// in 32-bit float, products left to right with one rounding each, one
// operation per line, never contracted (-ffp-contract=off on every target).
// A float reaches an int conversion only when it is known to fit: NaN and
// out-of-range values are settled before, since converting them is undefined.
//
// On x86-64 the rows run through SSE2 or AVX2 code (ConversionVectors.inl)
// that applies the same operations lane by lane; the widest path the
// processor has is chosen when the library is loaded.

#include "pixels/Convert.h"
#include "render/KernelPath.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#define ZF_CONVERT_SSE2 1
#include <emmintrin.h>
#if defined(__GNUC__)
#define ZF_CONVERT_AVX2 1
#include <immintrin.h>
#endif
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

#include "ConversionVectors.inl"

// Rows are addressed with the world's own rowbytes, which may include padding
// or be negative (rows stored bottom up).
unsigned char* rowStart(PF_EffectWorld const* world, A_long row) {
  return reinterpret_cast<unsigned char*>(world->data) +
         static_cast<std::int64_t>(world->rowbytes) * static_cast<std::int64_t>(row);
}

template <class Src, class Dst, class Rule>
PF_Err convertRow(ConversionPath path, void* refcon, A_long threadIndex, A_long row) {
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
  switch (path) {
    case ConversionPath::Avx2:
#if ZF_CONVERT_AVX2
      x = streamRow<Src, Dst, Rule>(avx2::vectorRun<Src, Dst>, s, d, width, gain);
#endif
      break;
    case ConversionPath::Sse2:
#if ZF_CONVERT_SSE2
      x = streamRow<Src, Dst, Rule>(sse2::vectorRun<Src, Dst>, s, d, width, gain);
#endif
      break;
    case ConversionPath::Scalar:
      break;
  }
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

ConversionPath widestSupportedPath() {
  ConversionPath widest = ConversionPath::Scalar;
  for (ConversionPath path : conversionPaths) {
    if (conversionPathSupported(path))
      widest = path;
  }
  return widest;
}

// Chosen when the library is loaded, so that a row takes no lock, not even a
// one-time initialisation guard.
ConversionPath const widestPath = widestSupportedPath();

}  // namespace

// rowCount is part of the callback shape; a row needs only its own number.

PF_Err it_Convert_ARGB8_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB8, RGBA8, CopyByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB8_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB8, RGBA32, ByteToFloat>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB16_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB16, RGBA8, WordToByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB16_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB16, RGBA32, WordToFloat>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB32_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB32, RGBA8, FloatToByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_ARGB32_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<ARGB32, RGBA32, FloatToFloat>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA8_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA8, RGBA8, CopyByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA8_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA8, RGBA32, ByteToFloat>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA32_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA32, RGBA8, FloatToByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_BGRA32_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<BGRA32, RGBA32, FloatToFloat>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_ARGB8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<RGBA32, ARGB8, FloatToByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_ARGB16(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<RGBA32, ARGB16, FloatToWord>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_ARGB32_saturate(void* refcon, A_long threadIndex, A_long row,
                                            A_long /*rowCount*/) {
  return convertRow<RGBA32, ARGB32, FloatSaturate>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_BGRA8(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<RGBA32, BGRA8, FloatToByte>(widestPath, refcon, threadIndex, row);
}

PF_Err it_Convert_RGBA32_to_BGRA32_saturate(void* refcon, A_long threadIndex, A_long row,
                                            A_long /*rowCount*/) {
  return convertRow<RGBA32, BGRA32, FloatSaturate>(widestPath, refcon, threadIndex, row);
}

bool conversionPathSupported(ConversionPath path) {
  switch (path) {
    case ConversionPath::Scalar:
      return true;
    case ConversionPath::Sse2:
#if ZF_CONVERT_SSE2
      return true;
#else
      return false;
#endif
    case ConversionPath::Avx2:
#if ZF_CONVERT_AVX2
      // The kernel's AVX2 variant is built under the same conditions, so its
      // answer is whether the processor and the system run AVX2 code.
      return kernelPathSupported(KernelPath::Avx2);
#else
      return false;
#endif
  }
  return false;
}

namespace {

template <class Src, class Dst, class Rule, ConversionPath Path>
PF_Err convertRowOn(void* refcon, A_long threadIndex, A_long row, A_long /*rowCount*/) {
  return convertRow<Src, Dst, Rule>(Path, refcon, threadIndex, row);
}

struct PathEntry {
  RowFunc conversion;
  RowFunc onPath[3];  // indexed by ConversionPath
};

template <class Src, class Dst, class Rule>
constexpr PathEntry pathEntry(RowFunc conversion) {
  return {conversion,
          {convertRowOn<Src, Dst, Rule, ConversionPath::Scalar>,
           convertRowOn<Src, Dst, Rule, ConversionPath::Sse2>,
           convertRowOn<Src, Dst, Rule, ConversionPath::Avx2>}};
}

PathEntry const pathEntries[] = {
    pathEntry<ARGB8, RGBA8, CopyByte>(it_Convert_ARGB8_to_RGBA8),
    pathEntry<ARGB8, RGBA32, ByteToFloat>(it_Convert_ARGB8_to_RGBA32),
    pathEntry<ARGB16, RGBA8, WordToByte>(it_Convert_ARGB16_to_RGBA8),
    pathEntry<ARGB16, RGBA32, WordToFloat>(it_Convert_ARGB16_to_RGBA32),
    pathEntry<ARGB32, RGBA8, FloatToByte>(it_Convert_ARGB32_to_RGBA8),
    pathEntry<ARGB32, RGBA32, FloatToFloat>(it_Convert_ARGB32_to_RGBA32),
    pathEntry<BGRA8, RGBA8, CopyByte>(it_Convert_BGRA8_to_RGBA8),
    pathEntry<BGRA8, RGBA32, ByteToFloat>(it_Convert_BGRA8_to_RGBA32),
    pathEntry<BGRA32, RGBA8, FloatToByte>(it_Convert_BGRA32_to_RGBA8),
    pathEntry<BGRA32, RGBA32, FloatToFloat>(it_Convert_BGRA32_to_RGBA32),
    pathEntry<RGBA32, ARGB8, FloatToByte>(it_Convert_RGBA32_to_ARGB8),
    pathEntry<RGBA32, ARGB16, FloatToWord>(it_Convert_RGBA32_to_ARGB16),
    pathEntry<RGBA32, ARGB32, FloatSaturate>(it_Convert_RGBA32_to_ARGB32_saturate),
    pathEntry<RGBA32, BGRA8, FloatToByte>(it_Convert_RGBA32_to_BGRA8),
    pathEntry<RGBA32, BGRA32, FloatSaturate>(it_Convert_RGBA32_to_BGRA32_saturate),
};

}  // namespace

RowFunc conversionOnPath(RowFunc conversion, ConversionPath path) {
  if (!conversionPathSupported(path))
    return nullptr;
  for (PathEntry const& entry : pathEntries) {
    if (entry.conversion == conversion)
      return entry.onPath[static_cast<int>(path)];
  }
  return nullptr;
}
