# Helpers for the platform checks, which run as `cmake -P` scripts because
# they inspect binaries and resources built for another machine.
#
# Every check records its outcome; zf_checks_done() prints the tally and fails
# the script (and so the CTest entry) if any check failed.

cmake_minimum_required(VERSION 3.25)

set_property(GLOBAL PROPERTY zf_failures "")
set_property(GLOBAL PROPERTY zf_passed 0)

function(zf_pass)
  get_property(n GLOBAL PROPERTY zf_passed)
  math(EXPR n "${n} + 1")
  set_property(GLOBAL PROPERTY zf_passed ${n})
endfunction()

function(zf_fail text)
  message(STATUS "FAILED: ${text}")
  string(REPLACE ";" "," entry "${text}")
  set_property(GLOBAL APPEND PROPERTY zf_failures "${entry}")
endfunction()

function(zf_expect_equal what actual expected)
  if("${actual}" STREQUAL "${expected}")
    zf_pass()
  else()
    zf_fail("${what}: got '${actual}', expected '${expected}'")
  endif()
endfunction()

function(zf_expect_true what)
  if(${ARGN})
    zf_pass()
  else()
    zf_fail("${what}")
  endif()
endfunction()

function(zf_checks_done)
  get_property(failures GLOBAL PROPERTY zf_failures)
  get_property(passed GLOBAL PROPERTY zf_passed)
  list(LENGTH failures failed)
  message(STATUS "${passed} passed, ${failed} failed")
  if(failed GREATER 0)
    message(FATAL_ERROR "platform checks failed")
  endif()
endfunction()

# Runs a command and returns its standard output; a failing command fails the script.
function(zf_run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${result}):\n${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# Reads the identity header's definitions into variables of the same names:
# strings without their quotes, numbers as decimal.
function(zf_read_identity header)
  file(STRINGS "${header}" lines REGEX "^#define ZF_[A-Z0-9_]+ ")
  foreach(line IN LISTS lines)
    string(REGEX MATCH "^#define (ZF_[A-Z0-9_]+) +(.*)$" unused "${line}")
    set(name "${CMAKE_MATCH_1}")
    string(STRIP "${CMAKE_MATCH_2}" value)
    if(value MATCHES "^\"([^\"\\\\]*)\"$")
      set(value "${CMAKE_MATCH_1}")
    elseif(value MATCHES "^(0x[0-9A-Fa-f]+|[0-9]+)$")
      math(EXPR value "${value}")
    else()
      message(FATAL_ERROR "${header}: cannot read ${name} = ${value}")
    endif()
    set(${name} "${value}" PARENT_SCOPE)
  endforeach()
endfunction()

# A number as big-endian hex digits, two per byte (lower case, as file(READ ... HEX)).
function(zf_hex out value bytes)
  math(EXPR hex "${value}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${hex}" 2 -1 hex)
  string(TOLOWER "${hex}" hex)
  math(EXPR digits "${bytes} * 2")
  string(LENGTH "${hex}" length)
  if(length GREATER digits)
    message(FATAL_ERROR "${value} does not fit in ${bytes} bytes")
  endif()
  while(length LESS digits)
    string(PREPEND hex "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

# Text as hex digits, two per character.
function(zf_text_hex out text)
  string(HEX "${text}" hex)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

# The big-endian number in `bytes` bytes at byte `offset` of a hex dump.
function(zf_read_be out hex offset bytes)
  math(EXPR start "${offset} * 2")
  math(EXPR digits "${bytes} * 2")
  string(LENGTH "${hex}" length)
  math(EXPR end "${start} + ${digits}")
  if(end GREATER length)
    message(FATAL_ERROR "read of ${bytes} bytes at ${offset} runs past the end (${length} hex digits)")
  endif()
  string(SUBSTRING "${hex}" ${start} ${digits} field)
  math(EXPR value "0x${field}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# `bytes` bytes at byte `offset` of a hex dump, still as hex.
function(zf_slice out hex offset bytes)
  math(EXPR start "${offset} * 2")
  math(EXPR digits "${bytes} * 2")
  string(SUBSTRING "${hex}" ${start} ${digits} field)
  set(${out} "${field}" PARENT_SCOPE)
endfunction()
