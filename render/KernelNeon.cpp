// The NEON path, four pixels per vector: part of every arm64 processor, so
// chosen whenever the build is for arm64. NEON's division and square root
// are IEEE operations, like SSE's.

#include "InstructionSet.h"
#include "KernelFrame.h"

#if ZF_NEON

#include <climits>
#include <cstdint>

#include <arm_neon.h>

#include "KernelRows.h"

namespace {

struct NeonLanes {
  using F = float32x4_t;
  using I = int32x4_t;
  using Mask = uint32x4_t;
  static constexpr int lanes = 4;
  static constexpr bool gathers = false;
  using Rgba32Lanes = NeonLanes;
  using ChannelMask = bool;  // a channel is displaced in every lane or in none

  static F set1(float v) { return vdupq_n_f32(v); }
  static F add(F a, F b) { return vaddq_f32(a, b); }
  static F sub(F a, F b) { return vsubq_f32(a, b); }
  static F mul(F a, F b) { return vmulq_f32(a, b); }
  static F div(F a, F b) { return vdivq_f32(a, b); }
  static F sqrt(F a) { return vsqrtq_f32(a); }
  static F abs(F a) { return vabsq_f32(a); }
  static Mask less(F a, F b) { return vcltq_f32(a, b); }
  static Mask greater(F a, F b) { return vcgtq_f32(a, b); }
  static Mask both(Mask a, Mask b) { return vandq_u32(a, b); }
  static F select(Mask mask, F a, F b) { return vbslq_f32(mask, a, b); }
  static bool displacedMask(DisplacedChannels, bool taken) { return taken; }
  static F select(bool taken, F a, F b) { return taken ? a : b; }
  static I select(bool taken, I a, I b) { return taken ? a : b; }
  static F fromInt(I v) { return vcvtq_f32_s32(v); }
  // The conversion saturates and takes NaN to 0, which is a column; lanes
  // that do not fit an int give INT_MIN instead, as on x86.
  static I truncInt(F v) {
    Mask const fits = vandq_u32(vcgeq_f32(v, vdupq_n_f32(intLow)), vcltq_f32(v, vdupq_n_f32(intHigh)));
    return vbslq_s32(fits, vcvtq_s32_f32(v), vdupq_n_s32(INT_MIN));
  }
  static I iota(int x0) {
    std::int32_t const steps[4] = {0, 1, 2, 3};
    return vaddq_s32(vdupq_n_s32(x0), vld1q_s32(steps));
  }
  static I reverse(I v) {
    I const pairs = vrev64q_s32(v);
    return vextq_s32(pairs, pairs, 2);
  }
  static F reverse(F v) {
    F const pairs = vrev64q_f32(v);
    return vextq_f32(pairs, pairs, 2);
  }
  static F negate(F v) { return vnegq_f32(v); }
  static F loadFloats(float const* p) { return vld1q_f32(p); }
  static I loadInts(int const* p) { return vld1q_s32(p); }
  static void storeFloats(float* dst, F v) { vst1q_f32(dst, v); }
  static void storeInts(int* dst, I v) { vst1q_s32(dst, v); }

  static Mask isZero(F v) { return vceqq_f32(v, vdupq_n_f32(0.0f)); }
  static Mask isZero(I v) { return vceqq_s32(v, vdupq_n_s32(0)); }
  static F zeroWhere(Mask mask, F v) {
    return vreinterpretq_f32_u32(vbicq_u32(vreinterpretq_u32_f32(v), mask));
  }
  static I zeroWhere(Mask mask, I v) { return vbicq_s32(v, vreinterpretq_s32_u32(mask)); }
  // a2 only where a1 < a2, as std::max(a1, a2) chooses; NEON's own maximum
  // would turn a NaN alpha into NaN either way round.
  static F larger(F a1, F a2) { return vbslq_f32(vcltq_f32(a1, a2), a2, a1); }
  static I larger(I a1, I a2) { return vmaxq_s32(a1, a2); }

  static Rgba<F> loadPixels(unsigned char const* const* p) {
    float32x4x4_t v;
    v.val[0] = v.val[1] = v.val[2] = v.val[3] = vdupq_n_f32(0.0f);
    v = vld4q_lane_f32(reinterpret_cast<float const*>(p[0]), v, 0);
    v = vld4q_lane_f32(reinterpret_cast<float const*>(p[1]), v, 1);
    v = vld4q_lane_f32(reinterpret_cast<float const*>(p[2]), v, 2);
    v = vld4q_lane_f32(reinterpret_cast<float const*>(p[3]), v, 3);
    return {v.val[0], v.val[1], v.val[2], v.val[3]};
  }

  static I widen(uint8x8_t bytes) { return vreinterpretq_s32_u32(vmovl_u16(vget_low_u16(vmovl_u8(bytes)))); }

  static Rgba<I> loadBytePixels(unsigned char const* const* p) {
    uint8x8x4_t v;
    v.val[0] = v.val[1] = v.val[2] = v.val[3] = vdup_n_u8(0);
    v = vld4_lane_u8(p[0], v, 0);
    v = vld4_lane_u8(p[1], v, 1);
    v = vld4_lane_u8(p[2], v, 2);
    v = vld4_lane_u8(p[3], v, 3);
    return {widen(v.val[0]), widen(v.val[1]), widen(v.val[2]), widen(v.val[3])};
  }

  static void storePixels(unsigned char* dst, Rgba<F> const& px) {
    float32x4x4_t const v = {{px.r, px.g, px.b, px.a}};
    vst4q_f32(reinterpret_cast<float*>(dst), v);
  }
};

}  // namespace

void processRowsNeon(KernelFrame const& frame, int firstRow, int endRow) {
  processRowsOn<NeonLanes>(frame, firstRow, endRow);
}

#else

void processRowsNeon(KernelFrame const&, int, int) {}

#endif
