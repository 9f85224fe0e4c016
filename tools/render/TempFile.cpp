#include "TempFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include "Image.h"

namespace preview {
namespace {

/* Temporary files in flight, readable from a signal handler: a fixed table of
 * plain character buffers, each owned by one TempFile while its state is
 * kActive. More files than slots are still written safely, only not removed
 * on an interrupt. */
constexpr int kSlots = 128;
constexpr int kFree = 0;
constexpr int kFilling = 1;
constexpr int kActive = 2;
constexpr std::size_t kPathMax = 4096;

struct Slot {
  std::atomic<int> state{kFree};
  char path[kPathMax];
};

Slot slots[kSlots];
std::atomic<unsigned long> counter{0};

int claimSlot(const std::string& path) {
  if (path.size() >= kPathMax) {
    return -1;
  }
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (slots[i].state.compare_exchange_strong(expected, kFilling)) {
      std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
      slots[i].state.store(kActive);
      return i;
    }
  }
  return -1;
}

void releaseSlot(int slot) {
  if (slot >= 0) {
    slots[slot].state.store(kFree);
  }
}

extern "C" void onInterrupt(int signal) {
  for (Slot& slot : slots) {
    if (slot.state.load() == kActive) {
      unlink(slot.path);
    }
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

TempFile::TempFile(const std::string& destination) : destination_(destination) {
  const std::filesystem::path target(destination);
  // The name is ours alone: O_EXCL, and another name while one is taken (by
  // a process of the same id that was killed before it could clean up).
  for (int attempt = 0;; ++attempt) {
    const std::string name = "." + target.stem().string() + ".tmp-" + std::to_string(getpid()) + "-" +
                             std::to_string(counter.fetch_add(1)) + target.extension().string();
    path_ = (target.parent_path() / name).string();
    const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      close(fd);
      // Claimed only once it is ours: an interrupt must never remove a file
      // of another process that happened to hold the name.
      slot_ = claimSlot(path_);
      return;
    }
    if (errno != EEXIST || attempt == 100) {
      fail(errno);
    }
  }
}

TempFile::~TempFile() {
  if (!committed_) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  releaseSlot(slot_);
}

void TempFile::fail(int error) const {
  const std::filesystem::path folder = std::filesystem::path(destination_).parent_path().empty()
                                           ? "."
                                           : std::filesystem::path(destination_).parent_path();
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      throw ToolError("cannot write " + destination_ + ": folder " + folder.string() + " is not writable");
    case ENOENT:
      throw ToolError("cannot write " + destination_ + ": folder " + folder.string() + " does not exist");
    default:
      throw ToolError("cannot write " + destination_ + ": " + systemReason(error));
  }
}

void TempFile::write(const std::vector<unsigned char>& bytes) {
  const int fd = open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) {
    fail(errno);
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      const int error = n < 0 ? errno : ENOSPC;
      close(fd);
      fail(error);
    }
    done += static_cast<std::size_t>(n);
  }
  if (close(fd) != 0) {
    fail(errno);
  }
}

void TempFile::commit() {
  std::error_code error;
  std::filesystem::rename(path_, destination_, error);
  if (error) {
    throw ToolError("cannot write " + destination_ + ": " + systemReason(error.value()));
  }
  committed_ = true;
}

void removeTempFilesOnInterrupt() {
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
}

}  // namespace preview
