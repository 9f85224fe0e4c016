// A whole render through the loaded plug-in, as a host sends it: the
// stand-in host loads the built library and sends PF_Cmd_RENDER for a 4K
// frame in each of the six pixel formats (the three Premiere Pro formats
// with the host acting as Premiere Pro). The floor, timed in the same
// iterations, moves the bytes the pipeline must move on the same threads:
// the input conversion's read and write through the host's iterate_generic,
// the working input read and the result written on the kernel's 16 bands,
// and the output conversion's read and write through iterate_generic again.
// The write floor (write_floor_ms) is the same without reading the working
// input, as earlier tables had it.
//
// Physical floor. "<format>/<size>/physical-floor" reads the input world once
// and writes the output world once, a memcpy row callback through
// iterate_generic: the least any render of the frame could cost, for
// comparison only, since the pipeline's stages also move the working input
// and the result. It is timed in the same iterations as the pipeline floor,
// so its floor ratio says what share of that floor the frame's own bytes are.
//
// Handle memory. The stand-in host gives every new handle fresh memory
// filled with a garbage pattern (a testing aid), which for a 4K frame adds a
// page fault per page and a 165 MB fill to every render. The applications
// recycle handle memory, so the main figures serve the plug-in's handles from
// a recycling pool layered over the stand-in's utility callbacks (handles it
// did not make still go to the stand-in). One format is also measured with
// the stand-in's own handles ("fresh-handles").

#include "BenchSupport.h"

#include "testhost/Effect.h"
#include "testhost/LoadedEffect.h"
#include "testhost/Host.h"
#include "testhost/World.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Size;

// Popup values as the effect declares them.
constexpr PF_ParamValue smoothSampling = 2;

bool isPremiereFormat(PF_PixelFormat code) {
  return code == PF_PixelFormat_BGRA32 || code == PrPixelFormat_BGRA_4444_32f ||
         code == PrPixelFormat_BGRA_4444_32f_Linear;
}

// Bytes per pixel of the working input: RGBA8 for the 8-bit formats.
int workingBytes(testhost::PixelFormatInfo const& info) {
  return info.bytesPerPixel == 4 ? 4 : 16;
}

void fill(testhost::World& world) {
  std::minstd_rand rng(11);
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      auto const r = static_cast<std::uint32_t>(rng());
      double const v = static_cast<double>(r % 1000u) / 999.0;
      double const alpha = (r >> 20) % 4 == 0 ? 0.0 : 1.0;
      double const full = world.info().maxValue;
      world.set(x, y, {alpha * full, v * full, (1.0 - v) * full, 0.5 * full});
    }
  }
}

// The recycling handle pool. Host callbacks carry no context, so it is one
// per process; renders run one at a time.
struct PooledBlock {
  void* memory;  // the handle points here
  std::size_t capacity;
  std::size_t size;
  bool inUse;
};
std::vector<std::unique_ptr<PooledBlock>> pool;
_PF_UtilCallbacks const* standInUtils = nullptr;
_PF_UtilCallbacks pooledUtils;

PooledBlock* pooledBlockOf(PF_Handle handle) {
  for (auto& block : pool)
    if (handle == &block->memory)
      return block.get();
  return nullptr;
}

PF_Handle pooledNewHandle(A_u_longlong size) {
  for (auto& block : pool) {
    if (!block->inUse && block->capacity >= size) {
      block->inUse = true;
      block->size = size;
      return &block->memory;
    }
  }
  std::size_t const capacity = (static_cast<std::size_t>(size) + 4095) / 4096 * 4096 + 4096;
  void* memory = std::aligned_alloc(4096, capacity);
  if (memory == nullptr)
    return nullptr;
  std::memset(memory, 0, capacity);
  pool.push_back(
      std::make_unique<PooledBlock>(PooledBlock{memory, capacity, static_cast<std::size_t>(size), true}));
  return &pool.back()->memory;
}

void* pooledLockHandle(PF_Handle handle) {
  return pooledBlockOf(handle) != nullptr ? *handle : standInUtils->host_lock_handle(handle);
}

void pooledUnlockHandle(PF_Handle handle) {
  if (pooledBlockOf(handle) == nullptr)
    standInUtils->host_unlock_handle(handle);
}

void pooledDisposeHandle(PF_Handle handle) {
  if (PooledBlock* block = pooledBlockOf(handle))
    block->inUse = false;
  else
    standInUtils->host_dispose_handle(handle);
}

A_u_longlong pooledHandleSize(PF_Handle handle) {
  PooledBlock const* block = pooledBlockOf(handle);
  return block != nullptr ? block->size : standInUtils->host_get_handle_size(handle);
}

void usePooledHandles(PF_InData& in, PF_OutData&) {
  if (in.utils != &pooledUtils) {
    standInUtils = in.utils;
    pooledUtils = *in.utils;
    pooledUtils.host_new_handle = pooledNewHandle;
    pooledUtils.host_lock_handle = pooledLockHandle;
    pooledUtils.host_unlock_handle = pooledUnlockHandle;
    pooledUtils.host_dispose_handle = pooledDisposeHandle;
    pooledUtils.host_get_handle_size = pooledHandleSize;
    pooledUtils.host_resize_handle = nullptr;
    in.utils = &pooledUtils;
  }
}

std::int64_t pipelineBytes(testhost::PixelFormatInfo const& info, std::int64_t pixels) {
  std::int64_t const host = info.bytesPerPixel;
  std::int64_t const working = workingBytes(info);
  return pixels * (host + working + 16 + 16 + host);
}

// The floor's buffers and passes: the input conversion's bytes through
// iterate_generic, the result written on the dispatch's 16 bands, the
// output conversion's bytes through iterate_generic.
struct FloorFrame {
  std::size_t hostRow, workingRow, resultRow;
  bench::Buffer hostIn, working, result, hostOut;
  bench::CopyRows in, out;

  FloorFrame(testhost::PixelFormatInfo const& info, Size size)
      : hostRow(static_cast<std::size_t>(size.width) * info.bytesPerPixel),
        workingRow(static_cast<std::size_t>(size.width) * workingBytes(info)),
        resultRow(static_cast<std::size_t>(size.width) * 16),
        hostIn(hostRow * size.height),
        working(workingRow * size.height),
        result(resultRow * size.height),
        hostOut(hostRow * size.height),
        in{hostIn.data(), hostRow, working.data(), workingRow},
        out{result.data(), resultRow, hostOut.data(), hostRow} {}

  // The kernel's stage reads the working input and writes the result, as
  // the kernel must; the write floor, kept for comparison with earlier
  // tables, writes the result alone.
  void run(testhost::Host& host, int height, bool readWorking = true) {
    host.utils()->iterate_generic(height, &in, bench::copyRow);
    bench::floorPass(readWorking ? working.data() : nullptr, readWorking ? workingRow : 0, result.data(),
                     resultRow, height);
    host.utils()->iterate_generic(height, &out, bench::copyRow);
  }
};

void registerRender(testhost::PixelFormatInfo const& info, Size size, bool pooled, bool smooth = false) {
  std::string const name = std::string("doRender/") + info.name + "/" + size.name +
                           (pooled ? "" : "/fresh-handles") + (smooth ? "/smooth" : "");
  benchmark::RegisterBenchmark(
      name.c_str(),
      [&info, size, pooled, smooth](benchmark::State& state) {
        PF_PixelFormat const code = info.code;
        testhost::Host host(isPremiereFormat(code) ? testhost::App::PremierePro
                                                   : testhost::App::AfterEffects);
        testhost::LoadedEffect loaded(host, ZF_PLUGIN_PATH, size.width, size.height);
        testhost::Instance& instance = loaded.instance();
        testhost::World input(code, size.width, size.height);
        testhost::World output(code, size.width, size.height);
        fill(input);
        instance.setPoint("Frame center", (size.width / 2) << 16, (size.height / 2) << 16);
        instance.setPopup("Scaling", 1);
        instance.setFloat("Amount", 50.0);
        if (smooth)
          instance.setPopup("Sampling", smoothSampling);
        testhost::CommandHook const hook = pooled ? testhost::CommandHook(usePooledHandles) : nullptr;
        // One render before timing: the pool's memory is then in place.
        instance.render(input, output, hook);
        FloorFrame floor(info, size);
        PF_Err err = PF_Err_NONE;
        bench::runWithFloor(
            state, [&] { err |= instance.render(input, output, hook).err; },
            [&] { floor.run(host, size.height); }, [&] { floor.run(host, size.height, false); });
        if (err != PF_Err_NONE)
          state.SkipWithError("a render returned an error");
        if (std::string const report = loaded.imbalance(); !report.empty())
          state.SkipWithError(("host resources out of balance: " + report).c_str());
        std::int64_t const pixels = std::int64_t{size.width} * size.height;
        bench::setThroughput(state, pixels, pipelineBytes(info, pixels));
      })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  bench::addComparison({name, ""});
}

void registerPhysicalFloor(testhost::PixelFormatInfo const& info, Size size) {
  std::string const name = std::string("doRender/") + info.name + "/" + size.name + "/physical-floor";
  benchmark::RegisterBenchmark(
      name.c_str(),
      [&info, size](benchmark::State& state) {
        testhost::Host host;
        testhost::World input(info.code, size.width, size.height);
        testhost::World output(info.code, size.width, size.height);
        fill(input);
        bench::CopyRows frame{input.row(0), static_cast<std::size_t>(input.rowbytes()), output.row(0),
                              static_cast<std::size_t>(output.rowbytes())};
        FloorFrame floor(info, size);
        bench::runWithFloor(
            state, [&] { host.utils()->iterate_generic(size.height, &frame, bench::copyRow); },
            [&] { floor.run(host, size.height); });
        std::int64_t const pixels = std::int64_t{size.width} * size.height;
        bench::setThroughput(state, pixels, pixels * 2 * info.bytesPerPixel);
      })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  bench::addComparison({name, ""});
}

}  // namespace

void registerDoRenderBenchmarks() {
  for (testhost::PixelFormatInfo const& info : testhost::kPixelFormats) {
    registerRender(info, bench::uhd, true);
    registerRender(info, bench::uhd, true, true);
    registerPhysicalFloor(info, bench::uhd);
  }
  registerRender(testhost::kPixelFormats[0], bench::uhd, false);
}
