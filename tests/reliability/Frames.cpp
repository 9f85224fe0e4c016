#include "Frames.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>

#include "ReferenceKernel.h"

namespace zfrel {

char const* nameOf(testhost::App app) {
  return app == testhost::App::PremierePro ? "Premiere Pro" : "After Effects";
}

void applyParams(testhost::Instance& instance, Params const& params) {
  instance.setPoint(kCenter, params.centerX, params.centerY);
  instance.setPopup(kMode, params.mode);
  instance.setPopup(kScaling, params.scaling);
  instance.setFloat(kAmount, params.amount);
  instance.setPopup(kShow, params.show);
}

bool sameRow(testhost::World const& a, testhost::World const& b, A_long y) {
  const std::size_t bytes =
      static_cast<std::size_t>(a.width()) * static_cast<std::size_t>(a.info().bytesPerPixel);
  return a.width() == b.width() && a.format() == b.format() && std::memcmp(a.row(y), b.row(y), bytes) == 0;
}

bool samePixels(testhost::World const& a, testhost::World const& b) {
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

std::string pixelDifference(testhost::World const& a, testhost::World const& b) {
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

float clampUnit(float v) {
  if (v > 1.0f) {
    return 1.0f;
  }
  return v > 0.0f ? v : 0.0f;
}

}  // namespace

void expectFloatFrame(testhost::World const& input, Params const& params, float offsetX, float offsetY,
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
  rd.centerX = params.record.centerX;
  rd.centerY = params.record.centerY;
  rd.mode = params.record.mode;
  rd.scaling = params.record.scaling;
  rd.show = params.record.show;
  rd.amount = params.record.amount;
  for (A_long y = 0; y < expected.height(); ++y) {
    for (A_long x = 0; x < expected.width(); ++x) {
      const RefPixel p = referencePixel(rd, x, y);
      expected.set(x, y, {clampUnit(p.a), clampUnit(p.r), clampUnit(p.g), clampUnit(p.b)});
    }
  }
}

}  // namespace zfrel
