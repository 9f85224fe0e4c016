/* Image files in and out, pixel values as stored: no association or
 * dissociation of alpha on the way in or out. */
#ifndef ZF_TOOLS_RENDER_IMAGE_H
#define ZF_TOOLS_RENDER_IMAGE_H

#include <algorithm>
#include <cstdint>
#include <memory>
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

/* What a file carries besides the RGBA pixels the effect sees: its data type,
 * data and display windows, tiling, extra channels (a depth channel, say)
 * and metadata (colour space, frame rate, compression...). Defined where
 * files are read and written. */
struct FileTraits;

/* RGBA, four channels per pixel, rows from the top, in the units of the file:
 * 0..255, 0..65535 or float. Exactly one of the three vectors is used. */
struct Image {
  int width = 0;
  int height = 0;
  SampleType type = SampleType::U8;
  std::vector<std::uint8_t> u8;
  std::vector<std::uint16_t> u16;
  std::vector<float> f32;
  /* The file this image was read from; null for images made here. */
  std::shared_ptr<const FileTraits> file;

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

/* A float sample in the integer range 0..full: above 1 is full, below 0 (and
 * NaN) is 0, the rest rounds half up. */
template <typename T>
T quantize(float x, float full) {
  if (x > 1.0f) {
    return static_cast<T>(full);
  }
  return static_cast<T>(std::max(0.0f, x) * full + 0.5f);
}

/* Sample i of an image in another depth. Integers are scaled and rounded to
 * nearest (8 to 16 bits multiplies by 257 exactly); floats are clamped to
 * 0..1 first (NaN to 0) and rounded half up; integers become v / 255 or
 * v / 65535. Within one depth the sample is returned as it is. */
std::uint8_t sampleU8(const Image& image, std::size_t i);
std::uint16_t sampleU16(const Image& image, std::size_t i);
float sampleF32(const Image& image, std::size_t i);

/* Reads the first subimage. Integer files keep their depth (8 or 16 bits),
 * everything else becomes float. One channel is grey, two are grey and alpha,
 * three or more are RGB and the alpha channel the file names; a file without
 * alpha gets an opaque one. Throws ToolError with the reason (the system's,
 * or the image library's), and no library ever prints one of its own. */
Image readImage(const std::string& path);

/* Writes through a temporary file in the same folder, renamed over path only
 * when complete, so a failure never leaves a partial file. Where the format's
 * writer can, the file is encoded in memory and written by us, so that a full
 * disk or a file size limit is always reported. Formats without alpha (JPEG)
 * get RGB.
 *
 * The file's data type is `like`'s (the input file's), or else the image's
 * own, when path's format can store it; otherwise the deepest type that
 * format has (16-bit for PNG, 8-bit for JPEG, float for OpenEXR and TIFF).
 * With `like`, the file also keeps the input's data window origin and
 * display window, tiling, extra channels (in their own types) and metadata,
 * compression included, as far as its format holds them.
 *
 * Throws ToolError, whose message names path, never the temporary file. */
void writeImage(const std::string& path, const Image& image, const FileTraits* like = nullptr);

/* Throws ToolError unless path could be written: a writer exists for its
 * extension and its folder exists and is writable. Checked before any work is
 * done. */
void checkWritable(const std::string& path);

}  // namespace preview

#endif
