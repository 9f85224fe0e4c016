// What the benchmarks share: frames, the floor passes, and the table of
// comparisons printed after the run.
#ifndef ZF_TOOLS_BENCH_BENCHSUPPORT_H
#define ZF_TOOLS_BENCH_BENCHSUPPORT_H

#include "render/RenderData.h"
#include "suites/HostInterface.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace bench {

struct Size {
  int width;
  int height;
  char const* name;
};

inline constexpr Size fullHd{1920, 1080, "1920x1080"};
inline constexpr Size uhd{3840, 2160, "3840x2160"};

// A page-aligned buffer, every page touched before timing starts.
class Buffer {
 public:
  explicit Buffer(std::size_t bytes);
  unsigned char* data() { return data_.get(); }
  std::size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(unsigned char* p) const;
  };
  std::unique_ptr<unsigned char, Free> data_;
  std::size_t size_;
};

// Deterministic bytes: channels with an alpha mix of transparent, opaque and
// partial pixels, so every branch of the formula is taken.
void fillPixels8(unsigned char* data, std::size_t pixels, std::uint32_t seed);
void fillPixelsFloat(float* data, std::size_t pixels, std::uint32_t seed);

// Runs fn(band, firstRow, endRow) for the 16 bands of `height` rows on 16
// threads, through the kernel's own row dispatch.
void onDispatchBands(int height, std::function<void(int band, int firstRow, int endRow)> const& fn);

// Reads `bytes` from src at memcpy speed, keeping nothing.
void readAway(unsigned char const* src, std::size_t bytes);

// Floor pass: per band, reads readBytesPerRow from `src` and writes
// writeBytesPerRow to `dst` with memcpy (and memset or a summing read for
// the part by which the two differ). The least any conversion of those
// rows could cost.
void floorPass(unsigned char const* src, std::size_t readBytesPerRow, unsigned char* dst,
               std::size_t writeBytesPerRow, int height);

// A floor row callback for the host's iterate_generic: row `row` moved with
// memcpy, reading srcRowBytes and writing dstRowBytes.
struct CopyRows {
  unsigned char const* src;
  std::size_t srcRowBytes;
  unsigned char* dst;
  std::size_t dstRowBytes;
};
PF_Err copyRow(void* refcon, A_long threadIndex, A_long row, A_long rowCount);

// Counters every benchmark reports: megapixels and bytes per second of wall
// time.
void setThroughput(benchmark::State& state, std::int64_t pixelsPerIteration, std::int64_t bytesPerIteration);

// Times `work`, then `floor`, then `writeFloor` if given, in every
// iteration. The benchmark's time is work's (register it with
// UseManualTime); the counters floor_ms and write_floor_ms hold the medians
// of the floors', so all of them meet the same load on a shared machine.
void runWithFloor(benchmark::State& state, std::function<void()> const& work,
                  std::function<void()> const& floor, std::function<void()> const& writeFloor = {});

// A line of the closing table: `name` compared with the benchmark `baseline`
// (may be empty) and with its own floor_ms counter.
struct Comparison {
  std::string name;
  std::string baseline;
};
void addComparison(Comparison c);
std::vector<Comparison> const& comparisons();

}  // namespace bench

#endif
