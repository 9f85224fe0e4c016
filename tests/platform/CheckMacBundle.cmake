# The macOS bundle's own resources, read here without the generator's help:
# Info.plist and PkgInfo, compared with the identity header, and the property
# list inside Resources/ZarnitFringe.rsrc, compared with literal bytes.
#
#   cmake -DBUNDLE=<ZarnitFringe.plugin> -DIDENTITY=<Identity.h> -P CheckMacBundle.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")
zf_read_identity("${IDENTITY}")
set(contents "${BUNDLE}/Contents")

# After Effects loads effect bundles with this package type and signature.
set(host_signature "FXTC")
set(kind_text "")
foreach(shift 24 16 8 0)
  math(EXPR byte "(${ZF_KIND} >> ${shift}) & 255")
  string(ASCII ${byte} char)
  string(APPEND kind_text "${char}")
endforeach()

# --- PkgInfo: package type and signature, nothing else ---------------------
file(READ "${contents}/PkgInfo" pkginfo)
zf_expect_equal("PkgInfo" "${pkginfo}" "${kind_text}${host_signature}")

# --- Info.plist --------------------------------------------------------------
file(READ "${contents}/Info.plist" plist)
zf_expect_true("Info.plist is an XML property list holding a dictionary"
               plist MATCHES "^<\\?xml [^>]*\\?>.*<plist version=\"1.0\">[ \t\r\n]*<dict>.*</dict>[ \t\r\n]*</plist>[ \t\r\n]*$")
string(REGEX MATCHALL "<key>[^<]*</key>[ \t\r\n]*<string>[^<]*</string>" pairs "${plist}")
set(keys "")
foreach(pair IN LISTS pairs)
  string(REGEX MATCH "<key>([^<]*)</key>[ \t\r\n]*<string>([^<]*)</string>" unused "${pair}")
  set(plist_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  list(APPEND keys "${CMAKE_MATCH_1}")
endforeach()
list(REMOVE_DUPLICATES keys)
list(LENGTH pairs npairs)
list(LENGTH keys nkeys)
zf_expect_equal("Info.plist keys are unique" ${nkeys} ${npairs})
foreach(check
    "CFBundlePackageType=${kind_text}"
    "CFBundleSignature=${host_signature}"
    "CFBundleExecutable=ZarnitFringe"
    "CFBundleName=${ZF_NAME}"
    "CFBundleShortVersionString=${ZF_MAJOR_VERSION}.${ZF_MINOR_VERSION}"
    "CFBundleInfoDictionaryVersion=6.0")
  string(FIND "${check}" "=" eq)
  string(SUBSTRING "${check}" 0 ${eq} key)
  math(EXPR eq "${eq} + 1")
  string(SUBSTRING "${check}" ${eq} -1 value)
  zf_expect_equal("Info.plist ${key}" "${plist_${key}}" "${value}")
endforeach()
zf_expect_true("the executable named in Info.plist is in Contents/MacOS"
               EXISTS "${contents}/MacOS/${plist_CFBundleExecutable}")

# --- The resource file --------------------------------------------------------
# Header: data offset, map offset, data length, map length (big-endian).
# Map: a copy of the header, next map, file ref, attributes, type list offset,
# name list offset; type list: count - 1, then per type its code, count - 1 and
# the offset of its references; a reference: id, name offset, attributes and a
# 24-bit data offset, then a reserved handle. Data: a 32-bit length, then bytes.
set(rsrc_path "${contents}/Resources/${plist_CFBundleExecutable}.rsrc")
file(READ "${rsrc_path}" rsrc HEX)
string(LENGTH "${rsrc}" digits)
math(EXPR file_size "${digits} / 2")

zf_read_be(data_offset "${rsrc}" 0 4)
zf_read_be(map_offset "${rsrc}" 4 4)
zf_read_be(data_length "${rsrc}" 8 4)
zf_read_be(map_length "${rsrc}" 12 4)
math(EXPR data_end "${data_offset} + ${data_length}")
math(EXPR map_end "${map_offset} + ${map_length}")
zf_expect_true("data area lies before the map" data_end LESS_EQUAL map_offset)
zf_expect_equal("map ends the file" ${map_end} ${file_size})
zf_slice(header "${rsrc}" 0 16)
zf_slice(map_header "${rsrc}" ${map_offset} 16)
zf_expect_equal("map starts with a copy of the header" "${map_header}" "${header}")

math(EXPR at "${map_offset} + 24")
zf_read_be(type_list_offset "${rsrc}" ${at} 2)
math(EXPR type_list "${map_offset} + ${type_list_offset}")
zf_read_be(types_minus_one "${rsrc}" ${type_list} 2)
zf_expect_equal("number of resource types" ${types_minus_one} 0)
math(EXPR at "${type_list} + 2")
zf_slice(type "${rsrc}" ${at} 4)
zf_text_hex(pipl_type "PiPL")
zf_expect_equal("resource type" "${type}" "${pipl_type}")
math(EXPR at "${type_list} + 6")
zf_read_be(count_minus_one "${rsrc}" ${at} 2)
zf_expect_equal("number of PiPL resources" ${count_minus_one} 0)
math(EXPR at "${type_list} + 8")
zf_read_be(reference_offset "${rsrc}" ${at} 2)
math(EXPR reference "${type_list} + ${reference_offset}")
zf_read_be(id "${rsrc}" ${reference} 2)
zf_expect_equal("PiPL resource id" ${id} 16000)
math(EXPR at "${reference} + 5")
zf_read_be(resource_offset "${rsrc}" ${at} 3)
math(EXPR resource_at "${data_offset} + ${resource_offset}")
zf_read_be(resource_length "${rsrc}" ${resource_at} 4)
math(EXPR pipl "${resource_at} + 4")
math(EXPR pipl_end "${pipl} + ${resource_length}")
zf_expect_true("PiPL resource lies inside the data area" pipl_end LESS_EQUAL data_end)

# --- The property list (macOS form) --------------------------------------------
# Literal bytes, written out by hand from the host's macOS layout rather than
# from the identity header: big-endian, codes in reading order, no reserved
# word; a 32-bit version 0 and count, then per property the vendor '8BIM', the
# key, a 32-bit id 0, the data length, and the data padded with NULs to 4
# bytes (the length leaves the padding out). A universal bundle names its entry
# point twice, Intel 64-bit then arm64.
set(expected_header "00000000 0000000d")
set(expected_properties
  # 'eFKT' as a 32-bit code.
  "kind|3842494d 6b696e64 00000000 00000004 65464b54"
  # Length byte 27, "Zarnit Chromatic Aberration".
  "name|3842494d 6e616d65 00000000 0000001c 1b 5a61726e6974 20 4368726f6d61746963 20 416265727261 74696f6e"
  # Length byte 6, "Zarnit", padding.
  "catg|3842494d 63617467 00000000 00000007 06 5a61726e6974 00"
  # Length byte 10, "EffectMain", padding: once per slice.
  "mi64|3842494d 6d693634 00000000 0000000b 0a 456666656374 4d61696e 00"
  "ma64|3842494d 6d613634 00000000 0000000b 0a 456666656374 4d61696e 00"
  # Two 16-bit values, major first: 2.0 and 13.27.
  "ePVR|3842494d 65505652 00000000 00000004 0002 0000"
  "eSVR|3842494d 65535652 00000000 00000004 000d 001b"
  # 0x00100001.
  "eVER|3842494d 65564552 00000000 00000004 00100001"
  # 16 bits of info flags, padding.
  "eINF|3842494d 65494e46 00000000 00000002 0000 0000"
  # 0x02008244 and 0x08021488.
  "eGLO|3842494d 65474c4f 00000000 00000004 02008244"
  "eGL2|3842494d 65474c32 00000000 00000004 08021488"
  # Length byte 16, "zarnit_chromaber", padding.
  "eMNA|3842494d 654d4e41 00000000 00000011 10 7a61726e69745f6368726f6d61626572 000000"
  "aeFL|3842494d 6165464c 00000000 00000004 00000008")

string(REPLACE " " "" expected_header "${expected_header}")
string(LENGTH "${expected_header}" digits)
math(EXPR at "${digits} / 2")
zf_slice(actual_header "${rsrc}" ${pipl} ${at})
zf_expect_equal("property list version and count" "${actual_header}" "${expected_header}")
math(EXPR at "${pipl} + ${at}")
foreach(expected IN LISTS expected_properties)
  string(SUBSTRING "${expected}" 0 4 key)
  string(SUBSTRING "${expected}" 5 -1 bytes)
  string(REPLACE " " "" bytes "${bytes}")
  string(LENGTH "${bytes}" digits)
  math(EXPR size "${digits} / 2")
  math(EXPR end "${at} + ${size}")
  if(end GREATER pipl_end)
    zf_fail("property '${key}' runs past the end of the list (byte ${pipl_end})")
    break()
  endif()
  zf_slice(actual "${rsrc}" ${at} ${size})
  zf_expect_equal("property '${key}' at byte ${at}" "${actual}" "${bytes}")
  set(at ${end})
endforeach()
zf_expect_equal("property list ends with its last property" ${at} ${pipl_end})

zf_checks_done()
