// PNG pixels decoded through libpng with our own error and warning
// handlers: libpng's default ones print to the process's standard error,
// where its lines would mix with ours (and with other render threads').
#ifndef ZF_TOOLS_RENDER_PNG_H
#define ZF_TOOLS_RENDER_PNG_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace preview {

bool hasPngSignature(std::vector<unsigned char> const& bytes);

// Samples as stored, after expansion to whole bytes: palettes become RGB (and
// alpha where the palette has transparency), grey of fewer than 8 bits
// becomes 8-bit grey. One to four channels (grey, grey and alpha, RGB,
// RGBA), rows from the top.
struct PngPixels {
  int width = 0;
  int height = 0;
  int channels = 0;
  int bitDepth = 0;                // 8 or 16
  std::vector<std::uint8_t> u8;    // 8-bit files
  std::vector<std::uint16_t> u16;  // 16-bit files
};

// Decodes a whole PNG file. checkSize sees the size before any memory is
// taken for the pixels and throws to refuse it. Throws ToolError("cannot
// read PATH: reason") for a damaged or truncated file.
PngPixels decodePng(std::vector<unsigned char> const& bytes, std::string const& path,
                    std::function<void(int width, int height)> const& checkSize);

}  // namespace preview

#endif
