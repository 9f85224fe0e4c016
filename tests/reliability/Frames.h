/* Frames, parameter values and renders shared by the reliability tests and
 * the fuzz target. Everything goes through the loaded plug-in and the
 * stand-in host, as After Effects or Premiere Pro would send it. */
#ifndef ZF_TESTS_RELIABILITY_FRAMES_H
#define ZF_TESTS_RELIABILITY_FRAMES_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "testhost/Effect.h"
#include "testhost/Host.h"
#include "testhost/World.h"

#include "EffectParams.h"
#include "WorldFill.h"

namespace zfrel {

enum class Path { Plain, Smart };
const char* nameOf(Path path);
const char* nameOf(testhost::App app);

/* Values as the host stores them: centre in 16.16 fixed point, popups from 1. */
struct Params {
  PF_Fixed centerX = 5 << 16;
  PF_Fixed centerY = 3 << 16;
  PF_ParamValue mode = 2;
  PF_ParamValue scaling = 2;
  PF_FpLong amount = 35.0;
  PF_ParamValue show = 1;
};
void applyParams(testhost::Instance& instance, const Params& params);

/* A loaded effect with one instance, set up as a host does before frames:
 * global setup, parameter setup, sequence setup. */
struct Session {
  Session(testhost::App app, const std::string& pluginPath, A_long layerWidth, A_long layerHeight);
  ~Session();

  /* What a host's books must show between commands: nothing left locked
   * or checked out, no handle alive but the instance's sequence data, every
   * suite released. An empty string when all is well. */
  std::string imbalance();

  testhost::Host host;
  testhost::Effect effect;
  std::unique_ptr<testhost::Instance> instance;
};

struct FrameResult {
  PF_Err err = PF_Err_NONE;  // the first failing command of the frame, or 0
  bool rendered = false;     // the (smart) render command was sent
};

/* One frame: PF_Cmd_RENDER; or smart pre-render, smart render (sent only
 * when the pre-render succeeded) and the deletion of the pre-render data. */
FrameResult renderFrame(testhost::Instance& instance, Path path, testhost::World& input,
                        testhost::World& output, const testhost::SmartRenderOptions& options = {});

/* Pixel bytes (not the padding) of row y, or of every row, are equal. */
bool sameRow(const testhost::World& a, const testhost::World& b, A_long y);
bool samePixels(const testhost::World& a, const testhost::World& b);
/* Where two worlds of one size and format differ: the count of differing
 * pixels, the first of them and its values; "" when they do not. */
std::string pixelDifference(const testhost::World& a, const testhost::World& b);

/* The frame the effect must produce from a float input (ARGB128 or either
 * float BGRA code) with the input's top left at (offsetX, offsetY) of the
 * output, worked out with the reference kernel of tests/render: the input
 * is taken as it is, parameter values are translated as the host hands them
 * over, and every channel of the result is clamped to 0..1. `expected`
 * gives the output's size and format. */
void expectFloatFrame(const testhost::World& input, const Params& params, float offsetX, float offsetY,
                      testhost::World& expected);

}  // namespace zfrel

#endif
