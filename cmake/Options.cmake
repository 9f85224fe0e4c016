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

# The sanitizer and libFuzzer runtimes come in a package of their own; without
# it the first test would fail to link with a message that names no package.
function(zf_require_runtime result flags source)
  include(CheckCXXSourceCompiles)
  list(JOIN flags " " CMAKE_REQUIRED_FLAGS)
  set(CMAKE_REQUIRED_LINK_OPTIONS ${flags})
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("${source}" ${result})
  string(REGEX MATCH "^[0-9]+" major "${CMAKE_CXX_COMPILER_VERSION}")
  if(NOT ${result} AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    zf_missing("The runtime for ${CMAKE_REQUIRED_FLAGS} was" libclang-rt-${major}-dev)
  elseif(NOT ${result})
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} cannot link with ${CMAKE_REQUIRED_FLAGS}")
  endif()
endfunction()

if(zf_san)
  zf_require_runtime(ZF_HAVE_SANITIZER_RUNTIME "${zf_san}" "int main() { return 0; }")
  target_compile_options(zf_options INTERFACE ${zf_san})
  target_link_options(zf_options INTERFACE ${zf_san})
endif()

# Fuzzing: every target carries libFuzzer's coverage; only the fuzz target
# links libFuzzer itself (tests/fuzz).
if(ZF_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "ZF_FUZZ needs clang (libFuzzer)")
  endif()
  zf_require_runtime(ZF_HAVE_FUZZER_RUNTIME -fsanitize=fuzzer
                     "extern \"C\" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }")
  target_compile_options(zf_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

if(WIN32)
  # The .aex and the Windows tests carry their C++ runtime inside, so they
  # import nothing but system DLLs.
  target_link_options(zf_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
