#include "Sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Font.h"

namespace preview {
namespace {

constexpr int kMaxTileWidth = 640;
constexpr int kMaxTileHeight = 480;
constexpr int kMargin = 16;
constexpr int kGap = 16;
constexpr int kLabelScale = 2;
constexpr int kTitleScale = 3;
constexpr int kChecker = 8;
constexpr Rgb kBackground = {0.11f, 0.11f, 0.12f};
constexpr Rgb kInk = {0.92f, 0.92f, 0.92f};
constexpr Rgb kDimInk = {0.62f, 0.62f, 0.64f};

int ceilDiv(int a, int b) {
  return (a + b - 1) / b;
}

/* Averages factor x factor blocks (straight colour weighted by alpha, so
 * transparent pixels lend no colour) and lays the result over a checkerboard. */
void placeTile(Image& sheet, const Image& tile, int left, int top, int factor) {
  const int width = ceilDiv(tile.width, factor);
  const int height = ceilDiv(tile.height, factor);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      float sum[4] = {0, 0, 0, 0};
      int count = 0;
      for (int sy = y * factor; sy < std::min(tile.height, (y + 1) * factor); ++sy) {
        for (int sx = x * factor; sx < std::min(tile.width, (x + 1) * factor); ++sx) {
          const float a = std::clamp(tile.normalized(sx, sy, 3), 0.0f, 1.0f);
          for (int c = 0; c < 3; ++c) {
            sum[c] += std::clamp(tile.normalized(sx, sy, c), 0.0f, 1.0f) * a;
          }
          sum[3] += a;
          ++count;
        }
      }
      const float checker = ((x / kChecker + y / kChecker) % 2 == 0) ? 0.32f : 0.22f;
      const float alpha = sum[3] / static_cast<float>(count);
      float* out = &sheet.f32[sheet.sampleIndex(left + x, top + y)];
      for (int c = 0; c < 3; ++c) {
        // sum[c] / count is the premultiplied average: over the checker it needs no further weighting.
        out[c] = sum[c] / static_cast<float>(count) + checker * (1.0f - alpha);
      }
      out[3] = 1.0f;
    }
  }
}

}  // namespace

Image composeSheet(const std::vector<SheetTile>& tiles, int columns, const std::string& title,
                   const std::string& subtitle) {
  int factor = 1;
  int tileWidth = 0;
  int tileHeight = 0;
  for (const SheetTile& t : tiles) {
    factor =
        std::max({factor, ceilDiv(t.image.width, kMaxTileWidth), ceilDiv(t.image.height, kMaxTileHeight)});
  }
  for (const SheetTile& t : tiles) {
    tileWidth = std::max(tileWidth, ceilDiv(t.image.width, factor));
    tileHeight = std::max(tileHeight, ceilDiv(t.image.height, factor));
  }
  const int rows = ceilDiv(static_cast<int>(tiles.size()), columns);
  const int labelHeight = kGlyphHeight * kLabelScale + 8;
  const int titleHeight = kGlyphHeight * kTitleScale + 10 + kGlyphHeight * kLabelScale + 14;
  const int cellHeight = tileHeight + 6 + labelHeight;
  const int width = 2 * kMargin + std::max({columns * tileWidth + (columns - 1) * kGap,
                                            textWidth(title, kTitleScale), textWidth(subtitle, kLabelScale)});
  const int height = 2 * kMargin + titleHeight + rows * cellHeight + (rows - 1) * kGap;

  Image sheet = Image::blank(width, height, SampleType::F32);
  fillRect(sheet, 0, 0, width, height, kBackground);
  drawText(sheet, kMargin, kMargin, title, kTitleScale, kInk);
  drawText(sheet, kMargin, kMargin + kGlyphHeight * kTitleScale + 10, subtitle, kLabelScale, kDimInk);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    if (tiles[i].image.width == 0) {
      continue;
    }
    const int column = static_cast<int>(i) % columns;
    const int row = static_cast<int>(i) / columns;
    const int left = kMargin + column * (tileWidth + kGap);
    const int top = kMargin + titleHeight + row * (cellHeight + kGap);
    placeTile(sheet, tiles[i].image, left, top, factor);
    drawText(sheet, left, top + tileHeight + 6, tiles[i].label, kLabelScale, kInk);
  }

  Image out = Image::blank(width, height, SampleType::U8);
  for (std::size_t i = 0; i < out.u8.size(); ++i) {
    out.u8[i] = static_cast<std::uint8_t>(std::clamp(sheet.f32[i], 0.0f, 1.0f) * 255.0f + 0.5f);
  }
  return out;
}

}  // namespace preview
