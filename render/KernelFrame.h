// Shared by the kernel's variants: the constants one call of process()
// derives from the record, and the per-value helpers whose exact behaviour
// every variant must reproduce.
#ifndef ZF_RENDER_KERNELFRAME_H
#define ZF_RENDER_KERNELFRAME_H

#include "RenderData.h"

#include <cstdint>

struct KernelFrame {
  int width;     // output pixels per row, > 0
  float amount;  // finite
  float offsetX;
  float offsetY;
  int scaling;
  int mode;
  int show;
  float cx;
  float cyEff;  // centre row, counted from the bottom edge
  float maxR;   // largest distance from the centre to a corner
  unsigned char const* inData;
  std::int64_t inRowBytes;
  int inWidth;  // clamped to >= 0, so unsigned compares bound both sides
  int inHeight;
  bool inBytes;      // RGBA8 input; otherwise RGBA32
  bool gatherBytes;  // RGBA8 input whose byte offsets all fit an int32
  unsigned char* outData;
  std::int64_t outRowBytes;
};

// Set-up of one call; false when there is nothing to write.
bool kernelFrame(RenderData const* rd, int firstRow, int endRow, KernelFrame& frame);

// Beyond this magnitude every float is a whole number already.
constexpr float firstWholeFloat = 8388608.0f;  // 2^23

// Every float in [intLow, intHigh) truncates to a representable int, and no
// other float does.
constexpr float intLow = -2147483648.0f;  // -2^31
constexpr float intHigh = 2147483648.0f;  // 2^31

// float(trunc(v)) with trunc toward zero, defined for every float: beyond
// 2^23 the value is whole already, and NaN stays NaN.
inline float truncToWhole(float v) {
  if (v > -firstWholeFloat && v < firstWholeFloat)
    return static_cast<float>(static_cast<int>(v));
  return v;
}

// trunc(v) as a pixel coordinate. NaN and values beyond the int range give
// -1, which lies outside every input. (The vector paths give INT_MIN there,
// which lies outside just the same.)
inline int sampleCoordinate(float v) {
  if (v >= intLow && v < intHigh)
    return static_cast<int>(v);
  return -1;
}

// Row functions of the vector paths: rows firstRow .. endRow - 1.
void processRowsSse2(KernelFrame const& frame, int firstRow, int endRow);
void processRowsAvx2(KernelFrame const& frame, int firstRow, int endRow);
bool simdCompiled();
bool cpuHasAvx2();

#endif
