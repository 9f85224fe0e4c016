#include "Dispatch.h"

#include "Kernel.h"
#include "WorkerThread.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace {

void processBand(void const* context, int /*band*/, int firstRow, int endRow) {
  process(static_cast<RenderData const*>(context), firstRow, endRow);
}

}  // namespace

int bandHeight(int height) {
  float const sixteenth = static_cast<float>(height) * 0.0625f;
  float const band = std::floor(sixteenth) + 1.0f;
  int rows = static_cast<int>(band);
  // Beyond 2^24 rows the float sum can lose the added row and leave the
  // last rows without a band; whole-number arithmetic then gives the value
  // the float form stands for.
  if (static_cast<std::int64_t>(rows) * workerCount <= height)
    rows = height / workerCount + 1;
  return rows;
}

void dispatchBands(int height, BandWork work, void const* context) {
  int const band = bandHeight(height);
  std::array<WorkerThread, workerCount> workers;
  std::int64_t first = 0;
  for (int i = 0; i < workerCount; ++i) {
    std::int64_t const end = std::min<std::int64_t>(height, first + band);
    try {
      startWorker(workers[static_cast<std::size_t>(i)], work, context, i, static_cast<int>(first),
                  static_cast<int>(end));
    } catch (std::system_error const& e) {
      for (WorkerThread& w : workers)
        w.join();
      throw std::system_error(e.code(), "thread constructor failed");
    }
    first += band;
  }
  for (WorkerThread& w : workers)
    w.join();
}

void dispatchRows(RenderData const* rd) {
  dispatchBands(rd->output.height, processBand, rd);
}
