# How the plug-in library becomes the file a host loads: its name, the
# resources the host reads before loading it, and the two symbols it exports.
#
#   zf_package_plugin(<target>)
#
#   Windows  ZarnitFringe.aex: PiPL and VERSIONINFO resources, exports fixed by
#            a .def file, C++ runtime linked in (Options.cmake).
#   macOS    ZarnitFringe.plugin/Contents/{MacOS/ZarnitFringe, Info.plist,
#            PkgInfo, Resources/ZarnitFringe.rsrc}. The executable is universal
#            (x86_64 and arm64), each slice an ad-hoc signed MH_BUNDLE
#            exporting _EffectMain and _PluginDataEntryFunction only.
#   Linux    ZarnitFringe.so, exports fixed by a version script.
#
# The bundle's target property ZF_BUNDLE_DIR names the bundle folder and
# ZF_BUNDLE_EXECUTABLE its universal executable.

set(ZF_PLUGIN_RESOURCES "${PROJECT_SOURCE_DIR}/host/resources")

if(WIN32)
  enable_language(RC)
endif()

if(APPLE)
  if(ZF_ZIG)
    include("${CMAKE_CURRENT_LIST_DIR}/toolchains/zig-macos-runtime.cmake")
  endif()
  # Set by the bundle build for the build of its arm64 slice, which links that
  # slice and nothing else.
  option(ZF_MACOS_SLICE_ONLY "Link only this architecture's signed slice of the macOS executable" OFF)
  mark_as_advanced(ZF_MACOS_SLICE_ONLY)
  if(NOT ZF_MACOS_SLICE_ONLY)
    # The bundle resource generator runs on the build machine, which in a
    # cross build is not the target, so it is compiled with the build
    # machine's own compiler.
    zf_require_program(ZF_BUILD_MACHINE_CXX NAMES c++ g++ clang++ PACKAGE g++)
  endif()
  if(ZF_ZIG AND NOT ZF_MACOS_SLICE_ONLY)
    zf_require_program(ZF_LIPO NAMES llvm-lipo-14 llvm-lipo PACKAGE llvm-14)
  elseif(NOT ZF_ZIG)
    find_program(ZF_CODESIGN codesign REQUIRED)
  endif()
endif()

# The arm64 slice of a cross-built bundle: this source tree configured again,
# in <build>/arm64, with the arm64 zig toolchain. Sets <out> to the slice's path.
function(zf_add_macos_arm64_slice out)
  include(ExternalProject)
  set(binary_dir "${CMAKE_BINARY_DIR}/arm64")
  set(slice "${binary_dir}/host/arm64/ZarnitFringe")
  ExternalProject_Add(zf_macos_arm64_slice
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${binary_dir}"
    CMAKE_ARGS
      "-DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchains/zig-macos-arm64.cmake"
      "-DZF_ZIG_ROOT=${ZF_ZIG_ROOT}"
      "-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}"
      -DZF_MACOS_SLICE_ONLY=ON -DZF_BUILD_TESTS=OFF -DZF_BUILD_TOOLS=OFF
    BUILD_COMMAND "${CMAKE_COMMAND}" --build "${binary_dir}" --target ZarnitFringe
    # The sources are this tree's own: let the inner build decide what is stale.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${slice}"
    INSTALL_COMMAND ""
    USES_TERMINAL_CONFIGURE ON
    USES_TERMINAL_BUILD ON)
  set(${out} "${slice}" PARENT_SCOPE)
endfunction()

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
    set(executable "${contents}/MacOS/ZarnitFringe")
    set_target_properties(${target} PROPERTIES SUFFIX "" LINK_DEPENDS "${res}/exported_symbols.txt")
    if(ZF_ZIG)
      # One slice per build tree, linked by ld64.lld, whose options go in as
      # they are. The linker signs the slice, naming the signature after the
      # output file: so each slice is linked as ZarnitFringe, in a folder of
      # its own.
      # $<1:...> keeps multi-configuration generators from adding a folder per configuration.
      set_target_properties(${target} PROPERTIES
        LIBRARY_OUTPUT_DIRECTORY "$<1:${CMAKE_CURRENT_BINARY_DIR}/${ZF_MACOS_ARCH}>")
      target_link_options(${target} PRIVATE
        -exported_symbols_list "${res}/exported_symbols.txt" -dead_strip -adhoc_codesign)
      target_link_libraries(${target} PRIVATE ${ZF_MACOS_RUNTIME_LIBS})
      if(ZF_MACOS_SLICE_ONLY)
        return()
      endif()
      if(NOT ZF_MACOS_ARCH STREQUAL "x86_64")
        message(FATAL_ERROR "the macOS bundle is built from the x86_64 tree; arm64 builds only its slice")
      endif()
      # Slices are signed before they are joined, so each signature covers
      # exactly its own slice's bytes.
      zf_add_macos_arm64_slice(arm64_slice)
      add_custom_command(
        OUTPUT "${executable}"
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${contents}/MacOS"
        COMMAND "${ZF_LIPO}" -create "$<TARGET_FILE:${target}>" "${arm64_slice}" -output "${executable}"
        DEPENDS ${target} zf_macos_arm64_slice "${arm64_slice}"
        COMMENT "Joining the x86_64 and arm64 slices into the universal ZarnitFringe"
        VERBATIM)
      set(bundle_target ZarnitFringeBundle)
      add_custom_target(${bundle_target} ALL DEPENDS "${executable}")
    else()
      # On a Mac, CMAKE_OSX_ARCHITECTURES gives both slices in one link.
      # codesign signs each slice and seals Info.plist and the resource file.
      set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "$<1:${contents}/MacOS>")
      target_link_options(${target} PRIVATE
        "LINKER:-exported_symbols_list,${res}/exported_symbols.txt" "LINKER:-dead_strip"
        "$<$<CONFIG:Release,MinSizeRel>:LINKER:-x>")
      add_custom_command(TARGET ${target} POST_BUILD
        COMMAND "${ZF_CODESIGN}" --force --sign - --timestamp=none "${bundle}"
        COMMENT "Signing ZarnitFringe.plugin (ad hoc)"
        VERBATIM)
      set(bundle_target ${target})
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
    target_sources(${bundle_target} PRIVATE ${bundle_files})
    set_target_properties(${target} PROPERTIES ZF_BUNDLE_DIR "${bundle}" ZF_BUNDLE_EXECUTABLE "${executable}")

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
