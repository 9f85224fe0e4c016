# zig's own static libc++ and libc++abi for the macOS target, and the
# libSystem stub to link against. zig builds the two archives the first time
# anything links against them; a throw-away bundle makes it do so, in a cache
# of our own so the archives are easy to find and shared by every build tree.
# They depend only on zig's version and the target, so a cache outside the
# checkout (ZF_ZIG_CACHE in the environment) can serve several checkouts;
# scripts/fresh-check.sh shares one with the roots it makes.
if("$ENV{ZF_ZIG_CACHE}" STREQUAL "")
  set(zf_runtime_cache "${ZF_ZIG_ROOT}/cache-${ZF_MACOS_TARGET}")
else()
  execute_process(COMMAND "${ZF_ZIG}" version OUTPUT_VARIABLE zf_zig_version OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(zf_runtime_cache "$ENV{ZF_ZIG_CACHE}/zig-${zf_zig_version}-${ZF_MACOS_TARGET}")
endif()

function(zf_find_zig_runtime out)
  file(GLOB_RECURSE libcxx "${zf_runtime_cache}/o/*/libc++.a")
  file(GLOB_RECURSE libcxxabi "${zf_runtime_cache}/o/*/libc++abi.a")
  list(LENGTH libcxx ncxx)
  list(LENGTH libcxxabi nabi)
  if(ncxx EQUAL 1 AND nabi EQUAL 1)
    set(${out} "${libcxx};${libcxxabi}" PARENT_SCOPE)
  else()
    set(${out} "" PARENT_SCOPE)
  endif()
endfunction()

zf_find_zig_runtime(zf_runtime)
if(NOT zf_runtime)
  message(STATUS "Building zig's libc++ for ${ZF_MACOS_TARGET} (once, a few minutes)")
  file(REMOVE_RECURSE "${zf_runtime_cache}")
  file(MAKE_DIRECTORY "${zf_runtime_cache}/probe")
  file(WRITE "${zf_runtime_cache}/probe/probe.cpp" "#include <string>\nstd::string zfProbe() { return \"probe\"; }\n")
  # zig resumes from its cache, so a second attempt finishes what an
  # interrupted or raced first one left.
  foreach(attempt 1 2)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env
              ZIG_GLOBAL_CACHE_DIR=${zf_runtime_cache} ZIG_LOCAL_CACHE_DIR=${zf_runtime_cache}
              ${ZF_ZIG} c++ -target ${ZF_MACOS_TARGET} -O2 -shared probe.cpp -o probe.dylib
      WORKING_DIRECTORY "${zf_runtime_cache}/probe"
      RESULT_VARIABLE zf_result
      OUTPUT_VARIABLE zf_output ERROR_VARIABLE zf_output)
    if(zf_result EQUAL 0)
      break()
    endif()
  endforeach()
  zf_find_zig_runtime(zf_runtime)
  if(NOT zf_result EQUAL 0 OR NOT zf_runtime)
    message(FATAL_ERROR "zig did not build libc++ for ${ZF_MACOS_TARGET}:\n${zf_output}")
  endif()
endif()

get_filename_component(zf_zig_dir "${ZF_ZIG}" DIRECTORY)
set(ZF_MACOS_RUNTIME_LIBS ${zf_runtime} "${zf_zig_dir}/lib/libc/darwin/libSystem.11.tbd")
