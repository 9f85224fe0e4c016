// Acquires host suites by name and version for the length of one command and
// releases each acquired suite exactly once when it goes out of scope,
// also while an exception unwinds. Not shared between threads.
#ifndef ZF_SUITES_SUITE_HANDLER_H
#define ZF_SUITES_SUITE_HANDLER_H

#include "suites/HostInterface.h"

class AEGP_SuiteHandler {
 public:
  // Throws the int PF_Err_BAD_CALLBACK_PARAM (516) when basic is null.
  explicit AEGP_SuiteHandler(SPBasicSuite const* basic);
  ~AEGP_SuiteHandler();

  AEGP_SuiteHandler(AEGP_SuiteHandler const&) = delete;
  AEGP_SuiteHandler& operator=(AEGP_SuiteHandler const&) = delete;

  // Each accessor acquires its suite on first use and then returns the same
  // table; a suite the host does not supply throws 516.
  PF_HandleSuite1 const* HandleSuite1();
  PF_Iterate8Suite1 const* Iterate8Suite1();
  PF_ANSICallbacksSuite1 const* ANSICallbacksSuite1();

  // One AcquireSuite call; throws 516 when the host reports an error or gives
  // no table. A table obtained here directly is not tracked by the handler:
  // the caller releases it.
  void const* LoadSuite(char const* name, int32_t version);

 private:
  struct Slot {
    char const* name;
    int32_t version;
    void const* table;
  };
  enum SlotIndex { HandleSlot, Iterate8Slot, ANSISlot, SlotCount };

  void const* slotTable(SlotIndex index);

  SPBasicSuite const* basic_;
  Slot slots_[SlotCount];
};

#endif
