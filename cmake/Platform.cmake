# How the plug-in library becomes the file a host loads: its name, the
# resources the host reads before loading it, and the two symbols it exports.
#
#   zf_package_plugin(<target>)
#
#   Windows  ZarnitFringe.aex: PiPL and VERSIONINFO resources, exports fixed by
#            a .def file, C++ runtime linked in (Options.cmake).
#   macOS    ZarnitFringe.plugin/Contents/{MacOS/ZarnitFringe, Info.plist,
#            PkgInfo, Resources/ZarnitFringe.rsrc}, an MH_BUNDLE exporting
#            _EffectMain and _PluginDataEntryFunction only.
#   Linux    ZarnitFringe.so, exports fixed by a version script.

set(ZF_PLUGIN_RESOURCES "${PROJECT_SOURCE_DIR}/host/resources")

if(WIN32)
  enable_language(RC)
endif()

if(APPLE)
  if(ZF_ZIG)
    include("${CMAKE_CURRENT_LIST_DIR}/toolchains/zig-macos-runtime.cmake")
  endif()
  # The bundle resource generator runs on the build machine, which in a cross
  # build is not the target, so it is compiled with the build machine's own
  # compiler.
  zf_require_program(ZF_BUILD_MACHINE_CXX NAMES c++ g++ clang++ PACKAGE g++)
endif()

function(zf_package_plugin target)
  set(res "${ZF_PLUGIN_RESOURCES}")
  target_link_libraries(${target} PRIVATE zf_options)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ZarnitFringe PREFIX "")

  if(WIN32)
    set_target_properties(${target} PROPERTIES SUFFIX ".aex")
    # No link time stamp, so the same sources give the same .aex; released
    # builds carry no symbol table.
    target_link_options(${target} PRIVATE "LINKER:--no-insert-timestamp"
                        "$<$<CONFIG:Release,MinSizeRel>:LINKER:--strip-all>")
    target_sources(${target} PRIVATE "${res}/PiPL.rc" "${res}/Version.rc" "${res}/ZarnitFringe.def")
    set_property(SOURCE "${res}/PiPL.rc" "${res}/Version.rc" TARGET_DIRECTORY ${target}
                 APPEND PROPERTY INCLUDE_DIRECTORIES "${PROJECT_SOURCE_DIR}/host" "${res}")
    set_property(SOURCE "${res}/PiPL.rc" TARGET_DIRECTORY ${target}
                 APPEND PROPERTY OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/host/Identity.h" "${res}/PiPLStrings.h")
    set_property(SOURCE "${res}/Version.rc" TARGET_DIRECTORY ${target}
                 APPEND PROPERTY OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/host/Identity.h")

  elseif(APPLE)
    set(bundle "${CMAKE_CURRENT_BINARY_DIR}/ZarnitFringe.plugin")
    set(contents "${bundle}/Contents")
    # $<1:...> keeps multi-configuration generators from adding a folder per configuration.
    set_target_properties(${target} PROPERTIES
      SUFFIX ""
      LIBRARY_OUTPUT_DIRECTORY "$<1:${contents}/MacOS>"
      LINK_DEPENDS "${res}/exported_symbols.txt")
    if(ZF_ZIG)
      # ld64.lld is the link driver here: its options go in as they are.
      target_link_options(${target} PRIVATE
        -exported_symbols_list "${res}/exported_symbols.txt" -dead_strip)
      target_link_libraries(${target} PRIVATE ${ZF_MACOS_RUNTIME_LIBS})
    else()
      target_link_options(${target} PRIVATE
        "LINKER:-exported_symbols_list,${res}/exported_symbols.txt" "LINKER:-dead_strip"
        "$<$<CONFIG:Release,MinSizeRel>:LINKER:-x>")
    endif()

    set(generator "${CMAKE_CURRENT_BINARY_DIR}/BundleResources")
    set(generator_source "${PROJECT_SOURCE_DIR}/cmake/bundle/BundleResources.cpp")
    add_custom_command(
      OUTPUT "${generator}"
      COMMAND "${ZF_BUILD_MACHINE_CXX}" -std=c++17 -O1
              -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion -Werror
              "-I${PROJECT_SOURCE_DIR}/host" "${generator_source}" -o "${generator}"
      DEPENDS "${generator_source}" "${PROJECT_SOURCE_DIR}/host/Identity.h"
      COMMENT "Building the bundle resource generator for the build machine"
      VERBATIM)
    set(bundle_files
      "${contents}/Info.plist" "${contents}/PkgInfo" "${contents}/Resources/ZarnitFringe.rsrc")
    add_custom_command(
      OUTPUT ${bundle_files}
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${contents}/Resources"
      COMMAND "${generator}" "${res}/Info.plist.in" "${contents}"
      DEPENDS "${generator}" "${res}/Info.plist.in"
      COMMENT "Writing Info.plist, PkgInfo and ZarnitFringe.rsrc"
      VERBATIM)
    target_sources(${target} PRIVATE ${bundle_files})
    set_target_properties(${target} PROPERTIES ZF_BUNDLE_DIR "${bundle}")

  else()
    target_link_options(${target} PRIVATE "LINKER:--version-script=${res}/exports.map")
    # A missing symbol should fail the link, not the host's dlopen. Sanitizer
    # runtimes are resolved at load time, so they are exempt.
    if(ZF_SANITIZE STREQUAL "")
      target_link_options(${target} PRIVATE "LINKER:-z,defs")
    endif()
    set_target_properties(${target} PROPERTIES LINK_DEPENDS "${res}/exports.map")
  endif()
endfunction()
