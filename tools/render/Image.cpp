#include "Image.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace preview {
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
  return sampleF32(*this, sampleIndex(x, y) + static_cast<std::size_t>(c));
}

std::uint8_t sampleU8(const Image& image, std::size_t i) {
  switch (image.type) {
    case SampleType::U8:
      return image.u8[i];
    case SampleType::U16:
      return static_cast<std::uint8_t>((2u * 255u * image.u16[i] + 65535u) / (2u * 65535u));
    case SampleType::F32:
      break;
  }
  return quantize<std::uint8_t>(image.f32[i], 255.0f);
}

std::uint16_t sampleU16(const Image& image, std::size_t i) {
  switch (image.type) {
    case SampleType::U8:
      return static_cast<std::uint16_t>(image.u8[i] * 257u);
    case SampleType::U16:
      return image.u16[i];
    case SampleType::F32:
      break;
  }
  return quantize<std::uint16_t>(image.f32[i], 65535.0f);
}

float sampleF32(const Image& image, std::size_t i) {
  switch (image.type) {
    case SampleType::U8:
      return static_cast<float>(image.u8[i]) / 255.0f;
    case SampleType::U16:
      return static_cast<float>(image.u16[i]) / 65535.0f;
    case SampleType::F32:
      break;
  }
  return image.f32[i];
}

}  // namespace preview
