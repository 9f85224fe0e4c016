/* A file written under a temporary name beside its destination and renamed
 * into place only when complete. */
#ifndef ZF_TOOLS_RENDER_TEMPFILE_H
#define ZF_TOOLS_RENDER_TEMPFILE_H

#include <string>

namespace preview {

class TempFile {
 public:
  /* Picks a fresh name in destination's folder (hidden, same extension, so
   * that writers choosing by extension still work). */
  explicit TempFile(const std::string& destination);
  /* Removes the temporary file unless it was committed. */
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  const std::string& path() const { return path_; }
  /* Renames the temporary file over the destination. Throws ToolError. */
  void commit();

 private:
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
