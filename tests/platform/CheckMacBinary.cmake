# The macOS executable as the host's loader sees it: a 64-bit x86 MH_BUNDLE
# that needs nothing but libSystem and exports the two entry points only.
#
#   cmake -DPLUGIN=<Contents/MacOS/ZarnitFringe> -DOBJDUMP=<llvm-objdump> -DNM=<llvm-nm>
#         -DMIN_MACOS=<version> -P CheckMacBinary.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

zf_run(header "${OBJDUMP}" --macho --private-header "${PLUGIN}")
string(REGEX MATCH "MH_MAGIC_64 +([A-Z0-9_]+) +[A-Z0-9_]+ +0x[0-9a-f]+ +([A-Z_]+)" unused "${header}")
zf_expect_equal("Mach-O CPU type" "${CMAKE_MATCH_1}" "X86_64")
zf_expect_equal("Mach-O file type" "${CMAKE_MATCH_2}" "BUNDLE")

if(MIN_MACOS)
  zf_run(commands "${OBJDUMP}" --macho --private-headers "${PLUGIN}")
  zf_expect_true("built for macOS ${MIN_MACOS} and later"
                 commands MATCHES "cmd LC_BUILD_VERSION[^\n]*\n[^\n]*\n *platform macos\n[^\n]*\n *minos ${MIN_MACOS}\n")
endif()

# Every dynamic library the bundle loads, one per line after the file name.
zf_run(dylibs "${OBJDUMP}" --macho --dylibs-used "${PLUGIN}")
string(REGEX MATCHALL "\n\t[^ \n]+" libraries "${dylibs}")
list(TRANSFORM libraries STRIP)
zf_expect_equal("libraries loaded" "${libraries}" "/usr/lib/libSystem.B.dylib")

# Undefined symbols are all bound to libSystem (two-level namespace).
zf_run(undefined "${NM}" -m -u "${PLUGIN}")
string(REGEX MATCHALL "[^\n]+" undefined_lines "${undefined}")
list(FILTER undefined_lines EXCLUDE REGEX "\\(from libSystem\\)$")
zf_expect_equal("undefined symbols bound elsewhere than libSystem" "${undefined_lines}" "")

# What dyld can look up: the export trie; and the external symbols defined.
zf_run(trie "${OBJDUMP}" --macho --exports-trie "${PLUGIN}")
string(REGEX MATCHALL "0x[0-9A-Fa-f]+ +[^\n]+" exported "${trie}")
list(TRANSFORM exported REPLACE "^0x[0-9A-Fa-f]+ +" "")
list(SORT exported)
zf_expect_equal("exports" "${exported}" "_EffectMain;_PluginDataEntryFunction")

zf_run(defined "${NM}" -g -U -j "${PLUGIN}")
string(REGEX MATCHALL "[^\n]+" defined_symbols "${defined}")
list(SORT defined_symbols)
zf_expect_equal("external symbols defined" "${defined_symbols}" "_EffectMain;_PluginDataEntryFunction")

zf_checks_done()
