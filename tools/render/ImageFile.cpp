/* Image files in and out through OpenImageIO (PNG pixels through libpng),
 * keeping from input to output what the file carries besides RGBA. */
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include "Image.h"
#include "Options.h"
#include "Png.h"
#include "TempFile.h"

namespace preview {

/* A channel the effect does not see, kept as stored. */
struct ExtraChannel {
  std::string name;
  OIIO::TypeDesc type;
  std::vector<unsigned char> samples;  // one per pixel, in type
};

struct FileTraits {
  OIIO::ImageSpec header;  // the input's own: data type, windows, tiles, metadata
  std::vector<ExtraChannel> extras;
};

namespace {

using Base = OIIO::TypeDesc::BASETYPE;

/* The data types each writer stores, and the deepest of them, for the
 * formats whose writer would otherwise quietly pick a shallower one (PNG
 * stores float as 8 bits). Writers not listed get the wanted type. */
struct StorableTypes {
  const char* format;  // OpenImageIO's format name
  std::vector<Base> types;
  Base deepest;
};

const StorableTypes kStorable[] = {
    {"png", {Base::UINT8, Base::UINT16}, Base::UINT16},
    {"jpeg", {Base::UINT8}, Base::UINT8},
    {"openexr", {Base::HALF, Base::FLOAT, Base::UINT32}, Base::FLOAT},
    {"tiff", {Base::UINT8, Base::UINT16, Base::UINT32, Base::HALF, Base::FLOAT, Base::DOUBLE}, Base::FLOAT},
    {"targa", {Base::UINT8}, Base::UINT8},
    {"bmp", {Base::UINT8}, Base::UINT8},
    {"webp", {Base::UINT8}, Base::UINT8},
    {"gif", {Base::UINT8}, Base::UINT8},
    {"ico", {Base::UINT8}, Base::UINT8},
    {"heif", {Base::UINT8}, Base::UINT8},
    {"pnm", {Base::UINT8, Base::UINT16}, Base::UINT16},
    {"sgi", {Base::UINT8, Base::UINT16}, Base::UINT16},
    {"dpx", {Base::UINT8, Base::UINT16}, Base::UINT16},
    {"jpeg2000", {Base::UINT8, Base::UINT16}, Base::UINT16},
    {"iff", {Base::UINT8, Base::UINT16}, Base::UINT16},
    {"rla", {Base::UINT8, Base::UINT16, Base::FLOAT}, Base::FLOAT},
    {"hdr", {Base::FLOAT}, Base::FLOAT},
    {"zfile", {Base::FLOAT}, Base::FLOAT},
};

OIIO::TypeDesc storableType(const std::string& format, OIIO::TypeDesc wanted) {
  for (const StorableTypes& s : kStorable) {
    if (format == s.format) {
      const bool stored = std::find(s.types.begin(), s.types.end(), wanted.basetype) != s.types.end();
      return stored ? wanted : OIIO::TypeDesc(s.deepest);
    }
  }
  return wanted;
}

/* Metadata that describes how the input was stored rather than what it
 * shows, and so is not carried over. */
bool describesStorage(const std::string& name) {
  static const char* const kNames[] = {
      "oiio:UnassociatedAlpha",  // set for every file written
      "oiio:BitsPerSample",      // the data type decides
      "oiio:subimages",
      "oiio:SHA-1",                     // of the input's pixels
      "tiff:PhotometricInterpretation"  // a grey input becomes RGB
  };
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

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

std::unique_ptr<OIIO::ImageOutput> createWriter(const std::string& path) {
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    OIIO::geterror();  // consumed: the message below says it better
    throw ToolError("cannot write " + path + ": no image format for the extension \"" +
                    std::filesystem::path(path).extension().string() + "\"");
  }
  return out;
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

/* PNG pixels are decoded by our own use of libpng, whose errors come back to
 * us; through the image library they would also be printed. Once libpng has
 * accepted the whole file, the image library reads its metadata from the
 * same bytes. */
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

  OIIO::Filesystem::IOMemReader memory(bytes.data(), bytes.size());
  auto in = OIIO::ImageInput::create("png", false, nullptr, &memory);
  OIIO::ImageSpec header;
  if (!in || !in->open(path, header)) {
    throw ToolError("cannot read " + path + ": " + oiioError(in ? in->geterror() : ""));
  }
  image.file = std::make_shared<FileTraits>(FileTraits{in->spec(), {}});
  return image;
}

std::vector<ExtraChannel> readExtras(OIIO::ImageInput& in, const std::string& path, int colourChannels,
                                     int alpha) {
  const OIIO::ImageSpec& layout = in.spec();
  const std::size_t pixels = static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.height);
  std::vector<ExtraChannel> extras;
  for (int c = 0; c < layout.nchannels; ++c) {
    if (c < colourChannels || c == alpha) {
      continue;
    }
    ExtraChannel extra{layout.channel_name(c), layout.channelformat(c), {}};
    extra.samples.resize(pixels * extra.type.size());
    if (!in.read_image(0, 0, c, c + 1, extra.type, extra.samples.data())) {
      throw ToolError("cannot read " + path + ": " + oiioError(in.geterror()));
    }
    extras.push_back(std::move(extra));
  }
  return extras;
}

/* Copies one channel's samples, each `size` bytes, from a packed plane into
 * every `stride` bytes of out. */
void scatter(const unsigned char* plane, std::size_t count, std::size_t size, unsigned char* out,
             std::size_t stride) {
  for (std::size_t i = 0; i < count; ++i) {
    std::memcpy(out + i * stride, plane + i * size, size);
  }
}

/* Pixels interleaved as the file stores them: channel c in types[c]. The
 * first colourChannels come from the image (converted), the rest are the
 * extra channels (converted only where the file cannot hold their type). */
std::vector<unsigned char> filePixels(const Image& image, int colourChannels,
                                      const std::vector<ExtraChannel>& extras,
                                      const std::vector<OIIO::TypeDesc>& types) {
  const std::size_t width = static_cast<std::size_t>(image.width);
  const std::size_t pixels = width * static_cast<std::size_t>(image.height);
  std::size_t pixelBytes = 0;
  for (const OIIO::TypeDesc& t : types) {
    pixelBytes += t.size();
  }
  std::vector<unsigned char> out(pixels * pixelBytes);
  std::vector<float> floats(width);
  std::vector<unsigned char> row(width * sizeof(double));
  std::size_t offset = 0;
  for (std::size_t c = 0; c < types.size(); ++c) {
    const OIIO::TypeDesc type = types[c];
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
      unsigned char* dst = out.data() + y * width * pixelBytes + offset;
      const std::size_t first = y * width;
      if (c >= static_cast<std::size_t>(colourChannels)) {
        const ExtraChannel& extra = extras[c - static_cast<std::size_t>(colourChannels)];
        const unsigned char* src = extra.samples.data() + first * extra.type.size();
        if (extra.type == type) {
          scatter(src, width, type.size(), dst, pixelBytes);
          continue;
        }
        OIIO::convert_pixel_values(extra.type, src, type, row.data(), static_cast<int>(width));
      } else if (type == OIIO::TypeDesc::UINT8) {
        for (std::size_t x = 0; x < width; ++x) {
          dst[x * pixelBytes] = sampleU8(image, (first + x) * 4 + c);
        }
        continue;
      } else if (type == OIIO::TypeDesc::UINT16) {
        for (std::size_t x = 0; x < width; ++x) {
          const std::uint16_t v = sampleU16(image, (first + x) * 4 + c);
          std::memcpy(dst + x * pixelBytes, &v, sizeof v);
        }
        continue;
      } else {
        for (std::size_t x = 0; x < width; ++x) {
          floats[x] = sampleF32(image, (first + x) * 4 + c);
        }
        OIIO::convert_pixel_values(OIIO::TypeFloat, floats.data(), type, row.data(), static_cast<int>(width));
      }
      scatter(row.data(), width, type.size(), dst, pixelBytes);
    }
    offset += type.size();
  }
  return out;
}

/* Encodes in memory when the writer can, so that the file is written, and
 * every write checked, by us (the PNG, TGA and BMP writers ignore a failed
 * write); else lets the writer write the temporary file. Not TIFF: its
 * writer reports failed writes, and into memory it silently drops the image
 * directory when there is Exif data. */
void encode(OIIO::ImageOutput& out, const std::string& path, const OIIO::ImageSpec& layout,
            OIIO::TypeDesc type, const void* data, OIIO::stride_t pixelStride) {
  if (out.supports("ioproxy") && std::strcmp(out.format_name(), "tiff") != 0) {
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput memory(bytes);
    if (!out.set_ioproxy(&memory) || !out.open(path, layout) || !out.write_image(type, data, pixelStride) ||
        !out.close()) {
      throw ToolError("cannot write " + path + ": " + oiioError(out.geterror()));
    }
    TempFile temp(path);
    temp.write(bytes);
    temp.commit();
    return;
  }
  // Such writers' messages name the temporary file, which the user never sees.
  TempFile temp(path);
  const bool written = out.open(temp.path(), layout) && out.write_image(type, data, pixelStride);
  if (!out.close() || !written) {
    throw ToolError("cannot write " + path + ": " + replaceAll(oiioError(out.geterror()), temp.path(), path));
  }
  temp.commit();
}

}  // namespace

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

  // TIFF readers associate alpha unless told not to.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(path, &config);
  if (!in) {
    throw ToolError("cannot read " + path + ": " + oiioError(""));
  }
  const OIIO::ImageSpec& fileSpec = in->spec();
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
  image.file =
      std::make_shared<FileTraits>(FileTraits{fileSpec, readExtras(*in, path, channels >= 3 ? 3 : 1, alpha)});
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
  createWriter(path);
}

void writeImage(const std::string& path, const Image& image, const FileTraits* like) {
  auto out = createWriter(path);
  const std::string format = out->format_name();
  const int colourChannels = out->supports("alpha") ? 4 : 3;
  const OIIO::TypeDesc type =
      storableType(format, like != nullptr ? like->header.channelformat(0) : typeDescOf(image.type));
  static const std::vector<ExtraChannel> kNone;
  const std::vector<ExtraChannel>& extras =
      like != nullptr && out->supports("nchannels") ? like->extras : kNone;

  OIIO::ImageSpec layout(image.width, image.height, colourChannels + static_cast<int>(extras.size()), type);
  layout.channelnames = {"R", "G", "B", "A"};
  layout.channelnames.resize(static_cast<std::size_t>(colourChannels));
  std::vector<OIIO::TypeDesc> types(static_cast<std::size_t>(colourChannels), type);
  const bool perChannel = !extras.empty() && out->supports("channelformats");
  for (const ExtraChannel& extra : extras) {
    layout.channelnames.push_back(extra.name);
    types.push_back(perChannel ? storableType(format, extra.type) : type);
  }
  if (perChannel) {
    layout.channelformats = types;
  }
  layout.alpha_channel = colourChannels == 4 ? 3 : -1;
  if (like != nullptr) {
    // The rendered layer is the input's data window.
    layout.x = like->header.x;
    layout.y = like->header.y;
    layout.full_x = like->header.full_x;
    layout.full_y = like->header.full_y;
    layout.full_width = like->header.full_width;
    layout.full_height = like->header.full_height;
    if (like->header.tile_width > 0 && out->supports("tiles")) {
      layout.tile_width = like->header.tile_width;
      layout.tile_height = like->header.tile_height;
      layout.tile_depth = 1;
    }
    for (const OIIO::ParamValue& p : like->header.extra_attribs) {
      if (!describesStorage(p.name().string())) {
        layout.extra_attribs.push_back(p);
      }
    }
  }
  // The samples are straight (unassociated); writers must store them as they are.
  layout.attribute("oiio:UnassociatedAlpha", 1);

  if (extras.empty() && type == typeDescOf(image.type)) {
    // Already in the file's type: written straight from the image, skipping
    // alpha where the format has none.
    const void* data = image.type == SampleType::U8    ? static_cast<const void*>(image.u8.data())
                       : image.type == SampleType::U16 ? static_cast<const void*>(image.u16.data())
                                                       : static_cast<const void*>(image.f32.data());
    encode(*out, path, layout, type, data, static_cast<OIIO::stride_t>(4 * type.size()));
    return;
  }
  const std::vector<unsigned char> pixels = filePixels(image, colourChannels, extras, types);
  encode(*out, path, layout, perChannel ? OIIO::TypeDesc::UNKNOWN : type, pixels.data(), OIIO::AutoStride);
}

}  // namespace preview
