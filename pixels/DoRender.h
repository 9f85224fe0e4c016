// The render driver: one frame from the host's input world to its output world.
#ifndef ZF_PIXELS_DORENDER_H
#define ZF_PIXELS_DORENDER_H

#include "render/Dispatch.h"
#include "render/RenderData.h"
#include "suites/HostInterface.h"

// Converts rd->inputLayer into a working buffer, computes every row of the
// RGBA32 result on the row dispatch's sixteen threads and converts it into
// `output`. rd's parameter fields and inputLayer must be set; the driver
// fills its buffer and downsample fields. out_data is not used.
//
// Returns the host's abort answer when cancelled, PF_Err_OUT_OF_MEMORY when a
// buffer cannot be had, PF_Err_BAD_CALLBACK_PARAM for records that cannot be
// rendered, the host's error for a missing World Suite or a failed format
// query (the Pixel Format Suite's in Premiere Pro, the World Suite's
// elsewhere), PF_Err_BAD_CALLBACK_PARAM as well when the basic suite or the
// Iterate8 suite is missing, PF_Err_INTERNAL_STRUCT_DAMAGED when a worker
// thread cannot be started, and 0 with `output` untouched in Premiere Pro
// without the Pixel Format Suite. Every failure leaves `output` as the host
// gave it, except a cancel or an error during the output conversion itself.
// Every handle and suite acquired is given back on every way out.
PF_Err doRender(PF_InData* in_data, PF_OutData* out_data, RenderData* rd, PF_LayerDef* output);

#endif
