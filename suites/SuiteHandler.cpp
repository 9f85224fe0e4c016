#include "suites/SuiteHandler.h"

AEGP_SuiteHandler::AEGP_SuiteHandler(SPBasicSuite const* basic)
    : basic_(basic),
      slots_{{kPFHandleSuite, kPFHandleSuiteVersion2, nullptr},
             {kPFIterate8Suite, kPFIterate8SuiteVersion1, nullptr},
             {kPFANSISuite, kPFANSISuiteVersion1, nullptr}} {
  if (basic_ == nullptr) {
    throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM);
  }
}

AEGP_SuiteHandler::~AEGP_SuiteHandler() {
  for (Slot const& slot : slots_) {
    if (slot.table != nullptr) {
      basic_->ReleaseSuite(slot.name, slot.version);
    }
  }
}

void const* AEGP_SuiteHandler::LoadSuite(char const* name, int32_t version) {
  void const* table = nullptr;
  const SPErr err = basic_->AcquireSuite(name, version, &table);
  if (err != kSPNoError || table == nullptr) {
    throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM);
  }
  return table;
}

void const* AEGP_SuiteHandler::slotTable(SlotIndex index) {
  Slot& slot = slots_[index];
  if (slot.table == nullptr) {
    slot.table = LoadSuite(slot.name, slot.version);
  }
  return slot.table;
}

PF_HandleSuite1 const* AEGP_SuiteHandler::HandleSuite1() {
  return static_cast<PF_HandleSuite1 const*>(slotTable(HandleSlot));
}

PF_Iterate8Suite1 const* AEGP_SuiteHandler::Iterate8Suite1() {
  return static_cast<PF_Iterate8Suite1 const*>(slotTable(Iterate8Slot));
}

PF_ANSICallbacksSuite1 const* AEGP_SuiteHandler::ANSICallbacksSuite1() {
  return static_cast<PF_ANSICallbacksSuite1 const*>(slotTable(ANSISlot));
}
