# The Linux build of the plug-in, loaded by the stand-in host in the tests,
# mirrors the others: ZarnitFringe.so, exporting the two entry points only.
#
#   cmake -DPLUGIN=<ZarnitFringe.so> -DNM=<llvm-nm> -P CheckLinuxExports.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

get_filename_component(file_name "${PLUGIN}" NAME)
zf_expect_equal("file name" "${file_name}" "ZarnitFringe.so")

zf_run(dynamic "${NM}" -D --defined-only -j "${PLUGIN}")
string(REGEX MATCHALL "[^\n]+" exported "${dynamic}")
list(SORT exported)
zf_expect_equal("exports" "${exported}" "EffectMain;PluginDataEntryFunction")

zf_checks_done()
