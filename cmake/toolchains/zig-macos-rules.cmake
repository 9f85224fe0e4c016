# Link and archive rules for the zig macOS toolchain, read after CMake's
# Darwin defaults. A bundle is linked by ld64.lld directly; the C++ runtime and
# libSystem come in as link libraries (zf_package_plugin adds them).
foreach(lang C CXX)
  set(CMAKE_${lang}_CREATE_SHARED_MODULE
      "${ZF_LD64} -bundle -arch ${ZF_MACOS_ARCH} -platform_version macos ${ZF_MACOS_VERSION} ${ZF_MACOS_VERSION} <LINK_FLAGS> <OBJECTS> -o <TARGET> <LINK_LIBRARIES>")
  set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qc <TARGET> <OBJECTS>")
  set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> <TARGET>")
endforeach()
