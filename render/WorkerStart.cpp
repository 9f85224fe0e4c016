#include "WorkerThread.h"

void startWorker(WorkerThread& thread, BandWork work, void const* context, int band, int firstRow,
                 int endRow) {
  thread.start(work, context, band, firstRow, endRow);
}
