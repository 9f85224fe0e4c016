// File samples into the host's frames and back.
//
// Within one depth nothing changes: 8-bit and float samples are copied, and
// 16-bit samples are mapped between the file's 0..65535 and the host's
// 0..32768 (full intensity), rounding to nearest both ways:
//
// host = floor((2 * 32768 * file + 65535) / (2 * 65535))   (never a tie)
// file = floor((2 * 65535 * host + 32768) / (2 * 32768))   (host 16384 ties, up)
//
// host -> file -> host returns every host value; file -> host -> file returns
// exactly the file values that the second line can produce (the ones this
// tool writes) and moves any other by one. Across depths the value is scaled
// and rounded to nearest, and floats are clamped to 0..1 first, as the host
// would convert a layer of another depth.
#ifndef ZF_TOOLS_PREVIEW_HOSTPIXELS_H
#define ZF_TOOLS_PREVIEW_HOSTPIXELS_H

#include <cstdint>

#include <OpenImageIO/imagebuf.h>

#include "testhost/World.h"

namespace preview {

constexpr std::uint16_t fileToHost16(std::uint16_t file) {
  return static_cast<std::uint16_t>((2ull * 32768ull * file + 65535ull) / (2ull * 65535ull));
}

constexpr std::uint16_t hostToFile16(std::uint16_t host) {
  const std::uint64_t file = (2ull * 65535ull * host + 32768ull) / (2ull * 32768ull);
  return static_cast<std::uint16_t>(file > 65535ull ? 65535ull : file);
}

// Copies an RGBA image (UINT8, UINT16 or FLOAT) into world, which has the
// image's size.
void fillWorld(const OIIO::ImageBuf& rgba, testhost::World& world);

// The world's pixels as an RGBA image of its own depth.
OIIO::ImageBuf imageFromWorld(testhost::World const& world);

}  // namespace preview

#endif
