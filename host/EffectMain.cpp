// The host's entry point and the command handlers behind it.
//
// Every handler starts with one check of the host records it relies on: a
// host that leaves one out gets PF_Err_BAD_CALLBACK_PARAM before anything is
// read or written.
#include <cstdint>
#include <cstring>
#include <mutex>

#include "host/EntryPoints.h"
#include "host/Identity.h"
#include "host/Params.h"
#include "host/RenderEntry.h"
#include "pixels/DoRender.h"
#include "render/RenderData.h"
#include "suites/HostInterface.h"
#include "suites/DirectSuite.h"
#include "suites/SuiteHandler.h"

static_assert(ZF_OUT_FLAGS ==
                  (PF_OutFlag_NON_PARAM_VARY | PF_OutFlag_USE_OUTPUT_EXTENT | PF_OutFlag_I_EXPAND_BUFFER |
                   PF_OutFlag_CUSTOM_UI | PF_OutFlag_DEEP_COLOR_AWARE),
              "ZF_OUT_FLAGS and the flags global setup declares must agree");
static_assert(ZF_OUT_FLAGS2 ==
                  (PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG | PF_OutFlag2_REVEALS_ZERO_ALPHA |
                   PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE |
                   PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT | PF_OutFlag2_SUPPORTS_THREADED_RENDERING),
              "ZF_OUT_FLAGS2 and the flags global setup declares must agree");

namespace {

// Second line of the About text.
constexpr char kCredits[] = "Written by the Zarnit team.\rColour fringes of a lens, after the fact.";
// "<name>, v<major>.<minor>\r<credits>" must fit the host's 256-byte message.
static_assert(ZF_MAJOR_VERSION < 10 && ZF_MINOR_VERSION < 10, "About text length assumes one-digit versions");
static_assert(sizeof(ZF_NAME) - 1 + sizeof(", v0.0\r") - 1 + sizeof(kCredits) - 1 <= 255,
              "About text exceeds the host's message buffer");

constexpr A_u_longlong kSequenceDataSize = 4;

// The formats announced to Premiere Pro, in this order.
constexpr PrPixelFormat kPremiereFormats[] = {PrPixelFormat_BGRA_4444_8u, PrPixelFormat_BGRA_4444_32f,
                                              PrPixelFormat_BGRA_4444_32f_Linear};
constexpr char kInternalError[] = "Internal Error";

// Renders are serialised here: at most one render driver runs in the process,
// however many host threads send frames.
std::mutex mtx;

bool isPremiere(PF_InData const* in_data) {
  return in_data->appl_id == kAppID_PremierePro;
}

bool basicSuiteUsable(SPBasicSuite const* basic) {
  return basic != nullptr && basic->AcquireSuite != nullptr && basic->ReleaseSuite != nullptr;
}

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
  if (in_data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (isPremiere(in_data)) {
    return PF_Err_NONE;
  }
  if (out_data == nullptr || !basicSuiteUsable(in_data->pica_basicP)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  AEGP_SuiteHandler suites(in_data->pica_basicP);
  PF_ANSICallbacksSuite1 const* ansi = suites.ANSICallbacksSuite1();
  if (ansi->sprintf == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  ansi->sprintf(out_data->return_msg, "%s, v%d.%d\r%s", ZF_NAME, ZF_MAJOR_VERSION, ZF_MINOR_VERSION,
                kCredits);
  return PF_Err_NONE;
}

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data) {
  if (in_data == nullptr || out_data == nullptr ||
      (isPremiere(in_data) && !basicSuiteUsable(in_data->pica_basicP))) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  out_data->my_version = ZF_VERSION;
  out_data->out_flags = ZF_OUT_FLAGS;
  out_data->out_flags2 = ZF_OUT_FLAGS2;
  if (!isPremiere(in_data)) {
    return PF_Err_NONE;
  }

  // Premiere Pro chooses among the announced formats, not by these flags.
  out_data->out_flags &= ~PF_OutFlag_DEEP_COLOR_AWARE;
  out_data->out_flags2 &= ~PF_OutFlag2_FLOAT_COLOR_AWARE;

  DirectSuite<PF_PixelFormatSuite1> pixelFormats(in_data->pica_basicP, kPFPixelFormatSuite,
                                                 kPFPixelFormatSuiteVersion1);
  pixelFormats.acquire();
  PF_PixelFormatSuite1 const* suite = pixelFormats.get();
  if (suite == nullptr) {
    return PF_Err_NONE;
  }
  if (suite->ClearSupportedPixelFormats == nullptr || suite->AddSupportedPixelFormat == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  // 8-bit BGRA keeps 8-bit sequences on the fast path; the two float BGRA
  // formats let deep sequences and footage render without dropping to 8
  // bits. Premiere Pro picks, per segment, the one that needs no conversion.
  // A refused announcement is no reason to refuse the effect.
  suite->ClearSupportedPixelFormats(in_data->effect_ref);
  for (const PrPixelFormat format : kPremiereFormats) {
    suite->AddSupportedPixelFormat(in_data->effect_ref, format);
  }
  return PF_Err_NONE;
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  if (in_data == nullptr || out_data == nullptr || in_data->utils == nullptr ||
      in_data->utils->ansi.strcpy == nullptr || in_data->inter.add_param == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  PF_ParamDef def;
  for (ParamDecl const& decl : kParamDecls) {
    std::memset(&def, 0, sizeof def);
    def.param_type = decl.type;
    def.flags = decl.flags;
    in_data->utils->ansi.strcpy(def.name, decl.name);
    describeParam(decl, def.u);
    def.uu.id = decl.diskId;
    if (const PF_Err err = in_data->inter.add_param(in_data->effect_ref, PF_ParamIndex_NONE, &def)) {
      return err;
    }
  }
  out_data->num_params = CA_NUM_PARAMS;
  return PF_Err_NONE;
}

// Sequence data: one signed 32-bit value per instance, 0 when made. It holds
// no pointers, so it is flat as it stands.
//
// Each path checks the callbacks it calls and no others: a host may leave out
// what a command will not use on its way (resetup of an instance that has its
// data, setdown of one that has none).
bool canMakeSequenceData(PF_InData const* in_data) {
  PF_UtilCallbacks const* utils = in_data->utils;
  return utils != nullptr && utils->host_new_handle != nullptr && utils->host_dispose_handle != nullptr &&
         utils->ansi.strcpy != nullptr;
}

bool canTrimSequenceData(PF_InData const* in_data) {
  PF_UtilCallbacks const* utils = in_data->utils;
  return utils != nullptr && utils->host_get_handle_size != nullptr && utils->host_resize_handle != nullptr;
}

PF_Err newSequenceData(PF_InData* in_data, PF_OutData* out_data) {
  PF_UtilCallbacks const& utils = *in_data->utils;
  PF_Handle handle = utils.host_new_handle(kSequenceDataSize);
  if (handle != nullptr && *handle == nullptr) {
    // A handle without memory behind it cannot hold the value.
    utils.host_dispose_handle(handle);
    handle = nullptr;
  }
  out_data->sequence_data = handle;
  if (handle == nullptr) {
    utils.ansi.strcpy(out_data->return_msg, kInternalError);
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
  out_data->flat_sdata_size = static_cast<A_long>(kSequenceDataSize);
  const std::int32_t initial = 0;
  std::memcpy(*handle, &initial, sizeof initial);
  return PF_Err_NONE;
}

// The host may hand back data of another size (an older project); it is cut
// to the size this build keeps, in place. A refused resize leaves the data as
// it was, which is still usable: nothing reads the value.
void trimSequenceData(PF_InData* in_data) {
  PF_UtilCallbacks const& utils = *in_data->utils;
  if (utils.host_get_handle_size(in_data->sequence_data) != kSequenceDataSize) {
    utils.host_resize_handle(kSequenceDataSize, &in_data->sequence_data);
  }
}

PF_Err SequenceSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                     PF_LayerDef* /*output*/) {
  if (in_data == nullptr || out_data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (in_data->sequence_data != nullptr) {
    if (!canTrimSequenceData(in_data)) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    trimSequenceData(in_data);
    return PF_Err_NONE;
  }
  if (!canMakeSequenceData(in_data)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return newSequenceData(in_data, out_data);
}

PF_Err SequenceResetup(PF_InData* in_data, PF_OutData* out_data) {
  if (in_data == nullptr || out_data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (in_data->sequence_data != nullptr) {
    return PF_Err_NONE;
  }
  if (!canMakeSequenceData(in_data)) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return newSequenceData(in_data, out_data);
}

PF_Err SequenceSetdown(PF_InData* in_data, PF_OutData* out_data) {
  if (in_data == nullptr || out_data == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (in_data->sequence_data == nullptr) {
    return PF_Err_NONE;
  }
  if (!canTrimSequenceData(in_data) || in_data->utils->host_dispose_handle == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  trimSequenceData(in_data);
  in_data->utils->host_dispose_handle(in_data->sequence_data);
  out_data->sequence_data = nullptr;
  in_data->sequence_data = nullptr;
  return PF_Err_NONE;
}

bool paramCallbacksUsable(PF_InData const* in_data) {
  return in_data != nullptr && basicSuiteUsable(in_data->pica_basicP) &&
         in_data->inter.checkout_param != nullptr && in_data->inter.checkin_param != nullptr;
}

// The render driver under the process-wide lock. An exception from the driver
// stops there, so the lock is released and the parameters are still checked
// in; it is reported as the host error it stands for rather than as a
// rendered frame.
PF_Err renderLocked(PF_InData* in_data, PF_OutData* out_data, RenderData* rd, PF_LayerDef* output) {
  std::lock_guard<std::mutex> lock(mtx);
  try {
    return doRender(in_data, out_data, rd, output);
  } catch (int err) {
    return err;
  } catch (...) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}

// Error precedence of both render paths: the first failed checkout, else the
// driver's error, else the first failed check-in.
PF_Err renderWithParams(PF_InData* in_data, PF_OutData* out_data, RenderData& rd, PF_LayerDef* output,
                        CheckedOutParams& params) {
  PF_Err err = params.checkoutError();
  if (err == PF_Err_NONE) {
    fillParamFields(params, rd);
    err = renderLocked(in_data, out_data, &rd, output);
  }
  const PF_Err checkinErr = params.checkInAll();
  return err != PF_Err_NONE ? err : checkinErr;
}

PF_Err Render(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output) {
  if (!paramCallbacksUsable(in_data) || params == nullptr || params[CA_INPUT] == nullptr ||
      output == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  CheckedOutParams checkedOut(in_data);
  RenderData rd{};
  rd.inputLayer = &params[CA_INPUT]->u.ld;
  return renderWithParams(in_data, out_data, rd, output, checkedOut);
}

PF_Err SmartPreRender(PF_InData* in_data, PF_PreRenderExtra* extra) {
  if (in_data == nullptr || !basicSuiteUsable(in_data->pica_basicP) || extra == nullptr ||
      extra->input == nullptr || extra->output == nullptr || extra->cb == nullptr ||
      extra->cb->checkout_layer == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  AEGP_SuiteHandler suites(in_data->pica_basicP);
  PF_HandleSuite1 const* handles = suites.HandleSuite1();
  if (handles->host_new_handle == nullptr || handles->host_lock_handle == nullptr ||
      handles->host_unlock_handle == nullptr || handles->host_dispose_handle == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }

  // The effect needs, and produces, the whole layer whatever the host asks for.
  const PF_LRect layer = {0, 0, in_data->width, in_data->height};
  PF_RenderRequest request = extra->input->output_request;
  request.rect = layer;

  PF_CheckoutResult checkout;
  std::memset(&checkout, 0, sizeof checkout);
  // The host is answered in full whatever the checkout's result.
  const PF_Err err =
      extra->cb->checkout_layer(in_data->effect_ref, CA_INPUT, 0, &request, in_data->current_time,
                                in_data->time_step, in_data->time_scale, &checkout);

  PF_PreRenderOutput& output = *extra->output;
  UnionLRect(&checkout.result_rect, &output.result_rect);
  UnionLRect(&checkout.max_result_rect, &output.max_result_rect);
  output.flags = PF_RenderOutputFlag_RETURNS_EXTRA_PIXELS;
  const PF_Err originErr = storePreRenderOrigin(in_data->pica_basicP, *handles, output);
  output.result_rect = layer;
  output.max_result_rect = layer;
  return err != PF_Err_NONE ? err : originErr;
}

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
  if (!paramCallbacksUsable(in_data) || extra == nullptr || extra->input == nullptr || extra->cb == nullptr ||
      extra->cb->checkout_layer_pixels == nullptr || extra->cb->checkout_output == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  AEGP_SuiteHandler suites(in_data->pica_basicP);

  PF_EffectWorld* inputWorld = nullptr;
  PF_EffectWorld* outputWorld = nullptr;
  if (const PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &inputWorld)) {
    return err;
  }
  if (const PF_Err err = extra->cb->checkout_output(in_data->effect_ref, &outputWorld)) {
    return err;
  }
  if (inputWorld == nullptr || outputWorld == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }

  CheckedOutParams checkedOut(in_data);
  RenderData rd{};
  rd.inputLayer = inputWorld;
  PF_Err err = checkedOut.checkoutError();
  if (err == PF_Err_NONE) {
    err = readPreRenderOrigin(suites, extra->input->pre_render_data, rd);
  }
  if (err != PF_Err_NONE) {
    checkedOut.checkInAll();
    return err;
  }
  return renderWithParams(in_data, out_data, rd, outputWorld, checkedOut);
}

}  // namespace

extern "C" PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                             PF_LayerDef* output, void* extra) {
  try {
    switch (cmd) {
      case PF_Cmd_ABOUT:
        return About(in_data, out_data);
      case PF_Cmd_GLOBAL_SETUP:
        return GlobalSetup(in_data, out_data);
      case PF_Cmd_PARAMS_SETUP:
        return ParamsSetup(in_data, out_data, params, output);
      case PF_Cmd_SEQUENCE_SETUP:
        return SequenceSetup(in_data, out_data, params, output);
      case PF_Cmd_SEQUENCE_RESETUP:
        return SequenceResetup(in_data, out_data);
      case PF_Cmd_SEQUENCE_SETDOWN:
        return SequenceSetdown(in_data, out_data);
      case PF_Cmd_RENDER:
        return Render(in_data, out_data, params, output);
      case PF_Cmd_SMART_PRE_RENDER:
        return SmartPreRender(in_data, static_cast<PF_PreRenderExtra*>(extra));
      case PF_Cmd_SMART_RENDER:
        return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
      default:
        // Every other command, known or not, succeeds without doing anything.
        return PF_Err_NONE;
    }
  } catch (int err) {
    return err;
  } catch (...) {
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}
