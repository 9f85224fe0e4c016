#ifndef ZF_RENDER_KERNELPATH_H
#define ZF_RENDER_KERNELPATH_H

#include "RenderData.h"

// The instruction-set paths of the kernel. All of them write the same bits
// for every record; they differ only in speed. Scalar is the portable path,
// SSE2 and AVX2 exist in x86-64 builds, NEON in arm64 builds. process()
// runs the fastest one the processor supports.
enum class KernelPath { Scalar, Sse2, Avx2, Neon };

inline constexpr KernelPath kernelPaths[] = {KernelPath::Scalar, KernelPath::Sse2, KernelPath::Avx2,
                                             KernelPath::Neon};

// Built into this library.
bool kernelPathCompiled(KernelPath path);

// Built into this library and supported by the processor it runs on.
bool kernelPathSupported(KernelPath path);

// The path process() takes.
KernelPath activeKernelPath();

char const* kernelPathName(KernelPath path);

// process() on a chosen path; an unsupported one falls back to Scalar.
void processWith(KernelPath path, RenderData const* rd, int firstRow, int endRow);

#endif
