#include "TestFrames.h"

#include <cstring>

Frame::Frame(int width, int height, int bitDepth, unsigned char fill) {
  int const pixelBytes = bitDepth == 8 ? 4 : 16;
  bytes.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * pixelBytes, fill);
  desc.width = width;
  desc.height = height;
  desc.bitDepth = bitDepth;
  desc.rowBytes = width * pixelBytes;
  desc.data = bytes.data();
}

Frame::Frame(Frame const& other) : bytes(other.bytes), desc(other.desc) {
  desc.data = bytes.data();
}

Frame& Frame::operator=(Frame const& other) {
  bytes = other.bytes;
  desc = other.desc;
  desc.data = bytes.data();
  return *this;
}

RefPixel Frame::at(int x, int y) const {
  RefPixel p;
  std::memcpy(
      &p, bytes.data() + static_cast<std::size_t>(y) * desc.rowBytes + static_cast<std::size_t>(x) * 16, 16);
  return p;
}

void Frame::setFloat(int x, int y, RefPixel p) {
  std::memcpy(bytes.data() + static_cast<std::size_t>(y) * desc.rowBytes + static_cast<std::size_t>(x) * 16,
              &p, 16);
}

void Frame::setBytes(int x, int y, unsigned char r, unsigned char g, unsigned char b, unsigned char a) {
  unsigned char* p =
      bytes.data() + static_cast<std::size_t>(y) * desc.rowBytes + static_cast<std::size_t>(x) * 4;
  p[0] = r;
  p[1] = g;
  p[2] = b;
  p[3] = a;
}

Frame floatFrame(int width, int height, std::function<RefPixel(int, int)> const& f) {
  Frame frame(width, height, 32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      frame.setFloat(x, y, f(x, y));
  return frame;
}

Frame coordinateFrame(int width, int height) {
  return floatFrame(width, height, [](int x, int y) {
    float const c = coordinateCode(x, y);
    return RefPixel{c, c, c, 1.0f};
  });
}

Frame outputFrame(int width, int height) {
  return Frame(width, height, 32, sentinel);
}

bool untouched(Frame const& f, int x, int y) {
  unsigned char const* p =
      f.bytes.data() + static_cast<std::size_t>(y) * f.desc.rowBytes + static_cast<std::size_t>(x) * 16;
  for (int i = 0; i < 16; ++i)
    if (p[i] != sentinel)
      return false;
  return true;
}

RenderData renderData(Frame& in, Frame& out, float amount, int cx, int cy, int mode, int scaling, int show) {
  RenderData rd{};
  rd.input = in.desc;
  rd.output = out.desc;
  rd.downsampleX = 1.0f;
  rd.downsampleY = 1.0f;
  rd.amount = amount;
  rd.centerX = cx;
  rd.centerY = cy;
  rd.mode = mode;
  rd.scaling = scaling;
  rd.show = show;
  return rd;
}

namespace {

// Part of the recorded golden hashes: a change of generator changes them.
struct Lcg {
  std::uint32_t state;
  std::uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

// Alpha mix: a quarter transparent, a quarter opaque, the rest partial.
unsigned char alphaByte(Lcg& rng) {
  std::uint32_t const v = rng.next();
  switch (v % 4) {
    case 0:
      return 0;
    case 1:
      return 255;
    default:
      return static_cast<unsigned char>(v >> 4);
  }
}

}  // namespace

Frame generatedFloatFrame(int width, int height, std::uint32_t seed) {
  Lcg rng{seed};
  Frame frame(width, height, 32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Integers divided once: exactly rounded, so the same on every build.
      // Colours reach a little below 0 and above 1, as float frames do.
      auto colour = [&rng] { return static_cast<float>(static_cast<int>(rng.next() % 1200) - 100) / 997.0f; };
      float const r = colour();
      float const g = colour();
      float const b = colour();
      float const a = static_cast<float>(alphaByte(rng)) / 255.0f;
      frame.setFloat(x, y, {r, g, b, a});
    }
  }
  return frame;
}

Frame generatedByteFrame(int width, int height, std::uint32_t seed) {
  Lcg rng{seed};
  Frame frame(width, height, 8);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      auto const r = static_cast<unsigned char>(rng.next());
      auto const g = static_cast<unsigned char>(rng.next());
      auto const b = static_cast<unsigned char>(rng.next());
      frame.setBytes(x, y, r, g, b, alphaByte(rng));
    }
  }
  return frame;
}

std::uint64_t fnv1a(std::vector<unsigned char> const& bytes) {
  std::uint64_t h = 14695981039346656037ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}
