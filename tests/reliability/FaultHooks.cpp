// Linked into ZarnitFringeFaults only, in place of the dispatch's own worker
// start: the render driver's workers are started through here, so that a
// test driving the loaded library can make the k-th start fail. Never part
// of the shipped plug-in.
#include "FaultHooks.h"

#include <atomic>
#include <system_error>

#include "host/EntryPoints.h"
#include "render/WorkerThread.h"

namespace {

std::atomic<int> refusedWorker{0};
std::atomic<long> refusals{0};

}  // namespace

void startWorker(WorkerThread& thread, BandWork work, void const* context, int band, int firstRow,
                 int endRow) {
  if (band + 1 == refusedWorker.load()) {
    ++refusals;
    // What the system answers when it has no thread to give.
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  thread.start(work, context, band, firstRow, endRow);
}

extern "C" {

ZF_EXPORT void ZarnitFringeFaults_RefuseWorkerStart(int worker) {
  refusedWorker = worker;
  refusals = 0;
}

ZF_EXPORT long ZarnitFringeFaults_RefusedWorkerStarts() {
  return refusals.load();
}
}
