/* A file written under a temporary name beside its destination and renamed
 * into place only when complete. */
#ifndef ZF_TOOLS_RENDER_TEMPFILE_H
#define ZF_TOOLS_RENDER_TEMPFILE_H

#include <string>
#include <vector>

namespace preview {

class TempFile {
 public:
  /* Creates a fresh, empty file in destination's folder (hidden, same
   * extension, so that writers choosing by extension still work). Throws
   * ToolError naming destination and why: the folder does not exist or is
   * not writable, or the system's reason. */
  explicit TempFile(const std::string& destination);
  /* Removes the temporary file unless it was committed. */
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  /* Replaces the temporary file's contents with bytes, every write and the
   * close checked (a full disk or a file size limit is an error, not a short
   * file). Throws ToolError. */
  void write(const std::vector<unsigned char>& bytes);
  /* Renames the temporary file over the destination. Throws ToolError. */
  void commit();

 private:
  [[noreturn]] void fail(int error) const;

  std::string destination_;
  std::string path_;
  int slot_ = -1;
  bool committed_ = false;
};

/* On SIGINT and SIGTERM, removes every temporary file not yet committed, then
 * ends the process as the signal would. */
void removeTempFilesOnInterrupt();

}  // namespace preview

#endif
