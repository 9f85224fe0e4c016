// The effect's parameters as a host sees them: their names, the size of the
// parameter array (the host supplies the input layer at 0) and popup
// values, which count from 1.
#ifndef ZF_TESTS_COMMON_EFFECTPARAMS_H
#define ZF_TESTS_COMMON_EFFECTPARAMS_H

#include "suites/HostInterface.h"
#include "testhost/Effect.h"

#include <cstddef>
#include <vector>

inline constexpr char kCenter[] = "Frame center";
inline constexpr char kMode[] = "Mode";
inline constexpr char kScaling[] = "Scaling";
inline constexpr char kAmount[] = "Amount";
inline constexpr char kShow[] = "Show";
inline constexpr char kSampling[] = "Sampling";
inline constexpr char kSpectrumSamples[] = "Spectrum samples";
// The host's parameter array: the input layer and the seven declared.
inline constexpr std::size_t kParamCount = 8;
inline constexpr long kCheckedOutParams = 7;

inline constexpr PF_ParamValue kRedCyan = 1;
inline constexpr PF_ParamValue kSpectrum = 4;
inline constexpr PF_ParamValue kLinear = 1;
inline constexpr PF_ParamValue kFinal = 1;
inline constexpr PF_ParamValue kNearest = 1;
inline constexpr PF_ParamValue kSmooth = 2;

// A project saved by an earlier version, which declared the parameters with
// disk ids 2 to lastDiskId: their definitions' values under their ids.
inline testhost::SavedParams savedBefore(std::vector<PF_ParamDef> const& defs, A_long lastDiskId) {
  testhost::SavedParams project;
  for (PF_ParamDef const& def : defs)
    if (def.uu.id >= 2 && def.uu.id <= lastDiskId)
      project[def.uu.id] = def;
  return project;
}

// A point value in 16.16 fixed point.
constexpr PF_Fixed pixels(int whole) {
  return whole * 65536;
}

#endif
