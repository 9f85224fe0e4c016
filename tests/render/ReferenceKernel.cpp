// Same float operations in the same order as the formula, so its results can
// be compared to the bit; the structure is deliberately naive.

#include "ReferenceKernel.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace {

// Input pixel (x, y), or transparent black outside.
RefPixel pixelAt(ImageDesc const& in, std::int64_t x, std::int64_t y) {
  if (x < 0 || y < 0 || x >= in.width || y >= in.height)
    return {0.0f, 0.0f, 0.0f, 0.0f};
  unsigned char const* row = in.data + y * in.rowBytes;
  if (in.bitDepth == 8) {
    unsigned char const* p = row + x * 4;
    return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
  }
  RefPixel px;
  std::memcpy(&px, row + x * 16, 16);
  return px;
}

RefPixel readInput(ImageDesc const& in, float tx, float ty) {
  // tx, ty are whole numbers (or NaN); compare before any conversion.
  bool const inside = tx >= 0.0f && ty >= 0.0f && static_cast<double>(tx) < static_cast<double>(in.width) &&
                      static_cast<double>(ty) < static_cast<double>(in.height);
  if (!inside)
    return {0.0f, 0.0f, 0.0f, 0.0f};
  return pixelAt(in, static_cast<std::int64_t>(tx), static_cast<std::int64_t>(ty));
}

// The smooth sample at (u, v) in input pixels: the four pixels around the
// point, weighted by its fractions, colours weighted by alpha as well.
RefPixel smoothSample(ImageDesc const& in, float u, float v) {
  float const left = std::floor(u);
  float const top = std::floor(v);
  bool const fits =
      left > -2147483648.0f && left < 2147483648.0f && top > -2147483648.0f && top < 2147483648.0f;
  if (!fits)
    return {0.0f, 0.0f, 0.0f, 0.0f};
  float const fx = u - left;
  float const fy = v - top;
  auto const x0 = static_cast<std::int64_t>(left);
  auto const y0 = static_cast<std::int64_t>(top);
  RefPixel const p00 = pixelAt(in, x0, y0);
  if (fx == 0.0f && fy == 0.0f)
    return p00;
  RefPixel const p10 = pixelAt(in, x0 + 1, y0);
  RefPixel const p01 = pixelAt(in, x0, y0 + 1);
  RefPixel const p11 = pixelAt(in, x0 + 1, y0 + 1);
  float const w00 = (1.0f - fx) * (1.0f - fy);
  float const w10 = fx * (1.0f - fy);
  float const w01 = (1.0f - fx) * fy;
  float const w11 = fx * fy;
  float const a = w00 * p00.a + w10 * p10.a + w01 * p01.a + w11 * p11.a;
  auto const colour = [&](float RefPixel::*c) {
    float const sum =
        w00 * p00.a * (p00.*c) + w10 * p10.a * (p10.*c) + w01 * p01.a * (p01.*c) + w11 * p11.a * (p11.*c);
    return a == 0.0f ? 0.0f : sum / a;
  };
  return {colour(&RefPixel::r), colour(&RefPixel::g), colour(&RefPixel::b), a};
}

// Amount as the kernel takes it: NaN is no effect, infinities the limits.
float usable(float amount) {
  if (amount != amount)
    return 0.0f;
  if (amount > 3.4028235e38f)
    return 100.0f;
  if (amount < -3.4028235e38f)
    return -100.0f;
  return amount;
}

float distanceTo(float ax, float ay, float bx, float by) {
  float const ddx = bx - ax;
  float const ddy = by - ay;
  return std::sqrt(ddx * ddx + ddy * ddy);
}

}  // namespace

RefPixel referencePixel(RenderData const& rd, int x, int y) {
  float const amount = usable(rd.amount);

  float const cx = static_cast<float>(rd.centerX);
  float const cy = static_cast<float>(rd.centerY);
  float const w = static_cast<float>(rd.output.width);
  float const h = static_cast<float>(rd.output.height);

  float const corners[4][2] = {{0.0f, 0.0f}, {w, h}, {0.0f, h}, {w, 0.0f}};
  float maxR = 0.0f;
  for (auto const& c : corners) {
    float const d = distanceTo(cx, cy, c[0], c[1]);
    if (d > maxR)
      maxR = d;
  }
  float const cyEff = h - cy;

  float const xf = static_cast<float>(x);
  float const yf = static_cast<float>(y);
  float const dx = xf - cx;
  float const dy = yf - cyEff;
  float const r = std::sqrt(dx * dx + dy * dy);

  float g;
  if (rd.scaling == 1)
    g = (r / maxR) * amount;
  else if (rd.scaling == 2)
    g = (r / maxR) * amount * (r / maxR);
  else
    g = amount;
  float const k = g * 0.02f;
  float const s = amount < 0.0f ? 1.0f - k : 1.0f + k;
  float const xs = dx / s + cx;
  float const ys = dy / s + cyEff;

  RefPixel p1 = readInput(rd.input, std::trunc(xf - rd.inputOffsetX), std::trunc(yf - rd.inputOffsetY));
  RefPixel p2 = rd.sampling == 1 ? smoothSample(rd.input, xs - rd.inputOffsetX, ys - rd.inputOffsetY)
                                 : readInput(rd.input, std::trunc(std::trunc(xs) - rd.inputOffsetX),
                                             std::trunc(std::trunc(ys) - rd.inputOffsetY));
  if (p1.a == 0.0f)
    p1.r = p1.g = p1.b = 0.0f;
  if (p2.a == 0.0f)
    p2.r = p2.g = p2.b = 0.0f;

  RefPixel out = p1;
  bool const negative = amount < 0.0f;
  if (rd.mode == 0) {
    if (negative) {
      out.g = p2.g;
      out.b = p2.b;
    } else {
      out.r = p2.r;
    }
  } else if (rd.mode == 1) {
    if (negative) {
      out.r = p2.r;
      out.b = p2.b;
    } else {
      out.g = p2.g;
    }
  } else if (rd.mode == 2) {
    if (negative) {
      out.r = p2.r;
      out.g = p2.g;
    } else {
      out.b = p2.b;
    }
  }

  float const aMax = p1.a < p2.a ? p2.a : p1.a;
  switch (rd.show) {
    case 1:
      out.a = std::fabs(p1.a - p2.a);
      return out;
    case 2:
      out.a = p1.a * p2.a;
      return out;
    case 3:
      return {aMax, aMax, aMax, aMax};
    case 4: {
      float const f = aMax > 0.0f ? 1.0f : aMax;
      return {f, f, f, f};
    }
    default:
      out.a = aMax;
      return out;
  }
}

void referenceRender(RenderData const& rd) {
  for (int y = 0; y < rd.output.height; ++y) {
    for (int x = 0; x < rd.output.width; ++x) {
      RefPixel const p = referencePixel(rd, x, y);
      std::memcpy(rd.output.data + static_cast<std::int64_t>(y) * rd.output.rowBytes +
                      static_cast<std::int64_t>(x) * 16,
                  &p, 16);
    }
  }
}

ModelPixel spectrumModelPixel(RenderData const& rd, int x, int y) {
  float const amount = usable(rd.amount);
  int const n = rd.spectrumSamples < 3 ? 3 : rd.spectrumSamples > 64 ? 64 : rd.spectrumSamples;
  float const cx = static_cast<float>(rd.centerX);
  float const cy = static_cast<float>(rd.centerY);
  float const w = static_cast<float>(rd.output.width);
  float const h = static_cast<float>(rd.output.height);
  float maxR = 0.0f;
  for (float const cornerX : {0.0f, w})
    for (float const cornerY : {0.0f, h})
      maxR = std::fmax(maxR, distanceTo(cx, cy, cornerX, cornerY));
  float const cyEff = h - cy;
  float const dx = static_cast<float>(x) - cx;
  float const dy = static_cast<float>(y) - cyEff;
  float const r = std::sqrt(dx * dx + dy * dy);
  float const q = r / maxR;
  float const g = rd.scaling == 1 ? q * amount : rd.scaling == 2 ? q * amount * q : amount;
  float const k = g * 0.02f;
  float const s = amount < 0.0f ? 1.0f - k : 1.0f + k;
  float const m = s - 1.0f;

  double sum[3] = {0, 0, 0};
  double weight[3] = {0, 0, 0};
  double aMax = 0.0;
  double aMin = 0.0;
  for (int i = 0; i < n; ++i) {
    float const t = static_cast<float>(i) / static_cast<float>(n - 1);
    float const si = 1.0f + t * m;
    float const xs = dx / si + cx;
    float const ys = dy / si + cyEff;
    RefPixel p = rd.sampling == 1 ? smoothSample(rd.input, xs - rd.inputOffsetX, ys - rd.inputOffsetY)
                                  : readInput(rd.input, std::trunc(std::trunc(xs) - rd.inputOffsetX),
                                              std::trunc(std::trunc(ys) - rd.inputOffsetY));
    if (p.a == 0.0f)
      p.r = p.g = p.b = 0.0f;
    double const td = static_cast<double>(i) / (n - 1);
    double const outer = std::fmax(0.0, 2.0 * td - 1.0);
    double const inner = std::fmax(0.0, 1.0 - 2.0 * td);
    double const wc[3] = {amount < 0.0f ? inner : outer, 1.0 - std::fabs(2.0 * td - 1.0),
                          amount < 0.0f ? outer : inner};
    double const c[3] = {p.r, p.g, p.b};
    for (int j = 0; j < 3; ++j) {
      sum[j] += wc[j] * p.a * c[j];
      weight[j] += wc[j] * p.a;
    }
    aMax = i == 0 ? p.a : std::fmax(aMax, p.a);
    aMin = i == 0 ? p.a : std::fmin(aMin, p.a);
  }
  double colour[3];
  for (int j = 0; j < 3; ++j)
    colour[j] = weight[j] == 0.0 ? 0.0 : sum[j] / weight[j];
  switch (rd.show) {
    case 1:
      return {colour[0], colour[1], colour[2], aMax - aMin};
    case 2:
      return {colour[0], colour[1], colour[2], aMin};
    case 3:
      return {aMax, aMax, aMax, aMax};
    case 4: {
      double const f = aMax > 0.0 ? 1.0 : aMax;
      return {f, f, f, f};
    }
    default:
      return {colour[0], colour[1], colour[2], aMax};
  }
}
