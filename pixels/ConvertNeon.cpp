// The conversions four pixels at a time with NEON, part of every arm64
// processor (Apple silicon among them).

#include "render/InstructionSet.h"

#include "pixels/ConversionRuns.h"

#if ZF_NEON

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <arm_neon.h>

#include "pixels/ConversionBody.h"

namespace {

// The table lookup that moves the channels of every pixel of a 16-byte
// register whose channels are `Size` bytes wide.
template <int Order, int Size>
struct ChannelTable {
  std::uint8_t index[16];

  constexpr ChannelTable() : index() {
    for (int b = 0; b < 16; ++b) {
      int const pixel = b / (4 * Size);
      int const place = (b / Size) % 4;
      int const source = (Order >> (2 * place)) & 3;
      index[b] = static_cast<std::uint8_t>(pixel * 4 * Size + source * Size + b % Size);
    }
  }
};

struct NeonLanes {
  using F = float32x4_t;  // one pixel
  using Mask = uint32x4_t;
  static constexpr int blockPixels = 4;

  static F set1(float v) { return vdupq_n_f32(v); }
  static F mul(F a, F b) { return vmulq_f32(a, b); }
  static F add(F a, F b) { return vaddq_f32(a, b); }
  // NEON's own minimum and maximum turn NaN into NaN either way round.
  static F min(F a, F b) { return vbslq_f32(vcltq_f32(a, b), a, b); }
  static F max(F a, F b) { return vbslq_f32(vcgtq_f32(a, b), a, b); }

  static F wordsToFloats(uint16x4_t words) { return vcvtq_f32_u32(vmovl_u16(words)); }

  template <class In>
  static Block<F> load(unsigned char const* p) {
    if constexpr (std::is_same_v<In, float>) {
      float const* f = reinterpret_cast<float const*>(p);
      return {{vld1q_f32(f), vld1q_f32(f + 4), vld1q_f32(f + 8), vld1q_f32(f + 12)}};
    } else if constexpr (std::is_same_v<In, std::uint16_t>) {
      uint16_t const* w = reinterpret_cast<uint16_t const*>(p);
      uint16x8_t const first = vld1q_u16(w);
      uint16x8_t const second = vld1q_u16(w + 8);
      return {{wordsToFloats(vget_low_u16(first)), wordsToFloats(vget_high_u16(first)),
               wordsToFloats(vget_low_u16(second)), wordsToFloats(vget_high_u16(second))}};
    } else {
      uint8x16_t const bytes = vld1q_u8(p);
      uint16x8_t const first = vmovl_u8(vget_low_u8(bytes));
      uint16x8_t const second = vmovl_u8(vget_high_u8(bytes));
      return {{wordsToFloats(vget_low_u16(first)), wordsToFloats(vget_high_u16(first)),
               wordsToFloats(vget_low_u16(second)), wordsToFloats(vget_high_u16(second))}};
    }
  }

  template <int Order>
  static Block<F> reorder(Block<F> const& b) {
    static constexpr ChannelTable<Order, 4> table;
    uint8x16_t const index = vld1q_u8(table.index);
    Block<F> out;
    for (int i = 0; i < 4; ++i)
      out.v[i] = vreinterpretq_f32_u8(vqtbl1q_u8(vreinterpretq_u8_f32(b.v[i]), index));
    return out;
  }

  // Truncated toward zero. The conversion saturates and takes NaN to 0;
  // lanes that fit no int give 0 instead, whose low bits match x86's.
  static uint32x4_t truncated(F v) {
    Mask const fits =
        vandq_u32(vcgtq_f32(v, vdupq_n_f32(-2147483648.0f)), vcltq_f32(v, vdupq_n_f32(2147483648.0f)));
    return vandq_u32(vreinterpretq_u32_s32(vcvtq_s32_f32(v)), fits);
  }

  // Integer channels keep the low bits.
  template <class Out>
  static void store(unsigned char* p, Block<F> const& b) {
    if constexpr (std::is_same_v<Out, float>) {
      float* f = reinterpret_cast<float*>(p);
      for (int i = 0; i < 4; ++i)
        vst1q_f32(f + 4 * i, b.v[i]);
    } else {
      uint16x8_t const first = vcombine_u16(vmovn_u32(truncated(b.v[0])), vmovn_u32(truncated(b.v[1])));
      uint16x8_t const second = vcombine_u16(vmovn_u32(truncated(b.v[2])), vmovn_u32(truncated(b.v[3])));
      if constexpr (std::is_same_v<Out, std::uint16_t>) {
        uint16_t* w = reinterpret_cast<uint16_t*>(p);
        vst1q_u16(w, first);
        vst1q_u16(w + 8, second);
      } else {
        vst1q_u8(p, vcombine_u8(vmovn_u16(first), vmovn_u16(second)));
      }
    }
  }

  template <int Order>
  static void copyBytes(unsigned char const* s, unsigned char* d) {
    static constexpr ChannelTable<Order, 1> table;
    vst1q_u8(d, vqtbl1q_u8(vld1q_u8(s), vld1q_u8(table.index)));
  }
};

}  // namespace

PixelRun const* neonPixelRuns() {
  return pixelRuns<NeonLanes>;
}

#else

PixelRun const* neonPixelRuns() {
  return nullptr;
}

#endif
