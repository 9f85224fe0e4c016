#ifndef ZF_TESTS_RENDER_REFERENCEKERNEL_H
#define ZF_TESTS_RENDER_REFERENCEKERNEL_H

#include "render/RenderData.h"

// A plain, per-pixel rendition of the aberration formula, kept apart from the
// production kernel as the oracle it is checked against, both samplings
// included. It recomputes every frame constant for every pixel and never
// converts a float to an int before it knows the value lies inside the
// input.

struct RefPixel {
  float r, g, b, a;
};

// The output pixel (x, y) the formula gives for rd.
RefPixel referencePixel(RenderData const& rd, int x, int y);

// Writes every pixel of every row of rd.output (RGBA32).
void referenceRender(RenderData const& rd);

// Mode Spectrum (rd.mode 3) as a plain model: the sample points in 32-bit
// float as the rule gives them, each read like the displaced sample above,
// and the weights, sums and quotients in double. The kernel's float sums
// round differently, so the two agree to a tolerance, not to the bit.
struct ModelPixel {
  double r, g, b, a;
};
ModelPixel spectrumModelPixel(RenderData const& rd, int x, int y);

#endif
