// What the render commands share: the checked-out parameter records, their
// translation into a RenderData, and the pre-render data that carries the
// input's origin from the smart pre-render to the smart render.
#ifndef ZF_HOST_RENDER_ENTRY_H
#define ZF_HOST_RENDER_ENTRY_H

#include <array>
#include <memory>

#include "host/Params.h"
#include "render/RenderData.h"
#include "suites/HostInterface.h"
#include "suites/SuiteHandler.h"

// One parameter record, allocated and checked out for one render call.
// Whatever is still checked out when the owner goes away is checked in and
// freed, also while an exception unwinds.
class ParamCheckout {
 public:
  ParamCheckout() = default;
  ~ParamCheckout();
  ParamCheckout(ParamCheckout const&) = delete;
  ParamCheckout& operator=(ParamCheckout const&) = delete;

  // Allocates a cleared record and checks the parameter out at the current
  // time. On failure nothing is held and the host's error is returned.
  PF_Err checkOut(PF_InData* in_data, PF_ParamIndex index);
  // Checks the record in (if it is out) and frees it; returns the host's
  // answer. The record counts as checked in whatever the answer.
  PF_Err checkIn();

  PF_ParamDef const& def() const { return *def_; }

 private:
  PF_InData* in_data_ = nullptr;
  std::unique_ptr<PF_ParamDef> def_;
};

// The parameters of one render call, checked out in index order. A
// failed checkout stops the sequence: the parameters after it are not asked
// for, and the render must not go ahead on an incomplete set.
class CheckedOutParams {
 public:
  explicit CheckedOutParams(PF_InData* in_data);

  // The first checkout's error, or PF_Err_NONE when all are out.
  PF_Err checkoutError() const { return checkoutError_; }

  // Checks every held record in, in index order, and frees them all; returns
  // the first failing check-in's error.
  PF_Err checkInAll();

  PF_ParamDef const& operator[](ParamIndex index) const { return records_[index - CA_CENTER].def(); }

 private:
  std::array<ParamCheckout, CA_NUM_PARAMS - 1> records_;
  PF_Err checkoutError_ = PF_Err_NONE;
};

// The parameter fields of the record: centre in whole pixels, popups as
// zero-based indices, Amount as float.
void fillParamFields(CheckedOutParams const& params, RenderData& rd);

// Widens dst to cover src; an empty dst takes src as it is, even when src is
// empty too. A rectangle is empty unless left < right and top < bottom.
void UnionLRect(PF_LRect const* src, PF_LRect* dst);

// Hands the host the input's origin (left and top of output.result_rect) as
// pre-render data: a handle made through the Handle Suite, with a deletion
// function that gives it back through `basic`, whenever and on whatever
// thread the host calls it. Fails with PF_Err_OUT_OF_MEMORY when the handle
// cannot be made or locked; output.pre_render_data then stays as it was.
PF_Err storePreRenderOrigin(SPBasicSuite const* basic, PF_HandleSuite1 const& handles,
                            PF_PreRenderOutput& output);

// Reads the origin stored by storePreRenderOrigin into the input offsets.
// Without pre-render data the offsets stay 0; a handle that cannot be locked
// gives PF_Err_OUT_OF_MEMORY.
PF_Err readPreRenderOrigin(AEGP_SuiteHandler& suites, void* pre_render_data, RenderData& rd);

#endif
