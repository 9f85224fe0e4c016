// The aberration formula for one pixel, written once for every instruction
// set. L is a lane type (Kernel{Scalar,Sse2,Avx2,Neon}.cpp): `L::lanes`
// neighbouring pixels of a row are computed at once with L's operations,
// each one IEEE operation per lane.
//
// Results are bit-exact: saved projects and every build must give the same
// pixels, and a truncated sample coordinate moves by a whole pixel when a
// value changes in its last bit. So all arithmetic is 32-bit float in a
// fixed order, one operation per line, with IEEE division and square root
// (no reciprocal estimates) and no fused multiply-add (-ffp-contract=off on
// every target).
//
// How pixels are walked, fetched and stored is the schedule's business
// (KernelRows.h); nothing here reads or writes memory.
#ifndef ZF_RENDER_KERNELBODY_H
#define ZF_RENDER_KERNELBODY_H

#include "KernelFrame.h"

// Four channels of `lanes` pixels, one vector per channel.
template <class V>
struct Rgba {
  V r, g, b, a;
};

// float(trunc(v)), toward zero; beyond 2^23 v is whole already, and NaN
// stays NaN.
template <class L>
inline typename L::F wholeOf(typename L::F v) {
  auto const small = L::both(L::greater(v, L::set1(-firstWholeFloat)), L::less(v, L::set1(firstWholeFloat)));
  return L::select(small, L::fromInt(L::truncInt(v)), v);
}

// What a row shares: its distance from the centre row, the input row of its
// plain samples, and with linear scaling, where the magnification is one
// number for the whole frame, where its displaced samples lie vertically.
template <class L>
struct RowLanes {
  typename L::F dy, dy2;
  typename L::F linearYs;
  typename L::I linearRow;
  int plainRow;
};

// The frame's constants in every lane. (Everything here is a template or a
// member of one: an instruction set's copy of the code never stands in for
// another's.)
template <class L>
struct FrameLanes {
  using F = typename L::F;
  F cx, cyEff, maxR, amount, offsetX, offsetY, one, fiftieth, linearS;
  Scaling scaling;
  bool positive;

  explicit FrameLanes(KernelFrame const& f)
      : cx(L::set1(f.cx)),
        cyEff(L::set1(f.cyEff)),
        maxR(L::set1(f.maxR)),
        amount(L::set1(f.amount)),
        offsetX(L::set1(f.offsetX)),
        offsetY(L::set1(f.offsetY)),
        one(L::set1(1.0f)),
        fiftieth(L::set1(0.02f)),
        scaling(f.scaling),
        positive(f.amount >= 0.0f) {
    // Linear: g is Amount itself, so s = 1 + g * 0.02 (1 - when negative)
    // is the same for every pixel.
    F const k = L::mul(amount, fiftieth);
    linearS = positive ? L::add(one, k) : L::sub(one, k);
  }

  RowLanes<L> row(int y) const {
    F const yf = L::set1(static_cast<float>(y));
    F const dy = L::sub(yf, cyEff);
    F const dys = L::div(dy, linearS);
    F const ys = L::add(dys, cyEff);
    alignas(32) int plain[L::lanes];
    L::storeInts(plain, L::truncInt(L::sub(yf, offsetY)));
    return {dy, L::mul(dy, dy), ys, nearestRow(ys), plain[0]};
  }

  // The input row a displaced sample reads with nearest sampling:
  // trunc(float(trunc(ys)) - offset).
  typename L::I nearestRow(F ys) const { return L::truncInt(L::sub(wholeOf<L>(ys), offsetY)); }
};

// Where the displaced samples of `lanes` neighbouring pixels of a row lie
// relative to the centre. Pixels at columns centre + d and centre - d share
// their magnification s and displaced row, and have dx and dx / s of
// opposite sign, exactly: dx is exact for whole floats, and IEEE division is
// symmetric in sign.
template <class L>
struct Displacement {
  typename L::F dxs;  // (float(x) - cx) / s
  typename L::F ys;   // dy / s + cyEff: the displaced point's row
  typename L::I row;  // input row of the nearest displaced sample
};

// The magnification s of `lanes` pixels of a row at dx = float(x) - cx.
template <class L>
inline typename L::F magnification(FrameLanes<L> const& c, RowLanes<L> const& rowLanes, typename L::F dx) {
  using F = typename L::F;
  if (c.scaling == Scaling::Linear)
    return c.linearS;
  F const dx2 = L::mul(dx, dx);
  F const r2 = L::add(dx2, rowLanes.dy2);
  F const r = L::sqrt(r2);
  F const q = L::div(r, c.maxR);
  F g = L::mul(q, c.amount);
  if (c.scaling == Scaling::Cubic)
    g = L::mul(g, q);
  F const k = L::mul(g, c.fiftieth);
  // g has the sign of Amount, so s >= 1 either way.
  return c.positive ? L::add(c.one, k) : L::sub(c.one, k);
}

template <class L>
inline Displacement<L> displacement(FrameLanes<L> const& c, RowLanes<L> const& rowLanes, typename L::F xf) {
  using F = typename L::F;
  F const dx = L::sub(xf, c.cx);
  if (c.scaling == Scaling::Linear)
    return {L::div(dx, c.linearS), rowLanes.linearYs, rowLanes.linearRow};
  F const s = magnification<L>(c, rowLanes, dx);
  F const dxs = L::div(dx, s);
  F const dys = L::div(rowLanes.dy, s);
  F const ys = L::add(dys, c.cyEff);
  return {dxs, ys, c.nearestRow(ys)};
}

// The input column of the nearest displaced sample: trunc(float(trunc(xs))
// - offset). Lanes whose value does not fit an int hold INT_MIN, outside
// every input.
template <class L>
inline typename L::I sampleColumn(FrameLanes<L> const& c, Displacement<L> const& d) {
  typename L::F const xs = L::add(d.dxs, c.cx);
  return L::truncInt(L::sub(wholeOf<L>(xs), c.offsetX));
}

// floor(v); beyond 2^23 v is whole already, and NaN stays NaN.
template <class L>
inline typename L::F floorOf(typename L::F v) {
  typename L::F const whole = wholeOf<L>(v);
  return L::select(L::greater(whole, v), L::sub(whole, L::set1(1.0f)), whole);
}

// Smooth sampling reads the displaced point (u, v) in input pixels, input
// pixel (i, j) sitting at the whole-number point (i, j): the four pixels
// around it, x0 = floor(u) .. x1 = x0 + 1 and y0 = floor(v) .. y1, and the
// point's fractions fx = u - x0, fy = v - y0. A point whose floor fits no
// int reads transparent black: its columns or rows lie outside every input
// and its fractions are 0, so no NaN or infinity reaches the weights.
template <class L>
struct SmoothPoint {
  typename L::I x0, x1, y0, y1;
  typename L::F fx, fy;
};

template <class L>
inline SmoothPoint<L> smoothPoint(FrameLanes<L> const& c, Displacement<L> const& d) {
  using F = typename L::F;
  F const xs = L::add(d.dxs, c.cx);
  F const u = L::sub(xs, c.offsetX);
  F const v = L::sub(d.ys, c.offsetY);
  F const floorU = floorOf<L>(u);
  F const floorV = floorOf<L>(v);
  // (A floor of exactly -2^31 reads columns INT_MIN and INT_MIN + 1, both
  // outside, so leaving it out of the range changes nothing.)
  auto const fits = L::both(L::both(L::greater(floorU, L::set1(intLow)), L::less(floorU, L::set1(intHigh))),
                            L::both(L::greater(floorV, L::set1(intLow)), L::less(floorV, L::set1(intHigh))));
  F const zero = L::set1(0.0f);
  // x0 + 1 in float: past the last int it converts to INT_MIN, outside too.
  return {L::truncInt(floorU),
          L::truncInt(L::add(floorU, c.one)),
          L::truncInt(floorV),
          L::truncInt(L::add(floorV, c.one)),
          L::select(fits, L::sub(u, floorU), zero),
          L::select(fits, L::sub(v, floorV), zero)};
}

// The four pixels around a point weighted by its fractions and by their
// alphas: each pixel's weight times its alpha, and their sum, the mixed
// alpha. A colour mixed with these weights, divided by that sum, is the
// alpha-weighted mix of the four.
template <class L>
struct SmoothWeights {
  using F = typename L::F;
  F wa00, wa10, wa01, wa11;
  F alpha;

  ZF_INLINE SmoothWeights(F a00, F a10, F a01, F a11, F fx, F fy) {
    F const gx = L::sub(L::set1(1.0f), fx);
    F const gy = L::sub(L::set1(1.0f), fy);
    F const w00 = L::mul(gx, gy);
    F const w10 = L::mul(fx, gy);
    F const w01 = L::mul(gx, fy);
    F const w11 = L::mul(fx, fy);
    wa00 = L::mul(w00, a00);
    wa10 = L::mul(w10, a10);
    wa01 = L::mul(w01, a01);
    wa11 = L::mul(w11, a11);
    alpha = L::add(wa00, wa10);
    alpha = L::add(alpha, wa01);
    alpha = L::add(alpha, wa11);
  }

  // sum of wa times the colours
  ZF_INLINE F weighted(F c00, F c10, F c01, F c11) const {
    F sum = L::mul(wa00, c00);
    sum = L::add(sum, L::mul(wa10, c10));
    sum = L::add(sum, L::mul(wa01, c01));
    sum = L::add(sum, L::mul(wa11, c11));
    return sum;
  }
};

// The four pixels around a point mixed by its fractions. Colours are mixed
// weighted by alpha, as the samples hold straight colour: a transparent
// pixel adds transparency but no colour. Where both fractions are 0 the
// sample is the pixel itself, value for value ((A * R) / A need not be R).
template <class L>
ZF_INLINE Rgba<typename L::F> smoothSample(Rgba<typename L::F> const& p00, Rgba<typename L::F> const& p10,
                                           Rgba<typename L::F> const& p01, Rgba<typename L::F> const& p11,
                                           typename L::F fx, typename L::F fy) {
  using F = typename L::F;
  SmoothWeights<L> const w(p00.a, p10.a, p01.a, p11.a, fx, fy);
  F const alpha = w.alpha;
  auto const clear = L::isZero(alpha);
  auto const mixed = [&](F c00, F c10, F c01, F c11) {
    return L::zeroWhere(clear, L::div(w.weighted(c00, c10, c01, c11), alpha));
  };
  auto const exact = L::both(L::isZero(fx), L::isZero(fy));
  return {L::select(exact, p00.r, mixed(p00.r, p10.r, p01.r, p11.r)),
          L::select(exact, p00.g, mixed(p00.g, p10.g, p01.g, p11.g)),
          L::select(exact, p00.b, mixed(p00.b, p10.b, p01.b, p11.b)), L::select(exact, p00.a, alpha)};
}

// Where the displaced sample supplies a channel, set up once per frame as
// L's ChannelMask: for most lane types a plain bool per channel (the same
// for every lane, so choosing costs a predicted branch), for lane types that
// hold whole pixels a mask of the displaced channels' lanes.
// L::displacedMask(all, taken) gives one channel's: `taken` says whether it
// is displaced, `all` which channels are.
template <class L>
struct DisplacedMasks {
  typename L::ChannelMask red, green, blue;

  explicit DisplacedMasks(DisplacedChannels all)
      : red(L::displacedMask(all, all.red)),
        green(L::displacedMask(all, all.green)),
        blue(L::displacedMask(all, all.blue)) {}
};

// A sample's channel as a float: RGBA32 channels as they are, RGBA8 bytes
// as v / 255.
template <class L>
inline typename L::F channelFloat(typename L::F v) {
  return v;
}

template <class L>
inline typename L::F channelFloat(typename L::I v) {
  return L::div(L::fromInt(v), L::set1(255.0f));
}

// The output of `lanes` pixels from their plain samples p1 and displaced
// samples p2: transparent samples lose their colour, the displaced sample
// supplies the Mode's channels, and Show decides the alpha. V is the
// samples' type: floats, or RGBA8 bytes in int lanes, which become floats
// (v / 255) only here. Byte to float is exact and increasing, so zeroing,
// choosing and taking the larger alpha give the same floats either way.
template <class L, Show S, class V>
ZF_INLINE Rgba<typename L::F> mergeSamples(Rgba<V> p1, Rgba<V> p2, DisplacedMasks<L> const& displaced) {
  using F = typename L::F;
  auto const clear1 = L::isZero(p1.a);
  p1.r = L::zeroWhere(clear1, p1.r);
  p1.g = L::zeroWhere(clear1, p1.g);
  p1.b = L::zeroWhere(clear1, p1.b);
  auto const clear2 = L::isZero(p2.a);
  p2.r = L::zeroWhere(clear2, p2.r);
  p2.g = L::zeroWhere(clear2, p2.g);
  p2.b = L::zeroWhere(clear2, p2.b);

  V const red = L::select(displaced.red, p2.r, p1.r);
  V const green = L::select(displaced.green, p2.g, p1.g);
  V const blue = L::select(displaced.blue, p2.b, p1.b);
  V const aMax = L::larger(p1.a, p2.a);

  if constexpr (S == Show::Alpha) {
    F const m = channelFloat<L>(aMax);
    return {m, m, m, m};
  } else if constexpr (S == Show::FullAlpha) {
    F const m = channelFloat<L>(aMax);
    F const full = L::select(L::greater(m, L::set1(0.0f)), L::set1(1.0f), m);
    return {full, full, full, full};
  } else {
    F alpha;
    if constexpr (S == Show::JustCA) {
      F const difference = L::sub(channelFloat<L>(p1.a), channelFloat<L>(p2.a));
      alpha = L::abs(difference);
    } else if constexpr (S == Show::WithoutCA) {
      alpha = L::mul(channelFloat<L>(p1.a), channelFloat<L>(p2.a));
    } else {
      alpha = channelFloat<L>(aMax);
    }
    return {channelFloat<L>(red), channelFloat<L>(green), channelFloat<L>(blue), alpha};
  }
}

// A smooth displaced sample is floats whatever the input: the plain sample
// becomes floats too before the two are merged.
template <class L, Show S>
ZF_INLINE Rgba<typename L::F> mergeSamples(Rgba<typename L::I> p1, Rgba<typename L::F> p2,
                                           DisplacedMasks<L> const& displaced) {
  Rgba<typename L::F> const plain = {channelFloat<L>(p1.r), channelFloat<L>(p1.g), channelFloat<L>(p1.b),
                                     channelFloat<L>(p1.a)};
  return mergeSamples<L, S>(plain, p2, displaced);
}

#endif
