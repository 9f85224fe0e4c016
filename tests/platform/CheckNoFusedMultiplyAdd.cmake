# An arm64 binary whose code holds no fused multiply-add: a fused operation
# rounds once where the kernel rounds twice, so its pixels would differ from
# every other build's. The kernel's own IEEE divisions and square roots must
# be there, so that a disassembly that shows nothing cannot pass. Both
# notations of vector instructions are read: GNU's "fdiv v0.4s, ..." and
# llvm-objdump's Mach-O "fdiv.4s v0, ...".
#
#   cmake -DBINARY=<arm64 binary> -DOBJDUMP=<objdump for it> -P CheckNoFusedMultiplyAdd.cmake
include("${CMAKE_CURRENT_LIST_DIR}/Checks.cmake")

zf_run(code "${OBJDUMP}" -d --no-show-raw-insn "${BINARY}")
string(REGEX MATCHALL "[\t ](fn?madd|fn?msub|fml[as])[\t .][^\n]*" fused "${code}")
list(LENGTH fused count)
if(count GREATER 0)
  list(GET fused 0 first)
  string(STRIP "${first}" first)
endif()
zf_expect_equal("fused multiply-add instructions (first: '${first}')" "${count}" "0")
zf_expect_true("vector division present" "${code}" MATCHES "[\t ]fdiv(\\.4s|[\t ]+v[0-9]+\\.4s)")
zf_expect_true("vector square root present" "${code}" MATCHES "[\t ]fsqrt(\\.4s|[\t ]+v[0-9]+\\.4s)")

zf_checks_done()
