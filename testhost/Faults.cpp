#include "testhost/Faults.h"

namespace testhost {

void FaultInjector::failAt(long n, PF_Err code, bool andAfter) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_ = 0;
  failures_ = 0;
  failAt_ = n;
  andAfter_ = andAfter;
  code_ = code;
}

void FaultInjector::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_ = 0;
  failures_ = 0;
  failAt_ = 0;
  andAfter_ = false;
  code_ = PF_Err_NONE;
}

long FaultInjector::calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

long FaultInjector::failures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

PF_Err FaultInjector::next() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++calls_;
  bool const fails = failAt_ > 0 && (calls_ == failAt_ || (andAfter_ && calls_ > failAt_));
  if (!fails) {
    return PF_Err_NONE;
  }
  ++failures_;
  return code_;
}

}  // namespace testhost
