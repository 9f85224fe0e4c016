# The macOS arm64 (Apple silicon) slice, cross-built from Linux with zig (see
# zig-macos.cmake).
set(ZF_MACOS_ARCH arm64)
include("${CMAKE_CURRENT_LIST_DIR}/zig-macos.cmake")
