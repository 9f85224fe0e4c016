#include "Dispatch.h"

#include "Kernel.h"
#include "WorkerStart.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace {

// Each worker's stack. glibc keeps the stacks of ended threads for the next
// ones up to a total of 40 MiB: sixteen of its default 8 MiB would not fit,
// and every frame would map, fault in and unmap most of them again. The
// kernel needs a few KiB. (Elsewhere the system's own size stands.)
#if defined(__GLIBC__)
constexpr std::size_t workerStackBytes = std::size_t{1} << 20;
#endif

void processBand(void const* context, int /*band*/, int firstRow, int endRow) {
  process(static_cast<RenderData const*>(context), firstRow, endRow);
}

}  // namespace

void WorkerThread::start(BandWork work, void const* context, int band, int firstRow, int endRow) {
  work_ = work;
  context_ = context;
  band_ = band;
  firstRow_ = firstRow;
  endRow_ = endRow;
  pthread_attr_t attributes;
  if (int const err = pthread_attr_init(&attributes))
    throw std::system_error(err, std::generic_category(), "thread constructor failed");
#if defined(__GLIBC__)
  pthread_attr_setstacksize(&attributes, workerStackBytes);
#endif
  int const err = pthread_create(&thread_, &attributes, run, this);
  pthread_attr_destroy(&attributes);
  if (err != 0)
    throw std::system_error(err, std::generic_category(), "thread constructor failed");
  running_ = true;
}

void WorkerThread::join() {
  if (running_) {
    pthread_join(thread_, nullptr);
    running_ = false;
  }
}

void* WorkerThread::run(void* self) {
  auto const* worker = static_cast<WorkerThread const*>(self);
  worker->work_(worker->context_, worker->band_, worker->firstRow_, worker->endRow_);
  return nullptr;
}

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
