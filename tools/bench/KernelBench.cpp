// The kernel over whole frames through the 16-thread row dispatch: ours (the
// path process() takes), each instruction-set path, and the baseline, the
// portable scalar path forced through the same dispatch. The floor is the
// time the same dispatch needs to read the working input once and write the
// RGBA32 result once (memcpy, and memset for the rest of each row); the
// write floor, kept for comparison with earlier tables, writes the result
// alone.

#include "BenchSupport.h"

#include "render/Dispatch.h"
#include "render/Kernel.h"
#include "render/KernelPath.h"

#include <string>
#include <vector>

namespace {

using bench::Size;

char const* const scalingNames[] = {"linear", "square", "cubic"};

struct Centre {
  char const* name;
  double fx, fy;  // fraction of width and height
};
Centre const centres[] = {{"middle", 0.5, 0.5}, {"offcentre", 0.2, 0.85}};

// A frame's kernel on one instruction-set path, or on the one process()
// takes, band by band.
struct KernelRun {
  RenderData const* rd;
  InstructionSet path;
  bool active;
};

void kernelBand(void const* context, int, int firstRow, int endRow) {
  auto const& run = *static_cast<KernelRun const*>(context);
  if (run.active)
    process(run.rd, firstRow, endRow);
  else
    processWith(run.path, run.rd, firstRow, endRow);
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

// The kind of frame: the two-colour Modes with nearest or smooth sampling,
// or Spectrum (smooth, 12 samples).
enum class Look { Nearest, Smooth, Spectrum };
char const* const lookSuffixes[] = {"", "/smooth", "/spectrum"};

void registerKernel(Size size, int bitDepth, int scaling, Centre const& centre, Look look) {
  std::string const head = std::string("/") + size.name + (bitDepth == 8 ? "/rgba8/" : "/rgba32/") +
                           scalingNames[scaling] + "/" + centre.name;
  std::string const tail = head + lookSuffixes[static_cast<int>(look)];
  bool const smooth = look != Look::Nearest;
  auto run = [size, bitDepth, scaling, centre, smooth, look](benchmark::State& state, InstructionSet path,
                                                             bool active) {
    Frames frames(size, bitDepth);
    frames.rd.amount = 50.0f;
    frames.rd.scaling = scaling;
    frames.rd.sampling = smooth ? 1 : 0;
    if (look == Look::Spectrum) {
      frames.rd.mode = 3;
      frames.rd.spectrumSamples = 12;
    }
    frames.rd.centerX = static_cast<int>(size.width * centre.fx);
    frames.rd.centerY = static_cast<int>(size.height * centre.fy);
    std::size_t const inputRowBytes = static_cast<std::size_t>(frames.rd.input.rowBytes);
    std::size_t const rowBytes = static_cast<std::size_t>(size.width) * 16;
    bench::Buffer floorOutput(rowBytes * size.height);
    bench::runWithFloor(
        state,
        [&frames, path, active] {
          KernelRun const kernel{&frames.rd, path, active};
          dispatchBands(frames.rd.output.height, kernelBand, &kernel);
        },
        [&] {
          bench::floorPass(frames.input.data(), inputRowBytes, floorOutput.data(), rowBytes, size.height);
        },
        [&] { bench::floorPass(nullptr, 0, floorOutput.data(), rowBytes, size.height); });
    std::int64_t const pixels = std::int64_t{size.width} * size.height;
    bench::setThroughput(state, pixels, pixels * ((bitDepth == 8 ? 4 : 16) + 16));
  };
  struct Variant {
    InstructionSet path;
    bool active;  // the path process() takes, as "ours"
  };
  std::vector<Variant> variants = {{fastestInstructionSet(), true}};
  // Smooth sampling: ours alone, to compare with the nearest row of the same frame.
  if (!smooth)
    variants.push_back({InstructionSet::Scalar, false});
  // The paths apart on the 4K 8-bit frame, to see what each instruction set buys.
  if (size.width == bench::uhd.width && bitDepth == 8 && !smooth) {
    for (InstructionSet path : instructionSets)
      if (path != InstructionSet::Scalar && instructionSetSupported(path))
        variants.push_back({path, false});
  }
  std::string const baseline = std::string("kernel/scalar") + tail;
  // The baseline runs for every frame; its own line in the table only where the paths are compared.
  bool const listScalar = size.width == bench::uhd.width && bitDepth == 8;
  for (Variant const& v : variants) {
    std::string const name = std::string("kernel/") + (v.active ? "ours" : instructionSetName(v.path)) + tail;
    auto* b = benchmark::RegisterBenchmark(
        name.c_str(), [run, v](benchmark::State& state) { run(state, v.path, v.active); });
    b->Unit(benchmark::kMillisecond);
    b->UseManualTime();
    if (look == Look::Spectrum)
      bench::addComparison({name, std::string("kernel/ours") + head + "/smooth"});
    else if (smooth)
      bench::addComparison({name, ""});
    else if (v.path != InstructionSet::Scalar || v.active)
      bench::addComparison({name, baseline});
    else if (listScalar)
      bench::addComparison({name, ""});
  }
}

}  // namespace

void registerKernelBenchmarks() {
  for (Size size : {bench::fullHd, bench::uhd}) {
    for (int bitDepth : {8, 32})
      for (int scaling = 0; scaling < 3; ++scaling)
        for (Centre const& centre : centres)
          registerKernel(size, bitDepth, scaling, centre, Look::Nearest);
  }
  // Smooth sampling at 4K, named as the nearest rows with /smooth appended;
  // Spectrum beside it, at both sizes, compared with the smooth row of its
  // frame (its "speed-up" is smooth time over spectrum time).
  for (Size size : {bench::fullHd, bench::uhd})
    for (int bitDepth : {8, 32})
      for (int scaling = 0; scaling < 3; ++scaling)
        for (Centre const& centre : centres) {
          bool const asked = size.width == bench::uhd.width || (scaling == 2 && &centre == &centres[0]);
          if (!asked)
            continue;
          registerKernel(size, bitDepth, scaling, centre, Look::Smooth);
          registerKernel(size, bitDepth, scaling, centre, Look::Spectrum);
        }
}
