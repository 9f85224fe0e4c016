/* Acquires host suites by name and version for the length of one command and
 * releases each acquired suite exactly once when it goes out of scope,
 * also while an exception unwinds. Not shared between threads. */
#ifndef ZF_SUITES_SUITE_HANDLER_H
#define ZF_SUITES_SUITE_HANDLER_H

#include "suites/HostInterface.h"

class AEGP_SuiteHandler {
 public:
  /* Throws the int PF_Err_BAD_CALLBACK_PARAM (516) when basic is null. */
  explicit AEGP_SuiteHandler(const SPBasicSuite* basic);
  ~AEGP_SuiteHandler();

  AEGP_SuiteHandler(const AEGP_SuiteHandler&) = delete;
  AEGP_SuiteHandler& operator=(const AEGP_SuiteHandler&) = delete;

  /* Each accessor acquires its suite on first use and then returns the same
   * table; a suite the host does not supply throws 516. */
  const PF_HandleSuite1* HandleSuite1();
  const PF_Iterate8Suite1* Iterate8Suite1();
  const PF_ANSICallbacksSuite1* ANSICallbacksSuite1();

  /* One AcquireSuite call; throws 516 when the host reports an error or gives
   * no table. A table obtained here directly is not tracked by the handler:
   * the caller releases it. */
  const void* LoadSuite(const char* name, int32_t version);

 private:
  struct Slot {
    const char* name;
    int32_t version;
    const void* table;
  };
  enum SlotIndex { HandleSlot, Iterate8Slot, ANSISlot, SlotCount };

  const void* slotTable(SlotIndex index);

  const SPBasicSuite* basic_;
  Slot slots_[SlotCount];
};

#endif
