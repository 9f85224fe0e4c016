// The kernel over whole frames through the 16-thread row dispatch: ours (the
// path process() takes), each instruction-set path, and the baseline, the
// plain reference kernel of the tests run through the same dispatch. The
// floor is the time 16 threads, split as the dispatch splits, need to write
// the RGBA32 result with memset.

#include "BenchSupport.h"

#include "ReferenceKernel.h"
#include "render/Dispatch.h"
#include "render/KernelPath.h"

#include <cstring>
#include <string>

namespace {

using bench::Size;

char const* const scalingNames[] = {"linear", "square", "cubic"};

struct Centre {
  char const* name;
  double fx, fy;  // fraction of width and height
};
Centre const centres[] = {{"middle", 0.5, 0.5}, {"offcentre", 0.2, 0.85}};

void referenceRows(RenderData const* rd, int firstRow, int endRow) {
  for (int y = firstRow; y < endRow; ++y) {
    unsigned char* out = rd->output.data + static_cast<std::int64_t>(y) * rd->output.rowBytes;
    for (int x = 0; x < rd->output.width; ++x) {
      RefPixel const p = referencePixel(*rd, x, y);
      std::memcpy(out + static_cast<std::ptrdiff_t>(x) * 16, &p, 16);
    }
  }
}

std::thread startReference(int, RenderData const* rd, int firstRow, int endRow) {
  return std::thread(referenceRows, rd, firstRow, endRow);
}

template <KernelPath Path>
std::thread startPath(int, RenderData const* rd, int firstRow, int endRow) {
  return std::thread(processWith, Path, rd, firstRow, endRow);
}

struct Frames {
  bench::Buffer input;
  bench::Buffer output;
  RenderData rd{};

  Frames(Size size, int bitDepth)
      : input(static_cast<std::size_t>(size.width) * size.height * (bitDepth == 8 ? 4 : 16)),
        output(static_cast<std::size_t>(size.width) * size.height * 16) {
    std::size_t const pixels = static_cast<std::size_t>(size.width) * size.height;
    if (bitDepth == 8)
      bench::fillPixels8(input.data(), pixels, 7);
    else
      bench::fillPixelsFloat(reinterpret_cast<float*>(input.data()), pixels, 7);
    rd.input = {size.width, size.height, input.data(), bitDepth, size.width * (bitDepth == 8 ? 4 : 16)};
    rd.output = {size.width, size.height, output.data(), 32, size.width * 16};
    rd.downsampleX = 1.0f;
    rd.downsampleY = 1.0f;
  }
};

void registerKernel(Size size, int bitDepth, int scaling, Centre const& centre) {
  std::string const tail = std::string("/") + size.name + (bitDepth == 8 ? "/rgba8/" : "/rgba32/") +
                           scalingNames[scaling] + "/" + centre.name;
  auto run = [size, bitDepth, scaling, centre](benchmark::State& state, WorkerStart start, bool withFloor) {
    Frames frames(size, bitDepth);
    frames.rd.amount = 50.0f;
    frames.rd.scaling = scaling;
    frames.rd.centerX = static_cast<int>(size.width * centre.fx);
    frames.rd.centerY = static_cast<int>(size.height * centre.fy);
    auto const kernel = [&frames, start] { dispatchRows(&frames.rd, start); };
    if (withFloor) {
      std::size_t const rowBytes = static_cast<std::size_t>(size.width) * 16;
      bench::Buffer floorOutput(rowBytes * size.height);
      bench::runWithFloor(state, kernel,
                          [&] { bench::floorPass(nullptr, 0, floorOutput.data(), rowBytes, size.height); });
    } else {
      for (auto _ : state)
        kernel();
    }
    std::int64_t const pixels = std::int64_t{size.width} * size.height;
    bench::setThroughput(state, pixels, pixels * ((bitDepth == 8 ? 4 : 16) + 16));
  };
  struct Variant {
    std::string name;
    WorkerStart start;
  };
  std::vector<Variant> variants = {{"ours", startWorker}, {"reference", startReference}};
  // The paths apart on the 4K 8-bit frame, to see what each instruction set buys.
  if (size.width == bench::uhd.width && bitDepth == 8) {
    variants.push_back({"scalar", startPath<KernelPath::Scalar>});
    if (kernelPathSupported(KernelPath::Sse2))
      variants.push_back({"sse2", startPath<KernelPath::Sse2>});
    if (kernelPathSupported(KernelPath::Avx2))
      variants.push_back({"avx2", startPath<KernelPath::Avx2>});
  }
  for (Variant const& v : variants) {
    std::string const name = "kernel/" + v.name + tail;
    WorkerStart const start = v.start;
    bool const baseline = v.name == "reference";
    auto* b = benchmark::RegisterBenchmark(
        name.c_str(), [run, start, baseline](benchmark::State& state) { run(state, start, !baseline); });
    b->Unit(benchmark::kMillisecond);
    if (baseline) {
      b->UseRealTime();
    } else {
      b->UseManualTime();
      bench::addComparison({name, "kernel/reference" + tail});
    }
  }
}

}  // namespace

void registerKernelBenchmarks() {
  for (Size size : {bench::fullHd, bench::uhd}) {
    for (int bitDepth : {8, 32})
      for (int scaling = 0; scaling < 3; ++scaling)
        for (Centre const& centre : centres)
          registerKernel(size, bitDepth, scaling, centre);
  }
}
