#ifndef ZF_RENDER_KERNELPATH_H
#define ZF_RENDER_KERNELPATH_H

#include "RenderData.h"

// The instruction-set variants of the kernel. All of them write the same bits
// for every record; they differ only in speed. process() runs the fastest one
// the processor supports.
enum class KernelPath { Scalar, Sse2, Avx2 };

inline constexpr KernelPath kernelPaths[] = {KernelPath::Scalar, KernelPath::Sse2, KernelPath::Avx2};

// Compiled into this build and supported by the processor it runs on.
bool kernelPathSupported(KernelPath path);

// The path process() takes.
KernelPath activeKernelPath();

char const* kernelPathName(KernelPath path);

// process() on a chosen path, which must be supported.
void processWith(KernelPath path, RenderData const* rd, int firstRow, int endRow);

#endif
