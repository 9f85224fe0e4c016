#include "WorkerStarts.h"

#include "render/Dispatch.h"
#include "render/WorkerThread.h"

#include <array>
#include <atomic>
#include <chrono>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace {

struct State {
  std::mutex mutex;
  bool watching = false;
  testWorkers::Watch plan;
  std::vector<testWorkers::Band> started;
  std::atomic<int> finished{0};
};
State state;

// What a watched worker runs instead of its work; one per band, as the
// starts come from one dispatch at a time.
struct Watched {
  BandWork work;
  void const* context;
  bool slow;
};
std::array<Watched, workerCount> watched;

void runWatched(void const* context, int band, int firstRow, int endRow) {
  auto const& w = *static_cast<Watched const*>(context);
  // A slow worker would still be running if the dispatch returned without joining it.
  if (w.slow)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  w.work(w.context, band, firstRow, endRow);
  state.finished.fetch_add(1);
}

}  // namespace

void startWorker(WorkerThread& thread, BandWork work, void const* context, int band, int firstRow,
                 int endRow) {
  testWorkers::Watch plan;
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.watching) {
      thread.start(work, context, band, firstRow, endRow);
      return;
    }
    plan = state.plan;
    state.started.push_back({band, firstRow, endRow});
  }
  if (band == plan.refuseBand) {
    if (plan.refuseWithBadAlloc)
      throw std::bad_alloc();
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  Watched& w = watched[static_cast<std::size_t>(band)];
  w = {work, context, plan.slow};
  thread.start(runWatched, &w, band, firstRow, endRow);
}

namespace testWorkers {

void watch(Watch w) {
  std::lock_guard<std::mutex> lock(state.mutex);
  state.watching = true;
  state.plan = w;
  state.started.clear();
  state.finished = 0;
}

void stopWatching() {
  std::lock_guard<std::mutex> lock(state.mutex);
  state.watching = false;
}

std::vector<Band> started() {
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.started;
}

int finished() {
  return state.finished.load();
}

}  // namespace testWorkers
