#include "Sheet.h"

#include <algorithm>

#include <OpenImageIO/imagebufalgo.h>

#include "Font.h"
#include "ImageFile.h"

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

// A tile shrunk by `factor` and laid over a checkerboard: colours clamped to
// 0..1 and weighted by alpha while averaged, so transparent pixels lend no
// colour.
OIIO::ImageBuf shownTile(const OIIO::ImageBuf& tile, int factor) {
  OIIO::ImageBuf floats;
  floats.copy(tile, OIIO::TypeDesc::FLOAT);
  OIIO::ImageBuf clamped = OIIO::ImageBufAlgo::clamp(floats, 0.0f, 1.0f);
  clamped.specmod().alpha_channel = 3;
  OIIO::ImageBuf premultiplied = OIIO::ImageBufAlgo::premult(clamped);
  int const width = ceilDiv(tile.spec().width, factor);
  int const height = ceilDiv(tile.spec().height, factor);
  OIIO::ImageBuf shrunk = factor == 1
                              ? premultiplied
                              : OIIO::ImageBufAlgo::resize(premultiplied, "box", 0.0f,
                                                           OIIO::ROI(0, width, 0, height, 0, 1, 0, 4));
  float const dark[4] = {0.22f, 0.22f, 0.22f, 1.0f};
  float const light[4] = {0.32f, 0.32f, 0.32f, 1.0f};
  OIIO::ImageBuf checker = blankRgba(width, height, OIIO::TypeDesc::FLOAT);
  OIIO::ImageBufAlgo::checker(checker, kChecker, kChecker, 1, light, dark);
  return OIIO::ImageBufAlgo::over(shrunk, checker);
}

}  // namespace

OIIO::ImageBuf composeSheet(std::vector<SheetTile> const& tiles, int columns, std::string const& title,
                            std::string const& subtitle) {
  int factor = 1;
  for (SheetTile const& t : tiles) {
    if (t.image.initialized()) {
      factor = std::max({factor, ceilDiv(t.image.spec().width, kMaxTileWidth),
                         ceilDiv(t.image.spec().height, kMaxTileHeight)});
    }
  }
  // A cell is as wide as the widest tile or label: labels never overprint.
  int cellWidth = 0;
  int tileHeight = 0;
  for (SheetTile const& t : tiles) {
    if (t.image.initialized()) {
      cellWidth = std::max(cellWidth, ceilDiv(t.image.spec().width, factor));
      tileHeight = std::max(tileHeight, ceilDiv(t.image.spec().height, factor));
    }
    cellWidth = std::max(cellWidth, textWidth(t.label, kLabelScale));
  }
  int const rows = ceilDiv(static_cast<int>(tiles.size()), columns);
  int const labelHeight = kGlyphHeight * kLabelScale + 8;
  int const titleHeight = kGlyphHeight * kTitleScale + 10 + kGlyphHeight * kLabelScale + 14;
  int const cellHeight = tileHeight + 6 + labelHeight;
  int const width = 2 * kMargin + std::max({columns * cellWidth + (columns - 1) * kGap,
                                            textWidth(title, kTitleScale), textWidth(subtitle, kLabelScale)});
  int const height = 2 * kMargin + titleHeight + rows * cellHeight + (rows - 1) * kGap;

  OIIO::ImageBuf sheet = blankRgba(width, height, OIIO::TypeDesc::FLOAT);
  float const background[4] = {kBackground.r, kBackground.g, kBackground.b, 1.0f};
  OIIO::ImageBufAlgo::fill(sheet, background);
  drawText(sheet, kMargin, kMargin, title, kTitleScale, kInk);
  drawText(sheet, kMargin, kMargin + kGlyphHeight * kTitleScale + 10, subtitle, kLabelScale, kDimInk);
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    int const column = static_cast<int>(i) % columns;
    int const row = static_cast<int>(i) / columns;
    int const left = kMargin + column * (cellWidth + kGap);
    int const top = kMargin + titleHeight + row * (cellHeight + kGap);
    if (tiles[i].image.initialized()) {
      OIIO::ImageBufAlgo::paste(sheet, left, top, 0, 0, shownTile(tiles[i].image, factor));
    }
    drawText(sheet, left, top + tileHeight + 6, tiles[i].label, kLabelScale, kInk);
  }
  OIIO::ImageBuf out;
  out.copy(sheet, OIIO::TypeDesc::UINT8);
  return out;
}

}  // namespace preview
