# The arm64 slice's code holds no fused multiply-add: a fused instruction
# rounds once where the kernel's formula rounds twice, so the pixels would
# differ from every other build. The whole slice is read, whatever instruction
# path its kernel takes.
#
#   cmake -DPLUGIN=<Contents/MacOS/ZarnitFringe> -DOBJDUMP=<llvm-objdump> -P CheckMacArm64NoFma.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

zf_run(code "${OBJDUMP}" --macho -d --no-show-raw-insn --arch=arm64 "${PLUGIN}")

# The kernel's square root and division: the disassembly really holds the
# floating-point code, so finding no fused instruction means something.
foreach(instruction fsqrt fdiv)
  zf_expect_true("the arm64 code has ${instruction}" code MATCHES "\t${instruction}[ .\t]")
endforeach()

# Function labels and fused instructions, in the order they appear, so that
# each find can be named by the function that holds it.
set(fused "fmadd|fmsub|fnmadd|fnmsub|fmla|fmls")
string(REGEX MATCHALL "\n[_A-Za-z0-9.$]+:|\t(${fused})[ .\t][^\n]*" items "${code}")
set(function "?")
set(found "")
foreach(item IN LISTS items)
  if(item MATCHES "^\n(.*):$")
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
zf_expect_equal("fused multiply-add instructions in the arm64 code" "${found}" "")

zf_checks_done()
