#include "BenchSupport.h"

#include "render/Dispatch.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <thread>

namespace bench {

void Buffer::Free::operator()(unsigned char* p) const {
  std::free(p);
}

Buffer::Buffer(std::size_t bytes) : size_(bytes) {
  std::size_t const page = 4096;
  std::size_t const rounded = (bytes + page - 1) / page * page;
  void* p = std::aligned_alloc(page, rounded == 0 ? page : rounded);
  if (p == nullptr)
    throw std::bad_alloc();
  data_.reset(static_cast<unsigned char*>(p));
  std::memset(p, 0, rounded == 0 ? page : rounded);
}

namespace {

struct Noise {
  std::minstd_rand rng;
  explicit Noise(std::uint32_t seed) : rng(seed) {}
  std::uint32_t next() { return static_cast<std::uint32_t>(rng()); }
  unsigned char alpha() {
    std::uint32_t const v = next();
    switch (v % 4) {
      case 0:
        return 0;
      case 1:
        return 255;
      default:
        return static_cast<unsigned char>(v >> 4);
    }
  }
};

}  // namespace

void fillPixels8(unsigned char* data, std::size_t pixels, std::uint32_t seed) {
  Noise rng(seed);
  for (std::size_t i = 0; i < pixels; ++i) {
    data[4 * i + 0] = static_cast<unsigned char>(rng.next());
    data[4 * i + 1] = static_cast<unsigned char>(rng.next());
    data[4 * i + 2] = static_cast<unsigned char>(rng.next());
    data[4 * i + 3] = rng.alpha();
  }
}

void fillPixelsFloat(float* data, std::size_t pixels, std::uint32_t seed) {
  Noise rng(seed);
  for (std::size_t i = 0; i < pixels; ++i) {
    for (int c = 0; c < 3; ++c)
      data[4 * i + c] = static_cast<float>(static_cast<int>(rng.next() % 1200) - 100) / 997.0f;
    data[4 * i + 3] = static_cast<float>(rng.alpha()) / 255.0f;
  }
}

namespace {

void runBandWork(void const* context, int band, int firstRow, int endRow) {
  if (firstRow < endRow)
    (*static_cast<std::function<void(int, int, int)> const*>(context))(band, firstRow, endRow);
}

}  // namespace

void onDispatchBands(int height, std::function<void(int, int, int)> const& fn) {
  dispatchBands(height, runBandWork, &fn);
}

void readAway(unsigned char const* src, std::size_t bytes) {
  // Copied in slices into a buffer that stays in the first-level cache:
  // memcpy's read speed at the cost of cache-resident writes.
  constexpr std::size_t slice = 16384;
  thread_local std::array<unsigned char, slice> sink;
  for (std::size_t done = 0; done < bytes; done += slice) {
    std::size_t const n = std::min(slice, bytes - done);
    std::memcpy(sink.data(), src + done, n);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(sink.data());
}

void floorPass(unsigned char const* src, std::size_t readBytesPerRow, unsigned char* dst,
               std::size_t writeBytesPerRow, int height) {
  onDispatchBands(height, [=](int, int first, int end) {
    auto const rows = static_cast<std::size_t>(end - first);
    unsigned char const* s = src + static_cast<std::size_t>(first) * readBytesPerRow;
    unsigned char* d = dst + static_cast<std::size_t>(first) * writeBytesPerRow;
    std::size_t const read = rows * readBytesPerRow;
    std::size_t const write = rows * writeBytesPerRow;
    std::size_t const common = std::min(read, write);
    if (s != nullptr && common > 0)
      std::memcpy(d, s, common);
    if (write > common)
      std::memset(d + common, 0, write - common);
    if (read > common)
      readAway(s + common, read - common);
  });
}

PF_Err copyRow(void* refcon, A_long, A_long row, A_long) {
  auto const* c = static_cast<CopyRows const*>(refcon);
  std::size_t const r = static_cast<std::size_t>(row);
  unsigned char const* s = c->src + r * c->srcRowBytes;
  unsigned char* d = c->dst + r * c->dstRowBytes;
  std::size_t const common = std::min(c->srcRowBytes, c->dstRowBytes);
  std::memcpy(d, s, common);
  if (c->dstRowBytes > common)
    std::memset(d + common, 0, c->dstRowBytes - common);
  if (c->srcRowBytes > common)
    readAway(s + common, c->srcRowBytes - common);
  return PF_Err_NONE;
}

void runWithFloor(benchmark::State& state, std::function<void()> const& work,
                  std::function<void()> const& floor, std::function<void()> const& writeFloor) {
  using Clock = std::chrono::steady_clock;
  auto const seconds = [](Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
  };
  std::vector<double> floorSeconds;
  std::vector<double> writeFloorSeconds;
  for (auto _ : state) {
    auto const start = Clock::now();
    work();
    auto const workEnd = Clock::now();
    floor();
    auto const floorEnd = Clock::now();
    state.SetIterationTime(seconds(start, workEnd));
    floorSeconds.push_back(seconds(workEnd, floorEnd));
    if (writeFloor) {
      writeFloor();
      writeFloorSeconds.push_back(seconds(floorEnd, Clock::now()));
    }
  }
  auto const medianMilliseconds = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2] * 1e3;
  };
  if (!floorSeconds.empty())
    state.counters["floor_ms"] = medianMilliseconds(floorSeconds);
  if (!writeFloorSeconds.empty())
    state.counters["write_floor_ms"] = medianMilliseconds(writeFloorSeconds);
}

void setThroughput(benchmark::State& state, std::int64_t pixelsPerIteration, std::int64_t bytesPerIteration) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytesPerIteration);
  state.counters["MP/s"] = benchmark::Counter(static_cast<double>(pixelsPerIteration) * 1e-6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

namespace {
std::vector<Comparison>& comparisonList() {
  static std::vector<Comparison> list;
  return list;
}
}  // namespace

void addComparison(Comparison c) {
  comparisonList().push_back(std::move(c));
}

std::vector<Comparison> const& comparisons() {
  return comparisonList();
}

}  // namespace bench
