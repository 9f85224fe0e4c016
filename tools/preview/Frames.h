// Image sequences: file names with a frame number pattern (%04d or ####).
#ifndef ZF_TOOLS_RENDER_FRAMES_H
#define ZF_TOOLS_RENDER_FRAMES_H

#include <string>
#include <vector>

namespace preview {

class FramePattern {
 public:
  // Finds one pattern in the file name (not the folder): %d, %0Nd, or a run
  // of N '#'. Throws UsageError for a name with more than one.
  explicit FramePattern(std::string const& path);

  bool isSequence() const { return sequence_; }
  // The file of a frame, the number padded with zeros to the pattern's width.
  std::string pathFor(long frame) const;
  // The frames whose files exist, in order.
  std::vector<long> framesOnDisk() const;

 private:
  std::string path_;
  std::string prefix_;
  std::string suffix_;
  int width_ = 0;
  bool sequence_ = false;
};

}  // namespace preview

#endif
