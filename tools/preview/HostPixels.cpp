#include "HostPixels.h"

#include <algorithm>
#include <cstring>

#include "ImageFile.h"

namespace preview {
namespace {

using testhost::ChannelOrder;
using testhost::ChannelType;

// Where R, G, B, A sit in a host pixel.
struct ChannelSlots {
  int r, g, b, a;
};

ChannelSlots slotsOf(ChannelOrder order) {
  return order == ChannelOrder::ARGB ? ChannelSlots{1, 2, 3, 0} : ChannelSlots{2, 1, 0, 3};
}

// A float in the integer range 0..full: above 1 is full, below 0 (and NaN)
// is 0, the rest rounds half up.
template <typename T>
T quantize(float x, float full) {
  if (x > 1.0f) {
    return static_cast<T>(full);
  }
  return static_cast<T>(std::max(0.0f, x) * full + 0.5f);
}

// Sample i of an RGBA image's pixels, in the host's units for a channel type.
std::uint8_t hostU8(const OIIO::ImageBuf& rgba, std::size_t i) {
  void const* data = rgba.localpixels();
  switch (rgba.spec().format.basetype) {
    case OIIO::TypeDesc::UINT8:
      return static_cast<std::uint8_t const*>(data)[i];
    case OIIO::TypeDesc::UINT16:
      return static_cast<std::uint8_t>((2u * 255u * static_cast<std::uint16_t const*>(data)[i] + 65535u) /
                                       (2u * 65535u));
    default:
      return quantize<std::uint8_t>(static_cast<float const*>(data)[i], 255.0f);
  }
}

std::uint16_t hostU16(const OIIO::ImageBuf& rgba, std::size_t i) {
  void const* data = rgba.localpixels();
  switch (rgba.spec().format.basetype) {
    case OIIO::TypeDesc::UINT8:
      return static_cast<std::uint16_t>((2u * 32768u * static_cast<std::uint8_t const*>(data)[i] + 255u) /
                                        (2u * 255u));
    case OIIO::TypeDesc::UINT16:
      return fileToHost16(static_cast<std::uint16_t const*>(data)[i]);
    default:
      return quantize<std::uint16_t>(static_cast<float const*>(data)[i], 32768.0f);
  }
}

float hostF32(const OIIO::ImageBuf& rgba, std::size_t i) {
  void const* data = rgba.localpixels();
  switch (rgba.spec().format.basetype) {
    case OIIO::TypeDesc::UINT8:
      return static_cast<float>(static_cast<std::uint8_t const*>(data)[i]) / 255.0f;
    case OIIO::TypeDesc::UINT16:
      return static_cast<float>(static_cast<std::uint16_t const*>(data)[i]) / 65535.0f;
    default:
      return static_cast<float const*>(data)[i];
  }
}

template <typename T>
void storeChannel(std::uint8_t* pixel, int slot, T value) {
  std::memcpy(pixel + static_cast<std::size_t>(slot) * sizeof(T), &value, sizeof(T));
}

template <typename T>
T loadChannel(std::uint8_t const* pixel, int slot) {
  T value;
  std::memcpy(&value, pixel + static_cast<std::size_t>(slot) * sizeof(T), sizeof(T));
  return value;
}

}  // namespace

void fillWorld(const OIIO::ImageBuf& rgba, testhost::World& world) {
  testhost::PixelFormatInfo const& info = world.info();
  const ChannelSlots slots = slotsOf(info.order);
  int const order[4] = {slots.r, slots.g, slots.b, slots.a};
  int const width = rgba.spec().width;
  for (int y = 0; y < rgba.spec().height; ++y) {
    std::uint8_t* row = world.row(y);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* pixel = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(info.bytesPerPixel);
      const std::size_t base = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x) * 4;
      for (int c = 0; c < 4; ++c) {
        const std::size_t i = base + static_cast<std::size_t>(c);
        switch (info.type) {
          case ChannelType::U8:
            storeChannel(pixel, order[c], hostU8(rgba, i));
            break;
          case ChannelType::U16:
            storeChannel(pixel, order[c], hostU16(rgba, i));
            break;
          case ChannelType::F32:
            storeChannel(pixel, order[c], hostF32(rgba, i));
            break;
        }
      }
    }
  }
}

OIIO::ImageBuf imageFromWorld(testhost::World const& world) {
  testhost::PixelFormatInfo const& info = world.info();
  const OIIO::TypeDesc type = info.type == ChannelType::U8    ? OIIO::TypeDesc::UINT8
                              : info.type == ChannelType::U16 ? OIIO::TypeDesc::UINT16
                                                              : OIIO::TypeDesc::FLOAT;
  OIIO::ImageBuf image = blankRgba(world.width(), world.height(), type);
  const ChannelSlots slots = slotsOf(info.order);
  int const order[4] = {slots.r, slots.g, slots.b, slots.a};
  void* data = image.localpixels();
  for (int y = 0; y < world.height(); ++y) {
    std::uint8_t const* row = world.row(y);
    for (int x = 0; x < world.width(); ++x) {
      std::uint8_t const* pixel =
          row + static_cast<std::size_t>(x) * static_cast<std::size_t>(info.bytesPerPixel);
      const std::size_t base =
          (static_cast<std::size_t>(y) * static_cast<std::size_t>(world.width()) + x) * 4;
      for (int c = 0; c < 4; ++c) {
        const std::size_t i = base + static_cast<std::size_t>(c);
        switch (info.type) {
          case ChannelType::U8:
            static_cast<std::uint8_t*>(data)[i] = loadChannel<std::uint8_t>(pixel, order[c]);
            break;
          case ChannelType::U16:
            static_cast<std::uint16_t*>(data)[i] = hostToFile16(loadChannel<std::uint16_t>(pixel, order[c]));
            break;
          case ChannelType::F32:
            static_cast<float*>(data)[i] = loadChannel<float>(pixel, order[c]);
            break;
        }
      }
    }
  }
  return image;
}

}  // namespace preview
