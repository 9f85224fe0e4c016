// The plug-in's two exports, looked up by name by the host: everything else
// in the library stays hidden.
#ifndef ZF_HOST_ENTRY_POINTS_H
#define ZF_HOST_ENTRY_POINTS_H

#include "suites/HostInterface.h"

#if defined(_WIN32)
#define ZF_EXPORT __declspec(dllexport)
#else
#define ZF_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Every command of the host: the result is the command's error code, and no
// exception ever leaves it.
ZF_EXPORT PF_Err EffectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                            PF_LayerDef* output, void* extra);

// The effect's identity, declared through the host's callback before any
// command.
ZF_EXPORT PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB inPluginDataCallBackPtr,
                                         SPBasicSuite* inSPBasicSuitePtr, char const* inHostName,
                                         char const* inHostVersion);
}

#endif
