// Running zarnit-render as a subprocess, scratch folders, and image files
// written and read independently of the tool: PNG through libpng as raw
// samples, EXR through OpenImageIO (whose EXR path stores floats as given).
#ifndef ZF_TESTS_TOOLS_TOOLTESTSUPPORT_H
#define ZF_TESTS_TOOLS_TOOLTESTSUPPORT_H

#include <cstdint>
#include <map>

#include <OpenImageIO/imageio.h>
#include <string>
#include <vector>

namespace tooltest {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs the built zarnit-render with args, stdin from /dev/null, after the
// shell text `prefix` (limits, or a command that runs the tool).
RunResult runTool(std::vector<std::string> const& args, std::string const& prefix = "");

// A prefix under which file permissions hold even for root, who could
// otherwise read and write everything.
std::string withoutPermissionOverride();

// A fresh folder, removed with everything in it at the end of the test.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(ScratchDir const&) = delete;
  ScratchDir& operator=(ScratchDir const&) = delete;

  std::string path(std::string const& name) const { return root_ + "/" + name; }
  // Names of every entry, hidden ones included, sorted.
  std::vector<std::string> listing() const;
  // Every entry below the folder by relative name, hidden ones included, with
  // its contents: a file's bytes, "<folder>", or "-> target" for a link.
  std::map<std::string, std::string> snapshot() const;

 private:
  std::string root_;
};

// Raw samples, RGBA (or as many channels as the file has), rows from the top.
struct RawImage {
  int width = 0;
  int height = 0;
  int channels = 0;
  int bitDepth = 0;                    // 8, 16, or 32 for float
  std::vector<std::uint32_t> samples;  // integer files
  std::vector<float> floats;           // float files
  // PNG's colour space tag, text chunks and resolution, as libpng reads them.
  bool srgb = false;
  std::map<std::string, std::string> text;
  std::uint32_t pixelsPerMetre = 0;
  std::uint32_t at(int x, int y, int c) const {
    return samples[(static_cast<std::size_t>(y) * width + x) * channels + c];
  }
  float floatAt(int x, int y, int c) const {
    return floats[(static_cast<std::size_t>(y) * width + x) * channels + c];
  }
};

// PNG of 8 or 16 bits, RGBA (or RGB with channels 3), samples stored exactly
// as given. Tagged: with an sRGB chunk, the text "Title" = "Zarnit test" and
// 2835 pixels per metre.
void writePng(std::string const& path, int width, int height, int bitDepth,
              std::vector<std::uint32_t> const& samples, int channels = 4, bool tagged = false);
RawImage readPng(std::string const& path);

// A small opaque 8-bit RGBA PNG whose red varies from pixel to pixel.
void writeSmallPng(std::string const& path, int width = 8, int height = 6);

// An 8-bit grey PNG of one value, written a row at a time: as large an image
// as wanted in little memory and a small file.
void writeGreyPng(std::string const& path, int width, int height);

// Any format OpenImageIO writes: pixels given as floats (0..1 for integer
// types), laid out and stored as `layout` says.
void writeFile(std::string const& path, OIIO::ImageSpec layout, std::vector<float> const& samples);

// A file's header and every channel of every pixel as float.
struct Opened {
  OIIO::ImageSpec header;
  std::vector<float> floats;
};
Opened openFile(std::string const& path);

// RGBA float EXR.
void writeExr(std::string const& path, int width, int height, std::vector<float> const& rgba);
RawImage readExr(std::string const& path);

}  // namespace tooltest

#endif
