#include "Progress.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>

#include <unistd.h>

#include "ImageFile.h"

namespace preview {
namespace {

void checkStream(std::FILE* stream) {
  if (std::fflush(stream) != 0 || std::ferror(stream) != 0) {
    int const error = errno;
    std::clearerr(stream);
    throw ToolError(std::string("cannot write to standard ") + (stream == stdout ? "output" : "error") +
                    ": " + systemReason(error));
  }
}

}  // namespace

void report(char const* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  checkStream(stdout);
}

std::string clockText(double seconds) {
  long const total = std::lround(std::max(0.0, seconds));
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
  }
  return text;
}

Progress::Progress(long total, std::FILE* stream)
    : stream_(stream), terminal_(isatty(fileno(stream)) != 0), total_(total), start_(Clock::now()) {}

std::string Progress::status() const {
  double const elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  double const fps = elapsed > 0.0 ? static_cast<double>(done_) / elapsed : 0.0;
  double const left = fps > 0.0 ? static_cast<double>(total_ - done_) / fps : 0.0;
  char text[96];
  std::snprintf(text, sizeof text, "%ld/%ld frames  %.1f fps  %s left", done_, total_, fps,
                clockText(left).c_str());
  return text;
}

void Progress::frameDone(std::string const& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++done_;
  if (terminal_) {
    constexpr long kBarWidth = 30;
    long const filled = total_ > 0 ? done_ * kBarWidth / total_ : kBarWidth;
    const std::string bar = std::string(static_cast<std::size_t>(filled), '#') +
                            std::string(static_cast<std::size_t>(kBarWidth - filled), '.');
    std::fprintf(stream_, "\r[%s] %s\033[K", bar.c_str(), status().c_str());
  } else {
    std::fprintf(stream_, "wrote %s  (%s)\n", path.c_str(), status().c_str());
  }
  checkStream(stream_);
}

void Progress::finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  double const elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  if (terminal_) {
    std::fputc('\n', stream_);
  }
  std::fprintf(stream_, "%ld frame%s in %.2f s (%.1f fps)\n", done_, done_ == 1 ? "" : "s", elapsed,
               elapsed > 0.0 ? static_cast<double>(done_) / elapsed : 0.0);
  checkStream(stream_);
}

void Progress::abandon() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (terminal_ && done_ > 0) {
    std::fputc('\n', stream_);
    std::fflush(stream_);
  }
}

}  // namespace preview
