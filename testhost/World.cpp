#include "testhost/World.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "testhost/HostState.h"

namespace testhost {
namespace {

// Every world of the process, by pixel memory, so that the format query
// recognises copies of a world's record.
struct WorldRegistry {
  std::mutex mutex;
  std::unordered_map<void const*, PF_PixelFormat> formats;
};

WorldRegistry& registry() {
  static WorldRegistry instance;
  return instance;
}

template <typename T>
T clampRound(double value, double maxValue) {
  double const clamped = std::min(std::max(value, 0.0), maxValue);
  return static_cast<T>(std::lround(clamped));
}

// Offsets of alpha, red, green, blue within a pixel, in channels.
struct ChannelSlots {
  int alpha, red, green, blue;
};

ChannelSlots slotsOf(ChannelOrder order) {
  return order == ChannelOrder::ARGB ? ChannelSlots{0, 1, 2, 3} : ChannelSlots{3, 2, 1, 0};
}

double readChannel(std::uint8_t const* pixel, ChannelType type, int slot) {
  switch (type) {
    case ChannelType::U8:
      return pixel[slot];
    case ChannelType::U16: {
      std::uint16_t v;
      std::memcpy(&v, pixel + slot * 2, sizeof v);
      return v;
    }
    case ChannelType::F32: {
      float v;
      std::memcpy(&v, pixel + slot * 4, sizeof v);
      return v;
    }
  }
  return 0.0;
}

void writeChannel(std::uint8_t* pixel, PixelFormatInfo const& info, int slot, double value) {
  switch (info.type) {
    case ChannelType::U8:
      pixel[slot] = clampRound<std::uint8_t>(value, info.maxValue);
      break;
    case ChannelType::U16: {
      const std::uint16_t v = clampRound<std::uint16_t>(value, info.maxValue);
      std::memcpy(pixel + slot * 2, &v, sizeof v);
      break;
    }
    case ChannelType::F32: {
      float const v = static_cast<float>(value);
      std::memcpy(pixel + slot * 4, &v, sizeof v);
      break;
    }
  }
}

}  // namespace

PixelFormatInfo const* pixelFormatInfo(PF_PixelFormat code) {
  for (PixelFormatInfo const& info : kPixelFormats) {
    if (info.code == code) {
      return &info;
    }
  }
  return nullptr;
}

PF_PixelFormat registeredFormat(void const* data) {
  WorldRegistry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto const it = r.formats.find(data);
  return it == r.formats.end() ? PF_PixelFormat_INVALID : it->second;
}

PF_Err getPixelFormat(PF_EffectWorld const* world, PF_PixelFormat* format) {
  if (world == nullptr || format == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *format = registeredFormat(world->data);
  return *format == PF_PixelFormat_INVALID ? PF_Err_BAD_CALLBACK_PARAM : PF_Err_NONE;
}

World::World(PF_PixelFormat format, A_long width, A_long height, A_long rowPaddingBytes)
    : info_(pixelFormatInfo(format)), storageSize_(0), record_{} {
  if (info_ == nullptr) {
    throw std::invalid_argument("testhost::World: unknown pixel format " + std::to_string(format));
  }
  if (width < 0 || height < 0 || rowPaddingBytes < 0) {
    throw std::invalid_argument("testhost::World: negative size");
  }
  long long const rowBytes = static_cast<long long>(width) * info_->bytesPerPixel + rowPaddingBytes;
  if (rowBytes > INT32_MAX) {
    throw std::invalid_argument("testhost::World: rows too wide");
  }
  // At least one byte, so that every world has its own data address.
  storageSize_ =
      std::max<std::size_t>(1, static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
  storage_.reset(new std::uint8_t[storageSize_]);
  std::memset(storage_.get(), kPaddingGuard, storageSize_);

  record_.data = reinterpret_cast<PF_PixelPtr>(storage_.get());
  record_.rowbytes = static_cast<A_long>(rowBytes);
  record_.width = width;
  record_.height = height;
  record_.extent_hint = PF_LRect{0, 0, width, height};
  record_.pix_aspect_ratio = PF_RationalScale{1, 1};
  fillBytes(kGarbage);

  WorldRegistry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.formats[storage_.get()] = format;
}

World::~World() {
  WorldRegistry& r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.formats.erase(storage_.get());
}

std::uint8_t* World::row(A_long y) {
  if (y < 0 || y >= record_.height) {
    throw std::out_of_range("testhost::World::row");
  }
  return storage_.get() + static_cast<std::size_t>(y) * static_cast<std::size_t>(record_.rowbytes);
}

std::uint8_t const* World::row(A_long y) const {
  return const_cast<World*>(this)->row(y);
}

Channels World::get(A_long x, A_long y) const {
  if (x < 0 || x >= record_.width) {
    throw std::out_of_range("testhost::World::get");
  }
  std::uint8_t const* pixel = row(y) + static_cast<std::size_t>(x) * info_->bytesPerPixel;
  const ChannelSlots s = slotsOf(info_->order);
  return Channels{readChannel(pixel, info_->type, s.alpha), readChannel(pixel, info_->type, s.red),
                  readChannel(pixel, info_->type, s.green), readChannel(pixel, info_->type, s.blue)};
}

void World::set(A_long x, A_long y, Channels const& value) {
  if (x < 0 || x >= record_.width) {
    throw std::out_of_range("testhost::World::set");
  }
  std::uint8_t* pixel = row(y) + static_cast<std::size_t>(x) * info_->bytesPerPixel;
  const ChannelSlots s = slotsOf(info_->order);
  writeChannel(pixel, *info_, s.alpha, value.alpha);
  writeChannel(pixel, *info_, s.red, value.red);
  writeChannel(pixel, *info_, s.green, value.green);
  writeChannel(pixel, *info_, s.blue, value.blue);
}

void World::fill(Channels const& value) {
  for (A_long y = 0; y < record_.height; ++y) {
    for (A_long x = 0; x < record_.width; ++x) {
      set(x, y, value);
    }
  }
}

void World::fillBytes(std::uint8_t value) {
  const std::size_t pixelBytes = static_cast<std::size_t>(record_.width) * info_->bytesPerPixel;
  for (A_long y = 0; y < record_.height; ++y) {
    std::memset(row(y), value, pixelBytes);
  }
}

bool World::paddingIntact() const {
  const std::size_t pixelBytes = static_cast<std::size_t>(record_.width) * info_->bytesPerPixel;
  for (A_long y = 0; y < record_.height; ++y) {
    std::uint8_t const* r = row(y);
    for (std::size_t i = pixelBytes; i < static_cast<std::size_t>(record_.rowbytes); ++i) {
      if (r[i] != kPaddingGuard) {
        return false;
      }
    }
  }
  return true;
}

std::vector<std::uint8_t> World::bytes() const {
  return std::vector<std::uint8_t>(storage_.get(), storage_.get() + storageSize_);
}

}  // namespace testhost
