#include "Png.h"

#include <cstring>
#include <string>

#include <png.h>

#include "ImageFile.h"

namespace preview {
namespace {

// libpng reports errors by longjmp out of its own code. The functions that
// call it hold nothing with a destructor, so the jump skips no clean-up; all
// C++ state lives in the caller.
class PngReader {
 public:
  explicit PngReader(std::vector<unsigned char> const& bytes) : bytes_(bytes) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, onError, onWarning);
    info_ = png_ ? png_create_info_struct(png_) : nullptr;
    if (info_ == nullptr) {
      std::strcpy(message_, "out of memory");
    }
  }
  ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }
  PngReader(PngReader const&) = delete;
  PngReader& operator=(PngReader const&) = delete;

  bool ready() const { return info_ != nullptr; }
  char const* message() const { return message_; }

  // Reads the chunks before the pixels and sets the expansions.
  bool readHeader(PngPixels& pixels) {
    if (setjmp(png_jmpbuf(png_))) {
      return false;
    }
    png_set_read_fn(png_, this, onRead);
    png_read_info(png_, info_);
    png_set_expand(png_);  // palette to RGB(A), low-bit grey to 8 bits, tRNS to alpha
    png_set_interlace_handling(png_);
    png_read_update_info(png_, info_);
    pixels.width = static_cast<int>(png_get_image_width(png_, info_));
    pixels.height = static_cast<int>(png_get_image_height(png_, info_));
    pixels.channels = png_get_channels(png_, info_);
    pixels.bitDepth = png_get_bit_depth(png_, info_);
    rowBytes_ = png_get_rowbytes(png_, info_);
    return true;
  }

  std::size_t rowBytes() const { return rowBytes_; }

  bool readRows(png_bytepp rows) {
    if (setjmp(png_jmpbuf(png_))) {
      return false;
    }
    png_read_image(png_, rows);
    png_read_end(png_, nullptr);
    return true;
  }

 private:
  static void onError(png_structp png, png_const_charp message) {
    auto* self = static_cast<PngReader*>(png_get_error_ptr(png));
    std::strncpy(self->message_, message, sizeof self->message_ - 1);
    png_longjmp(png, 1);
  }
  // Warnings (an odd colour profile, a damaged text chunk) leave the pixels
  // intact and are not the user's concern.
  static void onWarning(png_structp, png_const_charp) {}
  static void onRead(png_structp png, png_bytep out, png_size_t length) {
    auto* self = static_cast<PngReader*>(png_get_io_ptr(png));
    if (length > self->bytes_.size() - self->position_) {
      png_error(png, "the file is truncated");
    }
    std::memcpy(out, self->bytes_.data() + self->position_, length);
    self->position_ += length;
  }

  std::vector<unsigned char> const& bytes_;
  std::size_t position_ = 0;
  std::size_t rowBytes_ = 0;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  char message_[256] = {};
};

}  // namespace

bool hasPngSignature(std::vector<unsigned char> const& bytes) {
  return bytes.size() >= 8 && png_sig_cmp(bytes.data(), 0, 8) == 0;
}

PngPixels decodePng(std::vector<unsigned char> const& bytes, std::string const& path,
                    std::function<void(int width, int height)> const& checkSize) {
  PngPixels pixels;
  PngReader reader(bytes);
  if (!reader.ready() || !reader.readHeader(pixels)) {
    throw ToolError("cannot read " + path + ": " + reader.message());
  }
  checkSize(pixels.width, pixels.height);
  // Deflate packs at most 1032 bytes into one: a file too short to hold the
  // rows it claims is damaged, and is refused before memory is taken for
  // them.
  constexpr std::size_t kDeflateLimit = 1032;
  std::size_t const rawBytes = (reader.rowBytes() + 1) * static_cast<std::size_t>(pixels.height);
  if (rawBytes / kDeflateLimit > bytes.size()) {
    throw ToolError("cannot read " + path + ": the file is damaged or truncated (its " +
                    std::to_string(bytes.size()) + " bytes cannot hold the " + std::to_string(pixels.width) +
                    "x" + std::to_string(pixels.height) + " pixels it claims)");
  }
  std::vector<unsigned char> data(reader.rowBytes() * static_cast<std::size_t>(pixels.height));
  std::vector<png_bytep> rows(static_cast<std::size_t>(pixels.height));
  for (std::size_t y = 0; y < rows.size(); ++y) {
    rows[y] = data.data() + y * reader.rowBytes();
  }
  if (!reader.readRows(rows.data())) {
    throw ToolError("cannot read " + path + ": " + reader.message());
  }
  const std::size_t samples =
      static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height) * pixels.channels;
  if (pixels.bitDepth == 16) {
    pixels.u16.resize(samples);
    for (std::size_t i = 0; i < samples; ++i) {
      // PNG stores 16-bit samples big-endian.
      pixels.u16[i] = static_cast<std::uint16_t>(data[2 * i] << 8 | data[2 * i + 1]);
    }
  } else {
    data.resize(samples);
    pixels.u8 = std::move(data);
  }
  return pixels;
}

}  // namespace preview
