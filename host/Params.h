// The effect's parameters: their positions in the host's parameter array,
// their disk ids and their definitions.
//
// Hosts store parameter values in projects under the disk ids, so ids,
// types, order and defaults must never change: a project saved with one
// build opens with every other.
#ifndef ZF_HOST_PARAMS_H
#define ZF_HOST_PARAMS_H

#include "suites/HostInterface.h"

// Positions in the host's parameter array; the host supplies the input
// layer at CA_INPUT itself.
enum ParamIndex : PF_ParamIndex {
  CA_INPUT = 0,
  CA_CENTER,
  CA_MODE,
  CA_SCALING,
  CA_AMOUNT,
  CA_SHOW,
  CA_SAMPLING,
  CA_SPECTRUM_SAMPLES,
  CA_NUM_PARAMS
};

// No parameter has disk id 1.
enum ParamDiskId : A_long {
  CENTER_DISK_ID = 2,
  MODE_DISK_ID = 3,
  SCALING_DISK_ID = 4,
  AMOUNT_DISK_ID = 5,
  SHOW_DISK_ID = 6,
  SAMPLING_DISK_ID = 7,
  SPECTRUM_SAMPLES_DISK_ID = 8
};

// One declared parameter. The type-specific part of the definition follows
// from `type` (there is one point and one float slider; popups differ only
// in their choices).
struct ParamDecl {
  ParamIndex index;
  PF_ParamType type;
  char const* name;
  A_long diskId;
  A_char const* choices;  // popups: '|'-separated, static for the plug-in's life
  A_short numChoices;     // popups
  A_short popupDefault;   // popups: dephault and value
  PF_ParamFlags flags;
};

// The declared parameters, in the order they are added.
extern const ParamDecl kParamDecls[CA_NUM_PARAMS - 1];

// Fills the type-specific part of a cleared definition (defaults, ranges,
// choices). The name and the disk id are the caller's: the name goes in
// through the host's own string copy.
void describeParam(ParamDecl const& decl, PF_ParamDefUnion& u);

#endif
