// Exports of ZarnitFringeFaults, the test-only build of the plug-in, besides
// its two entry points. Looked up by name through testhost::Plugin::symbol.
#ifndef ZF_TESTS_RELIABILITY_FAULT_HOOKS_H
#define ZF_TESTS_RELIABILITY_FAULT_HOOKS_H

namespace zfrel {

// refuseWorkerStart(k), k from 1 to 16: the start of the k-th of the
// sixteen row workers fails as the system fails a thread start, in every
// frame from now on; 0 lets every start through again. Also restarts the
// refusal count.
inline constexpr char kRefuseWorkerStart[] = "ZarnitFringeFaults_RefuseWorkerStart";
using RefuseWorkerStartFunc = void (*)(int worker);

// Thread starts refused since the last refuseWorkerStart call.
inline constexpr char kRefusedWorkerStarts[] = "ZarnitFringeFaults_RefusedWorkerStarts";
using RefusedWorkerStartsFunc = long (*)();

}  // namespace zfrel

#endif
