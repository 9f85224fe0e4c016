# Settings that decide results or the binary interface live on one interface
# target that every target of ours links.
add_library(zf_options INTERFACE)

# The results of the kernel and the conversions must be identical to the bit
# on every compiler and platform. So no fused multiply-add (GCC contracts
# across statements by default, clang within an expression, and arm64 has
# the instructions) and no fast-math, on every target.
target_compile_options(zf_options INTERFACE
  -ffp-contract=off
  -fno-fast-math
  # sqrt never sees a negative argument; no errno path in the pixel loop.
  -fno-math-errno
  -fvisibility=hidden
  -fvisibility-inlines-hidden
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror)

if(ZF_SANITIZE STREQUAL "address")
  set(zf_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    list(APPEND zf_san -fsanitize=float-cast-overflow)
  endif()
elseif(ZF_SANITIZE STREQUAL "thread")
  set(zf_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT ZF_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ZF_SANITIZE must be address, thread or empty")
endif()
if(zf_san)
  target_compile_options(zf_options INTERFACE ${zf_san})
  target_link_options(zf_options INTERFACE ${zf_san})
endif()

# Fuzzing: every target carries libFuzzer's coverage; only the fuzz target
# links libFuzzer itself (tests/fuzz).
if(ZF_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZF_FUZZ needs clang (libFuzzer)")
  endif()
  target_compile_options(zf_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # The .aex and the Windows tests carry their C++ runtime inside, so they
  # import nothing but system DLLs.
  target_link_options(zf_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
