// The row dispatch's worker start for test executables, linked in place of
// zf_render_workers. It passes every start on as it is, until a test asks
// it to watch the starts (and to refuse one, or to slow every worker).
#ifndef ZF_TESTS_COMMON_WORKERSTARTS_H
#define ZF_TESTS_COMMON_WORKERSTARTS_H

#include <vector>

namespace testWorkers {

struct Band {
  int band, first, end;
};

struct Watch {
  int refuseBand = -1;              // this band's start fails as the system fails one
  bool refuseWithBadAlloc = false;  // ... with std::bad_alloc instead
  bool slow = false;                // each worker waits 20 ms before its work
};

// Watches the starts from now on, one dispatch at a time, and forgets what
// was recorded.
void watch(Watch w = {});
// Passes every start on again, unwatched.
void stopWatching();

std::vector<Band> started();  // the bands started (or refused), in order
int finished();               // the watched workers that have done their work

}  // namespace testWorkers

#endif
