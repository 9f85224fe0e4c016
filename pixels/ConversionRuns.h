// The fifteen conversions as one table: each instruction set's code
// (Convert{Scalar,Sse2,Avx2,Neon}.cpp) converts the whole blocks of a row,
// Conversions.cpp polls the host and finishes each row.
#ifndef ZF_PIXELS_CONVERSIONRUNS_H
#define ZF_PIXELS_CONVERSIONRUNS_H

#include <cstddef>

// name, source layout, destination layout, per-channel rule.
#define ZF_CONVERSIONS(X)                                     \
  X(ARGB8_to_RGBA8, ARGB8, RGBA8, CopyByte)                   \
  X(ARGB8_to_RGBA32, ARGB8, RGBA32, ByteToFloat)              \
  X(ARGB16_to_RGBA8, ARGB16, RGBA8, WordToByte)               \
  X(ARGB16_to_RGBA32, ARGB16, RGBA32, WordToFloat)            \
  X(ARGB32_to_RGBA8, ARGB32, RGBA8, FloatToByte)              \
  X(ARGB32_to_RGBA32, ARGB32, RGBA32, FloatToFloat)           \
  X(BGRA8_to_RGBA8, BGRA8, RGBA8, CopyByte)                   \
  X(BGRA8_to_RGBA32, BGRA8, RGBA32, ByteToFloat)              \
  X(BGRA32_to_RGBA8, BGRA32, RGBA8, FloatToByte)              \
  X(BGRA32_to_RGBA32, BGRA32, RGBA32, FloatToFloat)           \
  X(RGBA32_to_ARGB8, RGBA32, ARGB8, FloatToByte)              \
  X(RGBA32_to_ARGB16, RGBA32, ARGB16, FloatToWord)            \
  X(RGBA32_to_ARGB32_saturate, RGBA32, ARGB32, FloatSaturate) \
  X(RGBA32_to_BGRA8, RGBA32, BGRA8, FloatToByte)              \
  X(RGBA32_to_BGRA32_saturate, RGBA32, BGRA32, FloatSaturate)

enum class ConversionId {
#define ZF_CONVERSION_ID(name, Src, Dst, Rule) name,
  ZF_CONVERSIONS(ZF_CONVERSION_ID)
#undef ZF_CONVERSION_ID
};

inline constexpr std::size_t conversionCount = 0
#define ZF_ONE_CONVERSION(name, Src, Dst, Rule) +1
    ZF_CONVERSIONS(ZF_ONE_CONVERSION)
#undef ZF_ONE_CONVERSION
    ;

// Converts pixels from .. of one row from src to dst (both the row's first
// byte), as many whole blocks of its instruction set as fit, and returns
// the pixel it stopped at. The scalar code's block is one pixel.
using PixelRun = std::ptrdiff_t (*)(unsigned char const* src, unsigned char* dst, std::ptrdiff_t from,
                                    std::ptrdiff_t width, float gain);

// Each instruction set's table, indexed by ConversionId; null where this
// build does not carry the instruction set.
PixelRun const* scalarPixelRuns();
PixelRun const* sse2PixelRuns();
PixelRun const* avx2PixelRuns();
PixelRun const* neonPixelRuns();

#endif
