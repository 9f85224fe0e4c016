// A small effect plug-in that exercises the host operations a real effect
// uses, so the stand-in host's driver can be tested without the product.
//
// Parameters: 1 "Point" (point), 2 "Choice" (popup), 3 "Gain" (float slider).
// Render copies the input into the output (8-bit ARGB worlds, rows through
// the host's iterate_generic) and stamps the parameter values it checked out
// into output pixel (0, 0): red = Choice, green = Point x, blue = Gain * 10.
#include <cstdint>
#include <cstring>
#include <new>

#include "suites/HostInterface.h"

#ifdef _WIN32
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

constexpr char kChoices[] = "One|Two|Three";

PF_Err paramsSetup(PF_InData* in, PF_OutData* out) {
  PF_ParamDef def{};
  def.param_type = PF_Param_POINT;
  in->utils->ansi.strcpy(def.name, "Point");
  def.u.td.x_value = def.u.td.x_dephault = 50 << 16;
  def.u.td.y_value = def.u.td.y_dephault = 50 << 16;
  def.uu.id = 2;
  if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) {
    return err;
  }
  def = PF_ParamDef{};
  def.param_type = PF_Param_POPUP;
  in->utils->ansi.strcpy(def.name, "Choice");
  def.u.pd.num_choices = 3;
  def.u.pd.dephault = 2;
  def.u.pd.value = 2;
  def.u.pd.u.namesptr = kChoices;
  def.uu.id = 3;
  if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) {
    return err;
  }
  def = PF_ParamDef{};
  def.param_type = PF_Param_FLOAT_SLIDER;
  in->utils->ansi.strcpy(def.name, "Gain");
  def.u.fs_d.value = 1.5;
  def.u.fs_d.dephault = 1.5f;
  def.uu.id = 4;
  if (PF_Err err = in->inter.add_param(in->effect_ref, -1, &def)) {
    return err;
  }
  out->num_params = 4;
  return PF_Err_NONE;
}

PF_Err globalSetup(PF_InData* in, PF_OutData* out) {
  out->my_version = 0x00100001;
  out->out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
  out->out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER;
  if (in->appl_id == kAppID_PremierePro) {
    void const* table = nullptr;
    if (in->pica_basicP->AcquireSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, &table) ==
        kSPNoError) {
      auto const* suite = static_cast<PF_PixelFormatSuite1 const*>(table);
      suite->ClearSupportedPixelFormats(in->effect_ref);
      suite->AddSupportedPixelFormat(in->effect_ref, PF_PixelFormat_BGRA32);
      in->pica_basicP->ReleaseSuite(kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1);
    }
  }
  return PF_Err_NONE;
}

PF_Err sequenceSetup(PF_InData* in, PF_OutData* out) {
  PF_Handle handle = in->utils->host_new_handle(4);
  if (handle == nullptr) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
  const int32_t seven = 7;
  std::memcpy(*handle, &seven, sizeof seven);
  out->sequence_data = handle;
  out->flat_sdata_size = 4;
  return PF_Err_NONE;
}

PF_Err sequenceSetdown(PF_InData* in, PF_OutData* out) {
  if (in->sequence_data != nullptr) {
    in->utils->host_dispose_handle(in->sequence_data);
  }
  out->sequence_data = nullptr;
  return PF_Err_NONE;
}

struct CopyRows {
  PF_EffectWorld const* src;
  PF_EffectWorld* dst;
};

PF_Err copyRow(void* refcon, A_long, A_long row, A_long) {
  auto const* job = static_cast<CopyRows const*>(refcon);
  const A_long width = job->src->width < job->dst->width ? job->src->width : job->dst->width;
  std::memcpy(reinterpret_cast<char*>(job->dst->data) + row * job->dst->rowbytes,
              reinterpret_cast<char const*>(job->src->data) + row * job->src->rowbytes,
              static_cast<size_t>(width) * sizeof(PF_Pixel));
  return PF_Err_NONE;
}

PF_Err renderFrame(PF_InData* in, PF_EffectWorld const* input, PF_EffectWorld* output) {
  PF_ParamDef params[4] = {};
  for (A_long i = 1; i <= 3; ++i) {
    in->inter.checkout_param(in->effect_ref, i, in->current_time, in->time_step, in->time_scale, &params[i]);
  }
  CopyRows job{input, output};
  const A_long rows = input->height < output->height ? input->height : output->height;
  PF_Err err = in->utils->iterate_generic(rows, &job, copyRow);
  if (err == PF_Err_NONE && output->width > 0 && output->height > 0) {
    PF_Pixel* stamp = output->data;
    stamp->red = static_cast<A_u_char>(params[2].u.pd.value);
    stamp->green = static_cast<A_u_char>(params[1].u.td.x_value >> 16);
    stamp->blue = static_cast<A_u_char>(params[3].u.fs_d.value * 10.0);
  }
  for (A_long i = 1; i <= 3; ++i) {
    const PF_Err checkin = in->inter.checkin_param(in->effect_ref, &params[i]);
    if (err == PF_Err_NONE) {
      err = checkin;
    }
  }
  return err;
}

void deleteOrigin(void* data) {
  delete[] static_cast<int32_t*>(data);
}

PF_Err smartPreRender(PF_InData* in, PF_PreRenderExtra* extra) {
  PF_RenderRequest request = extra->input->output_request;
  PF_CheckoutResult checkout{};
  const PF_Err err = extra->cb->checkout_layer(in->effect_ref, 0, 0, &request, in->current_time,
                                               in->time_step, in->time_scale, &checkout);
  if (err != PF_Err_NONE) {
    return err;
  }
  extra->output->result_rect = checkout.result_rect;
  extra->output->max_result_rect = checkout.max_result_rect;
  auto* origin = new (std::nothrow) int32_t[2]{checkout.result_rect.left, checkout.result_rect.top};
  if (origin == nullptr) {
    return PF_Err_OUT_OF_MEMORY;
  }
  extra->output->pre_render_data = origin;
  extra->output->delete_pre_render_data_func = deleteOrigin;
  return PF_Err_NONE;
}

PF_Err smartRender(PF_InData* in, PF_OutData* out, PF_SmartRenderExtra* extra) {
  PF_EffectWorld* input = nullptr;
  PF_EffectWorld* output = nullptr;
  if (PF_Err err = extra->cb->checkout_layer_pixels(in->effect_ref, 0, &input)) {
    return err;
  }
  if (PF_Err err = extra->cb->checkout_output(in->effect_ref, &output)) {
    return err;
  }
  auto const* origin = static_cast<int32_t const*>(extra->input->pre_render_data);
  in->utils->ansi.sprintf(out->return_msg, "origin %d %d", origin[0], origin[1]);
  return renderFrame(in, input, output);
}

}  // namespace

STUB_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB callback, SPBasicSuite*,
                                           char const*, char const*) {
  return callback(inPtr, reinterpret_cast<A_u_char const*>("Stub Effect"),
                  reinterpret_cast<A_u_char const*>("stub_effect"),
                  reinterpret_cast<A_u_char const*>("Tests"), reinterpret_cast<A_u_char const*>("EffectMain"),
                  0x65464B54, 13, 27, 8);
}

STUB_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[],
                              PF_LayerDef* output, void* extra) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
      in->utils->ansi.sprintf(out->return_msg, "%s, v%d.%d", "Stub Effect", 2, 0);
      return PF_Err_NONE;
    case PF_Cmd_GLOBAL_SETUP:
      return globalSetup(in, out);
    case PF_Cmd_PARAMS_SETUP:
      return paramsSetup(in, out);
    case PF_Cmd_SEQUENCE_SETUP:
      return sequenceSetup(in, out);
    case PF_Cmd_SEQUENCE_SETDOWN:
      return sequenceSetdown(in, out);
    case PF_Cmd_RENDER:
      return renderFrame(in, &params[0]->u.ld, output);
    case PF_Cmd_SMART_PRE_RENDER:
      return smartPreRender(in, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
      return smartRender(in, out, static_cast<PF_SmartRenderExtra*>(extra));
    default:
      return PF_Err_NONE;
  }
}
