// Frames, parameter values and renders shared by the reliability tests and
// the fuzz target. Everything goes through the loaded plug-in and the
// stand-in host, as After Effects or Premiere Pro would send it.
#ifndef ZF_TESTS_RELIABILITY_FRAMES_H
#define ZF_TESTS_RELIABILITY_FRAMES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testhost/Effect.h"
#include "testhost/Host.h"
#include "testhost/LoadedEffect.h"
#include "testhost/World.h"

#include "EffectParams.h"
#include "WorldFill.h"

namespace zfrel {

using testhost::FrameResult;
using testhost::nameOf;
using testhost::renderFrame;
using testhost::RenderPath;
char const* nameOf(testhost::App app);

// Values as the host stores them: centre in 16.16 fixed point, popups from 1.
struct Params {
  PF_Fixed centerX = 5 << 16;
  PF_Fixed centerY = 3 << 16;
  PF_ParamValue mode = 2;
  PF_ParamValue scaling = 2;
  PF_FpLong amount = 35.0;
  PF_ParamValue show = 1;
  // What the renderer must be given for them, worked out by hand: the
  // centre in whole pixels rounded down, popups counting from 0, Amount as
  // the nearest float.
  struct Record {
    std::int32_t centerX = 5, centerY = 3, mode = 1, scaling = 1, show = 0;
    float amount = 35.0f;
  } record;
};
void applyParams(testhost::Instance& instance, Params const& params);

// A host with the plug-in loaded as it holds it between frames.
struct Session {
  Session(testhost::App app, std::string const& pluginPath, A_long layerWidth, A_long layerHeight)
      : host(app), loaded(host, pluginPath, layerWidth, layerHeight) {}
  std::string imbalance() const { return loaded.imbalance(); }

  testhost::Host host;
  testhost::LoadedEffect loaded;
  testhost::Effect& effect = loaded.effect();
  testhost::Instance& instance = loaded.instance();
};

// Pixel bytes (not the padding) of row y, or of every row, are equal.
bool sameRow(testhost::World const& a, testhost::World const& b, A_long y);
bool samePixels(testhost::World const& a, testhost::World const& b);
// Where two worlds of one size and format differ: the count of differing
// pixels, the first of them and its values; "" when they do not.
std::string pixelDifference(testhost::World const& a, testhost::World const& b);

// The frame the effect must produce from a float input (ARGB128 or either
// float BGRA code) with the input's top left at (offsetX, offsetY) of the
// output, worked out with the reference kernel of tests/render: the input
// is taken as it is, parameter values are translated as the host hands them
// over, and every channel of the result is clamped to 0..1. `expected`
// gives the output's size and format.
void expectFloatFrame(testhost::World const& input, Params const& params, float offsetX, float offsetY,
                      testhost::World& expected);

}  // namespace zfrel

#endif
