# What the build takes from the system, and the Debian package that brings
# each piece: a configure step that misses something says what to install,
# so the message is useful on another distribution as well.
#
#   zf_require_program(<var> NAMES <name>... PACKAGE <debian package>)
#   zf_require_package(<find_package name> PACKAGE <debian package> [find_package arguments])
#
# Included before project() by the top-level list and by the toolchain files,
# so the compilers a preset or toolchain names are checked before CMake's own
# compiler search fails with a message that names no package.

include_guard(GLOBAL)

function(zf_missing what package)
  message(FATAL_ERROR "${what} not found. On Debian or Ubuntu, install the package \"${package}\" "
                      "(apt-get install ${package}).")
endfunction()

function(zf_require_program var)
  cmake_parse_arguments(R "" "PACKAGE" "NAMES" ${ARGN})
  find_program(${var} NAMES ${R_NAMES})
  if(NOT ${var})
    list(JOIN R_NAMES " or " names)
    zf_missing("The program ${names} was" "${R_PACKAGE}")
  endif()
endfunction()

# A macro, so the package's variables and targets reach the caller's scope.
macro(zf_require_package zf_name)
  cmake_parse_arguments(ZF_R "" "PACKAGE" "" ${ARGN})
  find_package(${zf_name} ${ZF_R_UNPARSED_ARGUMENTS} QUIET)
  if(NOT ${zf_name}_FOUND)
    zf_missing("The library ${zf_name} was" "${ZF_R_PACKAGE}")
  endif()
endmacro()

# The Debian package of a compiler or tool that presets and toolchain files
# name; empty for one we cannot tell.
function(zf_debian_package_of program out)
  get_filename_component(name "${program}" NAME)
  set(packages
      "^clang(\\+\\+)?-14$" clang-14
      "^(c\\+\\+|g\\+\\+|gcc|cc)$" g++
      "^x86_64-w64-mingw32-(g\\+\\+|gcc)-posix$" g++-mingw-w64-x86-64-posix
      "^x86_64-w64-mingw32-" binutils-mingw-w64-x86-64
      "^aarch64-linux-gnu-(g\\+\\+|gcc)" g++-aarch64-linux-gnu
      "^ninja$" ninja-build
      "^ccache$" ccache
      "^ld64\\.lld-14$" lld-14
      "^llvm-[a-z]+-14$" llvm-14)
  set(${out} "" PARENT_SCOPE)
  while(packages)
    list(POP_FRONT packages pattern package)
    if(name MATCHES "${pattern}")
      set(${out} "${package}" PARENT_SCOPE)
      return()
    endif()
  endwhile()
endfunction()

# A compiler or tool given by name (not by path) must be on PATH.
function(zf_require_named_program program)
  if(NOT program OR IS_ABSOLUTE "${program}")
    return()
  endif()
  string(MAKE_C_IDENTIFIER "ZF_HAVE_${program}" var)
  find_program(${var} NAMES "${program}")
  if(NOT ${var})
    zf_debian_package_of("${program}" package)
    if(package)
      zf_missing("The program ${program} was" "${package}")
    endif()
  endif()
endfunction()

if(NOT CMAKE_TOOLCHAIN_FILE)
  # Native builds: the compilers a preset names, or a default one.
  if(CMAKE_CXX_COMPILER)
    zf_require_named_program("${CMAKE_CXX_COMPILER}")
    zf_require_named_program("${CMAKE_C_COMPILER}")
  else()
    find_program(ZF_DEFAULT_CXX NAMES c++ g++ clang++)
    if(NOT ZF_DEFAULT_CXX)
      zf_missing("A C++ compiler was" g++)
    endif()
  endif()
endif()
if(CMAKE_GENERATOR STREQUAL "Ninja" AND NOT CMAKE_MAKE_PROGRAM)
  zf_require_program(ZF_NINJA NAMES ninja ninja-build PACKAGE ninja-build)
endif()
foreach(launcher IN ITEMS "$ENV{CMAKE_CXX_COMPILER_LAUNCHER}" "${CMAKE_CXX_COMPILER_LAUNCHER}")
  zf_require_named_program("${launcher}")
endforeach()
