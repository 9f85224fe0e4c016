// Progress of a sequence: a bar redrawn in place on a terminal, one plain
// line per frame otherwise.
#ifndef ZF_TOOLS_PREVIEW_PROGRESS_H
#define ZF_TOOLS_PREVIEW_PROGRESS_H

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>

namespace preview {

class Progress {
 public:
  // Draws on stream; a bar when it is a terminal.
  Progress(long total, std::FILE* stream);

  // Thread-safe. Throws ToolError when the stream cannot be written.
  void frameDone(std::string const& path);
  // Ends the bar's line and prints the totals.
  void finish();
  // Ends the bar's line, so that an error message starts on its own.
  void abandon();

 private:
  using Clock = std::chrono::steady_clock;
  std::string status() const;

  std::mutex mutex_;
  std::FILE* stream_;
  bool terminal_;
  long total_;
  long done_ = 0;
  Clock::time_point start_;
};

// printf to standard output, checked: a closed stream (a pipe whose reader
// is gone) throws ToolError instead of ending the tool without a word.
void report(char const* format, ...) __attribute__((format(printf, 1, 2)));

// "1:05" for 65 seconds.
std::string clockText(double seconds);

}  // namespace preview

#endif
