/* The effect's parameters as a host sees them: positions in the parameter
 * array (the host supplies the input layer at 0) and popup values, which
 * count from 1. */
#ifndef ZF_TESTS_COMMON_EFFECTPARAMS_H
#define ZF_TESTS_COMMON_EFFECTPARAMS_H

#include "suites/HostInterface.h"

#include <cstddef>

inline constexpr PF_ParamIndex kCenter = 1;
inline constexpr PF_ParamIndex kMode = 2;
inline constexpr PF_ParamIndex kScaling = 3;
inline constexpr PF_ParamIndex kAmount = 4;
inline constexpr PF_ParamIndex kShow = 5;
inline constexpr PF_ParamIndex kSampling = 6;
inline constexpr PF_ParamIndex kSpectrumSamples = 7;
/* The host's parameter array: the input layer and the seven declared. */
inline constexpr std::size_t kParamCount = 8;
inline constexpr long kCheckedOutParams = 7;

inline constexpr PF_ParamValue kRedCyan = 1;
inline constexpr PF_ParamValue kSpectrum = 4;
inline constexpr PF_ParamValue kLinear = 1;
inline constexpr PF_ParamValue kFinal = 1;
inline constexpr PF_ParamValue kNearest = 1;
inline constexpr PF_ParamValue kSmooth = 2;

/* A point value in 16.16 fixed point. */
constexpr PF_Fixed pixels(int whole) {
  return whole * 65536;
}

#endif
