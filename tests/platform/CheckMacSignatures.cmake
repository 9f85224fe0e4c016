# Each slice of the universal executable carries its own ad-hoc code signature,
# and the signature's page hashes, recomputed here over the slice's bytes,
# match: macOS refuses to run arm64 code without a valid one, and hosts refuse
# unsigned plug-ins.
#
#   cmake -DPLUGIN=<Contents/MacOS/ZarnitFringe> -DIDENTIFIER=<expected identifier>
#         -DWORK=<scratch folder> -P CheckMacSignatures.cmake
#
# Read from the bytes: the slice's load commands (little-endian) lead to
# LC_CODE_SIGNATURE (0x1d: cmd, cmdsize, dataoff, datasize, dataoff from the
# slice's start). The signature is big-endian: a SuperBlob (0xfade0cc0,
# length, count, then type and offset per blob) whose blob of type 0 is the
# CodeDirectory (0xfade0c02, length, version, flags, hashOffset, identOffset,
# nSpecialSlots, nCodeSlots, codeLimit, then one byte each of hashSize,
# hashType, platform and log2 of the page size). Code slot i is the SHA-256 of
# the slice's bytes [i * 4096, min((i + 1) * 4096, codeLimit)).
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

set(page_size 4096)
math(EXPR superblob_magic 0xfade0cc0)
math(EXPR code_directory_magic 0xfade0c02)
zf_read_fat_header("${PLUGIN}")
set(slices ${fat_archs})
list(SORT slices)
zf_expect_equal("slices of the universal file" "${slices}" "arm64;x86_64")

foreach(arch IN LISTS fat_archs)
  set(slice ${fat_offset_${arch}})

  zf_read_file_hex(header "${PLUGIN}" ${slice} 32)
  zf_read_le(ncmds "${header}" 16 4)
  zf_read_le(sizeofcmds "${header}" 20 4)
  math(EXPR at "${slice} + 32")
  zf_read_file_hex(commands "${PLUGIN}" ${at} ${sizeofcmds})
  set(dataoff "")
  set(at 0)
  foreach(unused RANGE 1 ${ncmds})
    zf_read_le(cmd "${commands}" ${at} 4)
    math(EXPR field "${at} + 4")
    zf_read_le(cmdsize "${commands}" ${field} 4)
    if(cmd EQUAL 0x1d)
      math(EXPR field "${at} + 8")
      zf_read_le(dataoff "${commands}" ${field} 4)
      math(EXPR field "${at} + 12")
      zf_read_le(datasize "${commands}" ${field} 4)
    endif()
    math(EXPR at "${at} + ${cmdsize}")
  endforeach()
  if(dataoff STREQUAL "")
    zf_fail("${arch}: no LC_CODE_SIGNATURE")
    continue()
  endif()
  math(EXPR signature_end "${dataoff} + ${datasize}")
  zf_expect_true("${arch}: the signature lies inside the slice" signature_end LESS_EQUAL fat_size_${arch})

  math(EXPR signature "${slice} + ${dataoff}")
  zf_read_file_hex(superblob "${PLUGIN}" ${signature} 12)
  zf_read_be(magic "${superblob}" 0 4)
  zf_read_be(count "${superblob}" 8 4)
  zf_expect_equal("${arch}: SuperBlob magic" ${magic} ${superblob_magic})
  math(EXPR index_size "12 + ${count} * 8")
  zf_read_file_hex(superblob "${PLUGIN}" ${signature} ${index_size})
  set(directory "")
  math(EXPR last "${count} - 1")
  foreach(i RANGE ${last})
    math(EXPR at "12 + ${i} * 8")
    zf_read_be(type "${superblob}" ${at} 4)
    if(type EQUAL 0)
      math(EXPR at "${at} + 4")
      zf_read_be(directory "${superblob}" ${at} 4)
      math(EXPR directory "${signature} + ${directory}")
    endif()
  endforeach()
  if(directory STREQUAL "")
    zf_fail("${arch}: no CodeDirectory in the signature")
    continue()
  endif()

  zf_read_file_hex(cd "${PLUGIN}" ${directory} 40)
  zf_read_be(magic "${cd}" 0 4)
  zf_read_be(cd_length "${cd}" 4 4)
  zf_read_be(hash_offset "${cd}" 16 4)
  zf_read_be(ident_offset "${cd}" 20 4)
  zf_read_be(code_slots "${cd}" 28 4)
  zf_read_be(code_limit "${cd}" 32 4)
  zf_read_be(hash_size "${cd}" 36 1)
  zf_read_be(hash_type "${cd}" 37 1)
  zf_read_be(page_shift "${cd}" 39 1)
  zf_expect_equal("${arch}: CodeDirectory magic" ${magic} ${code_directory_magic})
  zf_expect_equal("${arch}: SHA-256 hashes" "${hash_type}/${hash_size}" "2/32")
  zf_expect_equal("${arch}: 4096-byte pages" ${page_shift} 12)
  zf_expect_equal("${arch}: the code hashed ends where the signature starts" ${code_limit} ${dataoff})
  math(EXPR pages "(${code_limit} + ${page_size} - 1) / ${page_size}")
  zf_expect_equal("${arch}: one code slot per page" ${code_slots} ${pages})

  zf_read_file_hex(cd "${PLUGIN}" ${directory} ${cd_length})
  zf_read_cstring(identifier "${cd}" ${ident_offset})
  zf_expect_equal("${arch}: signature identifier" "${identifier}" "${IDENTIFIER}")

  # The slice's signed bytes, cut into pages by coreutils and hashed here.
  set(pages_dir "${WORK}/${arch}")
  file(REMOVE_RECURSE "${pages_dir}")
  file(MAKE_DIRECTORY "${pages_dir}")
  math(EXPR first_byte "${slice} + 1")
  execute_process(
    COMMAND tail -c +${first_byte} "${PLUGIN}"
    COMMAND head -c ${code_limit}
    COMMAND split -b ${page_size} -a 6 - "${pages_dir}/page-"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "cutting the ${arch} slice into pages failed: ${result}")
  endif()
  file(GLOB page_files "${pages_dir}/page-*")
  list(SORT page_files)
  list(LENGTH page_files hashed)
  zf_expect_equal("${arch}: pages cut from the slice" ${hashed} ${code_slots})
  set(mismatches "")
  set(at ${hash_offset})
  set(page 0)
  foreach(page_file IN LISTS page_files)
    file(SHA256 "${page_file}" actual)
    zf_slice(recorded "${cd}" ${at} 32)
    if(NOT actual STREQUAL recorded)
      list(APPEND mismatches ${page})
    endif()
    math(EXPR at "${at} + 32")
    math(EXPR page "${page} + 1")
  endforeach()
  zf_expect_equal("${arch}: pages whose hash does not match" "${mismatches}" "")
  file(REMOVE_RECURSE "${pages_dir}")
endforeach()

zf_checks_done()
