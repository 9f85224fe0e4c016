# The macOS x86-64 slice, cross-built from Linux with zig (see zig-macos.cmake).
set(ZF_MACOS_ARCH x86_64)
include("${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake")
