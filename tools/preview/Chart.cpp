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

// An opaque rectangle, x0 .. x1 - 1 by y0 .. y1 - 1.
void fillRect(OIIO::ImageBuf& chart, int x0, int y0, int x1, int y1, Colour c) {
  float const values[4] = {c.r, c.g, c.b, 1.0f};
  OIIO::ImageBufAlgo::fill(chart, values, OIIO::ROI(x0, x1, y0, y1));
}

}  // namespace

OIIO::ImageBuf makeChart(int width, int height) {
  OIIO::ImageBuf chart = blankRgba(width, height, OIIO::TypeDesc::FLOAT);  // transparent black
  int const b = kChartBorder;
  int const left = b;
  int const top = b;
  int const right = width - b;
  int const bottom = height - b;
  int const middle = width / 2;

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
  for (Colour const& c : kLineColours) {
    int const offset = 8 + 6 * i++;
    fillRect(chart, left, top + offset, right, top + offset + 2, c);
    fillRect(chart, left, bottom - offset - 2, right, bottom - offset, c);
    fillRect(chart, left + offset, top, left + offset + 2, bottom, c);
    fillRect(chart, right - offset - 2, top, right - offset, bottom, c);
  }

  // A radial star about the middle pixel: spokes one pixel wide, the
  // horizontal and vertical ones exactly on a row and a column.
  double const cx = width / 2 + 0.5;
  double const cy = height / 2 + 0.5;
  double const radius = 0.4 * height;
  double const pi = std::acos(-1.0);
  float const white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      double const dx = x + 0.5 - cx;
      double const dy = y + 0.5 - cy;
      double const r = std::hypot(dx, dy);
      if (r < 6.0 || r > radius) {
        continue;
      }
      double const step = 2.0 * pi / kStarSpokes;
      double const angle = std::atan2(dy, dx);
      double const nearest = std::round(angle / step) * step;
      // Distance from the nearest spoke's line.
      if (std::fabs(r * std::sin(angle - nearest)) < 0.5) {
        chart.setpixel(x, y, white);
      }
    }
  }
  return chart;
}

}  // namespace preview
