#include "WorkerThread.h"

#include <cstddef>
#include <system_error>

namespace {

// Each worker's stack. glibc keeps the stacks of ended threads for the next
// ones up to a total of 40 MiB: sixteen of its default 8 MiB would not fit,
// and every frame would map, fault in and unmap most of them again. The
// kernel needs a few KiB. (Elsewhere the system's own size stands.)
#if defined(__GLIBC__)
constexpr std::size_t workerStackBytes = std::size_t{1} << 20;
#endif

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
