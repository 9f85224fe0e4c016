#include "TempFile.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>

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
  const std::string name = "." + target.stem().string() + ".tmp-" + std::to_string(getpid()) + "-" +
                           std::to_string(counter.fetch_add(1)) + target.extension().string();
  path_ = (target.parent_path() / name).string();
  slot_ = claimSlot(path_);
}

TempFile::~TempFile() {
  if (!committed_) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  releaseSlot(slot_);
}

void TempFile::commit() {
  std::error_code error;
  std::filesystem::rename(path_, destination_, error);
  if (error) {
    throw ToolError("cannot write " + destination_ + ": " + error.message());
  }
  committed_ = true;
}

void removeTempFilesOnInterrupt() {
  std::signal(SIGINT, onInterrupt);
  std::signal(SIGTERM, onInterrupt);
}

}  // namespace preview
