# Windows x64 from Linux with MinGW-w64. The posix thread model is the one
# whose libstdc++ has std::thread and std::mutex; Options.cmake links that
# runtime statically so the .aex imports only Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(ZF_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZF_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZF_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZF_MINGW_TRIPLE}-windres)
include("${CMAKE_CURRENT_LIST_DIR}/../Prerequisites.cmake")
foreach(tool IN ITEMS CMAKE_C_COMPILER CMAKE_CXX_COMPILER CMAKE_RC_COMPILER)
  zf_require_named_program("${${tool}}")
endforeach()

set(CMAKE_FIND_ROOT_PATH /usr/${ZF_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs every Windows program through Wine, in a prefix of this build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
