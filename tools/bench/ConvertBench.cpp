// Each of the fifteen row conversions over a frame, run the way the
// render driver runs them: through the stand-in host's iterate_generic, on
// its worker threads. The floor, timed in the same iterations, runs a memcpy
// row callback through the same iterator, reading and writing the same bytes
// per row.

#include "BenchSupport.h"

#include "pixels/Convert.h"
#include "testhost/Host.h"

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Size;

enum class Channels { Bytes, Words, Floats };

struct Conversion {
  char const* name;
  RowFunc rowFunc;
  Channels source;
  int sourceBytes;  // per pixel
  int destinationBytes;
};

Conversion const conversions[] = {
    {"ARGB8_to_RGBA8", it_Convert_ARGB8_to_RGBA8, Channels::Bytes, 4, 4},
    {"ARGB8_to_RGBA32", it_Convert_ARGB8_to_RGBA32, Channels::Bytes, 4, 16},
    {"ARGB16_to_RGBA8", it_Convert_ARGB16_to_RGBA8, Channels::Words, 8, 4},
    {"ARGB16_to_RGBA32", it_Convert_ARGB16_to_RGBA32, Channels::Words, 8, 16},
    {"ARGB32_to_RGBA8", it_Convert_ARGB32_to_RGBA8, Channels::Floats, 16, 4},
    {"ARGB32_to_RGBA32", it_Convert_ARGB32_to_RGBA32, Channels::Floats, 16, 16},
    {"BGRA8_to_RGBA8", it_Convert_BGRA8_to_RGBA8, Channels::Bytes, 4, 4},
    {"BGRA8_to_RGBA32", it_Convert_BGRA8_to_RGBA32, Channels::Bytes, 4, 16},
    {"BGRA32_to_RGBA8", it_Convert_BGRA32_to_RGBA8, Channels::Floats, 16, 4},
    {"BGRA32_to_RGBA32", it_Convert_BGRA32_to_RGBA32, Channels::Floats, 16, 16},
    {"RGBA32_to_ARGB8", it_Convert_RGBA32_to_ARGB8, Channels::Floats, 16, 4},
    {"RGBA32_to_ARGB16", it_Convert_RGBA32_to_ARGB16, Channels::Floats, 16, 8},
    {"RGBA32_to_ARGB32_saturate", it_Convert_RGBA32_to_ARGB32_saturate, Channels::Floats, 16, 16},
    {"RGBA32_to_BGRA8", it_Convert_RGBA32_to_BGRA8, Channels::Floats, 16, 4},
    {"RGBA32_to_BGRA32_saturate", it_Convert_RGBA32_to_BGRA32_saturate, Channels::Floats, 16, 16},
};

void fillSource(unsigned char* data, std::size_t pixels, Channels channels) {
  switch (channels) {
    case Channels::Bytes:
      bench::fillPixels8(data, pixels, 3);
      break;
    case Channels::Words: {
      // 0 .. 32768, full intensity included.
      std::minstd_rand rng(3);
      for (std::size_t i = 0; i < pixels * 4; ++i) {
        auto const v = static_cast<std::uint16_t>(rng() % 32769u);
        std::memcpy(data + 2 * i, &v, 2);
      }
      break;
    }
    case Channels::Floats:
      // Over-range and negative values too, as float frames and results hold them.
      bench::fillPixelsFloat(reinterpret_cast<float*>(data), pixels, 3);
      break;
  }
}

PF_EffectWorld worldOf(unsigned char* data, Size size, int pixelBytes) {
  PF_EffectWorld world{};
  world.data = reinterpret_cast<PF_PixelPtr>(data);
  world.rowbytes = size.width * pixelBytes;
  world.width = size.width;
  world.height = size.height;
  return world;
}

void registerConversion(Conversion const& c, Size size) {
  std::string const name = std::string("convert/") + c.name + "/" + size.name;
  benchmark::RegisterBenchmark(
      name.c_str(),
      [c, size](benchmark::State& state) {
        std::size_t const pixels = static_cast<std::size_t>(size.width) * size.height;
        bench::Buffer src(pixels * c.sourceBytes);
        bench::Buffer dst(pixels * c.destinationBytes);
        fillSource(src.data(), pixels, c.source);
        testhost::Host host;
        PF_InData inData = host.inData(size.width, size.height);
        PF_EffectWorld srcWorld = worldOf(src.data(), size, c.sourceBytes);
        PF_EffectWorld dstWorld = worldOf(dst.data(), size, c.destinationBytes);
        ConvertData cd{&inData, &srcWorld, &dstWorld, nullptr, 1.0f};
        bench::Buffer floorDst(pixels * c.destinationBytes);
        bench::CopyRows rows{src.data(), static_cast<std::size_t>(size.width) * c.sourceBytes,
                             floorDst.data(), static_cast<std::size_t>(size.width) * c.destinationBytes};
        PF_Err err = PF_Err_NONE;
        bench::runWithFloor(
            state, [&] { err |= host.utils()->iterate_generic(size.height, &cd, c.rowFunc); },
            [&] { host.utils()->iterate_generic(size.height, &rows, bench::copyRow); });
        if (err != PF_Err_NONE)
          state.SkipWithError("conversion reported an error");
        bench::setThroughput(state, static_cast<std::int64_t>(pixels),
                             static_cast<std::int64_t>(pixels) * (c.sourceBytes + c.destinationBytes));
      })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  bench::addComparison({name, ""});
}

}  // namespace

void registerConversionBenchmarks() {
  for (Size const size : {bench::fullHd, bench::uhd}) {
    for (Conversion const& c : conversions)
      registerConversion(c, size);
  }
}
