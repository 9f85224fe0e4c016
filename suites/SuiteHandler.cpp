#include "suites/SuiteHandler.h"

AEGP_SuiteHandler::AEGP_SuiteHandler(const SPBasicSuite* basic)
    : basic_(basic),
      slots_{{kPFHandleSuite, kPFHandleSuiteVersion2, nullptr},
             {kPFIterate8Suite, kPFIterate8SuiteVersion1, nullptr},
             {kPFANSISuite, kPFANSISuiteVersion1, nullptr}} {
  if (basic_ == nullptr) {
    throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM);
  }
}

AEGP_SuiteHandler::~AEGP_SuiteHandler() {
  for (const Slot& slot : slots_) {
    if (slot.table != nullptr) {
      basic_->ReleaseSuite(slot.name, slot.version);
    }
  }
}

const void* AEGP_SuiteHandler::LoadSuite(const char* name, int32_t version) {
  const void* table = nullptr;
  const SPErr err = basic_->AcquireSuite(name, version, &table);
  if (err != kSPNoError || table == nullptr) {
    throw static_cast<int>(PF_Err_BAD_CALLBACK_PARAM);
  }
  return table;
}

const void* AEGP_SuiteHandler::slotTable(SlotIndex index) {
  Slot& slot = slots_[index];
  if (slot.table == nullptr) {
    slot.table = LoadSuite(slot.name, slot.version);
  }
  return slot.table;
}

const PF_HandleSuite1* AEGP_SuiteHandler::HandleSuite1() {
  return static_cast<const PF_HandleSuite1*>(slotTable(HandleSlot));
}

const PF_Iterate8Suite1* AEGP_SuiteHandler::Iterate8Suite1() {
  return static_cast<const PF_Iterate8Suite1*>(slotTable(Iterate8Slot));
}

const PF_ANSICallbacksSuite1* AEGP_SuiteHandler::ANSICallbacksSuite1() {
  return static_cast<const PF_ANSICallbacksSuite1*>(slotTable(ANSISlot));
}
