#ifndef ZF_TESTS_RENDER_TESTFRAMES_H
#define ZF_TESTS_RENDER_TESTFRAMES_H

#include "ReferenceKernel.h"
#include "render/RenderData.h"

#include <cstdint>
#include <functional>
#include <vector>

// An image that owns its bytes, packed rows, viewed as an ImageDesc.
struct Frame {
  std::vector<unsigned char> bytes;
  ImageDesc desc;

  Frame() = default;
  Frame(int width, int height, int bitDepth, unsigned char fill = 0);
  Frame(Frame const& other);
  Frame& operator=(Frame const& other);

  RefPixel at(int x, int y) const;  // RGBA32 frames only
  void setFloat(int x, int y, RefPixel p);
  void setBytes(int x, int y, unsigned char r, unsigned char g, unsigned char b, unsigned char a);
};

// RGBA32 frame whose pixel (x, y) is f(x, y).
Frame floatFrame(int width, int height, std::function<RefPixel(int, int)> const& f);

// RGBA32 input in which every channel of pixel (x, y) holds x + 1000 y, alpha
// 1, so the output shows which input pixel each channel came from.
Frame coordinateFrame(int width, int height);
constexpr float coordinateCode(int x, int y) {
  return static_cast<float>(x + 1000 * y);
}

// RGBA32 output buffer, every byte 0xAB so unwritten pixels stand out.
constexpr unsigned char sentinel = 0xAB;
Frame outputFrame(int width, int height);
bool untouched(Frame const& f, int x, int y);

// A record reading `in` and writing `out`, full resolution, no offset.
RenderData renderData(Frame& in, Frame& out, float amount, int cx, int cy, int mode = 0, int scaling = 0,
                      int show = 0);

// Deterministic generated inputs with opaque, transparent and partial pixels.
Frame generatedFloatFrame(int width, int height, std::uint32_t seed);
Frame generatedByteFrame(int width, int height, std::uint32_t seed);

std::uint64_t fnv1a(std::vector<unsigned char> const& bytes);

#endif
