// The aberration kernel: the set-up of one call and the choice among the
// instruction-set paths. The per-pixel formula is KernelBody.h's.
//
// Results are bit-exact (see KernelBody.h): the set-up, too, is 32-bit
// float arithmetic in a fixed order with IEEE square roots.

#include "Kernel.h"
#include "KernelFrame.h"
#include "KernelPath.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// The Amount parameter's valid range; infinities are clamped to it.
constexpr float amountLimit = 100.0f;

// A NaN Amount would make every sample coordinate NaN; it renders as no
// effect. Finite values pass unchanged.
float usableAmount(float amount) {
  if (std::isnan(amount))
    return 0.0f;
  if (std::isinf(amount))
    return amount > 0.0f ? amountLimit : -amountLimit;
  return amount;
}

float cornerDistance(float cx, float cy, float cornerX, float cornerY) {
  float const dx = cx - cornerX;
  float const dy = cy - cornerY;
  float const dx2 = dx * dx;
  float const dy2 = dy * dy;
  float const sum = dx2 + dy2;
  return std::sqrt(sum);
}

Mode modeOf(std::int32_t mode) {
  return mode >= 0 && mode <= 3 ? static_cast<Mode>(mode) : Mode::None;
}

Scaling scalingOf(std::int32_t scaling) {
  return scaling >= 0 && scaling <= 2 ? static_cast<Scaling>(scaling) : Scaling::Linear;
}

Show showOf(std::int32_t show) {
  return show >= 0 && show <= 4 ? static_cast<Show>(show) : Show::Final;
}

Sampling samplingOf(std::int32_t sampling) {
  return sampling == 1 ? Sampling::Smooth : Sampling::Nearest;
}

// By Mode, then by the sign of Amount: a positive Amount displaces the named
// primary, a negative one its two complementary channels.
constexpr DisplacedChannels displacedByMode[5][2] = {
    // Amount >= 0           Amount < 0
    {{true, false, false}, {false, true, true}},     // Red-Cyan
    {{false, true, false}, {true, false, true}},     // Green-Purple
    {{false, false, true}, {true, true, false}},     // Blue-Yellow
    {{false, false, false}, {false, false, false}},  // Spectrum: its own merge
    {{false, false, false}, {false, false, false}},  // None
};

// The samples' positions t_i = i / (N - 1) and weights, in 32-bit float in
// this order: u = 2 t, red max(0, u - 1), green 1 - |u - 1|, blue
// max(0, 1 - u).
void spectrumTable(std::int32_t samples, bool negative, SpectrumTable& table) {
  int const n = std::clamp<std::int32_t>(samples, SpectrumTable::minSamples, SpectrumTable::maxSamples);
  table.count = n;
  float const last = static_cast<float>(n - 1);
  for (int i = 0; i < n; ++i) {
    float const t = static_cast<float>(i) / last;
    float const u = t * 2.0f;
    float const outer = std::max(0.0f, u - 1.0f);
    float const middle = 1.0f - std::fabs(u - 1.0f);
    float const inner = std::max(0.0f, 1.0f - u);
    table.t[i] = t;
    table.red[i] = negative ? inner : outer;
    table.green[i] = middle;
    table.blue[i] = negative ? outer : inner;
  }
}

}  // namespace

bool kernelFrame(RenderData const* rd, int firstRow, int endRow, KernelFrame& f) {
  int const width = rd->output.width;
  if (firstRow >= endRow || width <= 0)
    return false;

  f.width = width;
  f.amount = usableAmount(rd->amount);
  f.offsetX = rd->inputOffsetX;
  f.offsetY = rd->inputOffsetY;
  f.scaling = scalingOf(rd->scaling);
  f.mode = modeOf(rd->mode);
  f.show = showOf(rd->show);
  f.sampling = samplingOf(rd->sampling);
  f.displaced = displacedByMode[static_cast<int>(f.mode)][f.amount < 0.0f ? 1 : 0];
  if (f.mode == Mode::Spectrum)
    spectrumTable(rd->spectrumSamples, f.amount < 0.0f, f.spectrum);

  float const cx = static_cast<float>(rd->centerX);
  float const cy = static_cast<float>(rd->centerY);
  // The output is the frame at every resolution: a host delivers a reduced
  // frame together with a centre in reduced pixels.
  float const frameW = static_cast<float>(width);
  float const frameH = static_cast<float>(rd->output.height);

  float maxR = cornerDistance(cx, cy, 0.0f, 0.0f);
  maxR = std::max(maxR, cornerDistance(cx, cy, frameW, frameH));
  maxR = std::max(maxR, cornerDistance(cx, cy, 0.0f, frameH));
  maxR = std::max(maxR, cornerDistance(cx, cy, frameW, 0.0f));

  f.cx = cx;
  // Row centre is measured from the bottom edge; saved projects depend on this.
  f.cyEff = frameH - cy;
  f.maxR = maxR;
  // Columns x and 2 cx - x are exactly as far from the centre, in float
  // too, while every column and the centre are whole floats: up to 2^24.
  // Linear scaling has nothing per pixel worth sharing.
  constexpr int wholeFloatLimit = 1 << 24;
  bool const mirrored =
      f.scaling != Scaling::Linear && rd->centerX >= 0 && rd->centerX < width && width <= wholeFloatLimit;
  f.centreColumn = rd->centerX;
  f.mirrorReach = mirrored ? std::min(rd->centerX, width - 1 - rd->centerX) : -1;

  f.inData = rd->input.data;
  f.inRowBytes = rd->input.rowBytes;
  f.inWidth = std::max(rd->input.width, 0);
  f.inHeight = std::max(rd->input.height, 0);
  f.inBytes = rd->input.bitDepth == 8;
  // The gathers address samples by 32-bit byte offsets from the start of
  // the input: rows must run forward and the last byte lie within reach.
  std::int64_t const lastRow = f.inHeight > 0 ? static_cast<std::int64_t>(f.inHeight - 1) * f.inRowBytes : 0;
  std::int64_t const end = lastRow + static_cast<std::int64_t>(f.inWidth) * (f.inBytes ? 4 : 16);
  bool const reachable = f.inRowBytes >= 0 && end <= std::int64_t{INT32_MAX};
  f.gatherBytes = f.inBytes && reachable;
  f.gatherFloats = !f.inBytes && reachable;
  f.outData = rd->output.data;
  f.outRowBytes = rd->output.rowBytes;
  return true;
}

void processWith(InstructionSet set, RenderData const* rd, int firstRow, int endRow) {
  KernelFrame frame;
  if (!kernelFrame(rd, firstRow, endRow, frame))
    return;
  // Code this processor cannot run would fault.
  if (!instructionSetSupported(set))
    set = InstructionSet::Scalar;
  switch (set) {
    case InstructionSet::Sse2:
      processRowsSse2(frame, firstRow, endRow);
      return;
    case InstructionSet::Avx2:
      processRowsAvx2(frame, firstRow, endRow);
      return;
    case InstructionSet::Neon:
      processRowsNeon(frame, firstRow, endRow);
      return;
    case InstructionSet::Scalar:
      break;
  }
  processRowsScalar(frame, firstRow, endRow);
}

void process(RenderData const* rd, int firstRow, int endRow) {
  processWith(fastestInstructionSet(), rd, firstRow, endRow);
}
