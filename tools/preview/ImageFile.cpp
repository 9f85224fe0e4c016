// Image files in and out through OpenImageIO (PNG pixels through libpng),
// keeping from input to output what the file carries besides RGBA.
#include "ImageFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <limits>
#include <new>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imagebufalgo.h>
#include <OpenImageIO/imageio.h>

#include "Options.h"
#include "Png.h"
#include "TempFile.h"

namespace preview {

struct FileTraits {
  OIIO::ImageSpec header;  // the input's own: data type, windows, tiles, metadata
  std::string formatName;  // the image library's name of its format
  bool hasAlpha = true;
  OIIO::ImageBuf extras;  // channels the effect does not see, as stored; empty if none
};

namespace {

using Base = OIIO::TypeDesc::BASETYPE;

// The data types each writer stores, and the deepest of them, for the
// formats whose writer would otherwise quietly pick a shallower one (PNG
// stores float as 8 bits). Writers not listed get the wanted type.
struct StorableTypes {
  char const* format;  // OpenImageIO's format name
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

OIIO::TypeDesc storableType(std::string const& format, OIIO::TypeDesc wanted) {
  for (StorableTypes const& s : kStorable) {
    if (format == s.format) {
      bool const stored = std::find(s.types.begin(), s.types.end(), wanted.basetype) != s.types.end();
      return stored ? wanted : OIIO::TypeDesc(s.deepest);
    }
  }
  return wanted;
}

// Metadata that describes how the input was stored rather than what it
// shows, and so is not carried over as it is.
bool describesStorage(std::string const& name) {
  static char const* const kNames[] = {
      "oiio:UnassociatedAlpha",  // set for every file written
      "oiio:BitsPerSample",      // kept only where format and type stay the same
      "oiio:subimages",
      "oiio:SHA-1",                     // of the input's pixels
      "tiff:PhotometricInterpretation"  // a grey input becomes RGB
  };
  return std::find(std::begin(kNames), std::end(kNames), name) != std::end(kNames);
}

// The first line of the image library's message: the rest repeats it in
// the words of the libraries beneath.
std::string firstLine(std::string const& text) {
  std::string line = text.substr(0, text.find('\n'));
  return line.empty() ? "unknown error" : line;
}

// Replaces every occurrence of `hidden` in text by `shown`.
std::string replaceAll(std::string text, std::string const& hidden, std::string const& shown) {
  for (std::size_t at = text.find(hidden); at != std::string::npos;
       at = text.find(hidden, at + shown.size())) {
    text.replace(at, hidden.size(), shown);
  }
  return text;
}

std::string gigabytes(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  return text;
}

std::unique_ptr<OIIO::ImageOutput> createWriter(std::string const& path) {
  auto out = OIIO::ImageOutput::create(path);
  if (!out) {
    OIIO::geterror();  // consumed: the message below says it better
    throw UsageError("cannot write " + path + ": no image format for the extension \"" +
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
  FileDescriptor(FileDescriptor const&) = delete;
  FileDescriptor& operator=(FileDescriptor const&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Up to `limit` bytes from the start of an open file.
std::vector<unsigned char> readBytes(int fd, std::string const& path, std::size_t limit) {
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

void checkFrameSize(std::string const& path, int width, int height) {
  if (width < 1 || height < 1 || width > kMaxFrameSide || height > kMaxFrameSide) {
    throw ToolError("cannot read " + path + ": " + std::to_string(width) + "x" + std::to_string(height) +
                    " pixels; frames of 1 to " + std::to_string(kMaxFrameSide) +
                    " pixels a side are supported");
  }
}

// The image library takes allocation failures for empty images and goes on;
// a buffer is asked of the system first, so that too little memory is an
// error we can report.
void needMemory(std::size_t bytes) {
  void* probe = std::malloc(bytes);
  if (probe == nullptr) {
    throw std::bad_alloc();
  }
  std::free(probe);
}

std::size_t rgbaBytes(int width, int height, OIIO::TypeDesc type) {
  return static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 * type.size();
}

// Where the effect's four channels come from in the file, by name.
struct ChannelPlan {
  int red = -1, green = -1, blue = -1, alpha = -1;
};

int channelNamed(const OIIO::ImageSpec& layout, char const* name) {
  for (int c = 0; c < layout.nchannels; ++c) {
    std::string n = layout.channel_name(c);
    std::transform(n.begin(), n.end(), n.begin(), [](unsigned char ch) { return std::toupper(ch); });
    if (n == name) {
      return c;
    }
  }
  return -1;
}

ChannelPlan planChannels(const OIIO::ImageSpec& layout, std::string const& path) {
  ChannelPlan plan;
  plan.alpha = layout.alpha_channel >= 0 ? layout.alpha_channel : channelNamed(layout, "A");
  int const r = channelNamed(layout, "R");
  int const g = channelNamed(layout, "G");
  int const b = channelNamed(layout, "B");
  int const y = channelNamed(layout, "Y");
  if (r >= 0 && g >= 0 && b >= 0) {
    plan.red = r;
    plan.green = g;
    plan.blue = b;
  } else if (r < 0 && g < 0 && b < 0 && y >= 0 && layout.nchannels == (plan.alpha >= 0 ? 2 : 1)) {
    // Grey: Y alone, or with A. (X, Y, Z is another colour space, not grey.)
    plan.red = plan.green = plan.blue = y;
  } else {
    std::string names;
    for (int c = 0; c < layout.nchannels; ++c) {
      names += (c == 0 ? "" : ", ") + std::string(layout.channel_name(c));
    }
    throw ToolError("cannot read " + path + ": its channels (" + names +
                    ") are not R, G and B (and others), or Y alone, with an optional A");
  }
  if (plan.alpha == plan.red || plan.alpha == plan.green || plan.alpha == plan.blue) {
    plan.alpha = -1;
  }
  return plan;
}

OIIO::TypeDesc workingType(OIIO::TypeDesc fileType) {
  if (fileType == OIIO::TypeDesc::UINT8 || fileType == OIIO::TypeDesc::UINT16) {
    return fileType;
  }
  return OIIO::TypeDesc::FLOAT;
}

// The effect's RGBA from the file's channels, packed as `layout` describes
// them; a file without alpha gets an opaque one.
OIIO::ImageBuf rgbaFrom(const OIIO::ImageSpec& layout, void* pixels, ChannelPlan const& plan) {
  needMemory(rgbaBytes(layout.width, layout.height, layout.format));
  const OIIO::ImageBuf file(layout, pixels);
  int const order[4] = {plan.red, plan.green, plan.blue, plan.alpha};
  float const values[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  static const std::string kNames[4] = {"R", "G", "B", "A"};
  OIIO::ImageBuf rgba = OIIO::ImageBufAlgo::channels(file, 4, order, values, kNames);
  rgba.specmod().alpha_channel = 3;
  return rgba;
}

// PNG pixels are decoded by our own use of libpng, whose errors come back to
// us; through the image library they would also be printed. Once libpng has
// accepted the whole file, the image library reads its metadata from the
// same bytes.
// What a file's pixels will take in memory, for the message when they cannot.
struct Claim {
  int width = 0;
  int height = 0;
  std::size_t bytes = 0;
};

Picture readPng(int fd, std::string const& path, Claim& claim) {
  std::vector<unsigned char> bytes = readBytes(fd, path, std::numeric_limits<std::size_t>::max());
  PngPixels png = decodePng(bytes, path, [&path, &claim](int width, int height) {
    checkFrameSize(path, width, height);
    // Decoded rows and their RGBA, 16 bits a sample at most.
    claim = {width, height, rgbaBytes(width, height, OIIO::TypeDesc::UINT16) * 2};
  });

  OIIO::Filesystem::IOMemReader memory(bytes.data(), bytes.size());
  auto in = OIIO::ImageInput::create("png", false, nullptr, &memory);
  OIIO::ImageSpec header;
  if (!in || !in->open(path, header)) {
    throw ToolError("cannot read " + path + ": " + firstLine(in ? in->geterror() : OIIO::geterror()));
  }
  const OIIO::TypeDesc type = png.bitDepth == 16 ? OIIO::TypeDesc::UINT16 : OIIO::TypeDesc::UINT8;
  OIIO::ImageSpec layout(png.width, png.height, png.channels, type);
  layout.channelnames =
      png.channels <= 2 ? std::vector<std::string>{"Y", "A"} : std::vector<std::string>{"R", "G", "B", "A"};
  layout.channelnames.resize(static_cast<std::size_t>(png.channels));
  layout.alpha_channel = png.channels == 2 || png.channels == 4 ? png.channels - 1 : -1;
  void* samples = png.bitDepth == 16 ? static_cast<void*>(png.u16.data()) : static_cast<void*>(png.u8.data());
  auto traits = std::make_shared<FileTraits>();
  traits->header = in->spec();
  traits->formatName = "png";
  traits->hasAlpha = layout.alpha_channel >= 0;
  return {rgbaFrom(layout, samples, planChannels(layout, path)), traits};
}

// Reads what the decoder delivers and checks, besides its answer, whether it
// complained: some decoders fill a damaged file's missing part and say so
// only in their error text.
void readChecked(OIIO::ImageInput& in, std::string const& path, bool ok) {
  const std::string error = in.geterror();
  if (!ok || !error.empty()) {
    throw ToolError("cannot read " + path + ": the file is damaged or truncated (" +
                    (error.empty() ? std::string("the decoder stopped") : firstLine(error)) + ")");
  }
}

}  // namespace

OIIO::ImageBuf blankRgba(int width, int height, OIIO::TypeDesc type) {
  needMemory(rgbaBytes(width, height, type));
  OIIO::ImageSpec layout(width, height, 4, type);
  layout.alpha_channel = 3;
  return OIIO::ImageBuf(layout, OIIO::InitializePixels::Yes);
}

Picture readImage(std::string const& path) {
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
  Claim claim;
  try {
    if (hasPngSignature(readBytes(handle.get(), path, 8))) {
      return readPng(handle.get(), path, claim);
    }

    // TIFF readers associate alpha unless told not to.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    if (!in) {
      throw ToolError("cannot read " + path + ": " + firstLine(OIIO::geterror()));
    }
    int images = 1;
    while (in->seek_subimage(images, 0)) {
      ++images;
    }
    in->geterror();  // the failed seek past the last one
    if (images > 1) {
      throw ToolError("cannot read " + path + ": it holds " + std::to_string(images) +
                      " images (parts, pages or layers); give a file of one image");
    }
    if (!in->seek_subimage(0, 0)) {
      readChecked(*in, path, false);
    }
    const OIIO::ImageSpec header = in->spec();
    if (header.deep || header.depth > 1) {
      throw ToolError("cannot read " + path + ": deep and volume images are not supported");
    }
    checkFrameSize(path, header.width, header.height);
    const ChannelPlan plan = planChannels(header, path);

    const OIIO::TypeDesc type = workingType(header.format);
    int const channels = header.nchannels;
    OIIO::ImageSpec layout(header.width, header.height, channels, type);
    layout.channelnames = header.channelnames;
    const std::size_t rowBytes = static_cast<std::size_t>(header.width) * channels * type.size();
    claim = {
        header.width, header.height,
        rowBytes * static_cast<std::size_t>(header.height) + rgbaBytes(header.width, header.height, type)};
    std::vector<unsigned char> pixels(rowBytes * static_cast<std::size_t>(header.height));
    readChecked(*in, path, in->read_image(0, 0, 0, channels, type, pixels.data()));

    auto traits = std::make_shared<FileTraits>();
    traits->header = header;
    traits->formatName = in->format_name();
    traits->hasAlpha = plan.alpha >= 0;
    std::vector<int> extra;
    for (int c = 0; c < channels; ++c) {
      if (c != plan.red && c != plan.green && c != plan.blue && c != plan.alpha) {
        extra.push_back(c);
      }
    }
    if (!extra.empty()) {
      // In their own types, as stored.
      OIIO::ImageBuf extras;
      for (int c : extra) {
        OIIO::ImageSpec one(header.width, header.height, 1, header.channelformat(c));
        one.channelnames = {std::string(header.channel_name(c))};
        OIIO::ImageBuf channel(one);
        readChecked(*in, path,
                    in->read_image(0, 0, c, c + 1, header.channelformat(c), channel.localpixels()));
        extras = extras.initialized() ? OIIO::ImageBufAlgo::channel_append(extras, channel) : channel;
      }
      traits->extras = extras;
    }
    return {rgbaFrom(layout, pixels.data(), plan), traits};
  } catch (std::bad_alloc const&) {
    throw ToolError("cannot read " + path + ": there is not enough memory for its " +
                    std::to_string(claim.width) + "x" + std::to_string(claim.height) + " pixels (up to " +
                    gigabytes(static_cast<double>(claim.bytes)) + ")");
  }
}

void checkWritable(std::string const& path) {
  const std::filesystem::path target = resolvedDestination(path);
  std::error_code error;
  if (std::filesystem::is_directory(target, error)) {
    throw ToolError("cannot write " + path + ": is a folder");
  }
  createWriter(path);
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  if (!std::filesystem::is_directory(folder, error)) {
    throw ToolError("cannot write " + path + ": folder " + folder.string() + " does not exist");
  }
  if (access(folder.c_str(), W_OK) != 0) {
    throw ToolError("cannot write " + path + ": folder " + folder.string() + " is not writable");
  }
  if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
    throw ToolError("cannot write " + path + ": " + systemReason(errno));
  }
}

namespace {

// Encodes in memory when the writer can, so that the file is written, and
// every write checked, by us (the PNG, TGA and BMP writers ignore a failed
// write); else lets the writer write the temporary file. Not TIFF: its
// writer reports failed writes, and into memory it silently drops the image
// directory when there is Exif data.
void encode(OIIO::ImageOutput& out, std::string const& path, const OIIO::ImageSpec& layout,
            const OIIO::ImageBuf& pixels) {
  const OIIO::TypeDesc memoryType = pixels.spec().format;
  void const* data = pixels.localpixels();
  if (out.supports("ioproxy") && std::strcmp(out.format_name(), "tiff") != 0) {
    std::vector<unsigned char> bytes;
    OIIO::Filesystem::IOVecOutput memory(bytes);
    if (!out.set_ioproxy(&memory) || !out.open(path, layout) || !out.write_image(memoryType, data) ||
        !out.close()) {
      throw ToolError("cannot write " + path + ": " + firstLine(out.geterror()));
    }
    TempFile temp(path);
    temp.write(bytes);
    temp.commit();
    return;
  }
  // Such writers' messages name the temporary file, which the user never sees.
  TempFile temp(path);
  bool const written = out.open(temp.path(), layout) && out.write_image(memoryType, data);
  if (!out.close() || !written) {
    throw ToolError("cannot write " + path + ": " + replaceAll(firstLine(out.geterror()), temp.path(), path));
  }
  temp.commit();
}

}  // namespace

void writeImage(std::string const& path, const OIIO::ImageBuf& rgba, FileTraits const* like) {
  auto out = createWriter(path);
  const std::string format = out->format_name();
  // An input without alpha stays without, unless the render made it matter.
  bool const alphaMatters =
      like == nullptr || like->hasAlpha || !OIIO::ImageBufAlgo::isConstantChannel(rgba, 3, 1.0f);
  int const colourChannels = out->supports("alpha") && alphaMatters ? 4 : 3;
  const OIIO::TypeDesc type =
      storableType(format, like != nullptr ? like->header.channelformat(0) : rgba.spec().format);

  static int const kOrder[4] = {0, 1, 2, 3};
  needMemory(rgbaBytes(rgba.spec().width, rgba.spec().height, rgba.spec().format));
  OIIO::ImageBuf pixels = OIIO::ImageBufAlgo::channels(rgba, colourChannels, kOrder);
  std::vector<OIIO::TypeDesc> types(static_cast<std::size_t>(colourChannels), type);
  bool const extras = like != nullptr && like->extras.initialized() && out->supports("nchannels");
  bool const perChannel = extras && out->supports("channelformats");
  if (extras) {
    // In memory one type holds every channel exactly, whatever each is
    // stored as: double; the writer converts each to its own.
    needMemory(rgbaBytes(rgba.spec().width, rgba.spec().height, OIIO::TypeDesc::DOUBLE) * 3);
    OIIO::ImageBuf colour;
    colour.copy(pixels, OIIO::TypeDesc::DOUBLE);
    OIIO::ImageBuf extra;
    extra.copy(like->extras, OIIO::TypeDesc::DOUBLE);
    pixels = OIIO::ImageBufAlgo::channel_append(colour, extra);
    for (int c = 0; c < like->extras.nchannels(); ++c) {
      types.push_back(perChannel ? storableType(format, like->extras.spec().channelformat(c)) : type);
    }
  }
  OIIO::ImageSpec layout = pixels.spec();
  layout.set_format(type);
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
    // 10-bit DPX stays 10-bit, where format and data type stay the same.
    int const bits = like->header.get_int_attribute("oiio:BitsPerSample", 0);
    if (bits > 0 && format == like->formatName && type == like->header.format) {
      layout.attribute("oiio:BitsPerSample", bits);
    }
  }
  // The samples are straight (unassociated); writers must store them as they are.
  layout.attribute("oiio:UnassociatedAlpha", 1);
  encode(*out, path, layout, pixels);
}

}  // namespace preview
