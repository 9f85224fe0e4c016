/* Image files in and out, pixel values as stored: no association or
 * dissociation of alpha on the way in or out. */
#ifndef ZF_TOOLS_RENDER_IMAGE_H
#define ZF_TOOLS_RENDER_IMAGE_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace preview {

/* Something went wrong that the user must see: the message says what and
 * where. */
class ToolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/* The system's reason for an errno value, starting in lower case so that it
 * reads on after a colon: "permission denied". */
std::string systemReason(int error);

enum class SampleType { U8, U16, F32 };

const char* sampleTypeName(SampleType type);

/* RGBA, four channels per pixel, rows from the top, in the units of the file:
 * 0..255, 0..65535 or float. Exactly one of the three vectors is used. */
struct Image {
  int width = 0;
  int height = 0;
  SampleType type = SampleType::U8;
  std::vector<std::uint8_t> u8;
  std::vector<std::uint16_t> u16;
  std::vector<float> f32;

  static Image blank(int width, int height, SampleType type);
  std::size_t sampleCount() const {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
  }
  /* Index of the first (red) sample of pixel (x, y). */
  std::size_t sampleIndex(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
  }
  /* Channel c of pixel (x, y) scaled to 0..1 (float samples as they are). */
  float normalized(int x, int y, int c) const;
};

/* Reads the first subimage. Integer files keep their depth (8 or 16 bits),
 * everything else becomes float. One channel is grey, two are grey and alpha,
 * three or more are RGB and the alpha channel the file names; a file without
 * alpha gets an opaque one. Throws ToolError with the reason (the system's,
 * or the image library's), and no library ever prints one of its own. */
Image readImage(const std::string& path);

/* Writes through a temporary file in the same folder, renamed over path only
 * when complete, so a failure never leaves a partial file. Where the format's
 * writer can, the file is encoded in memory and written by us, so that a full
 * disk or a file size limit is always reported. The samples are written in
 * the image's own type; a writer that cannot store it (PNG has no float,
 * JPEG only 8 bits) gets the nearest type it has. Formats without alpha
 * (JPEG) get RGB. Throws ToolError, whose message names path, never the
 * temporary file. */
void writeImage(const std::string& path, const Image& image);

/* Throws ToolError unless path could be written: a writer exists for its
 * extension and its folder exists and is writable. Checked before any work is
 * done. */
void checkWritable(const std::string& path);

}  // namespace preview

#endif
