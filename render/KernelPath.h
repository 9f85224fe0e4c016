#ifndef ZF_RENDER_KERNELPATH_H
#define ZF_RENDER_KERNELPATH_H

#include "InstructionSet.h"
#include "RenderData.h"

// process() on a chosen instruction set, so that tests and benchmarks reach
// every one the machine runs; process() itself takes the fastest. One the
// processor cannot run falls back to Scalar, which writes the same pixels.
void processWith(InstructionSet set, RenderData const* rd, int firstRow, int endRow);

#endif
