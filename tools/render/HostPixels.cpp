#include "HostPixels.h"

#include <algorithm>
#include <cstring>

namespace preview {
namespace {

using testhost::ChannelOrder;
using testhost::ChannelType;

/* Where R, G, B, A sit in a host pixel. */
struct ChannelSlots {
  int r, g, b, a;
};

ChannelSlots slotsOf(ChannelOrder order) {
  return order == ChannelOrder::ARGB ? ChannelSlots{1, 2, 3, 0} : ChannelSlots{2, 1, 0, 3};
}

std::uint16_t hostU16(const Image& image, std::size_t i) {
  switch (image.type) {
    case SampleType::U8:
      return static_cast<std::uint16_t>((2u * 32768u * image.u8[i] + 255u) / (2u * 255u));
    case SampleType::U16:
      return fileToHost16(image.u16[i]);
    case SampleType::F32:
      break;
  }
  return quantize<std::uint16_t>(image.f32[i], 32768.0f);
}

template <typename T>
void storeChannel(std::uint8_t* pixel, int slot, T value) {
  std::memcpy(pixel + static_cast<std::size_t>(slot) * sizeof(T), &value, sizeof(T));
}

template <typename T>
T loadChannel(const std::uint8_t* pixel, int slot) {
  T value;
  std::memcpy(&value, pixel + static_cast<std::size_t>(slot) * sizeof(T), sizeof(T));
  return value;
}

}  // namespace

void fillWorld(const Image& image, testhost::World& world) {
  const testhost::PixelFormatInfo& info = world.info();
  const ChannelSlots slots = slotsOf(info.order);
  const int order[4] = {slots.r, slots.g, slots.b, slots.a};
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* row = world.row(y);
    for (int x = 0; x < image.width; ++x) {
      std::uint8_t* pixel = row + static_cast<std::size_t>(x) * static_cast<std::size_t>(info.bytesPerPixel);
      const std::size_t base = image.sampleIndex(x, y);
      for (int c = 0; c < 4; ++c) {
        const std::size_t i = base + static_cast<std::size_t>(c);
        switch (info.type) {
          case ChannelType::U8:
            storeChannel(pixel, order[c], sampleU8(image, i));
            break;
          case ChannelType::U16:
            storeChannel(pixel, order[c], hostU16(image, i));
            break;
          case ChannelType::F32:
            storeChannel(pixel, order[c], sampleF32(image, i));
            break;
        }
      }
    }
  }
}

Image imageFromWorld(const testhost::World& world) {
  const testhost::PixelFormatInfo& info = world.info();
  const SampleType type = info.type == ChannelType::U8    ? SampleType::U8
                          : info.type == ChannelType::U16 ? SampleType::U16
                                                          : SampleType::F32;
  Image image = Image::blank(world.width(), world.height(), type);
  const ChannelSlots slots = slotsOf(info.order);
  const int order[4] = {slots.r, slots.g, slots.b, slots.a};
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = world.row(y);
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* pixel =
          row + static_cast<std::size_t>(x) * static_cast<std::size_t>(info.bytesPerPixel);
      const std::size_t base = image.sampleIndex(x, y);
      for (int c = 0; c < 4; ++c) {
        const std::size_t i = base + static_cast<std::size_t>(c);
        switch (type) {
          case SampleType::U8:
            image.u8[i] = loadChannel<std::uint8_t>(pixel, order[c]);
            break;
          case SampleType::U16:
            image.u16[i] = hostToFile16(loadChannel<std::uint16_t>(pixel, order[c]));
            break;
          case SampleType::F32:
            image.f32[i] = loadChannel<float>(pixel, order[c]);
            break;
        }
      }
    }
  }
  return image;
}

}  // namespace preview
