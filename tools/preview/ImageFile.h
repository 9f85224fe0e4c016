/* Image files in and out through OpenImageIO (PNG pixels through libpng),
 * pixel values as stored: no association or dissociation of alpha on the way
 * in or out. */
#ifndef ZF_TOOLS_PREVIEW_IMAGEFILE_H
#define ZF_TOOLS_PREVIEW_IMAGEFILE_H

#include <memory>
#include <stdexcept>
#include <string>

#include <OpenImageIO/imagebuf.h>

#include "ToolError.h"

namespace preview {

/* What a file carries besides the RGBA pixels the effect sees: whether it has
 * alpha at all, its data type and bits per sample, data and display windows,
 * tiling, extra channels (a depth channel, say) and metadata (colour space,
 * frame rate, compression...). */
struct FileTraits;

/* An image as the tool works on it: RGBA (R, G, B, A, rows from the top,
 * origin 0,0) in UINT8, UINT16 or FLOAT, the units of the file (0..255,
 * 0..65535, float), and what its file carried, or null for images made here. */
struct Picture {
  OIIO::ImageBuf rgba;
  std::shared_ptr<const FileTraits> file;
};

/* An RGBA buffer of the given size and type, every sample 0. */
OIIO::ImageBuf blankRgba(int width, int height, OIIO::TypeDesc type);

/* Long enough to show a frame of 30000 pixels; the host's point values hold
 * whole pixels up to 32767. */
inline constexpr int kMaxFrameSide = 30000;

/* Reads a file of one image. Integer files keep their depth (8 or 16 bits),
 * everything else becomes float. Channels are taken by name: R, G, B and the
 * alpha channel the file names (A), or Y (grey) and A; a file without alpha
 * gets an opaque one, and any other channel is kept as an extra. Throws
 * ToolError with the file, what is wrong and why: the system's reason, a
 * damaged or truncated file (whatever the decoder's return value said), a
 * file of several images or parts, channels that are not colour, a size
 * beyond the limit, or more memory than the machine gives. No library ever
 * prints a message of its own. */
Picture readImage(const std::string& path);

/* Writes through a temporary file beside the destination, renamed over it
 * only when complete, so a failure never leaves a partial file. An OUTPUT
 * that is a symbolic link is written through the link, to its target; an
 * existing file must be writable by us and keeps its mode (and owner, where
 * the process may set it).
 *
 * The file's data type is `like`'s (the input file's), or else the image's
 * own, when path's format can store it; otherwise the deepest type that
 * format has (16-bit for PNG, 8-bit for JPEG, float for OpenEXR and TIFF).
 * With `like`, the file also keeps the input's bits per sample (in the same
 * format), data window origin and display window, tiling, extra channels
 * and metadata, compression included, as far as its format holds them; an
 * input without alpha gives an output without alpha unless the render made
 * some pixel less than opaque. Formats without alpha (JPEG) get RGB.
 *
 * Throws ToolError, whose message names path, never the temporary file. */
void writeImage(const std::string& path, const OIIO::ImageBuf& rgba, const FileTraits* like = nullptr);

/* Throws ToolError unless path could be written: its folder exists and is
 * writable, and an existing file there is writable. Checked before any work
 * is done. An extension no format writes is a UsageError (Options.h). */
void checkWritable(const std::string& path);

}  // namespace preview

#endif
