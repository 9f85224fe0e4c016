#include "Chart.h"

#include <cmath>

namespace preview {
namespace {

struct Colour {
  float r, g, b;
};

constexpr Colour kWhite = {1, 1, 1};
constexpr Colour kLineColours[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
constexpr int kGridStep = 64;
constexpr int kStarSpokes = 36;

class Painter {
 public:
  explicit Painter(Image& image) : image_(image) {}

  void set(int x, int y, Colour c, float alpha = 1.0f) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) {
      return;
    }
    float* p = &image_.f32[image_.sampleIndex(x, y)];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = alpha;
  }

  void rect(int x0, int y0, int x1, int y1, Colour c) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        set(x, y, c);
      }
    }
  }

 private:
  Image& image_;
};

}  // namespace

Image makeChart(int width, int height) {
  Image chart = Image::blank(width, height, SampleType::F32);  // transparent black
  Painter paint(chart);
  const int b = kChartBorder;
  const int left = b;
  const int top = b;
  const int right = width - b;
  const int bottom = height - b;
  const int middle = width / 2;

  // Black on the left, grey on the right: fringes read differently on each.
  paint.rect(left, top, middle, bottom, {0, 0, 0});
  paint.rect(middle, top, right, bottom, {0.5f, 0.5f, 0.5f});

  // One-pixel white grid.
  for (int x = left + kGridStep / 2; x < right; x += kGridStep) {
    paint.rect(x, top, x + 1, bottom, kWhite);
  }
  for (int y = top + kGridStep / 2; y < bottom; y += kGridStep) {
    paint.rect(left, y, right, y + 1, kWhite);
  }

  // Two-pixel coloured lines: horizontal near the top and bottom edges,
  // vertical near the left and right edges, where the displacement is largest.
  int i = 0;
  for (const Colour& c : kLineColours) {
    const int offset = 8 + 6 * i++;
    paint.rect(left, top + offset, right, top + offset + 2, c);
    paint.rect(left, bottom - offset - 2, right, bottom - offset, c);
    paint.rect(left + offset, top, left + offset + 2, bottom, c);
    paint.rect(right - offset - 2, top, right - offset, bottom, c);
  }

  // A radial star about the middle pixel: spokes one pixel wide, the
  // horizontal and vertical ones exactly on a row and a column.
  const double cx = width / 2 + 0.5;
  const double cy = height / 2 + 0.5;
  const double radius = 0.4 * height;
  const double pi = std::acos(-1.0);
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const double dx = x + 0.5 - cx;
      const double dy = y + 0.5 - cy;
      const double r = std::hypot(dx, dy);
      if (r < 6.0 || r > radius) {
        continue;
      }
      const double step = 2.0 * pi / kStarSpokes;
      const double angle = std::atan2(dy, dx);
      const double nearest = std::round(angle / step) * step;
      // Distance from the nearest spoke's line.
      if (std::fabs(r * std::sin(angle - nearest)) < 0.5) {
        paint.set(x, y, kWhite);
      }
    }
  }
  return chart;
}

}  // namespace preview
