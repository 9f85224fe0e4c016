// The vector kernel, written once for every lane width. KernelSimd.cpp
// includes this file once per instruction set, inside a namespace that
// defines ZF_LANES_TARGET, the vector types F (floats) and I (ints), `lanes`,
// and the operations used below, each one IEEE operation per lane.
//
// Coordinates are computed for a run of pixels, `lanes` at a time, with
// exactly the operations and order of the scalar kernel (Kernel.cpp). The
// run is then sampled and merged: one pixel per 128-bit register (R, G, B,
// A) with SSE2, two per register with AVX2, and with AVX2 eight RGBA8 pixels
// at once as bytes.

namespace {

alignas(16) unsigned char const transparentPixel[16] = {};

// Whole-number part of v, as truncToWhole() gives it: lanes beyond 2^23 in
// magnitude and NaN lanes keep v.
ZF_LANES_TARGET inline F wholeOf(F v) {
  F const truncated = fromInt(truncInt(v));
  F const small = andMask(greater(v, fset1(-firstWholeFloat)), less(v, fset1(firstWholeFloat)));
  return select(small, truncated, v);
}

// The input pixel at p as R, G, B, A floats.
template <bool Bytes>
ZF_LANES_TARGET inline __m128 loadPixel(unsigned char const* p) {
  if (Bytes)
    return bytePixel(p);
  return _mm_loadu_ps(reinterpret_cast<float const*>(p));
}

// Transparent samples, the channel merge and the alpha by Show. `displaced`
// has all bits set in the colour lanes that come from the displaced sample.
template <int Show>
ZF_LANES_TARGET inline __m128 mergePixel(__m128 p1, __m128 p2, __m128 displaced) {
  __m128 const zero = _mm_setzero_ps();
  __m128 const colourLanes = _mm_castsi128_ps(_mm_setr_epi32(-1, -1, -1, 0));
  __m128 const alphaLane = _mm_castsi128_ps(_mm_setr_epi32(0, 0, 0, -1));

  __m128 const a1 = _mm_shuffle_ps(p1, p1, _MM_SHUFFLE(3, 3, 3, 3));
  __m128 const a2 = _mm_shuffle_ps(p2, p2, _MM_SHUFFLE(3, 3, 3, 3));
  p1 = _mm_andnot_ps(_mm_and_ps(_mm_cmpeq_ps(a1, zero), colourLanes), p1);
  p2 = _mm_andnot_ps(_mm_and_ps(_mm_cmpeq_ps(a2, zero), colourLanes), p2);
  __m128 const merged = _mm_or_ps(_mm_and_ps(displaced, p2), _mm_andnot_ps(displaced, p1));

  // max(a1, a2) as std::max gives it: a2 only when a1 < a2.
  __m128 const aMax = _mm_max_ps(a2, a1);
  __m128 alpha = aMax;
  if (Show == 1) {
    __m128 const signBit = _mm_set1_ps(-0.0f);
    alpha = _mm_andnot_ps(signBit, _mm_sub_ps(a1, a2));
  } else if (Show == 2) {
    alpha = _mm_mul_ps(a1, a2);
  } else if (Show == 3) {
    return aMax;
  } else if (Show == 4) {
    __m128 const positive = _mm_cmpgt_ps(aMax, zero);
    return _mm_or_ps(_mm_and_ps(positive, _mm_set1_ps(1.0f)), _mm_andnot_ps(positive, aMax));
  }
  return _mm_or_ps(_mm_and_ps(alphaLane, alpha), _mm_andnot_ps(alphaLane, merged));
}

#if ZF_LANES_PAIRS
// Two pixels at once, one in each 128-bit half; the same operations as
// mergePixel, which never mixes the halves.
template <bool Bytes>
ZF_LANES_TARGET inline __m256 loadPixelPair(unsigned char const* first, unsigned char const* second) {
  if (Bytes)
    return bytePixelPair(first, second);
  return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(reinterpret_cast<float const*>(first))),
                              _mm_loadu_ps(reinterpret_cast<float const*>(second)), 1);
}

template <int Show>
ZF_LANES_TARGET inline __m256 mergePixelPair(__m256 p1, __m256 p2, __m256 displaced) {
  __m256 const zero = _mm256_setzero_ps();
  __m256 const a1 = _mm256_shuffle_ps(p1, p1, _MM_SHUFFLE(3, 3, 3, 3));
  __m256 const a2 = _mm256_shuffle_ps(p2, p2, _MM_SHUFFLE(3, 3, 3, 3));
  // Colour lanes of a transparent sample become 0; its alpha stays as it is.
  p1 = _mm256_blend_ps(_mm256_andnot_ps(_mm256_cmp_ps(a1, zero, _CMP_EQ_OQ), p1), p1, 0x88);
  p2 = _mm256_blend_ps(_mm256_andnot_ps(_mm256_cmp_ps(a2, zero, _CMP_EQ_OQ), p2), p2, 0x88);
  __m256 const merged = _mm256_blendv_ps(p1, p2, displaced);

  __m256 const aMax = _mm256_max_ps(a2, a1);
  __m256 alpha = aMax;
  if (Show == 1) {
    alpha = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(a1, a2));
  } else if (Show == 2) {
    alpha = _mm256_mul_ps(a1, a2);
  } else if (Show == 3) {
    return aMax;
  } else if (Show == 4) {
    __m256 const positive = _mm256_cmp_ps(aMax, zero, _CMP_GT_OQ);
    return _mm256_blendv_ps(aMax, _mm256_set1_ps(1.0f), positive);
  }
  return _mm256_blend_ps(merged, alpha, 0x88);
}

// Eight RGBA8 pixels at once, merged as bytes before anything becomes a
// float. Byte to float (v / 255) is exact and increasing, so choosing a
// byte, zeroing the colour of a transparent sample, and taking the larger
// alpha give the same floats as doing so after the conversion; only the
// alpha of "Just CA" and "Without CA" needs both alphas as floats.
ZF_LANES_TARGET inline __m256 byteQuotients(__m256i values) {
  return _mm256_div_ps(_mm256_cvtepi32_ps(values), _mm256_set1_ps(255.0f));
}

// All bits set in the lanes of v that lie in [0, bound).
ZF_LANES_TARGET inline __m256i withinBound(__m256i v, __m256i bound) {
  return _mm256_andnot_si256(_mm256_cmpgt_epi32(_mm256_setzero_si256(), v), _mm256_cmpgt_epi32(bound, v));
}

// Eight plain samples of one input row, columns[0..7]: one load when they
// are consecutive and inside, as they are unless the offset is not whole.
ZF_LANES_TARGET inline __m256i plainOctet(unsigned char const* inputRow, int const* columns,
                                          __m256i widthBound) {
  __m256i const x = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(columns));
  __m256i const inside = withinBound(x, widthBound);
  __m256i const consecutive = _mm256_cmpeq_epi32(
      x, _mm256_add_epi32(_mm256_set1_epi32(columns[0]), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
  if (_mm256_movemask_epi8(_mm256_and_si256(inside, consecutive)) == -1)
    return _mm256_loadu_si256(reinterpret_cast<__m256i const*>(inputRow + std::ptrdiff_t{4} * columns[0]));
  return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<int const*>(inputRow), x,
                                     inside, 4);
}

// Eight displaced samples, gathered by byte offset from the input's start
// (KernelFrame::gatherBytes says the offsets fit); lanes outside read 0.
ZF_LANES_TARGET inline __m256i displacedOctet(unsigned char const* input, int const* columns, int const* rows,
                                              __m256i widthBound, __m256i heightBound, __m256i rowStride) {
  __m256i const x = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(columns));
  __m256i const y = _mm256_loadu_si256(reinterpret_cast<__m256i const*>(rows));
  __m256i const inside = _mm256_and_si256(withinBound(x, widthBound), withinBound(y, heightBound));
  __m256i const offset = _mm256_add_epi32(_mm256_mullo_epi32(y, rowStride), _mm256_slli_epi32(x, 2));
  return _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), reinterpret_cast<int const*>(input), offset,
                                     inside, 1);
}

// p1, p2: eight plain and eight displaced samples, one RGBA8 pixel per
// 32-bit lane (R in the low byte). displacedBytes: all bits set in the
// colour bytes taken from the displaced sample.
template <int Show>
ZF_LANES_TARGET inline void mergeByteOctet(__m256i p1, __m256i p2, __m256i displacedBytes,
                                           unsigned char* out) {
  __m256i const zero = _mm256_setzero_si256();
  __m256i const alphaByte = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  p1 = _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_and_si256(p1, alphaByte), zero), p1);
  p2 = _mm256_andnot_si256(_mm256_cmpeq_epi32(_mm256_and_si256(p2, alphaByte), zero), p2);
  __m256i const merged =
      _mm256_or_si256(_mm256_and_si256(displacedBytes, p2), _mm256_andnot_si256(displacedBytes, p1));
  __m256i const aMax = _mm256_and_si256(_mm256_max_epu8(p1, p2), alphaByte);

  __m256i words;
  if (Show == 3) {
    __m256i const spread = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3,
                                            3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
    words = _mm256_shuffle_epi8(aMax, spread);
  } else if (Show == 4) {
    // 1.0 in every channel wherever the larger alpha is above 0.
    words = _mm256_andnot_si256(_mm256_cmpeq_epi32(aMax, zero), _mm256_set1_epi32(-1));
  } else {
    words = _mm256_or_si256(_mm256_andnot_si256(alphaByte, merged), aMax);
  }

  __m256 alpha = _mm256_setzero_ps();
  if (Show == 1 || Show == 2) {
    __m256 const a1 = byteQuotients(_mm256_srli_epi32(p1, 24));
    __m256 const a2 = byteQuotients(_mm256_srli_epi32(p2, 24));
    if (Show == 1)
      alpha = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), _mm256_sub_ps(a1, a2));
    else
      alpha = _mm256_mul_ps(a1, a2);
  }

  __m128i const low = _mm256_castsi256_si128(words);
  __m128i const high = _mm256_extracti128_si256(words, 1);
  __m128i const pairs[4] = {low, _mm_unpackhi_epi64(low, low), high, _mm_unpackhi_epi64(high, high)};
  for (int k = 0; k < 4; ++k) {
    __m256 px = byteQuotients(_mm256_cvtepu8_epi32(pairs[k]));
    if (Show == 1 || Show == 2) {
      __m256i const pairAlpha =
          _mm256_setr_epi32(2 * k, 2 * k, 2 * k, 2 * k, 2 * k + 1, 2 * k + 1, 2 * k + 1, 2 * k + 1);
      px = _mm256_blend_ps(px, _mm256_permutevar8x32_ps(alpha, pairAlpha), 0x88);
    }
    _mm256_storeu_ps(reinterpret_cast<float*>(out + 32 * k), px);
  }
}
#endif

template <int Show, bool Bytes>
ZF_LANES_TARGET void rows(KernelFrame const& f, __m128 displaced, int firstRow, int endRow) {
  std::ptrdiff_t const pixelBytes = Bytes ? 4 : 16;
  bool const positive = f.amount >= 0.0f;
  int const scaling = f.scaling;
  auto const inWidth = static_cast<unsigned>(f.inWidth);
  auto const inHeight = static_cast<unsigned>(f.inHeight);

  F const cx = fset1(f.cx);
  F const cyEff = fset1(f.cyEff);
  F const maxR = fset1(f.maxR);
  F const amount = fset1(f.amount);
  F const offsetX = fset1(f.offsetX);
  F const offsetY = fset1(f.offsetY);
  F const one = fset1(1.0f);
  F const fiftieth = fset1(0.02f);

  // Coordinates for a run of pixels first, then the samples: the long
  // chain of divisions and square roots of one run does not wait for the
  // stores of the previous one.
  constexpr int run = 256;
#if ZF_LANES_PAIRS
  __m256i const displacedBytes = displacedByteLanes(displaced);
#endif
  alignas(32) int plainColumn[run];
  alignas(32) int column[run];
  alignas(32) int row[run];

  for (int y = firstRow; y < endRow; ++y) {
    float const yf = static_cast<float>(y);
    float const dyScalar = yf - f.cyEff;
    F const dy = fset1(dyScalar);
    F const dy2 = fset1(dyScalar * dyScalar);
    int const plainY = sampleCoordinate(yf - f.offsetY);
    bool const plainRowInside = static_cast<unsigned>(plainY) < inHeight;
    unsigned char const* plainRow =
        plainRowInside ? f.inData + static_cast<std::int64_t>(plainY) * f.inRowBytes : f.inData;
    unsigned char* out = f.outData + static_cast<std::int64_t>(y) * f.outRowBytes;

    for (int runStart = 0; runStart < f.width; runStart += run) {
      int const runLength = f.width - runStart < run ? f.width - runStart : run;
      for (int i = 0; i < runLength; i += lanes) {
        F const xf = fromInt(iota(runStart + i));
        F const dx = fsub(xf, cx);
        F const dx2 = fmul(dx, dx);
        F const r2 = fadd(dx2, dy2);
        F const r = fsqrt(r2);

        F g = amount;
        if (scaling == 1) {
          F const q = fdiv(r, maxR);
          g = fmul(q, amount);
        } else if (scaling == 2) {
          F const q = fdiv(r, maxR);
          F const qa = fmul(q, amount);
          g = fmul(qa, q);
        }
        F const k = fmul(g, fiftieth);
        F const s = positive ? fadd(one, k) : fsub(one, k);

        F const dxs = fdiv(dx, s);
        F const xs = fadd(dxs, cx);
        F const dys = fdiv(dy, s);
        F const ys = fadd(dys, cyEff);

        storeInts(plainColumn + i, truncInt(fsub(xf, offsetX)));
        storeInts(column + i, truncInt(fsub(wholeOf(xs), offsetX)));
        storeInts(row + i, truncInt(fsub(wholeOf(ys), offsetY)));

        // Displaced samples wander across input rows that the
        // hardware prefetchers do not follow; fetch the lines of the
        // first and last lane while the rest of the run is computed.
        for (int lane = i; lane < i + lanes; lane += lanes - 1) {
          if (static_cast<unsigned>(column[lane]) < inWidth && static_cast<unsigned>(row[lane]) < inHeight)
            _mm_prefetch(
                reinterpret_cast<char const*>(f.inData + static_cast<std::int64_t>(row[lane]) * f.inRowBytes +
                                              column[lane] * pixelBytes),
                _MM_HINT_T0);
        }
      }

      // Samples outside the input read a transparent pixel instead.
      auto plainSample = [&](int i) {
        bool const inside = plainRowInside && static_cast<unsigned>(plainColumn[i]) < inWidth;
        return inside ? plainRow + plainColumn[i] * pixelBytes : transparentPixel;
      };
      auto displacedSample = [&](int i) {
        bool const inside =
            static_cast<unsigned>(column[i]) < inWidth && static_cast<unsigned>(row[i]) < inHeight;
        return inside ? f.inData + static_cast<std::int64_t>(row[i]) * f.inRowBytes + column[i] * pixelBytes
                      : transparentPixel;
      };
      int i = 0;
#if ZF_LANES_PAIRS
      if constexpr (Bytes) {
        if (f.gatherBytes) {
          __m256i const widthBound = _mm256_set1_epi32(f.inWidth);
          __m256i const heightBound = _mm256_set1_epi32(f.inHeight);
          __m256i const rowStride = _mm256_set1_epi32(static_cast<int>(f.inRowBytes));
          for (; i + 8 <= runLength; i += 8) {
            __m256i const p1 =
                plainRowInside ? plainOctet(plainRow, plainColumn + i, widthBound) : _mm256_setzero_si256();
            __m256i const p2 =
                displacedOctet(f.inData, column + i, row + i, widthBound, heightBound, rowStride);
            mergeByteOctet<Show>(p1, p2, displacedBytes, out);
            out += 128;
          }
        }
      }
      __m256 const displacedPair = _mm256_set_m128(displaced, displaced);
      for (; i + 1 < runLength; i += 2) {
        __m256 const p1 = loadPixelPair<Bytes>(plainSample(i), plainSample(i + 1));
        __m256 const p2 = loadPixelPair<Bytes>(displacedSample(i), displacedSample(i + 1));
        _mm256_storeu_ps(reinterpret_cast<float*>(out), mergePixelPair<Show>(p1, p2, displacedPair));
        out += 32;
      }
#endif
      for (; i < runLength; ++i) {
        __m128 const px = mergePixel<Show>(loadPixel<Bytes>(plainSample(i)),
                                           loadPixel<Bytes>(displacedSample(i)), displaced);
        _mm_storeu_ps(reinterpret_cast<float*>(out), px);
        out += 16;
      }
    }
  }
}

template <bool Bytes>
ZF_LANES_TARGET void rowsForShow(KernelFrame const& f, __m128 displaced, int firstRow, int endRow) {
  switch (f.show) {
    case 1:
      rows<1, Bytes>(f, displaced, firstRow, endRow);
      break;
    case 2:
      rows<2, Bytes>(f, displaced, firstRow, endRow);
      break;
    case 3:
      rows<3, Bytes>(f, displaced, firstRow, endRow);
      break;
    case 4:
      rows<4, Bytes>(f, displaced, firstRow, endRow);
      break;
    default:
      rows<0, Bytes>(f, displaced, firstRow, endRow);
      break;
  }
}

}  // namespace

ZF_LANES_TARGET void processRows(KernelFrame const& f, int firstRow, int endRow) {
  __m128 const displaced = displacedLanes(f.mode, f.amount >= 0.0f);
  if (f.inBytes)
    rowsForShow<true>(f, displaced, firstRow, endRow);
  else
    rowsForShow<false>(f, displaced, firstRow, endRow);
}
