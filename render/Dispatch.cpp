#include "Dispatch.h"

#include "Kernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace {

// Joins every started worker when it goes out of scope, so no exit path
// leaves a thread running on buffers that the caller is about to release.
struct Workers {
  std::array<std::thread, workerCount> threads;

  Workers() = default;
  Workers(Workers const&) = delete;
  Workers& operator=(Workers const&) = delete;
  ~Workers() { joinAll(); }

  void joinAll() {
    for (std::thread& t : threads) {
      if (t.joinable())
        t.join();
    }
  }
};

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

std::thread startWorker(int /*worker*/, RenderData const* rd, int firstRow, int endRow) {
  return std::thread(process, rd, firstRow, endRow);
}

void dispatchRows(RenderData const* rd, WorkerStart start) {
  int const height = rd->output.height;
  int const band = bandHeight(height);

  Workers workers;
  std::int64_t first = 0;
  for (int i = 0; i < workerCount; ++i) {
    std::int64_t const end = std::min<std::int64_t>(height, first + band);
    try {
      workers.threads[static_cast<std::size_t>(i)] =
          start(i, rd, static_cast<int>(first), static_cast<int>(end));
    } catch (std::system_error const& e) {
      workers.joinAll();
      throw std::system_error(e.code(), "thread constructor failed");
    }
    first += band;
  }
  workers.joinAll();
}
