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

  Channels displaced(int const* columns, int const* rows) const {
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

  explicit GatheredByteSamples(KernelFrame const& f) : in(f) {}

  unsigned char const* row(int y) const { return in.row(y); }

  Channels plain(unsigned char const* rowData, int const* columns) const {
    return L::gatherRowBytes(rowData, columns, in.width);
  }

  Channels displaced(int const* columns, int const* rows) const {
    return L::gatherBytes(in.data, columns, rows, in.width, in.height,
                          static_cast<std::int32_t>(in.rowBytes));
  }

  // Where a sample lies, or null outside the input.
  unsigned char const* address(int column, int y) const {
    return in.inside(column, y) ? in.data + static_cast<std::int64_t>(y) * in.rowBytes + column * 4 : nullptr;
  }
};

// Rows firstRow .. endRow - 1, each in runs of up to `run` pixels: the
// coordinates of a whole run first, L::lanes pixels at a time, then its
// samples, merged and stored by the samples' lane type M. The last group of
// a row may reach past its end; those lanes are computed and dropped.
// Everything the loops read is a local copy (see InputImage).
template <class L, Show S, class Samples>
void walkRows(KernelFrame const& f, Samples const samples, int firstRow, int endRow) {
  using M = typename Samples::Lanes;
  constexpr int run = 256;
  static_assert(run % L::lanes == 0 && run % M::lanes == 0, "groups must tile a run");
  constexpr int firstToLast = L::lanes > 1 ? L::lanes - 1 : 1;  // lanes apart

  FrameLanes<L> const c(f);
  DisplacedMasks<M> const displaced(f.displaced);
  int const width = f.width;
  alignas(32) int plainColumn[run];
  alignas(32) int column[run];
  alignas(32) int row[run];

  for (int y = firstRow; y < endRow; ++y) {
    RowStart const start = c.rowStart(y);
    typename L::F const dy = L::set1(start.dy);
    typename L::F const dy2 = L::set1(start.dy2);
    unsigned char const* plainRow = samples.row(start.plainRow);
    unsigned char* out = f.outData + static_cast<std::int64_t>(y) * f.outRowBytes;

    // Counted in int: a float bound would stop short of the last columns
    // of rows wider than 2^24.
    for (int runStart = 0; runStart < width; runStart += run) {
      int const runLength = width - runStart < run ? width - runStart : run;
      // The long chain of divisions and square roots of one run does not
      // wait for the stores of the previous one.
      for (int i = 0; i < runLength; i += L::lanes) {
        SampleCoordinates<L> const k = sampleCoordinates<L>(c, dy, dy2, runStart + i);
        L::storeInts(plainColumn + i, k.plainColumn);
        L::storeInts(column + i, k.column);
        L::storeInts(row + i, k.row);
        // Displaced samples wander across input rows that the hardware
        // prefetchers do not follow; fetch the lines of the group's first
        // and last lanes while the rest of the run is computed. (Written
        // here, not in a helper: GCC takes a function that only prefetches
        // for one without effects and drops its calls.)
        for (int lane = i; lane < i + L::lanes; lane += firstToLast) {
          if (unsigned char const* p = samples.address(column[lane], row[lane]))
            __builtin_prefetch(p, 0, 3);
        }
      }

      for (int i = 0; i < runLength; i += M::lanes) {
        Rgba<typename M::F> const px = mergeSamples<M, S>(samples.plain(plainRow, plainColumn + i),
                                                          samples.displaced(column + i, row + i), displaced);
        if (runLength - i >= M::lanes) {
          M::storePixels(out, px);
          out += 16 * M::lanes;
        } else {
          alignas(32) unsigned char group[16 * M::lanes];
          M::storePixels(group, px);
          std::size_t const bytes = static_cast<std::size_t>(runLength - i) * 16;
          std::memcpy(out, group, bytes);
          out += bytes;
        }
      }
    }
  }
}

template <class L, class Samples>
void walkRowsByShow(KernelFrame const& f, Samples const& samples, int firstRow, int endRow) {
  switch (f.show) {
    case Show::Final:
      walkRows<L, Show::Final>(f, samples, firstRow, endRow);
      return;
    case Show::JustCA:
      walkRows<L, Show::JustCA>(f, samples, firstRow, endRow);
      return;
    case Show::WithoutCA:
      walkRows<L, Show::WithoutCA>(f, samples, firstRow, endRow);
      return;
    case Show::Alpha:
      walkRows<L, Show::Alpha>(f, samples, firstRow, endRow);
      return;
    case Show::FullAlpha:
      walkRows<L, Show::FullAlpha>(f, samples, firstRow, endRow);
      return;
  }
}

// Rows firstRow .. endRow - 1 of a set-up frame on lane type L.
template <class L>
void processRowsOn(KernelFrame const& f, int firstRow, int endRow) {
  if (!f.inBytes) {
    walkRowsByShow<L>(f, PointerSamples<typename L::Rgba32Lanes, false>(f), firstRow, endRow);
    return;
  }
  if constexpr (L::gathers) {
    if (f.gatherBytes) {
      walkRowsByShow<L>(f, GatheredByteSamples<L>(f), firstRow, endRow);
      return;
    }
  }
  walkRowsByShow<L>(f, PointerSamples<L, true>(f), firstRow, endRow);
}

#endif
