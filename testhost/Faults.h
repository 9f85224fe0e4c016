// Injected failures: "let the n-th call of this host operation fail".
#ifndef ZF_TESTHOST_FAULTS_H
#define ZF_TESTHOST_FAULTS_H

#include <mutex>

#include "suites/HostInterface.h"

namespace testhost {

// Counts the calls of one host operation and decides which of them fail.
// Thread-safe: host callbacks may run on several threads at once.
//
// faults.failAt(3, PF_Interrupt_CANCEL);  // the 3rd call from now answers 517
// faults.failAt(2, PF_Err_OUT_OF_MEMORY, true);  // the 2nd and every later one
class FaultInjector {
 public:
  // Arms the injector and restarts the count: call number n (1 = the next
  // call) fails with code; with andAfter, every call after it fails too.
  void failAt(long n, PF_Err code = PF_Err_OUT_OF_MEMORY, bool andAfter = false);
  // Disarms the injector and restarts the count.
  void reset();
  // Calls counted since the last failAt or reset.
  long calls() const;
  // Calls that were answered with a failure since the last failAt or reset.
  long failures() const;

  // Used by the host for every call of the operation: counts it and returns
  // the code to fail with, or PF_Err_NONE.
  PF_Err next();

 private:
  mutable std::mutex mutex_;
  long calls_ = 0;
  long failures_ = 0;
  long failAt_ = 0;
  bool andAfter_ = false;
  PF_Err code_ = PF_Err_NONE;
};

}  // namespace testhost

#endif
