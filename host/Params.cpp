#include "host/Params.h"

namespace {

// The host reads a point's default as a percentage of the layer's width and
// height: 50 puts the centre in the middle of any layer.
constexpr PF_Fixed kCenterDefault = 50 * 65536;

// Host popups count their values from 1, but the first popups' defaults
// stay 0 as they always were: stored projects carry the parameter set as
// declared.
constexpr A_short kPopupDefault = 0;

// "Sampling" came later. Its default is "Nearest", the original look, and a
// project saved before it existed is told to load its value (also
// "Nearest"), whatever later versions choose as the default.
constexpr A_short kNearest = 1;

constexpr PF_FpShort kAmountLimit = 100.0f;

// "Spectrum samples" came later too: projects saved before it load 12,
// whatever later versions choose as the default.
constexpr PF_FpShort kSpectrumSamples = 12.0f;
constexpr PF_FpShort kFewestSamples = 3.0f;
constexpr PF_FpShort kMostSamples = 64.0f;
constexpr PF_FpShort kSliderSamples = 32.0f;

// The popups refer to these by pointer for as long as the plug-in is loaded.
constexpr A_char kModeChoices[] = "Red-Cyan|Green-Purple|Blue-Yellow|Spectrum";
constexpr A_char kScalingChoices[] = "linear|square|cubic";
constexpr A_char kShowChoices[] = "Final|Just CA|Without CA|Alpha|Full Alpha";
constexpr A_char kSamplingChoices[] = "Nearest|Smooth";

void describeCenter(PF_PointDef& td) {
  td.x_value = kCenterDefault;
  td.y_value = kCenterDefault;
  td.x_dephault = kCenterDefault;
  td.y_dephault = kCenterDefault;
  // The centre may be dragged off the layer.
  td.restrict_bounds = false;
}

void describePopup(ParamDecl const& decl, PF_PopupDef& pd) {
  pd.u.namesptr = decl.choices;
  pd.num_choices = decl.numChoices;
  pd.dephault = decl.popupDefault;
  pd.value = decl.popupDefault;
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

void describeSpectrumSamples(PF_FloatSliderDef& fs) {
  fs.valid_min = kFewestSamples;
  fs.valid_max = kMostSamples;
  fs.slider_min = kFewestSamples;
  fs.slider_max = kSliderSamples;
  fs.dephault = kSpectrumSamples;
  fs.value = kSpectrumSamples;
  fs.precision = PF_Precision_INTEGER;
  fs.display_flags = PF_ValueDisplayFlag_NONE;
  fs.fs_flags = PF_FSliderFlag_NONE;
}

}  // namespace

// "Show" declares all five views: with three, hosts would never offer
// "Alpha" and "Full Alpha", which the renderer produces. Values 1 to 3 mean
// the same either way.
const ParamDecl kParamDecls[CA_NUM_PARAMS - 1] = {
    {CA_CENTER, PF_Param_POINT, "Frame center", CENTER_DISK_ID, nullptr, 0, 0, PF_ParamFlag_NONE},
    {CA_MODE, PF_Param_POPUP, "Mode", MODE_DISK_ID, kModeChoices, 4, kPopupDefault, PF_ParamFlag_NONE},
    {CA_SCALING, PF_Param_POPUP, "Scaling", SCALING_DISK_ID, kScalingChoices, 3, kPopupDefault,
     PF_ParamFlag_NONE},
    {CA_AMOUNT, PF_Param_FLOAT_SLIDER, "Amount", AMOUNT_DISK_ID, nullptr, 0, 0, PF_ParamFlag_NONE},
    {CA_SHOW, PF_Param_POPUP, "Show", SHOW_DISK_ID, kShowChoices, 5, kPopupDefault, PF_ParamFlag_NONE},
    {CA_SAMPLING, PF_Param_POPUP, "Sampling", SAMPLING_DISK_ID, kSamplingChoices, 2, kNearest,
     PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS},
    {CA_SPECTRUM_SAMPLES, PF_Param_FLOAT_SLIDER, "Spectrum samples", SPECTRUM_SAMPLES_DISK_ID, nullptr, 0, 0,
     PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS},
};

void describeParam(ParamDecl const& decl, PF_ParamDefUnion& u) {
  switch (decl.type) {
    case PF_Param_POINT:
      describeCenter(u.td);
      break;
    case PF_Param_POPUP:
      describePopup(decl, u.pd);
      break;
    case PF_Param_FLOAT_SLIDER:
      if (decl.index == CA_SPECTRUM_SAMPLES) {
        describeSpectrumSamples(u.fs_d);
      } else {
        describeAmount(u.fs_d);
      }
      break;
    default:
      break;
  }
}
