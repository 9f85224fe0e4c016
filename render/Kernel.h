#ifndef ZF_RENDER_KERNEL_H
#define ZF_RENDER_KERNEL_H

#include "RenderData.h"

// Computes output rows firstRow up to endRow (exclusive) of rd->output as
// RGBA32 from rd->input. An empty or reversed range does nothing; a non-empty
// one must lie within the output. Calls on one record with disjoint row
// ranges may run at the same time: the record and the input are only read.
void process(RenderData const* rd, int firstRow, int endRow);

#endif
