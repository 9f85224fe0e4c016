/* Compiled into ZarnitFringeFaults only (with ZF_FAULT_HOOKS): the render
 * driver's workers are started through here, so that a test driving the
 * loaded library can make the k-th start fail. Never part of the shipped
 * plug-in. */
#include "FaultHooks.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "host/EntryPoints.h"
#include "host/RenderEntry.h"

namespace {

std::atomic<int> refusedWorker{0};
std::atomic<long> refusals{0};

std::thread startOrRefuse(int worker, RenderData const* rd, int firstRow, int endRow) {
  if (worker + 1 == refusedWorker.load()) {
    ++refusals;
    // What std::thread throws when the system has no thread to give.
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  }
  return startWorker(worker, rd, firstRow, endRow);
}

}  // namespace

WorkerStart renderWorkerStart() {
  return startOrRefuse;
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
