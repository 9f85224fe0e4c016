#ifndef ZF_RENDER_DISPATCH_H
#define ZF_RENDER_DISPATCH_H

#include "RenderData.h"

#include <thread>

// A frame's rows are split into this many bands, one thread each, on every
// platform and for every frame height.
constexpr int workerCount = 16;

// Rows per band: one more than a sixteenth of the height, rounded down, so
// the bands always cover every row.
int bandHeight(int height);

// Starts the thread of one worker, which runs process(rd, firstRow, endRow).
// Throws std::system_error when the system refuses a thread.
using WorkerStart = std::thread (*)(int worker, RenderData const* rd, int firstRow, int endRow);

std::thread startWorker(int worker, RenderData const* rd, int firstRow, int endRow);

// Computes every row of rd->output on workerCount threads, started in order
// and joined in order, and returns when all are done. The record and both
// buffers must not change meanwhile. If a thread cannot be started, the
// workers already running are joined and std::system_error with the system's
// error code and "thread constructor failed" is thrown.
void dispatchRows(RenderData const* rd, WorkerStart start = startWorker);

#endif
