#include "Frames.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

#include "ReferenceKernel.h"

namespace zfrel {

const char* nameOf(Path path) {
  return path == Path::Plain ? "plain render" : "smart render";
}

const char* nameOf(testhost::App app) {
  return app == testhost::App::PremierePro ? "Premiere Pro" : "After Effects";
}

void applyParams(testhost::Instance& instance, const Params& params) {
  instance.setPoint(kCenter, params.centerX, params.centerY);
  instance.setPopup(kMode, params.mode);
  instance.setPopup(kScaling, params.scaling);
  instance.setFloat(kAmount, params.amount);
  instance.setPopup(kShow, params.show);
}

Session::Session(testhost::App app, const std::string& pluginPath, A_long layerWidth, A_long layerHeight)
    : host(app), effect(host, pluginPath) {
  effect.globalSetup();
  effect.paramsSetup();
  instance = std::make_unique<testhost::Instance>(effect, layerWidth, layerHeight);
  instance->sequenceSetup();
}

Session::~Session() {
  instance->sequenceSetdown();
}

std::string Session::imbalance() {
  std::ostringstream out;
  out << host.accountingReport();
  if (const long outstanding = instance->outstandingCheckouts()) {
    out << outstanding << " parameters of the instance still checked out\n";
  }
  const long held = instance->sequenceData() != nullptr ? 1 : 0;
  if (host.handleStats().live != held) {
    out << host.handleStats().live << " live handles, " << held << " held as sequence data\n";
  }
  if (host.liveHostWorlds() != 0) {
    out << host.liveHostWorlds() << " host worlds alive\n";
  }
  return out.str();
}

FrameResult renderFrame(testhost::Instance& instance, Path path, testhost::World& input,
                        testhost::World& output, const testhost::SmartRenderOptions& options) {
  FrameResult r;
  if (path == Path::Plain) {
    r.err = instance.render(input, output, options.hook).err;
    r.rendered = true;
    return r;
  }
  const testhost::SmartRenderResult s = instance.smartRender(input, output, options);
  r.rendered = s.rendered;
  r.err = s.preRender.command.err != PF_Err_NONE ? s.preRender.command.err : s.render.err;
  return r;
}

bool sameRow(const testhost::World& a, const testhost::World& b, A_long y) {
  const std::size_t bytes =
      static_cast<std::size_t>(a.width()) * static_cast<std::size_t>(a.info().bytesPerPixel);
  return a.width() == b.width() && a.format() == b.format() && std::memcmp(a.row(y), b.row(y), bytes) == 0;
}

bool samePixels(const testhost::World& a, const testhost::World& b) {
  if (a.height() != b.height()) {
    return false;
  }
  for (A_long y = 0; y < a.height(); ++y) {
    if (!sameRow(a, b, y)) {
      return false;
    }
  }
  return true;
}

std::string pixelDifference(const testhost::World& a, const testhost::World& b) {
  long count = 0;
  std::ostringstream first;
  for (A_long y = 0; y < a.height(); ++y) {
    for (A_long x = 0; x < a.width(); ++x) {
      const testhost::Channels p = a.get(x, y);
      const testhost::Channels q = b.get(x, y);
      if (p.alpha != q.alpha || p.red != q.red || p.green != q.green || p.blue != q.blue) {
        if (count++ == 0) {
          first << "first at (" << x << ", " << y << "): argb " << p.alpha << " " << p.red << " " << p.green
                << " " << p.blue << " against " << q.alpha << " " << q.red << " " << q.green << " " << q.blue;
        }
      }
    }
  }
  if (count == 0) {
    return "";
  }
  return std::to_string(count) + " pixels differ, " + first.str();
}

namespace {

/* The host hands popups over counting from 1; the renderer counts from 0,
 * and values outside its tables pass unchecked (wrapping, never overflowing). */
std::int32_t zeroBased(PF_ParamValue value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - 1u);
}

/* Amount reaches the renderer as float; doubles beyond float's range as
 * infinities. */
float asFloat(PF_FpLong value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) {
    return std::numeric_limits<float>::infinity();
  }
  if (value < -kMax) {
    return -std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}

float clampUnit(float v) {
  if (v > 1.0f) {
    return 1.0f;
  }
  return v > 0.0f ? v : 0.0f;
}

}  // namespace

void expectFloatFrame(const testhost::World& input, const Params& params, float offsetX, float offsetY,
                      testhost::World& expected) {
  std::vector<float> in(static_cast<std::size_t>(input.width()) * static_cast<std::size_t>(input.height()) *
                        4);
  for (A_long y = 0; y < input.height(); ++y) {
    for (A_long x = 0; x < input.width(); ++x) {
      const testhost::Channels c = input.get(x, y);
      float* p = &in[(static_cast<std::size_t>(y) * static_cast<std::size_t>(input.width()) +
                      static_cast<std::size_t>(x)) *
                     4];
      p[0] = static_cast<float>(c.red);
      p[1] = static_cast<float>(c.green);
      p[2] = static_cast<float>(c.blue);
      p[3] = static_cast<float>(c.alpha);
    }
  }
  RenderData rd{};
  rd.input.width = input.width();
  rd.input.height = input.height();
  rd.input.bitDepth = 32;
  rd.input.rowBytes = input.width() * 16;
  rd.input.data = reinterpret_cast<unsigned char*>(in.data());
  rd.output.width = expected.width();
  rd.output.height = expected.height();
  rd.output.bitDepth = 32;
  rd.output.rowBytes = expected.width() * 16;
  rd.inputOffsetX = offsetX;
  rd.inputOffsetY = offsetY;
  rd.centerX = params.centerX >> 16;
  rd.centerY = params.centerY >> 16;
  rd.mode = zeroBased(params.mode);
  rd.scaling = zeroBased(params.scaling);
  rd.show = zeroBased(params.show);
  rd.amount = asFloat(params.amount);
  for (A_long y = 0; y < expected.height(); ++y) {
    for (A_long x = 0; x < expected.width(); ++x) {
      const RefPixel p = referencePixel(rd, x, y);
      expected.set(x, y, {clampUnit(p.a), clampUnit(p.r), clampUnit(p.g), clampUnit(p.b)});
    }
  }
}

}  // namespace zfrel
