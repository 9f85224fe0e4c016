// Host memory handles. A handle is the address of a master pointer that
// points at the memory; unlocked memory may move on resize (it always does
// here, so stale pointers show up under the sanitizers).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "testhost/HostState.h"

namespace testhost {
namespace {

void* allocateGarbage(A_HandleSize size) {
  void* memory = std::malloc(size == 0 ? 1 : static_cast<size_t>(size));
  if (memory != nullptr) {
    std::memset(memory, World::kGarbage, size == 0 ? 1 : static_cast<size_t>(size));
  }
  return memory;
}

}  // namespace

HandleBlock* HostState::findHandle(PF_Handle handle) {
  auto const it = handles_.find(handle);
  if (it == handles_.end()) {
    ++handleStats_.invalidUses;
    return nullptr;
  }
  return it->second.get();
}

PF_Handle HostState::newHandle(A_HandleSize size) {
  bool const injected = faults_.newHandle.next() != PF_Err_NONE;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handleStats_.largestRequest = std::max(handleStats_.largestRequest, size);
    // Larger requests fail like an exhausted host instead of asking the system.
    if (!injected && size > handleSizeLimit_) {
      ++handleStats_.refusedForSize;
      return nullptr;
    }
  }
  if (injected) {
    return nullptr;
  }
  auto block = std::make_unique<HandleBlock>();
  block->master = allocateGarbage(size);
  if (block->master == nullptr) {
    return nullptr;
  }
  block->size = size;
  PF_Handle handle = &block->master;
  std::lock_guard<std::mutex> lock(mutex_);
  handles_.emplace(handle, std::move(block));
  ++handleStats_.allocated;
  return handle;
}

void* HostState::lockHandle(PF_Handle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleBlock* block = findHandle(handle);
  if (block == nullptr || faults_.lockHandle.next() != PF_Err_NONE) {
    return nullptr;
  }
  ++block->locks;
  ++handleStats_.locks;
  return block->master;
}

void HostState::unlockHandle(PF_Handle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleBlock* block = findHandle(handle);
  if (block == nullptr) {
    return;
  }
  if (block->locks == 0) {
    ++handleStats_.overUnlocks;
    return;
  }
  --block->locks;
  ++handleStats_.unlocks;
}

void HostState::disposeHandle(PF_Handle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleBlock* block = findHandle(handle);
  if (block == nullptr) {
    return;
  }
  if (block->locks > 0) {
    ++handleStats_.disposedLocked;
  }
  std::free(block->master);
  handles_.erase(handle);
  ++handleStats_.disposed;
}

A_HandleSize HostState::handleSize(PF_Handle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  HandleBlock* block = findHandle(handle);
  return block == nullptr ? 0 : block->size;
}

PF_Err HostState::resizeHandle(A_HandleSize size, PF_Handle* handle) {
  if (handle == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  HandleBlock* block = findHandle(*handle);
  if (block == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const PF_Err injected = faults_.resizeHandle.next();
  if (injected != PF_Err_NONE) {
    return injected;
  }
  if (block->locks > 0) {
    // Moving locked memory would pull it from under the plug-in's pointer.
    ++handleStats_.resizesOfLocked;
    return PF_Err_OUT_OF_MEMORY;
  }
  if (size > handleSizeLimit_) {
    return PF_Err_OUT_OF_MEMORY;
  }
  void* moved = allocateGarbage(size);
  if (moved == nullptr) {
    return PF_Err_OUT_OF_MEMORY;
  }
  const A_HandleSize kept = size < block->size ? size : block->size;
  std::memcpy(moved, block->master, static_cast<size_t>(kept));
  std::free(block->master);
  block->master = moved;
  block->size = size;
  return PF_Err_NONE;
}

void HostState::noteHandleSuiteCall() {
  std::lock_guard<std::mutex> lock(mutex_);
  SuiteStats const& stats = suites_[{kPFHandleSuite, kPFHandleSuiteVersion2}].stats;
  if (stats.acquired <= stats.released) {
    ++handleSuiteCallsUnheld_;
  }
}

}  // namespace testhost
