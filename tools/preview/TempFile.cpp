#include "TempFile.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ToolError.h"

namespace preview {
namespace {

// Temporary files not yet committed. The terminating signals are taken by a
// thread of their own (cleanUpOnSignals), which may lock like any other: a
// file is made and listed, or renamed and struck off, in one step under the
// lock, so the clean-up sees every file that exists and no other.
std::mutex pendingMutex;
std::set<std::string> pending;

// The signals that end a process and can be caught.
constexpr int kTerminating[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGALRM, SIGUSR1,
                                SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF, SIGPWR,  SIGIO};

// New files get 0666 without the process's umask, as open() would give them.
mode_t const newFileMode = [] {
  mode_t const mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}();

}  // namespace

std::filesystem::path resolvedDestination(std::string const& path) {
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

TempFile::TempFile(std::string const& destination)
    : destination_(destination), target_(resolvedDestination(destination)) {
  const std::filesystem::path folder = target_.parent_path().empty() ? "." : target_.parent_path();
  std::string name = (folder / ".zr-XXXXXX").string();
  std::lock_guard<std::mutex> lock(pendingMutex);
  int const fd = mkstemp(name.data());
  if (fd < 0) {
    fail(errno);
  }
  close(fd);
  path_ = name;
  pending.insert(path_);
}

TempFile::~TempFile() {
  if (!committed_) {
    std::lock_guard<std::mutex> lock(pendingMutex);
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    pending.erase(path_);
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

void TempFile::write(std::vector<unsigned char> const& bytes) {
  int const fd = open(path_.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
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
      int const error = n < 0 ? errno : ENOSPC;
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
  std::lock_guard<std::mutex> lock(pendingMutex);
  if (rename(path_.c_str(), target_.c_str()) != 0) {
    throw ToolError("cannot write " + destination_ + ": " + systemReason(errno));
  }
  committed_ = true;
  pending.erase(path_);
}

void cleanUpOnSignals() {
  sigset_t terminating;
  sigemptyset(&terminating);
  for (int s : kTerminating) {
    sigaddset(&terminating, s);
  }
  // Held back in this thread and so in every thread started after it; only
  // the clean-up thread below takes them.
  pthread_sigmask(SIG_BLOCK, &terminating, nullptr);
  std::thread([terminating] {
    int signal = 0;
    sigwait(&terminating, &signal);
    std::lock_guard<std::mutex> lock(pendingMutex);
    for (const std::string& path : pending) {
      unlink(path.c_str());
    }
    // Ends the process as the signal would have.
    std::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    std::raise(signal);
  }).detach();
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace preview
