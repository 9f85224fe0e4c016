#include "host/Params.h"

namespace {

/* The host reads a point's default as a percentage of the layer's width and
 * height: 50 puts the centre in the middle of any layer. */
constexpr PF_Fixed kCenterDefault = 50 * 65536;

/* Host popups count their values from 1, but the defaults stay 0 as they
 * always were: stored projects carry the parameter set as declared. */
constexpr A_short kPopupDefault = 0;

constexpr PF_FpShort kAmountLimit = 100.0f;

/* The popups refer to these by pointer for as long as the plug-in is loaded. */
constexpr A_char kModeChoices[] = "Red-Cyan|Green-Purple|Blue-Yellow";
constexpr A_char kScalingChoices[] = "linear|square|cubic";
constexpr A_char kShowChoices[] = "Final|Just CA|Without CA|Alpha|Full Alpha";

void describeCenter(PF_PointDef& td) {
  td.x_value = kCenterDefault;
  td.y_value = kCenterDefault;
  td.x_dephault = kCenterDefault;
  td.y_dephault = kCenterDefault;
  // The centre may be dragged off the layer.
  td.restrict_bounds = false;
}

void describePopup(const ParamDecl& decl, PF_PopupDef& pd) {
  pd.u.namesptr = decl.choices;
  pd.num_choices = decl.numChoices;
  pd.dephault = kPopupDefault;
  pd.value = kPopupDefault;
}

void describeAmount(PF_FloatSliderDef& fs) {
  fs.valid_min = -kAmountLimit;
  fs.valid_max = kAmountLimit;
  fs.slider_min = -kAmountLimit;
  fs.slider_max = kAmountLimit;
  fs.dephault = 0.0f;
  fs.value = 0.0;
  fs.precision = PF_Precision_HUNDREDTHS;
  fs.display_flags = PF_ValueDisplayFlag_NONE;
  fs.fs_flags = PF_FSliderFlag_NONE;
  fs.phase = 0.0;
  fs.curve_tolerance = 0.05f;
}

}  // namespace

/* "Show" declares all five views: with three, hosts would never offer
 * "Alpha" and "Full Alpha", which the renderer produces. Values 1 to 3 mean
 * the same either way. */
const ParamDecl kParamDecls[CA_NUM_PARAMS - 1] = {
    {CA_CENTER, PF_Param_POINT, "Frame center", CENTER_DISK_ID, nullptr, 0},
    {CA_MODE, PF_Param_POPUP, "Mode", MODE_DISK_ID, kModeChoices, 3},
    {CA_SCALING, PF_Param_POPUP, "Scaling", SCALING_DISK_ID, kScalingChoices, 3},
    {CA_AMOUNT, PF_Param_FLOAT_SLIDER, "Amount", AMOUNT_DISK_ID, nullptr, 0},
    {CA_SHOW, PF_Param_POPUP, "Show", SHOW_DISK_ID, kShowChoices, 5},
};

void describeParam(const ParamDecl& decl, PF_ParamDefUnion& u) {
  switch (decl.type) {
    case PF_Param_POINT:
      describeCenter(u.td);
      break;
    case PF_Param_POPUP:
      describePopup(decl, u.pd);
      break;
    case PF_Param_FLOAT_SLIDER:
      describeAmount(u.fs_d);
      break;
    default:
      break;
  }
}
