# The signature check must fail on a slice whose bytes changed after signing:
# for each slice, one byte of its second page is flipped in a copy of the
# executable, and the check must report that page of that slice, and nothing
# of the other.
#
#   cmake -DPLUGIN=<Contents/MacOS/ZarnitFringe> -DIDENTIFIER=<expected identifier>
#         -DWORK=<scratch folder> -P CheckMacSignaturesCatchDamage.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

zf_read_fat_header("${PLUGIN}")
foreach(arch IN LISTS fat_archs)
  set(damaged "${WORK}/damaged-${arch}")
  file(MAKE_DIRECTORY "${WORK}")
  file(COPY_FILE "${PLUGIN}" "${damaged}")
  math(EXPR at "${fat_offset_${arch}} + 4096 + 100")
  zf_read_file_hex(byte "${damaged}" ${at} 1)
  math(EXPR flipped "255 - 0x${byte}" OUTPUT_FORMAT DECIMAL)
  math(EXPR octal_high "${flipped} / 64")
  math(EXPR octal_mid "${flipped} / 8 % 8")
  math(EXPR octal_low "${flipped} % 8")
  execute_process(
    COMMAND printf "\\${octal_high}${octal_mid}${octal_low}"
    COMMAND dd "of=${damaged}" bs=1 seek=${at} conv=notrunc
    RESULT_VARIABLE result ERROR_QUIET)
  zf_read_file_hex(after "${damaged}" ${at} 1)
  if(NOT result EQUAL 0 OR after STREQUAL byte)
    message(FATAL_ERROR "could not flip byte ${at} of ${damaged}")
  endif()

  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DPLUGIN=${damaged}" "-DIDENTIFIER=${IDENTIFIER}" "-DWORK=${WORK}/pages"
            -P "${CMAKE_CURRENT_LIST_DIR}/CheckMacSignatures.cmake"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  zf_expect_true("the check fails when the ${arch} slice is damaged" NOT result EQUAL 0)
  string(REGEX MATCHALL "FAILED: [^\n]*" failures "${output}")
  zf_expect_equal("what the check reports for a damaged ${arch} slice" "${failures}"
                  "FAILED: ${arch}: pages whose hash does not match: got '1', expected ''")
  file(REMOVE "${damaged}")
endforeach()
list(LENGTH fat_archs slices)
zf_expect_equal("slices damaged in turn" ${slices} 2)

zf_checks_done()
