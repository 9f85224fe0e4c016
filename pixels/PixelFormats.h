// The pixel formats the effect renders: for each host format code, its pixel
// layout, the depth of the working input and the two conversions.
#ifndef ZF_PIXELS_PIXELFORMATS_H
#define ZF_PIXELS_PIXELFORMATS_H

#include "pixels/Convert.h"
#include "suites/HostInterface.h"

enum class HostLayout { ARGB8, ARGB16, ARGB32, BGRA8, BGRA32 };

constexpr A_long bytesPerPixel(HostLayout layout) {
  switch (layout) {
    case HostLayout::ARGB8:
    case HostLayout::BGRA8:
      return 4;
    case HostLayout::ARGB16:
      return 8;
    case HostLayout::ARGB32:
    case HostLayout::BGRA32:
      return 16;
  }
  return 16;
}

// Bytes per pixel of a working buffer: RGBA8 at depth 8, RGBA32 otherwise.
constexpr A_long workingBytesPerPixel(A_long bitDepth) {
  return bitDepth == 8 ? 4 : 16;
}

struct PixelFormat {
  PF_PixelFormat code;
  HostLayout layout;
  A_long workingDepth;  // bitDepth of the working input: 8 (RGBA8) or 32 (RGBA32)
  RowFunc toWorking;    // host frame into the working input
  RowFunc fromWorking;  // RGBA32 result into the host frame
};

// 8-bit frames are worked on in RGBA8, a quarter of the memory of RGBA32.
inline constexpr PixelFormat pixelFormats[] = {
    {PF_PixelFormat_ARGB32, HostLayout::ARGB8, 8, it_Convert_ARGB8_to_RGBA8, it_Convert_RGBA32_to_ARGB8},
    {PF_PixelFormat_ARGB64, HostLayout::ARGB16, 32, it_Convert_ARGB16_to_RGBA32, it_Convert_RGBA32_to_ARGB16},
    {PF_PixelFormat_ARGB128, HostLayout::ARGB32, 32, it_Convert_ARGB32_to_RGBA32,
     it_Convert_RGBA32_to_ARGB32_saturate},
    {PrPixelFormat_BGRA_4444_8u, HostLayout::BGRA8, 8, it_Convert_BGRA8_to_RGBA8, it_Convert_RGBA32_to_BGRA8},
    {PrPixelFormat_BGRA_4444_32f, HostLayout::BGRA32, 32, it_Convert_BGRA32_to_RGBA32,
     it_Convert_RGBA32_to_BGRA32_saturate},
    {PrPixelFormat_BGRA_4444_32f_Linear, HostLayout::BGRA32, 32, it_Convert_BGRA32_to_RGBA32,
     it_Convert_RGBA32_to_BGRA32_saturate},
};

// The entry for code, or null: no conversion touches a world in any other format.
inline PixelFormat const* findPixelFormat(PF_PixelFormat code) {
  for (PixelFormat const& format : pixelFormats) {
    if (format.code == code)
      return &format;
  }
  return nullptr;
}

#endif
