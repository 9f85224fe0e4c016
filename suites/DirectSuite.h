// A suite acquired straight from the basic suite rather than through
// AEGP_SuiteHandler, given back exactly once.
#ifndef ZF_SUITES_DIRECT_SUITE_H
#define ZF_SUITES_DIRECT_SUITE_H

#include "suites/HostInterface.h"

template <class Suite>
class DirectSuite {
 public:
  DirectSuite(SPBasicSuite const* basic, char const* name, int32_t version)
      : basic_(basic), name_(name), version_(version) {}
  ~DirectSuite() { release(); }
  DirectSuite(DirectSuite const&) = delete;
  DirectSuite& operator=(DirectSuite const&) = delete;

  // A host that answers with an error has not handed the suite out,
  // whatever it left in the table.
  SPErr acquire() {
    void const* table = nullptr;
    SPErr const err = basic_->AcquireSuite(name_, version_, &table);
    if (err == kSPNoError)
      table_ = static_cast<Suite const*>(table);
    return err;
  }

  void release() {
    if (table_ != nullptr) {
      table_ = nullptr;
      basic_->ReleaseSuite(name_, version_);
    }
  }

  Suite const* get() const { return table_; }

 private:
  SPBasicSuite const* basic_;
  char const* name_;
  int32_t version_;
  Suite const* table_ = nullptr;
};

#endif
