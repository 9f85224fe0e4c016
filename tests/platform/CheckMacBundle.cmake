# The macOS bundle's own resources, read here without the generator's help:
# Info.plist, PkgInfo and the property list inside Resources/ZarnitFringe.rsrc,
# each compared with the identity header.
#
#   cmake -DBUNDLE=<ZarnitFringe.plugin> -DIDENTITY=<Identity.h> -P CheckMacBundle.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")
zf_read_identity("${IDENTITY}")
set(contents "${BUNDLE}/Contents")

# After Effects loads effect bundles with this package type and signature.
set(host_signature "FXTC")
zf_hex(kind_hex ${ZF_KIND} 4)
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
# Big-endian, codes in reading order, no reserved word before the version;
# each property's data is padded to 4 bytes, its length leaves the padding out.
function(zf_pascal_hex out text)
  string(LENGTH "${text}" length)
  zf_hex(length_hex ${length} 1)
  zf_text_hex(text_hex "${text}")
  set(${out} "${length_hex}${text_hex}" PARENT_SCOPE)
endfunction()
zf_pascal_hex(name_data "${ZF_NAME}")
zf_pascal_hex(category_data "${ZF_CATEGORY}")
zf_pascal_hex(entry_data "${ZF_ENTRY_POINT}")
zf_pascal_hex(match_data "${ZF_MATCH_NAME}")
zf_hex(pipl_major ${ZF_PIPL_MAJOR} 2)
zf_hex(pipl_minor ${ZF_PIPL_MINOR} 2)
zf_hex(api_major ${ZF_API_MAJOR} 2)
zf_hex(api_minor ${ZF_API_MINOR} 2)
zf_hex(version_data ${ZF_VERSION} 4)
zf_hex(info_data ${ZF_INFO_FLAGS} 2)
zf_hex(flags_data ${ZF_OUT_FLAGS} 4)
zf_hex(flags2_data ${ZF_OUT_FLAGS2} 4)
zf_hex(reserved_data ${ZF_RESERVED_INFO} 4)
set(expected_properties
  "kind=${kind_hex}"
  "name=${name_data}"
  "catg=${category_data}"
  "mi64=${entry_data}"
  "ePVR=${pipl_major}${pipl_minor}"
  "eSVR=${api_major}${api_minor}"
  "eVER=${version_data}"
  "eINF=${info_data}"
  "eGLO=${flags_data}"
  "eGL2=${flags2_data}"
  "eMNA=${match_data}"
  "aeFL=${reserved_data}")

zf_read_be(list_version "${rsrc}" ${pipl} 4)
zf_expect_equal("property list version" ${list_version} 0)
math(EXPR at "${pipl} + 4")
zf_read_be(property_count "${rsrc}" ${at} 4)
list(LENGTH expected_properties expected_count)
zf_expect_equal("property count" ${property_count} ${expected_count})

zf_text_hex(vendor_hex "8BIM")
math(EXPR at "${pipl} + 8")
foreach(expected IN LISTS expected_properties)
  string(SUBSTRING "${expected}" 0 4 key)
  string(SUBSTRING "${expected}" 5 -1 data)
  math(EXPR header_end "${at} + 16")
  if(header_end GREATER pipl_end)
    zf_fail("property '${key}' missing: the list ends at byte ${at}")
    break()
  endif()
  zf_slice(vendor "${rsrc}" ${at} 4)
  zf_expect_equal("'${key}' vendor" "${vendor}" "${vendor_hex}")
  math(EXPR field "${at} + 4")
  zf_slice(actual_key "${rsrc}" ${field} 4)
  zf_text_hex(key_hex "${key}")
  zf_expect_equal("property key in place of '${key}'" "${actual_key}" "${key_hex}")
  math(EXPR field "${at} + 8")
  zf_read_be(property_id "${rsrc}" ${field} 4)
  zf_expect_equal("'${key}' property id" ${property_id} 0)
  math(EXPR field "${at} + 12")
  zf_read_be(length "${rsrc}" ${field} 4)
  string(LENGTH "${data}" data_digits)
  math(EXPR expected_length "${data_digits} / 2")
  zf_expect_equal("'${key}' data length" ${length} ${expected_length})
  math(EXPR field "${at} + 16")
  zf_slice(actual_data "${rsrc}" ${field} ${length})
  zf_expect_equal("'${key}' data" "${actual_data}" "${data}")
  math(EXPR padded "(${length} + 3) / 4 * 4")
  math(EXPR padding "${padded} - ${length}")
  if(padding GREATER 0)
    math(EXPR field "${at} + 16 + ${length}")
    zf_slice(pad "${rsrc}" ${field} ${padding})
    string(REPEAT "00" ${padding} zeros)
    zf_expect_equal("'${key}' padding" "${pad}" "${zeros}")
  endif()
  math(EXPR at "${at} + 16 + ${padded}")
endforeach()
zf_expect_equal("property list ends with its last property" ${at} ${pipl_end})

zf_checks_done()
