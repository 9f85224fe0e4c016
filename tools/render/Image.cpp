#include "Image.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include "Options.h"
#include "Png.h"
#include "TempFile.h"

namespace preview {
namespace {

OIIO::TypeDesc typeDescOf(SampleType type) {
  switch (type) {
    case SampleType::U8:
      return OIIO::TypeDesc::UINT8;
    case SampleType::U16:
      return OIIO::TypeDesc::UINT16;
    case SampleType::F32:
      break;
  }
  return OIIO::TypeDesc::FLOAT;
}

/* The first line of the image library's message: the rest repeats it in
 * the words of the libraries beneath. */
std::string oiioError(const std::string& own) {
  std::string text = own.empty() ? OIIO::geterror() : own;
  text = text.substr(0, text.find('\n'));
  return text.empty() ? "unknown error" : text;
}

/* Replaces every occurrence of `hidden` in text by `shown`. */
std::string replaceAll(std::string text, const std::string& hidden, const std::string& shown) {
  for (std::size_t at = text.find(hidden); at != std::string::npos;
       at = text.find(hidden, at + shown.size())) {
    text.replace(at, hidden.size(), shown);
  }
  return text;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

/* Up to `limit` bytes from the start of an open file. */
std::vector<unsigned char> readBytes(int fd, const std::string& path, std::size_t limit) {
  std::vector<unsigned char> bytes;
  unsigned char buffer[65536];
  while (bytes.size() < limit) {
    const ssize_t n =
        pread(fd, buffer, std::min(sizeof buffer, limit - bytes.size()), static_cast<off_t>(bytes.size()));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      throw ToolError("cannot read " + path + ": " + systemReason(errno));
    }
    if (n == 0) {
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

/* Spreads the file's channels over RGBA. */
template <typename T>
std::vector<T> toRGBA(const std::vector<T>& file, std::size_t pixels, int channels, int alphaChannel,
                      T opaque) {
  std::vector<T> rgba(pixels * 4);
  const auto nch = static_cast<std::size_t>(channels);
  for (std::size_t p = 0; p < pixels; ++p) {
    const T* in = &file[p * nch];
    T* out = &rgba[p * 4];
    if (channels < 3) {
      out[0] = out[1] = out[2] = in[0];
    } else {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
    out[3] = alphaChannel >= 0 ? in[alphaChannel] : opaque;
  }
  return rgba;
}

void checkFrameSize(const std::string& path, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide) {
    throw ToolError("cannot read " + path + ": " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels; frames of 1 to " + std::to_string(kMaxFrameSide) +
                    " pixels a side are supported");
  }
}

/* PNG files are decoded by our own use of libpng, whose errors come back to
 * us; through the image library they would also be printed. */
Image readPng(int fd, const std::string& path) {
  const std::vector<unsigned char> bytes = readBytes(fd, path, std::numeric_limits<std::size_t>::max());
  const PngPixels png =
      decodePng(bytes, path, [&path](int width, int height) { checkFrameSize(path, width, height); });
  Image image;
  image.width = png.width;
  image.height = png.height;
  const std::size_t pixels = static_cast<std::size_t>(png.width) * static_cast<std::size_t>(png.height);
  const int alpha = png.channels == 2 || png.channels == 4 ? png.channels - 1 : -1;
  if (png.bitDepth == 16) {
    image.type = SampleType::U16;
    image.u16 = toRGBA<std::uint16_t>(png.u16, pixels, png.channels, alpha, 65535);
  } else {
    image.type = SampleType::U8;
    image.u8 = toRGBA<std::uint8_t>(png.u8, pixels, png.channels, alpha, 255);
  }
  return image;
}

}  // namespace

std::string systemReason(int error) {
  std::string text = std::generic_category().message(error);
  if (!text.empty()) {
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  }
  return text;
}

const char* sampleTypeName(SampleType type) {
  switch (type) {
    case SampleType::U8:
      return "8-bit";
    case SampleType::U16:
      return "16-bit";
    case SampleType::F32:
      break;
  }
  return "float";
}

Image Image::blank(int width, int height, SampleType type) {
  Image image;
  image.width = width;
  image.height = height;
  image.type = type;
  switch (type) {
    case SampleType::U8:
      image.u8.assign(image.sampleCount(), 0);
      break;
    case SampleType::U16:
      image.u16.assign(image.sampleCount(), 0);
      break;
    case SampleType::F32:
      image.f32.assign(image.sampleCount(), 0.0f);
      break;
  }
  return image;
}

float Image::normalized(int x, int y, int c) const {
  const std::size_t i = sampleIndex(x, y) + static_cast<std::size_t>(c);
  switch (type) {
    case SampleType::U8:
      return static_cast<float>(u8[i]) / 255.0f;
    case SampleType::U16:
      return static_cast<float>(u16[i]) / 65535.0f;
    case SampleType::F32:
      break;
  }
  return f32[i];
}

Image readImage(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    throw ToolError("cannot read " + path + ": " + (errno == ENOENT ? "no such file" : systemReason(errno)));
  }
  if (S_ISDIR(info.st_mode)) {
    throw ToolError("cannot read " + path + ": is a folder");
  }
  // Opened here first for the system's reason when it cannot be: the image
  // library only says that it could not.
  const FileDescriptor handle(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (handle.get() < 0) {
    throw ToolError("cannot read " + path + ": " + systemReason(errno));
  }
  if (hasPngSignature(readBytes(handle.get(), path, 8))) {
    return readPng(handle.get(), path);
  }

  // PNG and TIFF readers associate alpha unless told not to.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) {
    throw ToolError("cannot read " + path + ": " + oiioError(""));
  }
  const OIIO::ImageSpec fileSpec = in->spec();
  if (fileSpec.deep || fileSpec.depth > 1) {
    throw ToolError("cannot read " + path + ": deep and volume images are not supported");
  }
  checkFrameSize(path, fileSpec.width, fileSpec.height);
  if (fileSpec.nchannels < 1) {
    throw ToolError("cannot read " + path + ": the image has no channels");
  }

  Image image;
  image.width = fileSpec.width;
  image.height = fileSpec.height;
  if (fileSpec.format == OIIO::TypeDesc::UINT8) {
    image.type = SampleType::U8;
  } else if (fileSpec.format == OIIO::TypeDesc::UINT16) {
    image.type = SampleType::U16;
  } else {
    image.type = SampleType::F32;
  }
  const std::size_t pixels =
      static_cast<std::size_t>(fileSpec.width) * static_cast<std::size_t>(fileSpec.height);
  const int channels = fileSpec.nchannels;
  int alpha = fileSpec.alpha_channel;
  if (alpha < 0 && channels == 2) {
    alpha = 1;
  }
  if (alpha >= channels || (alpha >= 0 && alpha < 3 && channels >= 3)) {
    alpha = -1;  // a colour channel is not an alpha
  }
  const std::size_t count = pixels * static_cast<std::size_t>(channels);
  bool ok = false;
  switch (image.type) {
    case SampleType::U8: {
      std::vector<std::uint8_t> file(count);
      ok = in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT8, file.data());
      image.u8 = toRGBA<std::uint8_t>(file, pixels, channels, alpha, 255);
      break;
    }
    case SampleType::U16: {
      std::vector<std::uint16_t> file(count);
      ok = in->read_image(0, 0, 0, channels, OIIO::TypeDesc::UINT16, file.data());
      image.u16 = toRGBA<std::uint16_t>(file, pixels, channels, alpha, 65535);
      break;
    }
    case SampleType::F32: {
      std::vector<float> file(count);
      ok = in->read_image(0, 0, 0, channels, OIIO::TypeDesc::FLOAT, file.data());
      image.f32 = toRGBA<float>(file, pixels, channels, alpha, 1.0f);
      break;
    }
  }
  if (!ok) {
    throw ToolError("cannot read " + path + ": " + oiioError(in->geterror()));
  }
  return image;
}

void checkWritable(const std::string& path) {
  const std::filesystem::path target(path);
  std::error_code error;
  if (std::filesystem::is_directory(target, error)) {
    throw ToolError("cannot write " + path + ": is a folder");
  }
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  if (!std::filesystem::is_directory(folder, error)) {
    throw ToolError("cannot write " + path + ": folder " + folder.string() + " does not exist");
  }
  if (access(folder.c_str(), W_OK) != 0) {
    throw ToolError("cannot write " + path + ": folder " + folder.string() + " is not writable");
  }
  if (!OIIO::ImageOutput::create(path)) {
    throw ToolError("cannot write " + path + ": no image format for the extension \"" +
                    target.extension().string() + "\"");
  }
}

void writeImage(const std::string& path, const Image& image) {
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    throw ToolError("cannot write " + path + ": no image format for the extension \"" +
                    std::filesystem::path(path).extension().string() + "\"");
  }
  const int channels = out->supports("alpha") ? 4 : 3;
  OIIO::ImageSpec fileSpec(image.width, image.height, channels, typeDescOf(image.type));
  fileSpec.alpha_channel = channels == 4 ? 3 : -1;
  // The samples are straight (unassociated); writers must store them as they are.
  fileSpec.attribute("oiio:UnassociatedAlpha", 1);

  const void* data = nullptr;
  switch (image.type) {
    case SampleType::U8:
      data = image.u8.data();
      break;
    case SampleType::U16:
      data = image.u16.data();
      break;
    case SampleType::F32:
      data = image.f32.data();
      break;
  }
  const OIIO::TypeDesc type = typeDescOf(image.type);
  const auto pixelStride = static_cast<OIIO::stride_t>(4 * type.size());

  if (out->supports("ioproxy")) {
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput memory(bytes);
    if (!out->set_ioproxy(&memory) || !out->open(path, fileSpec) ||
        !out->write_image(type, data, pixelStride) || !out->close()) {
      throw ToolError("cannot write " + path + ": " + oiioError(out->geterror()));
    }
    TempFile temp(path);
    temp.write(bytes);
    temp.commit();
    return;
  }
  // Writers that only write files themselves: their messages name the
  // temporary file, which the user never sees.
  TempFile temp(path);
  const bool written = out->open(temp.path(), fileSpec) && out->write_image(type, data, pixelStride);
  if (!out->close() || !written) {
    throw ToolError("cannot write " + path + ": " +
                    replaceAll(oiioError(out->geterror()), temp.path(), path));
  }
  out.reset();
  temp.commit();
}

}  // namespace preview
