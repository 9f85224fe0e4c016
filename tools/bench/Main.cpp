// zf_bench: Google Benchmark's own output, then a table comparing each of our
// benchmarks with its baseline from the same run and with its floor, timed in
// the same iterations (medians when run with --benchmark_repetitions), so
// figures compare across machines and across moments of a shared machine.

#include "BenchSupport.h"

#include "render/KernelPath.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

void registerKernelBenchmarks();
void registerConversionBenchmarks();
void registerDoRenderBenchmarks();

namespace {

struct Measured {
  std::vector<double> seconds;  // time per iteration, one per repetition
  std::vector<double> megapixels;
  std::vector<double> gigabytes;
  std::vector<double> floorMilliseconds;
  double medianSeconds = 0, medianMegapixels = 0, medianGigabytes = 0, medianFloorMilliseconds = 0;
  bool hasMedianAggregate = false;
};

double median(std::vector<double> v) {
  if (v.empty())
    return 0;
  std::sort(v.begin(), v.end());
  std::size_t const n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double counter(benchmark::BenchmarkReporter::Run const& run, char const* name) {
  auto const it = run.counters.find(name);
  return it == run.counters.end() ? 0.0 : it->second.value;
}

class TableReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(std::vector<Run> const& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (Run const& run : runs) {
      if (run.error_occurred)
        continue;
      Measured& m = measured_[run.run_name.function_name];
      double const seconds = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      double const mp = counter(run, "MP/s");
      double const gb = counter(run, "bytes_per_second") * 1e-9;
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name == "median") {
          m.hasMedianAggregate = true;
          m.medianSeconds = seconds;
          m.medianMegapixels = mp;
          m.medianGigabytes = gb;
          m.medianFloorMilliseconds = counter(run, "floor_ms");
        }
      } else {
        m.seconds.push_back(seconds);
        m.megapixels.push_back(mp);
        m.gigabytes.push_back(gb);
        m.floorMilliseconds.push_back(counter(run, "floor_ms"));
      }
    }
  }

  void Finalize() override {
    ConsoleReporter::Finalize();
    for (auto& entry : measured_) {
      Measured& m = entry.second;
      if (!m.hasMedianAggregate) {
        m.medianSeconds = median(m.seconds);
        m.medianMegapixels = median(m.megapixels);
        m.medianGigabytes = median(m.gigabytes);
        m.medianFloorMilliseconds = median(m.floorMilliseconds);
      }
    }
    std::printf("\nKernel path taken by process(): %s\n", kernelPathName(activeKernelPath()));
    std::printf(
        "Medians. speed-up = baseline time / time; floor ratio = time / floor time (floor timed in the same "
        "iterations).\n\n");
    std::printf("| benchmark | ms | MP/s | GB/s | baseline ms | speed-up | floor ms | floor ratio |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (bench::Comparison const& c : bench::comparisons()) {
      Measured const* ours = find(c.name);
      if (ours == nullptr)
        continue;
      Measured const* base = find(c.baseline);
      std::printf("| %s | %.2f | %.0f | %.2f | ", c.name.c_str(), ours->medianSeconds * 1e3,
                  ours->medianMegapixels, ours->medianGigabytes);
      if (base != nullptr)
        std::printf("%.2f | %.2fx | ", base->medianSeconds * 1e3, base->medianSeconds / ours->medianSeconds);
      else
        std::printf("- | - | ");
      double const floorMs = ours->medianFloorMilliseconds;
      if (floorMs > 0)
        std::printf("%.2f | %.2f |\n", floorMs, ours->medianSeconds * 1e3 / floorMs);
      else
        std::printf("- | - |\n");
    }
    std::fflush(stdout);
  }

 private:
  Measured const* find(std::string const& name) const {
    auto const it = measured_.find(name);
    return it == measured_.end() || it->second.medianSeconds <= 0 ? nullptr : &it->second;
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
