// The ANSI callbacks, the same in the utility block and the ANSI suite.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "testhost/HostState.h"

namespace testhost {
namespace {

A_FpLong ansiAtan(A_FpLong x) {
  return std::atan(x);
}
A_FpLong ansiAtan2(A_FpLong y, A_FpLong x) {
  return std::atan2(y, x);
}
A_FpLong ansiCeil(A_FpLong x) {
  return std::ceil(x);
}
A_FpLong ansiCos(A_FpLong x) {
  return std::cos(x);
}
A_FpLong ansiExp(A_FpLong x) {
  return std::exp(x);
}
A_FpLong ansiFabs(A_FpLong x) {
  return std::fabs(x);
}
A_FpLong ansiFloor(A_FpLong x) {
  return std::floor(x);
}
A_FpLong ansiFmod(A_FpLong x, A_FpLong y) {
  return std::fmod(x, y);
}
A_FpLong ansiHypot(A_FpLong x, A_FpLong y) {
  return std::hypot(x, y);
}
A_FpLong ansiLog(A_FpLong x) {
  return std::log(x);
}
A_FpLong ansiLog10(A_FpLong x) {
  return std::log10(x);
}
A_FpLong ansiPow(A_FpLong x, A_FpLong y) {
  return std::pow(x, y);
}
A_FpLong ansiSin(A_FpLong x) {
  return std::sin(x);
}
A_FpLong ansiSqrt(A_FpLong x) {
  return std::sqrt(x);
}
A_FpLong ansiTan(A_FpLong x) {
  return std::tan(x);
}
A_FpLong ansiAsin(A_FpLong x) {
  return std::asin(x);
}
A_FpLong ansiAcos(A_FpLong x) {
  return std::acos(x);
}

// The host's messages live in 256-byte buffers (return_msg), so formatting
// never writes more than that.
int ansiSprintf(A_char* buffer, A_char const* format, ...) {
  if (buffer == nullptr || format == nullptr) {
    return -1;
  }
  va_list args;
  va_start(args, format);
  int const written = std::vsnprintf(buffer, 256, format, args);
  va_end(args);
  return written;
}

A_char* ansiStrcpy(A_char* dest, A_char const* src) {
  if (dest == nullptr || src == nullptr) {
    return dest;
  }
  return std::strcpy(dest, src);
}

template <typename Table>
void fillMath(Table& t) {
  t.atan = ansiAtan;
  t.atan2 = ansiAtan2;
  t.ceil = ansiCeil;
  t.cos = ansiCos;
  t.exp = ansiExp;
  t.fabs = ansiFabs;
  t.floor = ansiFloor;
  t.fmod = ansiFmod;
  t.hypot = ansiHypot;
  t.log = ansiLog;
  t.log10 = ansiLog10;
  t.pow = ansiPow;
  t.sin = ansiSin;
  t.sqrt = ansiSqrt;
  t.tan = ansiTan;
  t.sprintf = ansiSprintf;
  t.strcpy = ansiStrcpy;
  t.asin = ansiAsin;
  t.acos = ansiAcos;
}

}  // namespace

void fillAnsiBlock(PF_ANSICallbacksBlock& block) {
  fillMath(block);
}
void fillAnsiSuite(PF_ANSICallbacksSuite1& suite) {
  fillMath(suite);
}

}  // namespace testhost
