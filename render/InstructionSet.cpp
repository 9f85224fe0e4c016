#include "InstructionSet.h"

#include <initializer_list>

#if ZF_AVX2
#include <cpuid.h>
#endif

namespace {

#if ZF_AVX2
// cpuid says the processor has AVX2, xgetbv that the system saves the
// 256-bit registers across thread switches.
bool cpuHasAvx2() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d))
    return false;
  bool const osxsave = (c & (1u << 27)) != 0;
  bool const avx = (c & (1u << 28)) != 0;
  if (!osxsave || !avx)
    return false;
  unsigned xcr0Low = 0, xcr0High = 0;
  __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
  if ((xcr0Low & 6u) != 6u)
    return false;
  if (__get_cpuid_max(0, nullptr) < 7)
    return false;
  __cpuid_count(7, 0, a, b, c, d);
  return (b & (1u << 5)) != 0;
}
#else
bool cpuHasAvx2() {
  return false;
}
#endif

// Asked once, when the library is loaded: rows take no lock, not even a
// one-time initialisation guard, and in a virtual machine every cpuid is a
// trip to the hypervisor.
bool const avx2Runs = cpuHasAvx2();

InstructionSet fastestSupported() {
  for (InstructionSet set : {InstructionSet::Avx2, InstructionSet::Sse2, InstructionSet::Neon})
    if (instructionSetSupported(set))
      return set;
  return InstructionSet::Scalar;
}

InstructionSet const fastest = fastestSupported();

}  // namespace

bool instructionSetSupported(InstructionSet set) {
  if (set == InstructionSet::Avx2)
    return instructionSetCompiled(set) && avx2Runs;
  return instructionSetCompiled(set);
}

InstructionSet fastestInstructionSet() {
  return fastest;
}

char const* instructionSetName(InstructionSet set) {
  switch (set) {
    case InstructionSet::Scalar:
      return "scalar";
    case InstructionSet::Sse2:
      return "sse2";
    case InstructionSet::Avx2:
      return "avx2";
    case InstructionSet::Neon:
      return "neon";
  }
  return "unknown";
}
