// zf_bench: Google Benchmark's own output, then a table comparing each of our
// benchmarks with its baseline from the same run and with its floor, timed in
// the same iterations (medians when run with --benchmark_repetitions), so
// figures compare across machines and across moments of a shared machine.

#include "BenchSupport.h"

#include "render/InstructionSet.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

void registerKernelBenchmarks();
void registerConversionBenchmarks();
void registerDoRenderBenchmarks();

namespace {

// One figure of a benchmark: its value in each repetition, and the median
// (Google Benchmark's own aggregate when it reports one).
struct Figure {
  std::vector<double> values;
  double median = 0;
  bool aggregated = false;

  void add(double v) { values.push_back(v); }
  void setMedian(double v) {
    median = v;
    aggregated = true;
  }
  void finish() {
    if (aggregated || values.empty())
      return;
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    std::size_t const n = v.size();
    median = n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
  }
};

struct Measured {
  Figure seconds;  // time per iteration
  Figure megapixels;
  Figure gigabytes;
  Figure floorMilliseconds;
  Figure writeFloorMilliseconds;
};

double counter(benchmark::BenchmarkReporter::Run const& run, char const* name) {
  auto const it = run.counters.find(name);
  return it == run.counters.end() ? 0.0 : it->second.value;
}

// "a | b" with a floor's time and our time divided by it, or "- | -".
void printFloor(double floorMs, double oursMs) {
  if (floorMs > 0)
    std::printf(" %.2f | %.2f |", floorMs, oursMs / floorMs);
  else
    std::printf(" - | - |");
}

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(std::vector<Run> const& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (Run const& run : runs) {
      if (run.error_occurred)
        continue;
      Measured& m = measured_[run.run_name.function_name];
      std::pair<Figure*, double> const figures[] = {
          {&m.seconds, run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit)},
          {&m.megapixels, counter(run, "MP/s")},
          {&m.gigabytes, counter(run, "bytes_per_second") * 1e-9},
          {&m.floorMilliseconds, counter(run, "floor_ms")},
          {&m.writeFloorMilliseconds, counter(run, "write_floor_ms")},
      };
      for (auto const& [figure, value] : figures) {
        if (run.run_type != Run::RT_Aggregate)
          figure->add(value);
        else if (run.aggregate_name == "median")
          figure->setMedian(value);
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (auto& entry : measured_) {
      Measured& m = entry.second;
      for (Figure* f :
           {&m.seconds, &m.megapixels, &m.gigabytes, &m.floorMilliseconds, &m.writeFloorMilliseconds})
        f->finish();
    }
    std::printf("\nKernel path taken by process(): %s\n", instructionSetName(fastestInstructionSet()));
    std::printf(
        "Medians. speed-up = baseline time / time; floor ratio = time / floor time (floor timed in the same "
        "iterations); the kernel's write floor writes the result without reading the input.\n\n");
    std::printf(
        "| benchmark | ms | MP/s | GB/s | baseline ms | speed-up | floor ms | floor ratio | write floor ms | "
        "write floor ratio |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (bench::Comparison const& c : bench::comparisons()) {
      Measured const* ours = find(c.name);
      if (ours == nullptr)
        continue;
      Measured const* base = find(c.baseline);
      double const oursMs = ours->seconds.median * 1e3;
      std::printf("| %s | %.2f | %.0f | %.2f | ", c.name.c_str(), oursMs, ours->megapixels.median,
                  ours->gigabytes.median);
      if (base != nullptr)
        std::printf("%.2f | %.2fx |", base->seconds.median * 1e3,
                    base->seconds.median / ours->seconds.median);
      else
        std::printf("- | - |");
      printFloor(ours->floorMilliseconds.median, oursMs);
      printFloor(ours->writeFloorMilliseconds.median, oursMs);
      std::printf("\n");
    }
    std::fflush(stdout);
  }

 private:
  Measured const* find(std::string const& name) const {
    auto const it = measured_.find(name);
    return it == measured_.end() || it->second.seconds.median <= 0 ? nullptr : &it->second;
  }

  std::map<std::string, Measured> measured_;
};

}  // namespace

int main(int argc, char** argv) {
  registerKernelBenchmarks();
  registerConversionBenchmarks();
  registerDoRenderBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  TableReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
