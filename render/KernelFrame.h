// What one call of process() derives from the record before the first
// pixel, shared by every instruction-set path.
#ifndef ZF_RENDER_KERNELFRAME_H
#define ZF_RENDER_KERNELFRAME_H

#include "RenderData.h"

#include <cstdint>
#include <type_traits>

// The popups, as the record carries them (popup value minus 1). Values
// outside the popup's range are legal in the record: a new instance sends
// -1, and a damaged project anything. Scaling renders them as Linear and
// Show as Final and Sampling as Nearest; Mode has a case of its own, in
// which no channel is displaced.
enum class Mode { RedCyan = 0, GreenPurple = 1, BlueYellow = 2, Spectrum = 3, None };
enum class Scaling { Linear = 0, Square = 1, Cubic = 2 };
enum class Show { Final = 0, JustCA = 1, WithoutCA = 2, Alpha = 3, FullAlpha = 4 };
enum class Sampling { Nearest = 0, Smooth = 1 };

// The colour channels that come from the displaced sample; the plain
// sample supplies the others.
struct DisplacedChannels {
  bool red, green, blue;
};

// Spectrum: samples i = 0 .. count - 1 between the plain pixel (t = 0) and
// the displaced point (t = 1), t_i = i / (count - 1), and each sample's
// weight in each colour channel, a partition of unity over t: red rises
// over the outer half, green peaks in the middle, blue falls over the inner
// half (red and blue swapped for a negative Amount, so blue is outermost).
struct SpectrumTable {
  static constexpr int minSamples = 3;
  static constexpr int maxSamples = 64;
  int count;
  float t[maxSamples];
  float red[maxSamples];
  float green[maxSamples];
  float blue[maxSamples];
};

struct KernelFrame {
  int width;     // output pixels per row, > 0
  float amount;  // finite
  float offsetX;
  float offsetY;
  Scaling scaling;
  Mode mode;
  Show show;
  Sampling sampling;
  DisplacedChannels displaced;
  float cx;
  float cyEff;  // centre row, counted from the bottom edge
  float maxR;   // largest distance from the centre to a corner
  // Columns centre - mirrorReach .. centre + mirrorReach of every row lie
  // in mirrored pairs about the centre column (see KernelRows.h); -1 when
  // the centre lies outside the row or the row is too wide for that.
  int centreColumn;
  int mirrorReach;
  unsigned char const* inData;
  std::int64_t inRowBytes;
  int inWidth;  // clamped to >= 0, so unsigned compares bound both sides
  int inHeight;
  bool inBytes;       // RGBA8 input; otherwise RGBA32
  bool gatherBytes;   // RGBA8 input whose byte offsets all fit an int32
  bool gatherFloats;  // RGBA32 input whose byte offsets all fit an int32
  unsigned char* outData;
  std::int64_t outRowBytes;
  SpectrumTable spectrum;  // Mode Spectrum only
};

// Where the input lies, for the row loops. Held by value: the pixel stores
// may alias anything, and fields read through a reference would be read
// again after each one. (Defined here, outside any instruction set's
// region: a copy compiled for AVX2 must never stand in for this one.)
struct InputImage {
  unsigned char const* data;
  std::int64_t rowBytes;
  int width;  // >= 0
  int height;

  explicit InputImage(KernelFrame const& f)
      : data(f.inData), rowBytes(f.inRowBytes), width(f.inWidth), height(f.inHeight) {}

  // The start of row y, or null when the row lies outside.
  unsigned char const* row(int y) const {
    if (static_cast<unsigned>(y) >= static_cast<unsigned>(height))
      return nullptr;
    return data + static_cast<std::int64_t>(y) * rowBytes;
  }

  bool inside(int column, int y) const {
    return static_cast<unsigned>(column) < static_cast<unsigned>(width) &&
           static_cast<unsigned>(y) < static_cast<unsigned>(height);
  }
};

// For the per-pixel steps that the compiler would otherwise call, passing
// whole vectors through memory.
#define ZF_INLINE inline __attribute__((always_inline))
#define ZF_INLINE_LAMBDA __attribute__((always_inline))

// Calls walk(std::integral_constant<Show, S>{}) for the frame's Show, so
// that each view's loop is compiled with its merge fixed.
template <class Walk>
ZF_INLINE void byShow(Show show, Walk&& walk) {
  switch (show) {
    case Show::Final:
      walk(std::integral_constant<Show, Show::Final>{});
      return;
    case Show::JustCA:
      walk(std::integral_constant<Show, Show::JustCA>{});
      return;
    case Show::WithoutCA:
      walk(std::integral_constant<Show, Show::WithoutCA>{});
      return;
    case Show::Alpha:
      walk(std::integral_constant<Show, Show::Alpha>{});
      return;
    case Show::FullAlpha:
      walk(std::integral_constant<Show, Show::FullAlpha>{});
      return;
  }
}

// Set-up of one call; false when there is nothing to write.
bool kernelFrame(RenderData const* rd, int firstRow, int endRow, KernelFrame& frame);

// Beyond this magnitude every float is a whole number already.
constexpr float firstWholeFloat = 8388608.0f;  // 2^23

// Every float in [intLow, intHigh) truncates to a representable int, and no
// other float does.
constexpr float intLow = -2147483648.0f;  // -2^31
constexpr float intHigh = 2147483648.0f;  // 2^31

// trunc(v) as a pixel coordinate. NaN and values beyond the int range give
// INT_MIN, as x86's conversion does: it lies outside every input, and so
// does the column or row after it.
inline int sampleCoordinate(float v) {
  if (v >= intLow && v < intHigh)
    return static_cast<int>(v);
  return INT32_MIN;
}

// The rows of each path: rows firstRow .. endRow - 1 of a set-up frame.
// A path missing from this build writes nothing; instructionSetCompiled says
// which are there.
void processRowsScalar(KernelFrame const& frame, int firstRow, int endRow);
void processRowsSse2(KernelFrame const& frame, int firstRow, int endRow);
void processRowsAvx2(KernelFrame const& frame, int firstRow, int endRow);
void processRowsNeon(KernelFrame const& frame, int firstRow, int endRow);

#endif
