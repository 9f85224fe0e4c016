// The threads of the row dispatch.
#ifndef ZF_RENDER_WORKERTHREAD_H
#define ZF_RENDER_WORKERTHREAD_H

#include "BandWork.h"

#include <pthread.h>

// One worker thread, joined when it goes out of scope, so no way out of the
// dispatch leaves a thread running on buffers that the caller is about to
// release.
class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(WorkerThread const&) = delete;
  WorkerThread& operator=(WorkerThread const&) = delete;
  ~WorkerThread() { join(); }

  // Starts the thread on work(context, band, firstRow, endRow). Throws
  // std::system_error with the system's error code when it is refused.
  void start(BandWork work, void const* context, int band, int firstRow, int endRow);
  void join();

 private:
  static void* run(void* self);

  pthread_t thread_{};
  bool running_ = false;
  BandWork work_ = nullptr;
  void const* context_ = nullptr;
  int band_ = 0;
  int firstRow_ = 0;
  int endRow_ = 0;
};

// Starts band `band`'s worker: thread.start(work, context, band, firstRow,
// endRow). Defined alone in WorkerStart.cpp, so that a test build can link
// its own in its place and refuse chosen starts; nothing else of the
// dispatch changes for it.
void startWorker(WorkerThread& thread, BandWork work, void const* context, int band, int firstRow,
                 int endRow);

#endif
