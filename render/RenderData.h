#ifndef ZF_RENDER_RENDERDATA_H
#define ZF_RENDER_RENDERDATA_H

#include <cstdint>

struct PF_LayerDef;

// One RGBA image in memory. bitDepth 8 means RGBA8 (four bytes per pixel);
// any other value means RGBA32 (four floats per pixel). Row 0 is the top row.
struct ImageDesc {
  std::int32_t width = 0;
  std::int32_t height = 0;
  unsigned char* data = nullptr;
  std::int32_t bitDepth = 8;
  std::int32_t rowBytes = 0;
};

// Everything one render needs. A value-initialised record is the empty state
// the render entry starts from: both images empty, every number zero.
struct RenderData {
  ImageDesc input;
  ImageDesc output;
  PF_LayerDef* inputLayer = nullptr;
  float downsampleX = 0.0f;
  float downsampleY = 0.0f;
  // Output pixel (x, y) lies over input pixel (x - inputOffsetX, y - inputOffsetY).
  float inputOffsetX = 0.0f;
  float inputOffsetY = 0.0f;
  float amount = 0.0f;
  std::int32_t centerX = 0;
  std::int32_t centerY = 0;
  std::int32_t mode = 0;             // 0 Red-Cyan, 1 Green-Purple, 2 Blue-Yellow, 3 Spectrum
  std::int32_t scaling = 0;          // 0 linear, 1 square, 2 cubic
  std::int32_t show = 0;             // 0 Final, 1 Just CA, 2 Without CA, 3 Alpha, 4 Full Alpha
  std::int32_t sampling = 0;         // 0 Nearest, 1 Smooth
  std::int32_t spectrumSamples = 0;  // Spectrum: samples per pixel, 3 to 64 (others are clamped)
};

#endif
