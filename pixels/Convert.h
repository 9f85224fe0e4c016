// Row conversions between the host's pixel layouts and the working buffers,
// and the row iterators that run them over a frame.
//
// Internal to the plug-in: nothing here is exported (the library's only
// exports are its two entry points); the header exists so that the driver and
// the tests can reach the conversions.
#ifndef ZF_PIXELS_CONVERT_H
#define ZF_PIXELS_CONVERT_H

#include "render/InstructionSet.h"
#include "suites/HostInterface.h"

// What one conversion reads and writes; handed to every row callback as its
// refcon. Only data, rowbytes, width and height of the two worlds are read.
struct ConvertData {
  PF_InData* inData;    // abort callback, effect_ref, utils
  PF_EffectWorld* src;  // its width is the pixels converted per row
  PF_EffectWorld* dst;
  PF_Iterate8Suite1 const* iterateSuite;  // set only for the host route of MyGenericIterateFunc
  float gain;                             // every channel is multiplied by it, except in 8-to-8 copies
};

// A row callback: converts row `row` of `rowCount`. Same shape as the
// callback of the host's iterate_generic.
using RowFunc = PF_IterateGenericFunc;

// A row iterator: runs a row callback once for every row 0 .. rowCount - 1
// and returns the first error. The host's iterate_generic has this shape.
using RowIterator = PF_Err (*)(A_long rowCount, void* refcon, RowFunc rowFunc);

// What MyGenericIterateFunc hands to MyFakeIterator through the host's
// per-pixel iterator.
struct FakeIterateData {
  PF_InData* inData;
  RowFunc rowFunc;
  void* refcon;
  A_long rowCount;
};

// The fallback for hosts whose Iterate8 suite has no iterate_generic. With
// the refcon's iterateSuite set, rows are spread over the host's threads by
// its per-pixel `iterate` over a one-pixel-wide proxy world; without it they
// run here, one after the other, with thread index 0, up to the first error.
PF_Err MyGenericIterateFunc(A_long rowCount, void* refcon, RowFunc rowFunc);

// The per-pixel callback of the host route: pixel y of the proxy world
// converts row y, with thread index 1.
PF_Err MyFakeIterator(void* refcon, A_long x, A_long y, PF_Pixel* in, PF_Pixel* out);

// Every conversion: thread index 0 polls the host's abort callback, the row
// is converted whatever the answer, and the answer is returned. No bounds are
// checked: src and dst must hold the row and src->width pixels of it.

// Host layouts into the working buffers.
PF_Err it_Convert_ARGB8_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_ARGB8_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_ARGB16_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_ARGB16_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_ARGB32_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_ARGB32_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_BGRA8_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_BGRA8_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_BGRA32_to_RGBA8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_BGRA32_to_RGBA32(void* refcon, A_long threadIndex, A_long row, A_long rowCount);

// The RGBA32 result into the host layouts, every channel clamped to the
// layout's range.
PF_Err it_Convert_RGBA32_to_ARGB8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_RGBA32_to_ARGB16(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_RGBA32_to_ARGB32_saturate(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_RGBA32_to_BGRA8(void* refcon, A_long threadIndex, A_long row, A_long rowCount);
PF_Err it_Convert_RGBA32_to_BGRA32_saturate(void* refcon, A_long threadIndex, A_long row, A_long rowCount);

// `conversion`, one of the fifteen, held to one instruction set, so that
// tests and benchmarks reach every one the machine runs; all of them write
// the same bits. Null when the set is not supported here or `conversion` is
// no conversion.
RowFunc conversionOn(RowFunc conversion, InstructionSet set);

#endif
