// Mode Spectrum: count samples on the line from each pixel (t = 0) to its
// displaced point (t = 1), at magnifications s_i = 1 + t_i (s - 1), each
// read by the Sampling rule and weighted into the colour channels by the
// frame's SpectrumTable, so that a bright edge opens into the colours in
// rainbow order. Written once for every lane type, like KernelBody.h, and
// bit-exact in the same way: 32-bit float in a fixed order, one operation
// per line.
//
// Per channel C the colour is sum_i w_C(t_i) (A_i C_i) / sum_i w_C(t_i) A_i,
// 0 where that denominator is exactly 0. A_i C_i is a sample's
// alpha-weighted colour: A_i times its colour for a nearest sample (0 where
// A_i is 0); for a smooth one, the sum of the four pixels' weighted alphas
// times their colours, which is what the smooth sample's colour times its
// alpha stands for, without dividing by the alpha and multiplying back.
// Samples are weighted in the units the input holds them in: RGBA32
// channels as they are, RGBA8 bytes as the whole numbers 0 .. 255, the
// result then divided by 255 once instead of every byte of every sample.
#ifndef ZF_RENDER_KERNELSPECTRUM_H
#define ZF_RENDER_KERNELSPECTRUM_H

#include "KernelBody.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

// A sample's alpha and alpha-weighted colour.
template <class F>
struct WeightedSample {
  F a, r, g, b;
};

// The smaller of two values, a1 where they are equal or either is NaN, as
// L::larger keeps a1.
template <class L>
inline typename L::F smallerOf(typename L::F a1, typename L::F a2) {
  return L::select(L::less(a2, a1), a2, a1);
}

// Channels in the units the input holds them in.
template <class L>
inline Rgba<typename L::F> inUnits(Rgba<typename L::F> const& p) {
  return p;
}

template <class L>
inline Rgba<typename L::F> inUnits(Rgba<typename L::I> const& p) {
  return {L::fromInt(p.r), L::fromInt(p.g), L::fromInt(p.b), L::fromInt(p.a)};
}

template <class L>
ZF_INLINE WeightedSample<typename L::F> weightedNearest(Rgba<typename L::F> const& p) {
  auto const clear = L::isZero(p.a);
  return {p.a, L::zeroWhere(clear, L::mul(p.a, p.r)), L::zeroWhere(clear, L::mul(p.a, p.g)),
          L::zeroWhere(clear, L::mul(p.a, p.b))};
}

// The four pixels around a point mixed by its fractions, as smoothSample
// mixes them; where both fractions are 0, the pixel itself.
template <class L>
ZF_INLINE WeightedSample<typename L::F> weightedSmooth(Rgba<typename L::F> const& p00,
                                                       Rgba<typename L::F> const& p10,
                                                       Rgba<typename L::F> const& p01,
                                                       Rgba<typename L::F> const& p11, typename L::F fx,
                                                       typename L::F fy) {
  using F = typename L::F;
  SmoothWeights<L> const w(p00.a, p10.a, p01.a, p11.a, fx, fy);
  F alpha = w.alpha;
  auto const exact = L::both(L::isZero(fx), L::isZero(fy));
  alpha = L::select(exact, p00.a, alpha);
  auto const clear = L::isZero(alpha);
  auto const mixed = [&](F c00, F c10, F c01, F c11) {
    return L::zeroWhere(clear, L::select(exact, L::mul(p00.a, c00), w.weighted(c00, c10, c01, c11)));
  };
  return {alpha, mixed(p00.r, p10.r, p01.r, p11.r), mixed(p00.g, p10.g, p01.g, p11.g),
          mixed(p00.b, p10.b, p01.b, p11.b)};
}

// The running sums of one group of pixels over its samples.
template <class L>
struct SpectrumSums {
  using F = typename L::F;
  F red, green, blue;                    // sum_i w_C(t_i) A_i C_i
  F redWeight, greenWeight, blueWeight;  // sum_i w_C(t_i) A_i
  F aMax, aMin;

  // Sums of sample 0 alone.
  ZF_INLINE SpectrumSums(WeightedSample<F> const& s, SpectrumTable const& table) {
    F const wr = L::set1(table.red[0]);
    F const wg = L::set1(table.green[0]);
    F const wb = L::set1(table.blue[0]);
    red = L::mul(wr, s.r);
    green = L::mul(wg, s.g);
    blue = L::mul(wb, s.b);
    redWeight = L::mul(wr, s.a);
    greenWeight = L::mul(wg, s.a);
    blueWeight = L::mul(wb, s.a);
    aMax = s.a;
    aMin = s.a;
  }

  ZF_INLINE void add(WeightedSample<F> const& s, SpectrumTable const& table, int i) {
    F const wr = L::set1(table.red[i]);
    F const wg = L::set1(table.green[i]);
    F const wb = L::set1(table.blue[i]);
    red = L::add(red, L::mul(wr, s.r));
    green = L::add(green, L::mul(wg, s.g));
    blue = L::add(blue, L::mul(wb, s.b));
    redWeight = L::add(redWeight, L::mul(wr, s.a));
    greenWeight = L::add(greenWeight, L::mul(wg, s.a));
    blueWeight = L::add(blueWeight, L::mul(wb, s.a));
    aMax = L::larger(aMax, s.a);
    aMin = smallerOf<L>(aMin, s.a);
  }

  // The output pixels: unit is 255 for RGBA8 input, 1 for RGBA32.
  template <Show S>
  ZF_INLINE Rgba<F> result(F unit) const {
    auto const colour = [&](F sum, F weight) {
      return L::zeroWhere(L::isZero(weight), L::div(sum, L::mul(weight, unit)));
    };
    F const most = L::div(aMax, unit);
    if constexpr (S == Show::Alpha) {
      return {most, most, most, most};
    } else if constexpr (S == Show::FullAlpha) {
      F const full = L::select(L::greater(most, L::set1(0.0f)), L::set1(1.0f), most);
      return {full, full, full, full};
    } else {
      F alpha = most;
      if constexpr (S == Show::JustCA)
        alpha = L::sub(most, L::div(aMin, unit));
      else if constexpr (S == Show::WithoutCA)
        alpha = L::div(aMin, unit);
      return {colour(red, redWeight), colour(green, greenWeight), colour(blue, blueWeight), alpha};
    }
  }
};

// Rows firstRow .. endRow - 1 in Mode Spectrum, L::lanes pixels at a time,
// each through its samples in order. With linear scaling the
// magnifications are the frame's and the samples' rows the row's, so they
// are worked out once per frame and per row, by the same operations.
template <class L, Show S, Sampling P, class Samples>
void walkSpectrumRows(KernelFrame const& f, Samples const samples, int firstRow, int endRow) {
  using F = typename L::F;
  constexpr int lanes = L::lanes;
  constexpr bool bytes = std::is_same_v<typename Samples::Channels, Rgba<typename L::I>>;
  SpectrumTable const& table = f.spectrum;
  int const count = table.count;

  FrameLanes<L> const c(f);
  F const unit = L::set1(bytes ? 255.0f : 1.0f);
  bool const linear = f.scaling == Scaling::Linear;
  alignas(32) float linearS[SpectrumTable::maxSamples];
  alignas(32) float rowYs[SpectrumTable::maxSamples];
  if (linear) {
    // FrameLanes' linearS, in one lane.
    float const k = f.amount * 0.02f;
    float const s = f.amount >= 0.0f ? 1.0f + k : 1.0f - k;
    float const m = s - 1.0f;
    for (int i = 0; i < count; ++i) {
      float const step = table.t[i] * m;
      linearS[i] = 1.0f + step;
    }
  }

  alignas(32) int columns[2][lanes];
  alignas(32) int rows[2][lanes];
  // Each sample of a pixel reads its own input rows, so a row of pixels
  // reads count (smooth: twice as many) input rows at once. Walked in
  // columns of `tile` pixels, band row after band row, the input lines a
  // tile's row reads stay cached for the next row, which reads most of them
  // again: about 2 KiB of each input row.
  constexpr int tile = bytes ? 512 : 128;
  static_assert(tile % lanes == 0, "groups must tile a column of tiles");
  for (int tileStart = 0; tileStart < f.width; tileStart += tile) {
    int const tileEnd = f.width - tileStart < tile ? f.width : tileStart + tile;
    for (int y = firstRow; y < endRow; ++y) {
      RowLanes<L> const rowLanes = c.row(y);
      unsigned char* out = f.outData + static_cast<std::int64_t>(y) * f.outRowBytes;
      if (linear) {
        float const dy = static_cast<float>(y) - f.cyEff;  // RowLanes' dy, in one lane
        for (int i = 0; i < count; ++i) {
          float const dys = dy / linearS[i];
          rowYs[i] = dys + f.cyEff;
        }
      }
      for (int x0 = tileStart; x0 < tileEnd; x0 += lanes) {
        F const xf = L::fromInt(L::iota(x0));
        F const dx = L::sub(xf, c.cx);
        F const s = magnification<L>(c, rowLanes, dx);
        F const m = L::sub(s, c.one);
        auto const sampleAt = [&](int i) ZF_INLINE_LAMBDA {
          Displacement<L> d;
          if (linear) {
            d.dxs = L::div(dx, L::set1(linearS[i]));
            d.ys = L::set1(rowYs[i]);
          } else {
            F const step = L::mul(L::set1(table.t[i]), m);
            F const si = L::add(c.one, step);
            d.dxs = L::div(dx, si);
            F const dys = L::div(rowLanes.dy, si);
            d.ys = L::add(dys, c.cyEff);
          }
          if constexpr (P == Sampling::Nearest) {
            L::storeInts(columns[0], sampleColumn<L>(c, d));
            L::storeInts(rows[0], c.nearestRow(d.ys));
            return weightedNearest<L>(inUnits<L>(samples.displaced(columns[0], rows[0])));
          } else {
            SmoothPoint<L> const p = smoothPoint<L>(c, d);
            L::storeInts(columns[0], p.x0);
            L::storeInts(columns[1], p.x1);
            L::storeInts(rows[0], p.y0);
            L::storeInts(rows[1], p.y1);
            // Each sample is a stream of its own through the input, too many
            // for the processor to follow: ask for the lines a few groups on.
            constexpr int ahead = 4 * lanes;
            if (unsigned char const* next = samples.address(columns[0][0] + ahead, rows[0][0]))
              __builtin_prefetch(next, 0, 3);
            if (unsigned char const* next = samples.address(columns[0][0] + ahead, rows[1][0]))
              __builtin_prefetch(next, 0, 3);
            return weightedSmooth<L>(inUnits<L>(samples.displaced(columns[0], rows[0])),
                                     inUnits<L>(samples.displaced(columns[1], rows[0])),
                                     inUnits<L>(samples.displaced(columns[0], rows[1])),
                                     inUnits<L>(samples.displaced(columns[1], rows[1])), p.fx, p.fy);
          }
        };
        // Sample 0 is the plain pixel: s_0 = 1.
        SpectrumSums<L> sums(sampleAt(0), table);
        for (int i = 1; i < count; ++i)
          sums.add(sampleAt(i), table, i);
        Rgba<F> const px = sums.template result<S>(unit);
        int const left = tileEnd - x0;
        if (left >= lanes) {
          L::storePixels(out + std::int64_t{16} * x0, px);
        } else {
          alignas(32) unsigned char group[16 * lanes];
          L::storePixels(group, px);
          std::memcpy(out + std::int64_t{16} * x0, group, static_cast<std::size_t>(left) * 16);
        }
      }
    }
  }
}

template <class L, Sampling P, class Samples>
void walkSpectrumByShow(KernelFrame const& f, Samples const& samples, int firstRow, int endRow) {
  byShow(f.show,
         [&](auto show) { walkSpectrumRows<L, decltype(show)::value, P>(f, samples, firstRow, endRow); });
}

#endif
