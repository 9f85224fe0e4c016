// The aberration kernel.
//
// Results are bit-exact: saved projects and every build must give the same
// pixels, and a truncated sample coordinate moves by a whole pixel when a
// value changes in its last bit. So all arithmetic is 32-bit float in a fixed
// order, one operation per line where the order matters, with IEEE division
// and square root (no reciprocal multiplies) and no contraction into fused
// multiply-adds (-ffp-contract=off on every target).

#include "Kernel.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace {

// The Amount parameter's valid range; infinities are clamped to it.
constexpr float amountLimit = 100.0f;

// Any float from here on in magnitude is a whole number already.
constexpr float firstWholeFloat = 8388608.0f;  // 2^23

// Bounds of the int range as floats: every float in [intLow, intHigh)
// truncates to a representable int, and no other float does.
constexpr float intLow = -2147483648.0f;  // -2^31
constexpr float intHigh = 2147483648.0f;  // 2^31

void getInPixel(RenderData const* rd, int x, int y, float& r, float& g, float& b, float& a)
{
    ImageDesc const& in = rd->input;
    if (x < 0 || x >= in.width || y < 0 || y >= in.height) {
        r = g = b = a = 0.0f;
        return;
    }
    unsigned char const* row = in.data + static_cast<std::int64_t>(y) * static_cast<std::int64_t>(in.rowBytes);
    if (in.bitDepth == 8) {
        unsigned char const* p = row + 4 * static_cast<std::ptrdiff_t>(x);
        r = static_cast<float>(p[0]) / 255.0f;
        g = static_cast<float>(p[1]) / 255.0f;
        b = static_cast<float>(p[2]) / 255.0f;
        a = static_cast<float>(p[3]) / 255.0f;
    } else {
        float px[4];
        std::memcpy(px, row + 16 * static_cast<std::ptrdiff_t>(x), sizeof px);
        r = px[0];
        g = px[1];
        b = px[2];
        a = px[3];
    }
}

// A NaN Amount would make every sample coordinate NaN; it renders as no
// effect. Finite values pass unchanged.
float usableAmount(float amount)
{
    if (std::isnan(amount))
        return 0.0f;
    if (std::isinf(amount))
        return amount > 0.0f ? amountLimit : -amountLimit;
    return amount;
}

// float(trunc(v)) with trunc toward zero, defined for every float: beyond
// 2^23 the value is whole already, and NaN stays NaN.
float truncToWhole(float v)
{
    if (v > -firstWholeFloat && v < firstWholeFloat)
        return static_cast<float>(static_cast<int>(v));
    return v;
}

// trunc(v) as a pixel coordinate. NaN and values beyond the int range give
// -1, which lies outside every input.
int sampleCoordinate(float v)
{
    if (v >= intLow && v < intHigh)
        return static_cast<int>(v);
    return -1;
}

// One 16-byte store per pixel; left to itself the compiler splits the copy
// of a float[4] into two 8-byte stores.
inline void storePixel(unsigned char* dst, float const (&px)[4])
{
#if defined(__SSE__) || defined(_M_X64)
    _mm_storeu_ps(reinterpret_cast<float*>(dst), _mm_setr_ps(px[0], px[1], px[2], px[3]));
#else
    std::memcpy(dst, px, sizeof px);
#endif
}

float cornerDistance(float cx, float cy, float cornerX, float cornerY)
{
    float const dx = cx - cornerX;
    float const dy = cy - cornerY;
    float const dx2 = dx * dx;
    float const dy2 = dy * dy;
    float const sum = dx2 + dy2;
    return std::sqrt(sum);
}

}  // namespace

void process(RenderData const* rd, int firstRow, int endRow)
{
    int const width = rd->output.width;
    if (firstRow >= endRow || width <= 0)
        return;

    float const amount = usableAmount(rd->amount);
    float const offsetX = rd->inputOffsetX;
    float const offsetY = rd->inputOffsetY;
    int const scaling = rd->scaling;
    int const mode = rd->mode;
    int const show = rd->show;

    float const cx = static_cast<float>(rd->centerX);
    float const cy = static_cast<float>(rd->centerY);
    // The output is the frame at every resolution: a host delivers a reduced
    // frame together with a centre in reduced pixels.
    float const frameW = static_cast<float>(width);
    float const frameH = static_cast<float>(rd->output.height);

    float maxR = cornerDistance(cx, cy, 0.0f, 0.0f);
    maxR = std::max(maxR, cornerDistance(cx, cy, frameW, frameH));
    maxR = std::max(maxR, cornerDistance(cx, cy, 0.0f, frameH));
    maxR = std::max(maxR, cornerDistance(cx, cy, frameW, 0.0f));

    // Row centre is measured from the bottom edge; saved projects depend on this.
    float const cyEff = frameH - cy;

    std::int64_t const outRowBytes = rd->output.rowBytes;

    for (int y = firstRow; y < endRow; ++y) {
        float const yf = static_cast<float>(y);
        float const dy = yf - cyEff;
        float const dy2 = dy * dy;
        int const plainY = sampleCoordinate(yf - offsetY);
        unsigned char* out = rd->output.data + static_cast<std::int64_t>(y) * outRowBytes;

        // Counted in int: a float bound would stop short of the last columns
        // of rows wider than 2^24.
        for (int x = 0; x < width; ++x) {
            float const xf = static_cast<float>(x);
            float const dx = xf - cx;
            float const dx2 = dx * dx;
            float const r2 = dx2 + dy2;
            float const r = std::sqrt(r2);

            float g = amount;
            if (scaling == 1) {
                float const q = r / maxR;
                g = q * amount;
            } else if (scaling == 2) {
                float const q = r / maxR;
                float const qa = q * amount;
                g = qa * q;
            }
            float const k = g * 0.02f;
            float const s = amount >= 0.0f ? 1.0f + k : 1.0f - k;

            float const dxs = dx / s;
            float const xs = dxs + cx;
            float const dys = dy / s;
            float const ys = dys + cyEff;

            float r1, g1, b1, a1;
            getInPixel(rd, sampleCoordinate(xf - offsetX), plainY, r1, g1, b1, a1);

            float const wholeXs = truncToWhole(xs);
            float const wholeYs = truncToWhole(ys);
            float r2s, g2, b2, a2;
            getInPixel(rd, sampleCoordinate(wholeXs - offsetX), sampleCoordinate(wholeYs - offsetY),
                       r2s, g2, b2, a2);

            if (a1 == 0.0f)
                r1 = g1 = b1 = 0.0f;
            if (a2 == 0.0f)
                r2s = g2 = b2 = 0.0f;

            float red = r1;
            float green = g1;
            float blue = b1;
            bool const primary = amount >= 0.0f;
            switch (mode) {
            case 0:
                if (primary) {
                    red = r2s;
                } else {
                    green = g2;
                    blue = b2;
                }
                break;
            case 1:
                if (primary) {
                    green = g2;
                } else {
                    red = r2s;
                    blue = b2;
                }
                break;
            case 2:
                if (primary) {
                    blue = b2;
                } else {
                    red = r2s;
                    green = g2;
                }
                break;
            default:
                break;
            }

            float const aMax = std::max(a1, a2);
            float px[4] = {red, green, blue, aMax};
            switch (show) {
            case 1:
                px[3] = std::fabs(a1 - a2);
                break;
            case 2:
                px[3] = a1 * a2;
                break;
            case 3:
                px[0] = px[1] = px[2] = aMax;
                break;
            case 4: {
                float const f = aMax > 0.0f ? 1.0f : aMax;
                px[0] = px[1] = px[2] = px[3] = f;
                break;
            }
            default:
                break;
            }

            storePixel(out, px);
            out += sizeof px;
        }
    }
}
