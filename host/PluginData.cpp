#include "host/EntryPoints.h"
#include "host/Identity.h"

namespace {

A_u_char const* text(char const* s) {
  return reinterpret_cast<A_u_char const*>(s);
}

}  // namespace

// The same declaration in every host: the basic suite, host name and version
// are not looked at.
extern "C" PF_Err PluginDataEntryFunction(PF_PluginDataPtr inPtr, PF_PluginDataCB inPluginDataCallBackPtr,
                                          SPBasicSuite* /*inSPBasicSuitePtr*/, char const* /*inHostName*/,
                                          char const* /*inHostVersion*/) {
  if (inPluginDataCallBackPtr == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  return inPluginDataCallBackPtr(inPtr, text(ZF_NAME), text(ZF_MATCH_NAME), text(ZF_CATEGORY),
                                 text(ZF_ENTRY_POINT), ZF_KIND, ZF_API_MAJOR, ZF_API_MINOR, ZF_RESERVED_INFO);
}
