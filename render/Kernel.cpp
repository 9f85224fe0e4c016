// The aberration kernel: the per-call set-up, the scalar variant and the
// choice among the variants.
//
// Results are bit-exact: saved projects and every build must give the same
// pixels, and a truncated sample coordinate moves by a whole pixel when a
// value changes in its last bit. So all arithmetic is 32-bit float in a fixed
// order, one operation per line where the order matters, with IEEE division
// and square root (no reciprocal multiplies) and no contraction into fused
// multiply-adds (-ffp-contract=off on every target). The vector variants in
// KernelSimd.cpp repeat these operations lane by lane.

#include "Kernel.h"
#include "KernelFrame.h"
#include "KernelPath.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

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

void getInPixel(KernelFrame const& f, int x, int y, float& r, float& g, float& b, float& a) {
  if (x < 0 || x >= f.inWidth || y < 0 || y >= f.inHeight) {
    r = g = b = a = 0.0f;
    return;
  }
  unsigned char const* row = f.inData + static_cast<std::int64_t>(y) * f.inRowBytes;
  if (f.inBytes) {
    unsigned char const* p = row + 4 * static_cast<std::ptrdiff_t>(x);
    r = static_cast<float>(p[0]) / 255.0f;
    g = static_cast<float>(p[1]) / 255.0f;
    b = static_cast<float>(p[2]) / 255.0f;
    a = static_cast<float>(p[3]) / 255.0f;
  } else {
    float px[4];
    std::memcpy(px, row + 16 * static_cast<std::ptrdiff_t>(x), sizeof px);
    r = px[0];
    g = px[1];
    b = px[2];
    a = px[3];
  }
}

// One 16-byte store per pixel; left to itself the compiler splits the copy
// of a float[4] into two 8-byte stores.
inline void storePixel(unsigned char* dst, float const (&px)[4]) {
#if defined(__SSE__) || defined(_M_X64)
  _mm_storeu_ps(reinterpret_cast<float*>(dst), _mm_setr_ps(px[0], px[1], px[2], px[3]));
#else
  std::memcpy(dst, px, sizeof px);
#endif
}

void processRowsScalar(KernelFrame const& f, int firstRow, int endRow) {
  float const amount = f.amount;
  float const cx = f.cx;
  float const cyEff = f.cyEff;
  float const maxR = f.maxR;

  for (int y = firstRow; y < endRow; ++y) {
    float const yf = static_cast<float>(y);
    float const dy = yf - cyEff;
    float const dy2 = dy * dy;
    int const plainY = sampleCoordinate(yf - f.offsetY);
    unsigned char* out = f.outData + static_cast<std::int64_t>(y) * f.outRowBytes;

    // Counted in int: a float bound would stop short of the last columns
    // of rows wider than 2^24.
    for (int x = 0; x < f.width; ++x) {
      float const xf = static_cast<float>(x);
      float const dx = xf - cx;
      float const dx2 = dx * dx;
      float const r2 = dx2 + dy2;
      float const r = std::sqrt(r2);

      float g = amount;
      if (f.scaling == 1) {
        float const q = r / maxR;
        g = q * amount;
      } else if (f.scaling == 2) {
        float const q = r / maxR;
        float const qa = q * amount;
        g = qa * q;
      }
      float const k = g * 0.02f;
      float const s = amount >= 0.0f ? 1.0f + k : 1.0f - k;

      float const dxs = dx / s;
      float const xs = dxs + cx;
      float const dys = dy / s;
      float const ys = dys + cyEff;

      float r1, g1, b1, a1;
      getInPixel(f, sampleCoordinate(xf - f.offsetX), plainY, r1, g1, b1, a1);

      float const wholeXs = truncToWhole(xs);
      float const wholeYs = truncToWhole(ys);
      float r2s, g2, b2, a2;
      getInPixel(f, sampleCoordinate(wholeXs - f.offsetX), sampleCoordinate(wholeYs - f.offsetY), r2s, g2, b2,
                 a2);

      if (a1 == 0.0f)
        r1 = g1 = b1 = 0.0f;
      if (a2 == 0.0f)
        r2s = g2 = b2 = 0.0f;

      float red = r1;
      float green = g1;
      float blue = b1;
      bool const primary = amount >= 0.0f;
      switch (f.mode) {
        case 0:
          if (primary) {
            red = r2s;
          } else {
            green = g2;
            blue = b2;
          }
          break;
        case 1:
          if (primary) {
            green = g2;
          } else {
            red = r2s;
            blue = b2;
          }
          break;
        case 2:
          if (primary) {
            blue = b2;
          } else {
            red = r2s;
            green = g2;
          }
          break;
        default:
          break;
      }

      float const aMax = std::max(a1, a2);
      float px[4] = {red, green, blue, aMax};
      switch (f.show) {
        case 1:
          px[3] = std::fabs(a1 - a2);
          break;
        case 2:
          px[3] = a1 * a2;
          break;
        case 3:
          px[0] = px[1] = px[2] = aMax;
          break;
        case 4: {
          float const full = aMax > 0.0f ? 1.0f : aMax;
          px[0] = px[1] = px[2] = px[3] = full;
          break;
        }
        default:
          break;
      }

      storePixel(out, px);
      out += sizeof px;
    }
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
  f.scaling = rd->scaling;
  f.mode = rd->mode;
  f.show = rd->show;

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

  f.inData = rd->input.data;
  f.inRowBytes = rd->input.rowBytes;
  f.inWidth = std::max(rd->input.width, 0);
  f.inHeight = std::max(rd->input.height, 0);
  f.inBytes = rd->input.bitDepth == 8;
  // The vector paths gather RGBA8 samples by 32-bit byte offsets from the
  // start of the input.
  std::int64_t const lastRow = f.inHeight > 0 ? static_cast<std::int64_t>(f.inHeight - 1) * f.inRowBytes : 0;
  std::int64_t const end = lastRow + static_cast<std::int64_t>(f.inWidth) * 4;
  f.gatherBytes = f.inBytes && f.inRowBytes >= 0 && end <= std::int64_t{INT32_MAX};
  f.outData = rd->output.data;
  f.outRowBytes = rd->output.rowBytes;
  return true;
}

bool kernelPathSupported(KernelPath path) {
  switch (path) {
    case KernelPath::Scalar:
      return true;
    case KernelPath::Sse2:
      return simdCompiled();
    case KernelPath::Avx2:
      return simdCompiled() && cpuHasAvx2();
  }
  return false;
}

namespace {

KernelPath fastestSupportedPath() {
  if (kernelPathSupported(KernelPath::Avx2))
    return KernelPath::Avx2;
  if (kernelPathSupported(KernelPath::Sse2))
    return KernelPath::Sse2;
  return KernelPath::Scalar;
}

// Chosen when the library is loaded, so that process() takes no lock, not
// even a one-time initialisation guard.
KernelPath const fastestPath = fastestSupportedPath();

}  // namespace

KernelPath activeKernelPath() {
  return fastestPath;
}

char const* kernelPathName(KernelPath path) {
  switch (path) {
    case KernelPath::Scalar:
      return "scalar";
    case KernelPath::Sse2:
      return "sse2";
    case KernelPath::Avx2:
      return "avx2";
  }
  return "unknown";
}

void processWith(KernelPath path, RenderData const* rd, int firstRow, int endRow) {
  KernelFrame frame;
  if (!kernelFrame(rd, firstRow, endRow, frame))
    return;
  switch (path) {
    case KernelPath::Sse2:
      processRowsSse2(frame, firstRow, endRow);
      return;
    case KernelPath::Avx2:
      processRowsAvx2(frame, firstRow, endRow);
      return;
    case KernelPath::Scalar:
      break;
  }
  processRowsScalar(frame, firstRow, endRow);
}

void process(RenderData const* rd, int firstRow, int endRow) {
  processWith(activeKernelPath(), rd, firstRow, endRow);
}
