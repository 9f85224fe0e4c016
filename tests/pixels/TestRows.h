// Test-side descriptions of the pixel layouts, written from the layout
// tables rather than taken from the code under test, and small frames in
// them that conversions can be called on directly.
#ifndef ZF_TESTS_PIXELS_TESTROWS_H
#define ZF_TESTS_PIXELS_TESTROWS_H

#include "pixels/Convert.h"
#include "suites/HostInterface.h"

#include <atomic>
#include <cstdint>
#include <vector>

enum class ChannelType { U8, U16, F32 };
enum Channel { Alpha, Red, Green, Blue };

// Byte offsets follow from the channel's index in memory order.
struct LayoutDesc {
  char const* name;
  ChannelType type;
  int at[4];  // memory index of Alpha, Red, Green, Blue

  int channelBytes() const { return type == ChannelType::U8 ? 1 : type == ChannelType::U16 ? 2 : 4; }
  int pixelBytes() const { return 4 * channelBytes(); }
  double fullScale() const {
    return type == ChannelType::U8 ? 255.0 : type == ChannelType::U16 ? 32768.0 : 1.0;
  }
};

//                                         A  R  G  B
inline constexpr LayoutDesc layoutARGB8{"ARGB8", ChannelType::U8, {0, 1, 2, 3}};
inline constexpr LayoutDesc layoutARGB16{"ARGB16", ChannelType::U16, {0, 1, 2, 3}};
inline constexpr LayoutDesc layoutARGB32{"ARGB32", ChannelType::F32, {0, 1, 2, 3}};
inline constexpr LayoutDesc layoutBGRA8{"BGRA8", ChannelType::U8, {3, 2, 1, 0}};
inline constexpr LayoutDesc layoutBGRA32{"BGRA32", ChannelType::F32, {3, 2, 1, 0}};
inline constexpr LayoutDesc layoutRGBA8{"RGBA8", ChannelType::U8, {3, 0, 1, 2}};
inline constexpr LayoutDesc layoutRGBA32{"RGBA32", ChannelType::F32, {3, 0, 1, 2}};

// A frame in one layout, with optional padding after every row and rows
// stored top down (positive rowbytes) or bottom up (negative rowbytes). The
// padding and the bytes around the frame hold a guard pattern.
class TestFrame {
 public:
  static constexpr std::uint8_t guard = 0xEE;

  TestFrame(LayoutDesc const& layout, int width, int height, int padding = 0, bool bottomUp = false);
  TestFrame(TestFrame const&) = delete;
  TestFrame& operator=(TestFrame const&) = delete;

  PF_EffectWorld* world() { return &world_; }
  LayoutDesc const& layout() const { return layout_; }

  // A channel as a number in the layout's own units.
  double get(int x, int y, Channel c) const;
  void set(int x, int y, Channel c, double value);
  void setPixel(int x, int y, double a, double r, double g, double b);
  // A channel's raw bits: the integer, or a float's bit pattern.
  std::uint32_t bits(int x, int y, Channel c) const;
  std::uint8_t* pixelBytes(int x, int y);

  // Every byte outside the pixels still holds the guard.
  bool guardsIntact() const;
  std::vector<std::uint8_t> const& storage() const { return bytes_; }

 private:
  std::uint8_t* channelAddress(int x, int y, Channel c);
  std::uint8_t const* channelAddress(int x, int y, Channel c) const;
  bool isPixelByte(std::size_t index) const;

  LayoutDesc layout_;
  int width_;
  int height_;
  int stride_;  // bytes from one row to the next in memory
  bool bottomUp_;
  std::size_t margin_;  // guard bytes before the first row and after the last
  std::vector<std::uint8_t> bytes_;
  PF_EffectWorld world_{};
};

// A PF_InData whose abort callback counts its polls and gives a chosen answer.
struct AbortProbe {
  std::atomic<long> polls{0};
  std::atomic<PF_Err> answer{PF_Err_NONE};
};

struct ConversionHarness {
  AbortProbe probe;
  PF_InData inData{};
  ConvertData cd{};

  ConversionHarness();
  // Calls fn on row `row` of src into dst.
  PF_Err run(RowFunc fn, TestFrame& src, TestFrame& dst, int row, int threadIndex = 1, float gain = 1.0f);
  // Every row, thread index 1 (no abort poll).
  void runAll(RowFunc fn, TestFrame& src, TestFrame& dst, float gain = 1.0f);
};

#endif
