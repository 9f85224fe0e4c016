// Worlds (frames) in every pixel layout a host hands to an effect.
#ifndef ZF_TESTHOST_WORLD_H
#define ZF_TESTHOST_WORLD_H

#include <cstdint>
#include <memory>
#include <vector>

#include "suites/HostInterface.h"

namespace testhost {

// One pixel layout as the host describes it. Channel order is the order in
// memory; `maxValue` is full scale (255, 32768, or 1.0 for float).
enum class ChannelOrder { ARGB, BGRA };
enum class ChannelType { U8, U16, F32 };

struct PixelFormatInfo {
  PF_PixelFormat code;
  char const* name;
  ChannelOrder order;
  ChannelType type;
  int bytesPerPixel;
  double maxValue;
};

// After Effects 8, 16 and 32-bit ARGB, Premiere Pro 8-bit BGRA and the two
// Premiere Pro float BGRA codes.
inline constexpr PixelFormatInfo kPixelFormats[] = {
    {PF_PixelFormat_ARGB32, "ARGB8", ChannelOrder::ARGB, ChannelType::U8, 4, 255.0},
    {PF_PixelFormat_ARGB64, "ARGB16", ChannelOrder::ARGB, ChannelType::U16, 8, 32768.0},
    {PF_PixelFormat_ARGB128, "ARGB32", ChannelOrder::ARGB, ChannelType::F32, 16, 1.0},
    {PF_PixelFormat_BGRA32, "BGRA8", ChannelOrder::BGRA, ChannelType::U8, 4, 255.0},
    {PrPixelFormat_BGRA_4444_32f, "BGRA32", ChannelOrder::BGRA, ChannelType::F32, 16, 1.0},
    {PrPixelFormat_BGRA_4444_32f_Linear, "BGRA32_Linear", ChannelOrder::BGRA, ChannelType::F32, 16, 1.0},
};

// The entry for code, or null for a code outside the table.
PixelFormatInfo const* pixelFormatInfo(PF_PixelFormat code);

// A pixel's channels in the layout's own units: 0..255 for 8 bits, 0..32768
// for 16 bits, the stored float for 32 bits.
struct Channels {
  double alpha;
  double red;
  double green;
  double blue;
};

// A frame owned by the test, in one of the six layouts, optionally with
// padding at the end of every row (rowbytes > width * bytesPerPixel). The
// padding holds a guard pattern so that a test can tell whether anything
// wrote past a row's last pixel.
//
// Every World is known to every Host of the process: the World and Pixel
// Format suites answer its format code, found through its `data` pointer, so
// copies of the record (for example in a layer parameter) are recognised too.
// Pixels start out as a garbage pattern unless cleared or filled.
class World {
 public:
  static constexpr std::uint8_t kPaddingGuard = 0xEE;
  static constexpr std::uint8_t kGarbage = 0xA5;

  World(PF_PixelFormat format, A_long width, A_long height, A_long rowPaddingBytes = 0);
  ~World();
  World(World const&) = delete;
  World& operator=(World const&) = delete;

  PF_EffectWorld* record() { return &record_; }
  PF_EffectWorld const* record() const { return &record_; }
  PF_PixelFormat format() const { return info_->code; }
  PixelFormatInfo const& info() const { return *info_; }
  A_long width() const { return record_.width; }
  A_long height() const { return record_.height; }
  A_long rowbytes() const { return record_.rowbytes; }

  std::uint8_t* row(A_long y);
  std::uint8_t const* row(A_long y) const;

  // Reads and writes one pixel in the layout's own units; integer layouts
  // round and clamp to their range on writing.
  Channels get(A_long x, A_long y) const;
  void set(A_long x, A_long y, Channels const& value);
  void fill(Channels const& value);
  // Every pixel byte (not the padding) set to value.
  void fillBytes(std::uint8_t value);

  // True while every padding byte still holds kPaddingGuard.
  bool paddingIntact() const;
  // The whole buffer, padding included, for before/after comparisons.
  std::vector<std::uint8_t> bytes() const;

 private:
  PixelFormatInfo const* info_;
  std::unique_ptr<std::uint8_t[]> storage_;
  std::size_t storageSize_;
  PF_EffectWorld record_;
};

}  // namespace testhost

#endif
