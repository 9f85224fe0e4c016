#include "ToolTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include <sys/wait.h>
#include <unistd.h>

#include <OpenImageIO/imageio.h>
#include <png.h>

namespace tooltest {
namespace {

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
// The image library's worker threads synchronise in code the thread
// sanitizer cannot see.
bool const kImageLibraryOnOneThread = OIIO::attribute("threads", 1);
#endif
#endif

std::string quoted(std::string const& arg) {
  std::string q = "'";
  for (char c : arg) {
    q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return q + "'";
}

std::string slurp(std::string const& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

RunResult runTool(std::vector<std::string> const& args, std::string const& prefix) {
  const ScratchDir logs;
  std::string command = prefix + " " + quoted(ZF_RENDER_TOOL);
  for (std::string const& a : args) {
    command += " " + quoted(a);
  }
  command += " </dev/null >" + quoted(logs.path("out")) + " 2>" + quoted(logs.path("err"));
  int const status = std::system(command.c_str());
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = slurp(logs.path("out"));
  r.err = slurp(logs.path("err"));
  return r;
}

void writeFile(std::string const& path, OIIO::ImageSpec layout, std::vector<float> const& samples) {
  auto out = OIIO::ImageOutput::create(path);
  if (!out || !out->open(path, layout) || !out->write_image(OIIO::TypeFloat, samples.data()) ||
      !out->close()) {
    throw std::runtime_error("cannot write " + path);
  }
}

Opened openFile(std::string const& path) {
  auto in = OIIO::ImageInput::open(path);
  if (!in) {
    throw std::runtime_error("cannot open " + path);
  }
  Opened file{in->spec(), {}};
  file.floats.resize(file.header.image_pixels() * static_cast<std::size_t>(file.header.nchannels));
  if (!in->read_image(0, 0, 0, file.header.nchannels, OIIO::TypeFloat, file.floats.data())) {
    throw std::runtime_error("cannot read " + path);
  }
  return file;
}

std::string withoutPermissionOverride() {
  return geteuid() == 0 ? "setpriv --bounding-set=-dac_override,-dac_read_search" : "";
}

ScratchDir::ScratchDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zf-tool-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  root_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::vector<std::string> ScratchDir::listing() const {
  std::vector<std::string> names;
  for (auto const& entry : std::filesystem::directory_iterator(root_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::map<std::string, std::string> ScratchDir::snapshot() const {
  std::map<std::string, std::string> entries;
  for (auto const& entry : std::filesystem::recursive_directory_iterator(root_)) {
    const std::string name = std::filesystem::relative(entry.path(), root_).string();
    if (entry.is_symlink()) {
      entries[name] = "-> " + std::filesystem::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      entries[name] = "<folder>";
    } else {
      entries[name] = slurp(entry.path().string());
    }
  }
  return entries;
}

void writePng(std::string const& path, int width, int height, int bitDepth,
              std::vector<std::uint32_t> const& samples, int channels, bool tagged) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    throw std::runtime_error("cannot create " + path);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng failed writing " + path);
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
               channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (tagged) {
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_text title{};
    title.compression = PNG_TEXT_COMPRESSION_NONE;
    title.key = const_cast<char*>("Title");
    title.text = const_cast<char*>("Zarnit test");
    png_set_text(png, info, &title, 1);
    png_set_pHYs(png, info, 2835, 2835, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  const std::size_t bytes = static_cast<std::size_t>(bitDepth / 8);
  const std::size_t rowSamples = static_cast<std::size_t>(width) * channels;
  std::vector<png_byte> row(rowSamples * bytes);
  for (int y = 0; y < height; ++y) {
    for (std::size_t i = 0; i < rowSamples; ++i) {
      const std::uint32_t v = samples[static_cast<std::size_t>(y) * rowSamples + i];
      if (bytes == 2) {
        row[2 * i] = static_cast<png_byte>(v >> 8);  // PNG is big-endian
        row[2 * i + 1] = static_cast<png_byte>(v & 0xFF);
      } else {
        row[i] = static_cast<png_byte>(v);
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

void writeSmallPng(std::string const& path, int width, int height) {
  std::vector<std::uint32_t> rgba;
  for (int i = 0; i < width * height; ++i) {
    rgba.insert(rgba.end(), {static_cast<std::uint32_t>(i * 5 % 256), 100, 200, 255});
  }
  writePng(path, width, height, 8, rgba);
}

void writeGreyPng(std::string const& path, int width, int height) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    throw std::runtime_error("cannot create " + path);
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("libpng failed writing " + path);
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 1);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width), 128);
  for (int y = 0; y < height; ++y) {
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

RawImage readPng(std::string const& path) {
  File file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    throw std::runtime_error("cannot open " + path);
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("libpng failed reading " + path);
  }
  png_init_io(png, file.get());
  png_read_info(png, info);
  RawImage image;
  image.width = static_cast<int>(png_get_image_width(png, info));
  image.height = static_cast<int>(png_get_image_height(png, info));
  image.bitDepth = png_get_bit_depth(png, info);
  image.channels = png_get_channels(png, info);
  int intent = 0;
  image.srgb = png_get_sRGB(png, info, &intent) != 0;
  png_textp text = nullptr;
  int texts = 0;
  png_get_text(png, info, &text, &texts);
  for (int i = 0; i < texts; ++i) {
    image.text[text[i].key] = text[i].text;
  }
  png_uint_32 resolutionX = 0;
  png_uint_32 resolutionY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resolutionX, &resolutionY, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
    image.pixelsPerMetre = resolutionX;
  }
  const std::size_t bytes = image.bitDepth == 16 ? 2 : 1;
  std::vector<png_byte> row(png_get_rowbytes(png, info));
  for (int y = 0; y < image.height; ++y) {
    png_read_row(png, row.data(), nullptr);
    for (std::size_t i = 0; i < static_cast<std::size_t>(image.width) * image.channels; ++i) {
      image.samples.push_back(bytes == 2 ? (std::uint32_t{row[2 * i]} << 8 | row[2 * i + 1]) : row[i]);
    }
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return image;
}

void writeExr(std::string const& path, int width, int height, std::vector<float> const& rgba) {
  auto out = OIIO::ImageOutput::create(path);
  OIIO::ImageSpec fileSpec(width, height, 4, OIIO::TypeDesc::FLOAT);
  if (!out || !out->open(path, fileSpec) || !out->write_image(OIIO::TypeDesc::FLOAT, rgba.data()) ||
      !out->close()) {
    throw std::runtime_error("cannot write " + path);
  }
}

RawImage readExr(std::string const& path) {
  auto in = OIIO::ImageInput::open(path);
  if (!in) {
    throw std::runtime_error("cannot open " + path);
  }
  RawImage image;
  image.width = in->spec().width;
  image.height = in->spec().height;
  image.channels = in->spec().nchannels;
  image.bitDepth = static_cast<int>(in->spec().format.size()) * 8;
  image.floats.resize(static_cast<std::size_t>(image.width) * image.height * image.channels);
  if (!in->read_image(0, 0, 0, image.channels, OIIO::TypeDesc::FLOAT, image.floats.data())) {
    throw std::runtime_error("cannot read " + path);
  }
  return image;
}

}  // namespace tooltest
