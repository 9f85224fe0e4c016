// A 5x7 bitmap font, enough for labels: letters (drawn upper case), digits
// and a little punctuation.
#ifndef ZF_TOOLS_PREVIEW_FONT_H
#define ZF_TOOLS_PREVIEW_FONT_H

#include <string>

#include <OpenImageIO/imagebuf.h>

namespace preview {

struct Rgb {
  float r, g, b;
};

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = 6;  // one column of space between letters

int textWidth(std::string const& text, int scale);

// Draws text with its top left corner at (x, y), each font pixel as a
// scale x scale square, into an RGBA image (opaque). Clipped to the image.
void drawText(OIIO::ImageBuf& canvas, int x, int y, std::string const& text, int scale, Rgb colour);

}  // namespace preview

#endif
