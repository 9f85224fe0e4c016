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

#endif
