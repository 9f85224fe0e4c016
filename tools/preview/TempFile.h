// A file written under a temporary name beside its destination and renamed
// into place only when complete.
#ifndef ZF_TOOLS_PREVIEW_TEMPFILE_H
#define ZF_TOOLS_PREVIEW_TEMPFILE_H

#include <filesystem>
#include <string>
#include <vector>

namespace preview {

// The file a write to `path` lands in: path itself, or where path is a
// symbolic link, the file at the end of its links (which need not exist
// yet), as every common tool writes through a link.
std::filesystem::path resolvedDestination(std::string const& path);

class TempFile {
 public:
  // Creates a fresh, empty file (mkstemps, a short hidden name, so that it
  // fits wherever the destination's name fits) in the folder of the
  // destination's resolved file. Throws ToolError naming destination and
  // why: the folder does not exist or is not writable, or the system's
  // reason.
  explicit TempFile(std::string const& destination);
  // Removes the temporary file unless it was committed.
  ~TempFile();
  TempFile(TempFile const&) = delete;
  TempFile& operator=(TempFile const&) = delete;

  std::string const& path() const { return path_; }
  // Replaces the temporary file's contents with bytes, every write and the
  // close checked (a full disk or a file size limit is an error, not a short
  // file). Throws ToolError.
  void write(std::vector<unsigned char> const& bytes);
  // Renames the temporary file over the destination's resolved file. An
  // existing file must be writable by us; the new one keeps its mode, and its
  // owner where the process may set it (a new file gets the mode new files
  // get). Throws ToolError.
  void commit();

 private:
  [[noreturn]] void fail(int error) const;

  std::string destination_;
  std::filesystem::path target_;
  std::string path_;
  bool committed_ = false;
};

// On every terminating signal that can be caught, removes every temporary
// file not yet committed, then ends the process as the signal would; the
// signals are taken by a thread of its own. A closed output stream (SIGPIPE)
// becomes a failed write that is reported, and so does a file size limit
// (SIGXFSZ). Call once, before any other thread is started.
void cleanUpOnSignals();

}  // namespace preview

#endif
