// Interact and smart-render callbacks: parameters, abort, progress, layer
// and output checkout.
#include <algorithm>

#include "testhost/HostState.h"

namespace testhost {
PF_ParamDef layerParamOf(World const* input) {
  PF_ParamDef def{};
  def.param_type = PF_Param_LAYER;
  if (input != nullptr) {
    def.u.ld = *input->record();
  }
  return def;
}

PF_Err HostState::addParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr || ctx->effect == nullptr || def == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_Err injected = faults_.addParam.next();
  if (injected != PF_Err_NONE) {
    return injected;
  }
  // Parameters are appended with index -1 and no other: an explicit index,
  // even the next one, is refused.
  if (index != PF_ParamIndex_NONE) {
    return PF_Err_INVALID_INDEX;
  }
  Effect& effect = *ctx->effect;
  std::lock_guard<std::mutex> lock(effect.mutex_);
  effect.defs_.push_back(*def);
  return PF_Err_NONE;
}

PF_Err HostState::checkoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                                A_long time_step, A_u_long time_scale, PF_ParamDef* param) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr || ctx->instance == nullptr || param == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_Err injected = faults_.checkoutParam.next();
  if (injected != PF_Err_NONE) {
    return injected;
  }
  Instance& instance = *ctx->instance;
  {
    std::lock_guard<std::mutex> lock(instance.mutex_);
    instance.adoptNewDefinitions();
    instance.checkoutLog_.push_back(ParamCheckout{index, what_time, time_step, time_scale});
    if (index == 0) {
      *param = layerParamOf(ctx->input);
    } else if (index > 0 && static_cast<size_t>(index) < instance.values_.size()) {
      *param = instance.valueAt(static_cast<size_t>(index), what_time, time_scale);
    } else {
      return PF_Err_INVALID_INDEX;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  checkedOut_.emplace(param, &instance);
  return PF_Err_NONE;
}

PF_Err HostState::checkinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr || param == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  {
    // A record counts as checked in even when the host then reports an
    // error: the plug-in cannot do anything more about it.
    std::lock_guard<std::mutex> lock(mutex_);
    auto const it = checkedOut_.find(param);
    if (it == checkedOut_.end()) {
      ++strayCheckins_;
    } else {
      checkedOut_.erase(it);
    }
  }
  return faults_.checkinParam.next();
}

PF_Err HostState::abortPoll(PF_ProgPtr effect_ref) {
  if (context(effect_ref) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return faults_.abort.next();
}

PF_Err HostState::progress(PF_ProgPtr effect_ref, A_long, A_long) {
  if (context(effect_ref) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++progressCalls_;
  return PF_Err_NONE;
}

PF_Err HostState::checkoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                                PF_RenderRequest const* req, A_long what_time, A_long time_step,
                                A_u_long time_scale, PF_CheckoutResult* result) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr || ctx->smart == nullptr || ctx->input == nullptr || req == nullptr ||
      result == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_Err injected = faults_.checkoutLayer.next();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ctx->layerCheckouts.push_back(LayerCheckout{index, checkout_id, *req, what_time, time_step, time_scale});
  }
  if (injected != PF_Err_NONE) {
    return injected;
  }
  if (index != 0) {
    return PF_Err_INVALID_INDEX;
  }
  SmartRenderOptions const& options = *ctx->smart;
  const PF_LRect whole{0, 0, ctx->input->width(), ctx->input->height()};
  *result = PF_CheckoutResult{};
  result->result_rect = options.setInputRect ? options.inputRect : whole;
  result->max_result_rect = options.setInputMaxRect ? options.inputMaxRect : result->result_rect;
  result->par = PF_RationalScale{1, 1};
  result->ref_width = ctx->input->width();
  result->ref_height = ctx->input->height();
  std::lock_guard<std::mutex> lock(mutex_);
  ctx->checkoutIds.push_back(checkout_id);
  return PF_Err_NONE;
}

PF_Err HostState::checkoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld** pixels) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr || pixels == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *pixels = nullptr;
  if (ctx->input == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++ctx->layerPixelCheckouts;
  const PF_Err injected = faults_.checkoutLayerPixels.next();
  if (injected != PF_Err_NONE) {
    return injected;
  }
  if (std::find(ctx->checkoutIds.begin(), ctx->checkoutIds.end(), checkout_id) == ctx->checkoutIds.end()) {
    return PF_Err_INVALID_INDEX;
  }
  *pixels = ctx->input->record();
  return PF_Err_NONE;
}

PF_Err HostState::checkinLayerPixels(PF_ProgPtr effect_ref, A_long) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++ctx->layerPixelCheckins;
  return PF_Err_NONE;
}

PF_Err HostState::checkoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
  CommandContext* ctx = context(effect_ref);
  if (ctx == nullptr || output == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *output = nullptr;
  if (ctx->output == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  ++ctx->outputCheckouts;
  const PF_Err injected = faults_.checkoutOutput.next();
  if (injected != PF_Err_NONE) {
    return injected;
  }
  *output = ctx->output->record();
  return PF_Err_NONE;
}

}  // namespace testhost
