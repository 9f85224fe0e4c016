# The .aex as the Windows loader sees it: a 64-bit DLL that imports only
# Windows' own DLLs (the C++ runtime is linked in) and exports the two entry
# points only, undecorated.
#
#   cmake -DPLUGIN=<ZarnitFringe.aex> -DOBJDUMP=<x86_64-w64-mingw32-objdump> -P CheckWindowsBinary.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

get_filename_component(file_name "${PLUGIN}" NAME)
zf_expect_equal("file name" "${file_name}" "ZarnitFringe.aex")

zf_run(headers "${OBJDUMP}" -f -p "${PLUGIN}")
zf_expect_true("PE32+ for x86-64" headers MATCHES "file format pei-x86-64" AND headers MATCHES "Magic[ \t]+020b")
zf_expect_true("marked as a DLL" headers MATCHES "Characteristics 0x[0-9a-f]+\n(\t[^\n]*\n)*\tDLL\n")

# Windows' own DLLs; MinGW's runtime DLLs (libstdc++-6, libgcc_s_seh-1,
# libwinpthread-1) are not among them and would not be on a user's machine.
set(system_dlls kernel32.dll user32.dll advapi32.dll ntdll.dll msvcrt.dll ucrtbase.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
zf_expect_true("imports KERNEL32.dll" "KERNEL32.dll" IN_LIST imports)
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" lower)
  zf_expect_true("imported ${dll} is a Windows system DLL"
                 lower IN_LIST system_dlls OR lower MATCHES "^api-ms-win-.*\\.dll$")
endforeach()

# Export names, from the table objdump prints after "[Ordinal/Name Pointer] Table".
string(FIND "${headers}" "[Ordinal/Name Pointer] Table" table_at)
zf_expect_true("has an export table" NOT table_at EQUAL -1)
set(exports "")
if(NOT table_at EQUAL -1)
  string(SUBSTRING "${headers}" ${table_at} -1 table)
  string(REGEX MATCH "Table\n((\t\\[ *[0-9]+\\] [^\n]+\n)*)" unused "${table}")
  # Drop the "[ n] " ordinals before splitting: brackets would group list items.
  string(REGEX REPLACE "\t\\[ *[0-9]+\\] " "" names "${CMAKE_MATCH_1}")
  string(REGEX MATCHALL "[^\n]+" exports "${names}")
  list(SORT exports)
endif()
zf_expect_equal("exports" "${exports}" "EffectMain;PluginDataEntryFunction")

zf_checks_done()
