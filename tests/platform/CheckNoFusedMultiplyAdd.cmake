# An arm64 binary whose code holds no fused multiply-add: a fused operation
# rounds once where the kernel's formula rounds twice, so its pixels would
# differ from every other build's. The whole binary is read, whatever
# instruction path its kernel takes. The kernel's own vector divisions and
# square roots must be there, so that a disassembly that shows nothing cannot
# pass. Both notations are read: GNU objdump's ("<name>:" labels,
# "fdiv v0.4s, ...") and llvm-objdump's Mach-O ("_name:", "fdiv.4s v0, ...").
#
#   cmake -DBINARY=<arm64 binary> -DOBJDUMP=<objdump for it> [-DOBJDUMP_ARGS=<a;b>]
#         -P CheckNoFusedMultiplyAdd.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

zf_run(code "${OBJDUMP}" ${OBJDUMP_ARGS} -d --no-show-raw-insn "${BINARY}")

foreach(instruction fdiv fsqrt)
  zf_expect_true("vector ${instruction} present" code MATCHES "[\t ]${instruction}(\\.4s|[\t ]+v[0-9]+\\.4s)")
endforeach()

# Function labels and fused instructions in the order they appear, so that
# each find is named by the function holding it.
set(fused "fmadd|fmsub|fnmadd|fnmsub|fmla|fmls")
string(REGEX MATCHALL "\n[0-9a-f]* ?<?[_A-Za-z0-9.$]+>?:|[\t ](${fused})[ .\t][^\n]*" items "${code}")
set(function "?")
set(found "")
foreach(item IN LISTS items)
  if(item MATCHES "^\n[0-9a-f]* ?<?([^>]*)>?:$")
    set(function "${CMAKE_MATCH_1}")
  else()
    string(STRIP "${item}" item)
    string(REPLACE ";" "," item "${item}")
    list(APPEND found "${function}: ${item}")
  endif()
endforeach()
list(LENGTH found count)
if(count GREATER 5)
  list(SUBLIST found 0 5 found)
  list(APPEND found "... ${count} in all")
endif()
zf_expect_equal("fused multiply-add instructions" "${found}" "")

zf_checks_done()
