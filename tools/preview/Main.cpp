// zarnit-render: renders image files through the built plug-in, loaded into
// the stand-in host. See --help.
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include <malloc.h>

#include <OpenImageIO/imageio.h>

#include "Options.h"
#include "Progress.h"
#include "Render.h"
#include "TempFile.h"

int main(int argc, char** argv) {
  using namespace preview;
  cleanUpOnSignals();
#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
  // The image library's worker threads synchronise in code the thread
  // sanitizer cannot see; frames still render in parallel with --jobs.
  OIIO::attribute("threads", 1);
#endif
#endif
  // Every frame allocates the same large buffers again (files, host worlds,
  // the plug-in's working buffers), on whichever thread renders it. Served
  // from one heap they are reused; served by mmap or per-thread heaps, each
  // frame pays for fresh pages again. The allocations are few and large, so
  // one arena costs no contention worth having.
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_THRESHOLD, 512 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
  try {
    const Options options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      report("%s", options.helpText.c_str());
      return 0;
    }
    if (options.version) {
      printVersion(options);
    } else if (!options.demoDir.empty()) {
      runDemo(options);
    } else {
      runRender(options);
    }
    return 0;
  } catch (UsageError const& e) {
    std::fprintf(stderr, "zarnit-render: %s\n", e.what());
    return 2;
  } catch (std::bad_alloc const&) {
    std::fprintf(stderr, "zarnit-render: error: out of memory\n");
    return 1;
  } catch (std::exception const& e) {
    std::fprintf(stderr, "zarnit-render: error: %s\n", e.what());
    return 1;
  }
}
