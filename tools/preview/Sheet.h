// The contact sheet: one input as it is and under the three Modes by the
// three Scalings, each tile labelled, over a checkerboard that shows
// transparency.
#ifndef ZF_TOOLS_PREVIEW_SHEET_H
#define ZF_TOOLS_PREVIEW_SHEET_H

#include <string>
#include <vector>

#include <OpenImageIO/imagebuf.h>

namespace preview {

struct SheetTile {
  OIIO::ImageBuf image;  // RGBA; uninitialized leaves the cell empty
  std::string label;
};

// Tiles in rows of `columns`, shrunk by a whole factor to fit 640x480 each,
// under a title and a subtitle, in cells wide enough for their labels. The
// sheet is an opaque 8-bit RGBA image.
OIIO::ImageBuf composeSheet(std::vector<SheetTile> const& tiles, int columns, std::string const& title,
                            std::string const& subtitle);

}  // namespace preview

#endif
