// Image files in and out through OpenImageIO (PNG pixels through libpng),
// pixel values as stored: no association or dissociation of alpha on the way
// in or out.
#ifndef ZF_TOOLS_PREVIEW_IMAGEFILE_H
#define ZF_TOOLS_PREVIEW_IMAGEFILE_H

#include <memory>
#include <stdexcept>
#include <string>

#include <OpenImageIO/imagebuf.h>

#include "ToolError.h"

namespace preview {

// What a file carries besides the RGBA pixels the effect sees: whether it has
// alpha at all, its data type and bits per sample, data and display windows,
// tiling, extra channels (a depth channel, say) and metadata (colour space,
// frame rate, compression...).
struct FileTraits;

// An image as the tool works on it: RGBA (R, G, B, A, rows from the top,
// origin 0,0) in UINT8, UINT16 or FLOAT, the units of the file (0..255,
// 0..65535, float), and what its file carried, or null for images made here.
struct Picture {
  OIIO::ImageBuf rgba;
  std::shared_ptr<const FileTraits> file;
};

// An RGBA buffer of the given size and type, every sample 0.
OIIO::ImageBuf blankRgba(int width, int height, OIIO::TypeDesc type);

// Long enough to show a frame of 30000 pixels; the host's point values hold
// whole pixels up to 32767.
inline constexpr int kMaxFrameSide = 30000;

// Reads a file of one image as README's "Preview renderer" describes: integer
// files keep their depth (8 or 16 bits), the rest becomes float; channels by
// name, extras kept. Throws ToolError naming the file, what is wrong and why.
// No library ever prints a message of its own.
Picture readImage(std::string const& path);

// Writes through a temporary file renamed over the destination when
// complete, keeping what `like` (the input file) carries as far as path's
// format holds it, as README describes. Throws ToolError naming path, never
// the temporary file.
void writeImage(std::string const& path, const OIIO::ImageBuf& rgba, FileTraits const* like = nullptr);

// Throws ToolError unless path could be written: its folder exists and is
// writable, and an existing file there is writable. Checked before any work
// is done. An extension no format writes is a UsageError (Options.h).
void checkWritable(std::string const& path);

}  // namespace preview

#endif
