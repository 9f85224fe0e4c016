#include "host/RenderEntry.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "suites/DirectSuite.h"

namespace {

static_assert((-1 >> 1) == -1, "centre conversion relies on an arithmetic right shift");

// 16.16 fixed point to whole pixels, rounded down: -0.5 px gives -1.
std::int32_t wholePixels(PF_Fixed value) {
  return value >> 16;
}

// Host popups count from 1, the renderer from 0. Values are not range-checked:
// the renderer treats anything outside its table as its default. Wrapping
// arithmetic keeps the most negative value from overflowing.
std::int32_t zeroBased(PF_ParamValue value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) - 1u);
}

// The nearest float. Finite values beyond float's range become infinities,
// as the hardware conversion gives them, instead of undefined behaviour.
float narrowAmount(PF_FpLong value) {
  constexpr double kFloatMax = std::numeric_limits<float>::max();
  if (value > kFloatMax) {
    return std::numeric_limits<float>::infinity();
  }
  if (value < -kFloatMax) {
    return -std::numeric_limits<float>::infinity();
  }
  return static_cast<float>(value);
}

// Spectrum samples as a whole count: halves round up, the valid range
// bounds it, and a value that is not a number of any size gives the
// default.
std::int32_t spectrumSamples(PF_FpLong value) {
  constexpr PF_FpLong kFewest = 3.0;
  constexpr PF_FpLong kMost = 64.0;
  if (!std::isfinite(value)) {
    return 12;
  }
  const PF_FpLong rounded = std::floor(value + 0.5);
  return static_cast<std::int32_t>(rounded < kFewest ? kFewest : rounded > kMost ? kMost : rounded);
}

bool isEmpty(PF_LRect const& r) {
  return !(r.left < r.right && r.top < r.bottom);
}

// Pre-render data: the input's origin, left then top, followed by the basic
// suite of the host that made the handle. The host calls the deletion
// function later, possibly on another thread and outside any command, when
// every suite of the pre-render has long been released; the basic suite
// outlives commands, and keeping it in the handle itself gives every handle
// back to the host that made it, without process-wide state, even when
// several hosts share the loaded library.
struct PreRenderOrigin {
  A_long left;
  A_long top;
  SPBasicSuite const* basic;
};

// Given to the host with the pre-render data: disposes of the handle through
// a Handle Suite acquired for the purpose.
void deletePreRenderOrigin(void* pre_render_data) {
  auto const handle = static_cast<PF_Handle>(pre_render_data);
  if (handle == nullptr || *handle == nullptr) {
    return;
  }
  // Locking needs the Handle Suite, which only the basic suite stored here
  // leads to: that one field is read through the master pointer. Nothing
  // else of the handle is needed to give it back.
  SPBasicSuite const* basic = nullptr;
  std::memcpy(&basic, static_cast<unsigned char const*>(*handle) + offsetof(PreRenderOrigin, basic),
              sizeof basic);
  if (basic == nullptr || basic->AcquireSuite == nullptr || basic->ReleaseSuite == nullptr) {
    return;
  }
  DirectSuite<PF_HandleSuite1> handles(basic, kPFHandleSuite, kPFHandleSuiteVersion2);
  handles.acquire();
  if (handles.get() != nullptr && handles.get()->host_dispose_handle != nullptr) {
    handles.get()->host_dispose_handle(handle);
  }
}

}  // namespace

ParamCheckout::~ParamCheckout() {
  checkIn();
}

PF_Err ParamCheckout::checkOut(PF_InData* in_data, PF_ParamIndex index) {
  auto def = std::make_unique<PF_ParamDef>();
  const PF_Err err = in_data->inter.checkout_param(in_data->effect_ref, index, in_data->current_time,
                                                   in_data->time_step, in_data->time_scale, def.get());
  if (err == PF_Err_NONE) {
    in_data_ = in_data;
    def_ = std::move(def);
  }
  return err;
}

PF_Err ParamCheckout::checkIn() {
  if (def_ == nullptr) {
    return PF_Err_NONE;
  }
  const PF_Err err = in_data_->inter.checkin_param(in_data_->effect_ref, def_.get());
  def_.reset();
  return err;
}

CheckedOutParams::CheckedOutParams(PF_InData* in_data) {
  for (PF_ParamIndex index = CA_CENTER; index < CA_NUM_PARAMS; ++index) {
    checkoutError_ = records_[index - CA_CENTER].checkOut(in_data, index);
    if (checkoutError_ != PF_Err_NONE) {
      break;
    }
  }
}

PF_Err CheckedOutParams::checkInAll() {
  PF_Err first = PF_Err_NONE;
  for (ParamCheckout& record : records_) {
    const PF_Err err = record.checkIn();
    if (first == PF_Err_NONE) {
      first = err;
    }
  }
  return first;
}

void fillParamFields(CheckedOutParams const& params, RenderData& rd) {
  PF_PointDef const& center = params[CA_CENTER].u.td;
  rd.centerX = wholePixels(center.x_value);
  rd.centerY = wholePixels(center.y_value);
  rd.mode = zeroBased(params[CA_MODE].u.pd.value);
  rd.scaling = zeroBased(params[CA_SCALING].u.pd.value);
  rd.amount = narrowAmount(params[CA_AMOUNT].u.fs_d.value);
  rd.show = zeroBased(params[CA_SHOW].u.pd.value);
  rd.sampling = zeroBased(params[CA_SAMPLING].u.pd.value);
  rd.spectrumSamples = spectrumSamples(params[CA_SPECTRUM_SAMPLES].u.fs_d.value);
}

void UnionLRect(PF_LRect const* src, PF_LRect* dst) {
  if (isEmpty(*dst)) {
    *dst = *src;
  } else if (!isEmpty(*src)) {
    dst->left = src->left < dst->left ? src->left : dst->left;
    dst->top = src->top < dst->top ? src->top : dst->top;
    dst->right = src->right > dst->right ? src->right : dst->right;
    dst->bottom = src->bottom > dst->bottom ? src->bottom : dst->bottom;
  }
}

PF_Err storePreRenderOrigin(SPBasicSuite const* basic, PF_HandleSuite1 const& handles,
                            PF_PreRenderOutput& output) {
  const PF_Handle handle = handles.host_new_handle(sizeof(PreRenderOrigin));
  if (handle == nullptr) {
    return PF_Err_OUT_OF_MEMORY;
  }
  void* memory = handles.host_lock_handle(handle);
  if (memory == nullptr) {
    // A handle without the origin in it would hand the smart render garbage offsets.
    handles.host_dispose_handle(handle);
    return PF_Err_OUT_OF_MEMORY;
  }
  const PreRenderOrigin origin = {output.result_rect.left, output.result_rect.top, basic};
  std::memcpy(memory, &origin, sizeof origin);
  handles.host_unlock_handle(handle);

  output.pre_render_data = handle;
  output.delete_pre_render_data_func = deletePreRenderOrigin;
  return PF_Err_NONE;
}

PF_Err readPreRenderOrigin(AEGP_SuiteHandler& suites, void* pre_render_data, RenderData& rd) {
  if (pre_render_data == nullptr) {
    return PF_Err_NONE;
  }
  PF_HandleSuite1 const* handles = suites.HandleSuite1();
  if (handles->host_lock_handle == nullptr || handles->host_unlock_handle == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  auto const handle = static_cast<PF_Handle>(pre_render_data);
  void const* memory = handles->host_lock_handle(handle);
  if (memory == nullptr) {
    // Rendering with offsets of 0 would shift an offset input silently.
    return PF_Err_OUT_OF_MEMORY;
  }
  A_long origin[2];
  std::memcpy(origin, memory, sizeof origin);
  handles->host_unlock_handle(handle);
  rd.inputOffsetX = static_cast<float>(origin[0]);
  rd.inputOffsetY = static_cast<float>(origin[1]);
  return PF_Err_NONE;
}
