#include "Chart.h"

#include <cmath>

#include <OpenImageIO/imagebufalgo.h>

#include "ImageFile.h"

namespace preview {
namespace {

struct Colour {
  float r, g, b;
};

constexpr Colour kWhite = {1, 1, 1};
constexpr Colour kLineColours[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
constexpr int kGridStep = 64;
constexpr int kStarSpokes = 36;

/* An opaque rectangle, x0 .. x1 - 1 by y0 .. y1 - 1. */
void fillRect(OIIO::ImageBuf& chart, int x0, int y0, int x1, int y1, Colour c) {
  const float values[4] = {c.r, c.g, c.b, 1.0f};
  OIIO::ImageBufAlgo::fill(chart, values, OIIO::ROI(x0, x1, y0, y1));
}

}  // namespace

OIIO::ImageBuf makeChart(int width, int height) {
  OIIO::ImageBuf chart = blankRgba(width, height, OIIO::TypeDesc::FLOAT);  // transparent black
  const int b = kChartBorder;
  const int left = b;
  const int top = b;
  const int right = width - b;
  const int bottom = height - b;
  const int middle = width / 2;

  // Black on the left, grey on the right: fringes read differently on each.
  fillRect(chart, left, top, middle, bottom, {0, 0, 0});
  fillRect(chart, middle, top, right, bottom, {0.5f, 0.5f, 0.5f});

  // One-pixel white grid.
  for (int x = left + kGridStep / 2; x < right; x += kGridStep) {
    fillRect(chart, x, top, x + 1, bottom, kWhite);
  }
  for (int y = top + kGridStep / 2; y < bottom; y += kGridStep) {
    fillRect(chart, left, y, right, y + 1, kWhite);
  }

  // Two-pixel coloured lines: horizontal near the top and bottom edges,
  // vertical near the left and right edges, where the displacement is largest.
  int i = 0;
  for (const Colour& c : kLineColours) {
    const int offset = 8 + 6 * i++;
    fillRect(chart, left, top + offset, right, top + offset + 2, c);
    fillRect(chart, left, bottom - offset - 2, right, bottom - offset, c);
    fillRect(chart, left + offset, top, left + offset + 2, bottom, c);
    fillRect(chart, right - offset - 2, top, right - offset, bottom, c);
  }

  // A radial star about the middle pixel: spokes one pixel wide, the
  // horizontal and vertical ones exactly on a row and a column.
  const double cx = width / 2 + 0.5;
  const double cy = height / 2 + 0.5;
  const double radius = 0.4 * height;
  const double pi = std::acos(-1.0);
  const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
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
        chart.setpixel(x, y, white);
      }
    }
  }
  return chart;
}

}  // namespace preview
