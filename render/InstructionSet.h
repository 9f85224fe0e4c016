// The instruction sets the kernel and the row conversions are written for.
// Every one of them writes the same bits for every input; they differ only
// in speed. Scalar is the portable code, SSE2 and AVX2 exist in x86-64
// builds, NEON in arm64 builds.
#ifndef ZF_RENDER_INSTRUCTIONSET_H
#define ZF_RENDER_INSTRUCTIONSET_H

enum class InstructionSet { Scalar, Sse2, Avx2, Neon };

inline constexpr InstructionSet instructionSets[] = {InstructionSet::Scalar, InstructionSet::Sse2,
                                                     InstructionSet::Avx2, InstructionSet::Neon};

// Which code each build carries. SSE2 is part of every x86-64 processor and
// NEON of every arm64 one; AVX2 code is compiled in a region of its own
// (ZF_BEGIN_AVX2 .. ZF_END_AVX2) and run only where the processor has it.
#if defined(__x86_64__) || defined(_M_X64)
#define ZF_SSE2 1
#if defined(__GNUC__)
#define ZF_AVX2 1
#endif
#endif
#if defined(__aarch64__)
#define ZF_NEON 1
#endif

// Every function defined between these two lines, templates included, is
// compiled for AVX2. Include what the region needs from the standard library
// before it: an inline function defined inside would carry AVX2 code that
// the linker could hand to callers on any processor. For the same reason
// the lane types inside are in anonymous namespaces, so that no template
// instantiated for them is shared with another file.
#if defined(__clang__)
#define ZF_BEGIN_AVX2 _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define ZF_END_AVX2 _Pragma("clang attribute pop")
#else
#define ZF_BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define ZF_END_AVX2 _Pragma("GCC pop_options")
#endif

// Built into this library.
constexpr bool instructionSetCompiled(InstructionSet set) {
  switch (set) {
    case InstructionSet::Scalar:
      return true;
    case InstructionSet::Sse2:
#if ZF_SSE2
      return true;
#else
      return false;
#endif
    case InstructionSet::Avx2:
#if ZF_AVX2
      return true;
#else
      return false;
#endif
    case InstructionSet::Neon:
#if ZF_NEON
      return true;
#else
      return false;
#endif
  }
  return false;
}

// Built into this library and run by the processor it is on (asked once,
// when the library is loaded).
bool instructionSetSupported(InstructionSet set);

// The widest supported one: what the kernel and the conversions run on.
InstructionSet fastestInstructionSet();

char const* instructionSetName(InstructionSet set);

#endif
