#ifndef ZF_RENDER_DISPATCH_H
#define ZF_RENDER_DISPATCH_H

#include "BandWork.h"
#include "RenderData.h"

// A frame's rows are split into this many bands, one thread each, on every
// platform and for every frame height.
constexpr int workerCount = 16;

// Rows per band: floor(float(height) * 0.0625) + 1, in 32-bit float, so
// the 16 bands cover every row. Up to 2^24 rows that is height / 16 + 1.
// Beyond, the height is first rounded to a float: the band may be a row
// wider (16777231 rows give 1048578, not 1048577), and where the float sum
// loses the added row, which would leave rows without a band, the band is
// height / 16 + 1 instead (268435471 rows give 16777217).
int bandHeight(int height);

// Runs work on the workerCount bands of `height` rows, each on a thread of
// its own, started in order and joined in order, and returns when all are
// done. If a thread cannot be started, the workers already running are
// joined and std::system_error with the system's error code and "thread
// constructor failed" is thrown.
void dispatchBands(int height, BandWork work, void const* context);

// Computes every row of rd->output with process(), on the bands of its
// height. The kernel writes every pixel of the rows it is given, so the
// result is never cleared first: each byte of it is written once. The
// record and both buffers must not change meanwhile.
void dispatchRows(RenderData const* rd);

#endif
