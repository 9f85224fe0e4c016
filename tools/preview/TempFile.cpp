#include "TempFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ToolError.h"

namespace preview {
namespace {

/* Temporary files in flight, readable from a signal handler: a fixed table of
 * plain character buffers, each owned by one TempFile while its state is
 * kActive. More files than slots are still written safely, only not removed
 * on a signal. */
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

/* The signals that end a process and can be caught. */
constexpr int kTerminating[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGALRM, SIGUSR1,
                                SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF, SIGPWR,  SIGIO};

/* New files get 0666 without the process's umask, as open() would give them. */
mode_t const newFileMode = [] {
  mode_t const mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}();

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

extern "C" void onTerminatingSignal(int signal) {
  for (Slot& slot : slots) {
    if (slot.state.load() == kActive) {
      unlink(slot.path);
    }
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

/* The terminating signals held back while a temporary file is created and
 * claimed: a signal in between would leave a file no one removes. */
class HeldSignals {
 public:
  HeldSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int s : kTerminating) {
      sigaddset(&held, s);
    }
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
  }
  ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  HeldSignals(const HeldSignals&) = delete;
  HeldSignals& operator=(const HeldSignals&) = delete;

 private:
  sigset_t previous_;
};

}  // namespace

std::filesystem::path resolvedDestination(const std::string& path) {
  std::filesystem::path target(path);
  for (int links = 0; links < 40; ++links) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) {
      break;
    }
    const std::filesystem::path next = std::filesystem::read_symlink(target, error);
    if (error) {
      break;
    }
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  return target;
}

TempFile::TempFile(const std::string& destination)
    : destination_(destination), target_(resolvedDestination(destination)) {
  const std::filesystem::path folder = target_.parent_path().empty() ? "." : target_.parent_path();
  std::string name = (folder / ".zr-XXXXXX").string();
  const HeldSignals held;
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    fail(errno);
  }
  close(fd);
  path_ = name;
  // Claimed only once it is ours: a signal must never remove a file of
  // another process.
  slot_ = claimSlot(path_);
}

TempFile::~TempFile() {
  if (!committed_) {
    const HeldSignals held;
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    releaseSlot(slot_);
  }
}

void TempFile::fail(int error) const {
  const std::filesystem::path folder = target_.parent_path().empty() ? "." : target_.parent_path();
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
  struct stat existing {};
  if (stat(target_.c_str(), &existing) == 0) {
    if (access(target_.c_str(), W_OK) != 0) {
      throw ToolError("cannot write " + destination_ + ": " + systemReason(errno));
    }
    // Its owner where we may set it (root may; anyone may keep their own).
    if (chown(path_.c_str(), existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
      throw ToolError("cannot write " + destination_ + ": " + systemReason(errno));
    }
    if (chmod(path_.c_str(), existing.st_mode & 07777) != 0) {
      throw ToolError("cannot write " + destination_ + ": " + systemReason(errno));
    }
  } else if (chmod(path_.c_str(), newFileMode) != 0) {
    throw ToolError("cannot write " + destination_ + ": " + systemReason(errno));
  }
  const HeldSignals held;
  if (rename(path_.c_str(), target_.c_str()) != 0) {
    throw ToolError("cannot write " + destination_ + ": " + systemReason(errno));
  }
  committed_ = true;
  releaseSlot(slot_);
}

void cleanUpOnSignals() {
  struct sigaction action {};
  action.sa_handler = onTerminatingSignal;
  sigemptyset(&action.sa_mask);
  for (int s : kTerminating) {
    sigaddset(&action.sa_mask, s);  // one clean-up at a time
  }
  for (int s : kTerminating) {
    sigaction(s, &action, nullptr);
  }
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace preview
