#include "TestRows.h"

#include <cstring>

namespace {

constexpr std::size_t marginBytes = 32;

PF_Err probeAbort(PF_ProgPtr effect_ref) {
  AbortProbe* probe = reinterpret_cast<AbortProbe*>(effect_ref);
  ++probe->polls;
  return probe->answer.load();
}

}  // namespace

TestFrame::TestFrame(LayoutDesc const& layout, int width, int height, int padding, bool bottomUp)
    : layout_(layout),
      width_(width),
      height_(height),
      stride_(width * layout.pixelBytes() + padding),
      bottomUp_(bottomUp),
      margin_(marginBytes),
      bytes_(2 * marginBytes + static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height), guard) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x)
      std::memset(pixelBytes(x, y), 0x5A, static_cast<std::size_t>(layout_.pixelBytes()));
  }
  std::uint8_t* first = bytes_.data() + margin_;
  if (bottomUp_ && height_ > 0)
    first += static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_ - 1);
  world_.data = reinterpret_cast<PF_PixelPtr>(first);
  world_.rowbytes = bottomUp_ ? -stride_ : stride_;
  world_.width = width_;
  world_.height = height_;
}

std::uint8_t* TestFrame::pixelBytes(int x, int y) {
  int const memoryRow = bottomUp_ ? height_ - 1 - y : y;
  return bytes_.data() + margin_ + static_cast<std::size_t>(memoryRow) * static_cast<std::size_t>(stride_) +
         static_cast<std::size_t>(x) * static_cast<std::size_t>(layout_.pixelBytes());
}

std::uint8_t* TestFrame::channelAddress(int x, int y, Channel c) {
  return pixelBytes(x, y) + layout_.at[c] * layout_.channelBytes();
}

std::uint8_t const* TestFrame::channelAddress(int x, int y, Channel c) const {
  return const_cast<TestFrame*>(this)->channelAddress(x, y, c);
}

double TestFrame::get(int x, int y, Channel c) const {
  std::uint32_t const b = bits(x, y, c);
  if (layout_.type != ChannelType::F32)
    return b;
  float v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

void TestFrame::set(int x, int y, Channel c, double value) {
  std::uint8_t* p = channelAddress(x, y, c);
  switch (layout_.type) {
    case ChannelType::U8:
      *p = static_cast<std::uint8_t>(value);
      break;
    case ChannelType::U16: {
      auto const v = static_cast<std::uint16_t>(value);
      std::memcpy(p, &v, sizeof v);
      break;
    }
    case ChannelType::F32: {
      auto const v = static_cast<float>(value);
      std::memcpy(p, &v, sizeof v);
      break;
    }
  }
}

void TestFrame::setPixel(int x, int y, double a, double r, double g, double b) {
  set(x, y, Alpha, a);
  set(x, y, Red, r);
  set(x, y, Green, g);
  set(x, y, Blue, b);
}

std::uint32_t TestFrame::bits(int x, int y, Channel c) const {
  std::uint8_t const* p = channelAddress(x, y, c);
  switch (layout_.type) {
    case ChannelType::U8:
      return *p;
    case ChannelType::U16: {
      std::uint16_t v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
    case ChannelType::F32: {
      std::uint32_t v;
      std::memcpy(&v, p, sizeof v);
      return v;
    }
  }
  return 0;
}

bool TestFrame::isPixelByte(std::size_t index) const {
  if (index < margin_)
    return false;
  std::size_t const inside = index - margin_;
  std::size_t const memoryRow = inside / static_cast<std::size_t>(stride_);
  std::size_t const column = inside % static_cast<std::size_t>(stride_);
  return memoryRow < static_cast<std::size_t>(height_) &&
         column < static_cast<std::size_t>(width_) * static_cast<std::size_t>(layout_.pixelBytes());
}

bool TestFrame::guardsIntact() const {
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (!isPixelByte(i) && bytes_[i] != guard)
      return false;
  }
  return true;
}

ConversionHarness::ConversionHarness() {
  inData.inter.abort = probeAbort;
  inData.effect_ref = reinterpret_cast<PF_ProgPtr>(&probe);
  cd.inData = &inData;
}

PF_Err ConversionHarness::run(RowFunc fn, TestFrame& src, TestFrame& dst, int row, int threadIndex,
                              float gain) {
  cd.src = src.world();
  cd.dst = dst.world();
  cd.gain = gain;
  return fn(&cd, threadIndex, row, src.world()->height);
}

void ConversionHarness::runAll(RowFunc fn, TestFrame& src, TestFrame& dst, float gain) {
  for (int y = 0; y < src.world()->height; ++y)
    run(fn, src, dst, y, 1, gain);
}
