// The demo's test chart: sharp white and coloured lines on black and on grey,
// a radial star, inside a transparent border.
#ifndef ZF_TOOLS_PREVIEW_CHART_H
#define ZF_TOOLS_PREVIEW_CHART_H

#include <OpenImageIO/imagebuf.h>

namespace preview {

constexpr int kChartWidth = 640;
constexpr int kChartHeight = 360;
constexpr int kChartBorder = 16;

// Float RGBA; every value is 0, 0.5 or 1, so the chart is the same in every
// depth.
OIIO::ImageBuf makeChart(int width = kChartWidth, int height = kChartHeight);

}  // namespace preview

#endif
