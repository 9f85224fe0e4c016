// How the kernel walks a band of rows for a lane type L: which pixels are
// computed together, how their samples are fetched and where the results
// go. The arithmetic is KernelBody.h's; nothing here computes a value of
// the result.
//
// A lane type provides, besides the arithmetic of KernelBody.h:
//   lanes, gathers          pixels per vector; whether gatherBytes() exists
//   Rgba32Lanes             the lane type that merges RGBA32 samples: the
//                           type itself, or one that keeps pixels whole
//   storeInts(int*, I)      lanes ints to memory
//   loadPixels(p)           RGBA32 pixels at p[0..lanes-1] as Rgba<F>
//   loadBytePixels(p)       RGBA8 pixels at p[0..lanes-1] as Rgba<I>, 0..255
//   storePixels(out, Rgba<F>)  lanes RGBA32 pixels to out, in order
// and, where `gathers`, the RGBA8 fetches by 32-bit byte offsets of
// GatheredByteSamples below.
#ifndef ZF_RENDER_KERNELROWS_H
#define ZF_RENDER_KERNELROWS_H

#include "KernelBody.h"
#include "KernelSpectrum.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// What a sample outside the input reads: transparent black in both layouts.
alignas(16) inline constexpr unsigned char transparentPixel[16] = {};

// Samples read through one pointer per lane, with 64-bit offsets: any input.
template <class L, bool Bytes>
struct PointerSamples {
  using Lanes = L;
  using Channels = Rgba<std::conditional_t<Bytes, typename L::I, typename L::F>>;
  static constexpr std::ptrdiff_t pixelBytes = Bytes ? 4 : 16;

  InputImage in;

  explicit PointerSamples(KernelFrame const& f) : in(f) {}

  unsigned char const* row(int y) const { return in.row(y); }

  // Where a sample lies, or null outside the input.
  unsigned char const* address(int column, int y) const {
    return in.inside(column, y) ? in.data + static_cast<std::int64_t>(y) * in.rowBytes + column * pixelBytes
                                : nullptr;
  }

  static Channels load(unsigned char const* const* p) {
    if constexpr (Bytes)
      return L::loadBytePixels(p);
    else
      return L::loadPixels(p);
  }

  Channels plain(unsigned char const* rowData, int const* columns) const {
    unsigned char const* p[L::lanes];
    for (int k = 0; k < L::lanes; ++k) {
      bool const inside =
          rowData != nullptr && static_cast<unsigned>(columns[k]) < static_cast<unsigned>(in.width);
      p[k] = inside ? rowData + columns[k] * pixelBytes : transparentPixel;
    }
    return load(p);
  }

  ZF_INLINE Channels displaced(int const* columns, int const* rows) const {
    unsigned char const* p[L::lanes];
    for (int k = 0; k < L::lanes; ++k) {
      unsigned char const* sample = address(columns[k], rows[k]);
      p[k] = sample != nullptr ? sample : transparentPixel;
    }
    return load(p);
  }
};

// RGBA8 samples fetched by the lanes' 32-bit gathers, for an input whose
// byte offsets all fit an int32 (KernelFrame::gatherBytes). Plain samples
// are gathered from their row, displaced ones from the start of the input.
template <class L>
struct GatheredByteSamples {
  using Lanes = L;
  using Channels = Rgba<typename L::I>;

  InputImage in;
  // Whether to look for groups that one input row serves: linear scaling,
  // where the displaced samples of an output row share one, and Spectrum,
  // whose samples of neighbouring pixels mostly do.
  bool oneRow;

  explicit GatheredByteSamples(KernelFrame const& f)
      : in(f), oneRow(f.scaling == Scaling::Linear || f.mode == Mode::Spectrum) {}

  unsigned char const* row(int y) const { return in.row(y); }

  Channels plain(unsigned char const* rowData, int const* columns) const {
    return L::gatherRowBytes(rowData, columns, in.width);
  }

  ZF_INLINE Channels displaced(int const* columns, int const* rows) const {
    return L::gatherBytes(in.data, columns, rows, in.width, in.height, static_cast<std::int32_t>(in.rowBytes),
                          oneRow);
  }

  // Where a sample lies, or null outside the input.
  unsigned char const* address(int column, int y) const {
    return in.inside(column, y) ? in.data + static_cast<std::int64_t>(y) * in.rowBytes + column * 4 : nullptr;
  }
};

// RGBA32 samples fetched by the lanes' gathers, a channel at a time, for an
// input whose byte offsets all fit an int32 (KernelFrame::gatherFloats).
template <class L>
struct GatheredFloatSamples {
  using Lanes = L;
  using Channels = Rgba<typename L::F>;

  InputImage in;

  explicit GatheredFloatSamples(KernelFrame const& f) : in(f) {}

  ZF_INLINE Channels displaced(int const* columns, int const* rows) const {
    return L::gatherFloatPixels(in.data, columns, rows, in.width, in.height,
                                static_cast<std::int32_t>(in.rowBytes));
  }

  // Where a sample lies, or null outside the input.
  unsigned char const* address(int column, int y) const {
    return in.inside(column, y) ? in.data + static_cast<std::int64_t>(y) * in.rowBytes + column * 16
                                : nullptr;
  }
};

// A sample's channels as floats.
template <class L, class V>
ZF_INLINE Rgba<typename L::F> channelFloats(Rgba<V> const& p) {
  return {channelFloat<L>(p.r), channelFloat<L>(p.g), channelFloat<L>(p.b), channelFloat<L>(p.a)};
}

// Where the samples of one run of a row lie, in order of columns: the plain
// samples' columns, and the displaced samples' column and row (nearest) or
// the four pixels around them and the fractions (smooth; nearest keeps no
// room for those).
template <int Size, Sampling P>
struct RunCoordinates {
  static constexpr int smoothSize = P == Sampling::Smooth ? Size : 1;
  alignas(32) int plainColumn[Size];
  alignas(32) int column[Size];  // nearest; x0 when smooth
  alignas(32) int row[Size];     // nearest; y0 when smooth
  alignas(32) int x1[smoothSize];
  alignas(32) int y1[smoothSize];
  alignas(32) float fx[smoothSize];
  alignas(32) float fy[smoothSize];

  RunCoordinates() {
    // Lanes past a row's end are read, then dropped; never undefined.
    for (int* a : {plainColumn, column, row})
      std::fill(a, a + Size, -1);
    for (int* a : {x1, y1})
      std::fill(a, a + smoothSize, -1);
    std::fill(fx, fx + smoothSize, 0.0f);
    std::fill(fy, fy + smoothSize, 0.0f);
  }
};

// The displaced samples of lanes i .. of a run.
template <class M, Sampling P, class Samples, int Size>
ZF_INLINE auto displacedSamples(Samples const& samples, RunCoordinates<Size, P> const& at, int i) {
  if constexpr (P == Sampling::Nearest) {
    return samples.displaced(at.column + i, at.row + i);
  } else {
    return smoothSample<M>(channelFloats<M>(samples.displaced(at.column + i, at.row + i)),
                           channelFloats<M>(samples.displaced(at.x1 + i, at.row + i)),
                           channelFloats<M>(samples.displaced(at.column + i, at.y1 + i)),
                           channelFloats<M>(samples.displaced(at.x1 + i, at.y1 + i)),
                           M::loadFloats(at.fx + i), M::loadFloats(at.fy + i));
  }
}

// Up to `run` pixels of a row whose sample coordinates are known, merged
// and stored by the samples' lane type M from `out` on. The last group may
// reach past `count`; those lanes are computed and dropped.
template <class M, Show S, Sampling P, class Samples, int Size>
inline void storeRun(Samples const& samples, DisplacedMasks<M> const& displaced,
                     unsigned char const* plainRow, RunCoordinates<Size, P> const& at, int count,
                     unsigned char* out) {
  for (int i = 0; i < count; i += M::lanes) {
    Rgba<typename M::F> const px = mergeSamples<M, S>(samples.plain(plainRow, at.plainColumn + i),
                                                      displacedSamples<M, P>(samples, at, i), displaced);
    if (count - i >= M::lanes) {
      M::storePixels(out, px);
      out += 16 * M::lanes;
    } else {
      alignas(32) unsigned char group[16 * M::lanes];
      M::storePixels(group, px);
      std::memcpy(out, group, static_cast<std::size_t>(count - i) * 16);
    }
  }
}

// What columns centre + d share with columns centre - d, for d = lo .. hi
// - 1 of one row (see Displacement): a window of at most Capacity columns,
// kept at the end of the arrays, the end nearest the stack's top (see
// BandScratch).
template <class L, int Capacity>
struct MirrorCache {
  static constexpr int size = Capacity + L::lanes;
  alignas(32) float dxs[size];
  alignas(32) float ys[size];
  int first = size;  // where d = lo is kept

  ZF_INLINE void fill(FrameLanes<L> const& c, RowLanes<L> const& rowLanes, int centre, int lo, int hi) {
    int const groups = (hi - lo + L::lanes - 1) / L::lanes;
    first = size - groups * L::lanes;
    for (int d = lo; d < hi; d += L::lanes) {
      typename L::F const xf = L::fromInt(L::iota(centre + d));
      Displacement<L> const m = displacement<L>(c, rowLanes, xf);
      L::storeFloats(dxs + first + (d - lo), m.dxs);
      L::storeFloats(ys + first + (d - lo), m.ys);
    }
  }
};

// What a band keeps while it walks its rows, in one block whose order is
// fixed: workers are fresh threads, and when a thread ends, the system takes
// back the pages of its stack that lie deeper than a few from the top, to
// fault them in again for the next. So what every band touches (the run's
// coordinates) lies nearest the top, then the part of the mirror window
// square and cubic scaling touch, and the window's unused room deepest.
template <class L, Sampling P, int Run, int Chunk>
struct BandScratch {
  MirrorCache<L, Chunk> mirror;
  RunCoordinates<Run, P> at;
};

// The order in which a row's columns are walked, segment by segment. With
// no mirrored columns (reach < 0) the row is one segment. Otherwise: the
// columns left of the mirrored ones; then, window by window of distances
// d = lo .. hi - 1 from the centre, from the outermost in, the window's
// columns left of the centre and then those right of it (the centre
// column itself, d = 0, on the right); last the columns right of the
// mirrored ones. Segments start on multiples of `align` columns, so vector
// groups keep their alignment to the row; a group that a window's edge
// cuts then lies partly outside the window. lo and hi describe the current
// window; hi is 0 outside any.
class RowSegments {
 public:
  RowSegments(int width, int centre, int reach, int chunk, int align)
      : width_(width), centre_(centre), reach_(reach), chunk_(chunk), align_(align) {}

  int lo = 0;
  int hi = 0;

  // The next segment, and whether it opens a window; false after the last.
  bool next(int& from, int& to, bool& refill) {
    refill = false;
    switch (step_) {
      case Step::LeftOfMirror:
        if (reach_ < 0) {
          step_ = Step::Done;
          from = 0;
          to = width_;
          return true;
        }
        step_ = Step::WindowLeft;
        windowHi_ = reach_ + 1;
        from = 0;
        to = aligned(centre_ - reach_);
        return true;
      case Step::WindowLeft:
        if (windowHi_ == 0) {
          step_ = Step::Done;
          lo = hi = 0;
          from = aligned(centre_ + reach_ + 1);
          to = width_;
          return true;
        }
        hi = windowHi_;
        lo = (hi - 1) / chunk_ * chunk_;
        refill = true;
        step_ = Step::WindowRight;
        from = aligned(centre_ - hi + 1);
        to = aligned(lo > 0 ? centre_ - lo + 1 : centre_);
        return true;
      case Step::WindowRight:
        step_ = Step::WindowLeft;
        windowHi_ = lo;
        from = aligned(centre_ + lo);
        to = aligned(centre_ + hi);
        return true;
      case Step::Done:
        break;
    }
    return false;
  }

 private:
  enum class Step { LeftOfMirror, WindowLeft, WindowRight, Done };

  // Column boundaries of mirrored rows lie in 0 .. width.
  int aligned(int column) const { return column / align_ * align_; }

  int width_, centre_, reach_, chunk_, align_;
  int windowHi_ = 0;
  Step step_ = Step::LeftOfMirror;
};

// Rows firstRow .. endRow - 1, each in segments of consecutive columns, each
// segment in runs of up to `run` pixels: the coordinates of a whole run
// first, L::lanes pixels at a time, then its samples, merged and stored by
// the samples' lane type M. Everything the loops read is a local copy (see
// InputImage).
//
// With square and cubic scaling every pixel has a square root and three
// divisions of its own, but columns centre + d and centre - d of a row are
// equally far from the centre: their magnification, displaced row and
// dx / s (up to its sign) are computed once, for the right one. They are
// shared through a window of `chunk` distances at a time, so the mirrored
// part of a row is walked window by window from the outside in, each window's
// left columns and then its right ones, left to right within each.
//
// Workers are fresh threads, and a thread's stack pages deeper than a few
// pages are handed back to the system when it ends: everything here stays
// small, so a frame does not pay for faulting them in and shooting them down
// again on every worker.
template <class L, Show S, Sampling P, class Samples>
void walkRows(KernelFrame const& f, Samples const samples, int firstRow, int endRow) {
  using M = typename Samples::Lanes;
  using F = typename L::F;
  constexpr int run = P == Sampling::Smooth ? 128 : 256;  // smooth keeps seven coordinates a pixel
  constexpr int chunk = 1024;
  constexpr int lanes = L::lanes;
  static_assert(run % lanes == 0 && run % M::lanes == 0, "groups must tile a run");

  FrameLanes<L> const c(f);
  DisplacedMasks<M> const displaced(f.displaced);
  int const width = f.width;
  int const centre = f.centreColumn;
  BandScratch<L, P, run, chunk> scratch;
  RunCoordinates<run, P>& at = scratch.at;
  MirrorCache<L, chunk>& mirror = scratch.mirror;

  for (int y = firstRow; y < endRow; ++y) {
    RowLanes<L> const rowLanes = c.row(y);
    unsigned char const* plainRow = samples.row(rowLanes.plainRow);
    unsigned char* out = f.outData + static_cast<std::int64_t>(y) * f.outRowBytes;

    // Segments of consecutive columns, from .. to - 1. Groups that lie
    // wholly within the window's columns, on either side of the centre,
    // take what it holds.
    RowSegments segments(width, centre, f.mirrorReach, chunk, lanes);
    int from = 0;
    int to = 0;
    bool refill = false;
    while (segments.next(from, to, refill)) {
      if (refill)
        mirror.fill(c, rowLanes, centre, segments.lo, segments.hi);
      int const lo = segments.lo;
      int const hi = segments.hi;
      // (In 64 bits: without a window the centre may lie anywhere.)
      std::int64_t const rightFrom = std::int64_t{centre} + lo;
      std::int64_t const rightTo = std::int64_t{centre} + hi - lanes;  // last start of a group
      std::int64_t const leftFrom = std::int64_t{centre} - hi + 1;
      std::int64_t const leftTo = std::int64_t{centre} - lo - lanes + 1;
      // Counted in int: a float bound would stop short of the last columns
      // of rows wider than 2^24.
      for (int runStart = from; runStart < to; runStart += run) {
        int const runLength = to - runStart < run ? to - runStart : run;
        for (int i = 0; i < runLength; i += lanes) {
          int const x0 = runStart + i;
          F const xf = L::fromInt(L::iota(x0));
          Displacement<L> d;
          if (x0 >= rightFrom && x0 <= rightTo) {
            d.dxs = L::loadFloats(mirror.dxs + mirror.first + (x0 - centre - lo));
            d.ys = L::loadFloats(mirror.ys + mirror.first + (x0 - centre - lo));
            d.row = c.nearestRow(d.ys);
          } else if (x0 >= leftFrom && x0 <= leftTo && std::int64_t{x0} + lanes <= centre) {
            // Lane k is column x0 + k, the mirror image of centre - x0 - k.
            int const nearest = mirror.first + centre - x0 - (lanes - 1) - lo;
            d.dxs = L::negate(L::reverse(L::loadFloats(mirror.dxs + nearest)));
            d.ys = L::reverse(L::loadFloats(mirror.ys + nearest));
            d.row = c.nearestRow(d.ys);
          } else {
            d = displacement<L>(c, rowLanes, xf);
          }
          L::storeInts(at.plainColumn + i, L::truncInt(L::sub(xf, c.offsetX)));
          if constexpr (P == Sampling::Nearest) {
            L::storeInts(at.column + i, sampleColumn<L>(c, d));
            L::storeInts(at.row + i, d.row);
          } else {
            SmoothPoint<L> const p = smoothPoint<L>(c, d);
            L::storeInts(at.column + i, p.x0);
            L::storeInts(at.x1 + i, p.x1);
            L::storeInts(at.row + i, p.y0);
            L::storeInts(at.y1 + i, p.y1);
            L::storeFloats(at.fx + i, p.fx);
            L::storeFloats(at.fy + i, p.fy);
          }
          // Away from the centre row, displaced samples wander across input
          // rows that the hardware prefetchers do not follow. This row's
          // gathers fetch their own lines; the next output row reads about
          // one input row further on, so its line is asked for now. (Written
          // here, not in a helper: GCC takes a function that only prefetches
          // for one without effects and drops its calls.)
          int nextRow = at.row[i] + 1;
          if constexpr (P == Sampling::Smooth)
            nextRow = at.y1[i] + 1;
          if (unsigned char const* p = samples.address(at.column[i], nextRow))
            __builtin_prefetch(p, 0, 3);
        }
        storeRun<M, S, P>(samples, displaced, plainRow, at, runLength, out + std::int64_t{16} * runStart);
      }
    }
  }
}

template <class L, Sampling P, class Samples>
void walkRowsByShow(KernelFrame const& f, Samples const& samples, int firstRow, int endRow) {
  byShow(f.show, [&](auto show) { walkRows<L, decltype(show)::value, P>(f, samples, firstRow, endRow); });
}

template <class L, Sampling P>
void walkRowsSampled(KernelFrame const& f, int firstRow, int endRow) {
  if (!f.inBytes) {
    // Smooth samples are mixed channel by channel, in L's own lanes.
    using FloatLanes = std::conditional_t<P == Sampling::Nearest, typename L::Rgba32Lanes, L>;
    walkRowsByShow<L, P>(f, PointerSamples<FloatLanes, false>(f), firstRow, endRow);
    return;
  }
  if constexpr (L::gathers) {
    if (f.gatherBytes) {
      walkRowsByShow<L, P>(f, GatheredByteSamples<L>(f), firstRow, endRow);
      return;
    }
  }
  walkRowsByShow<L, P>(f, PointerSamples<L, true>(f), firstRow, endRow);
}

// Mode Spectrum: every sample is mixed channel by channel, in L's own lanes.
template <class L, Sampling P>
void walkSpectrumSampled(KernelFrame const& f, int firstRow, int endRow) {
  if (!f.inBytes) {
    if constexpr (L::gathers) {
      if (f.gatherFloats) {
        walkSpectrumByShow<L, P>(f, GatheredFloatSamples<L>(f), firstRow, endRow);
        return;
      }
    }
    walkSpectrumByShow<L, P>(f, PointerSamples<L, false>(f), firstRow, endRow);
    return;
  }
  if constexpr (L::gathers) {
    if (f.gatherBytes) {
      walkSpectrumByShow<L, P>(f, GatheredByteSamples<L>(f), firstRow, endRow);
      return;
    }
  }
  walkSpectrumByShow<L, P>(f, PointerSamples<L, true>(f), firstRow, endRow);
}

// Rows firstRow .. endRow - 1 of a set-up frame on lane type L.
template <class L>
void processRowsOn(KernelFrame const& f, int firstRow, int endRow) {
  if (f.mode == Mode::Spectrum) {
    if (f.sampling == Sampling::Smooth)
      walkSpectrumSampled<L, Sampling::Smooth>(f, firstRow, endRow);
    else
      walkSpectrumSampled<L, Sampling::Nearest>(f, firstRow, endRow);
    return;
  }
  if (f.sampling == Sampling::Smooth)
    walkRowsSampled<L, Sampling::Smooth>(f, firstRow, endRow);
  else
    walkRowsSampled<L, Sampling::Nearest>(f, firstRow, endRow);
}

#endif
