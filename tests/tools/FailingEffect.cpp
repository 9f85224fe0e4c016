// An effect that sets up like the real one (the same five parameters) and
// then refuses to render: the smart render answers PF_Err_OUT_OF_MEMORY, the
// plain render PF_Interrupt_CANCEL with a message for the user. Lets the
// tool's report of plug-in errors be tested.
#include <cstring>

#include "suites/HostInterface.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

PF_Err addParam(PF_InData* in, PF_ParamType type, char const* name, A_long id) {
  PF_ParamDef def{};
  def.param_type = type;
  in->utils->ansi.strcpy(def.name, name);
  def.uu.id = id;
  if (type == PF_Param_POPUP) {
    def.u.pd.num_choices = 5;
    def.u.pd.u.namesptr = "A|B|C|D|E";
  }
  return in->inter.add_param(in->effect_ref, -1, &def);
}

PF_Err paramsSetup(PF_InData* in, PF_OutData* out) {
  const struct {
    PF_ParamType type;
    char const* name;
  } params[] = {{PF_Param_POINT, "Frame center"},
                {PF_Param_POPUP, "Mode"},
                {PF_Param_POPUP, "Scaling"},
                {PF_Param_FLOAT_SLIDER, "Amount"},
                {PF_Param_POPUP, "Show"}};
  A_long id = 2;
  for (auto const& p : params) {
    if (PF_Err err = addParam(in, p.type, p.name, id++)) {
      return err;
    }
  }
  out->num_params = 6;
  return PF_Err_NONE;
}

}  // namespace

STUB_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB callback, SPBasicSuite*,
                                           char const*, char const*) {
  return callback(inPtr, reinterpret_cast<A_u_char const*>("Failing Effect"),
                  reinterpret_cast<A_u_char const*>("failing_effect"),
                  reinterpret_cast<A_u_char const*>("Tests"), reinterpret_cast<A_u_char const*>("EffectMain"),
                  0x65464B54, 13, 27, 8);
}

STUB_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef*[], PF_LayerDef*,
                              void*) {
  switch (cmd) {
    case PF_Cmd_GLOBAL_SETUP:
      out->out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER;
      return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
      return paramsSetup(in, out);
    case PF_Cmd_SMART_RENDER:
      return PF_Err_OUT_OF_MEMORY;
    case PF_Cmd_RENDER:
      std::strcpy(out->return_msg, "Frame refused");
      out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
      return PF_Interrupt_CANCEL;
    default:
      return PF_Err_NONE;
  }
}
