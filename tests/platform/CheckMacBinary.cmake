# The macOS executable as the host's loader sees it: a universal file with an
# x86_64 and an arm64 slice, each a 64-bit MH_BUNDLE for macOS MIN_MACOS and
# later that needs nothing but libSystem and exports the two entry points only.
#
#   cmake -DPLUGIN=<Contents/MacOS/ZarnitFringe> -DOBJDUMP=<llvm-objdump> -DNM=<llvm-nm>
#         -DMIN_MACOS=<version> -P CheckMacBinary.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

# --- Universal header, read from the bytes ---------------------------------
zf_read_fat_header("${PLUGIN}")
set(slices ${fat_archs})
list(SORT slices)
zf_expect_equal("slices of the universal file" "${slices}" "arm64;x86_64")
file(SIZE "${PLUGIN}" file_size)
set(previous_end 0)
foreach(arch IN LISTS fat_archs)
  math(EXPR end "${fat_offset_${arch}} + ${fat_size_${arch}}")
  zf_expect_true("${arch} slice lies after the header and the slice before it"
                 fat_offset_${arch} GREATER_EQUAL previous_end AND fat_offset_${arch} GREATER 0)
  zf_expect_true("${arch} slice ends inside the file" end LESS_EQUAL file_size)
  math(EXPR misaligned "${fat_offset_${arch}} % (1 << ${fat_align_${arch}})")
  zf_expect_equal("${arch} slice offset is aligned to 2^${fat_align_${arch}}" ${misaligned} 0)
  set(previous_end ${end})
endforeach()

# --- Each slice, through the LLVM tools ---------------------------------------
# Lines such as "ZarnitFringe (architecture arm64):" head each tool's output.
set(arch_heading "\\((for )?architecture [a-z0-9_]+\\):$")
foreach(arch x86_64 arm64)
  if(NOT arch IN_LIST fat_archs)
    continue()
  endif()
  string(TOUPPER "${arch}" cpu)
  zf_run(header "${OBJDUMP}" --macho --private-header "--arch=${arch}" "${PLUGIN}")
  string(REGEX MATCH "MH_MAGIC_64 +([A-Z0-9_]+) +[A-Z0-9_]+ +0x[0-9a-f]+ +([A-Z_]+)" unused "${header}")
  zf_expect_equal("${arch}: Mach-O CPU type" "${CMAKE_MATCH_1}" "${cpu}")
  zf_expect_equal("${arch}: Mach-O file type" "${CMAKE_MATCH_2}" "BUNDLE")

  zf_run(commands "${OBJDUMP}" --macho --private-headers "--arch=${arch}" "${PLUGIN}")
  zf_expect_true("${arch}: built for macOS ${MIN_MACOS} and later"
                 commands MATCHES "cmd LC_BUILD_VERSION[^\n]*\n[^\n]*\n *platform macos\n[^\n]*\n *minos ${MIN_MACOS}\n")

  # Every dynamic library the slice loads, one per line after the file name.
  zf_run(dylibs "${OBJDUMP}" --macho --dylibs-used "--arch=${arch}" "${PLUGIN}")
  string(REGEX MATCHALL "\n\t[^ \n]+" libraries "${dylibs}")
  list(TRANSFORM libraries STRIP)
  zf_expect_equal("${arch}: libraries loaded" "${libraries}" "/usr/lib/libSystem.B.dylib")

  # Undefined symbols are all bound to libSystem (two-level namespace).
  zf_run(undefined "${NM}" -m -u "--arch=${arch}" "${PLUGIN}")
  string(REGEX MATCHALL "[^\n]+" undefined_lines "${undefined}")
  list(FILTER undefined_lines EXCLUDE REGEX "\\(from libSystem\\)$|${arch_heading}")
  zf_expect_equal("${arch}: undefined symbols bound elsewhere than libSystem" "${undefined_lines}" "")

  # What dyld can look up: the export trie; and the external symbols defined.
  zf_run(trie "${OBJDUMP}" --macho --exports-trie "--arch=${arch}" "${PLUGIN}")
  string(REGEX MATCHALL "0x[0-9A-Fa-f]+ +[^\n]+" exported "${trie}")
  list(TRANSFORM exported REPLACE "^0x[0-9A-Fa-f]+ +" "")
  list(SORT exported)
  zf_expect_equal("${arch}: exports" "${exported}" "_EffectMain;_PluginDataEntryFunction")

  zf_run(defined "${NM}" -g -U -j "--arch=${arch}" "${PLUGIN}")
  string(REGEX MATCHALL "[^\n]+" defined_symbols "${defined}")
  list(FILTER defined_symbols EXCLUDE REGEX "${arch_heading}")
  list(SORT defined_symbols)
  zf_expect_equal("${arch}: external symbols defined" "${defined_symbols}" "_EffectMain;_PluginDataEntryFunction")
endforeach()

zf_checks_done()
