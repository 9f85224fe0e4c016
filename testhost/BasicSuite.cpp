// The basic suite: named, versioned suites with acquisition counts, and
// memory blocks.
#include <cstdlib>
#include <cstring>

#include "testhost/HostState.h"

namespace testhost {

void HostState::registerSuites() {
  suites_[{kPFHandleSuite, kPFHandleSuiteVersion2}].table = &handleSuite_;
  suites_[{kPFANSISuite, kPFANSISuiteVersion1}].table = &ansiSuite_;
  suites_[{kPFWorldSuite, kPFWorldSuiteVersion2}].table = &worldSuite_;
  suites_[{kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1}].table = &pixelFormatSuite_;
  suites_[{kPFIterate8Suite, kPFIterate8SuiteVersion1}].table = &iterateSuite_;
}

SPErr HostState::acquireSuite(char const* name, int32_t version, void const** suite) {
  if (suite == nullptr) {
    return kSuiteNotFoundError;
  }
  *suite = nullptr;
  if (name == nullptr) {
    return kSuiteNotFoundError;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  SuiteEntry& entry = suites_[{name, version}];
  if (entry.table == nullptr || entry.missing) {
    ++entry.stats.refused;
    return kSuiteNotFoundError;
  }
  ++entry.stats.acquired;
  bool const iterate = std::strcmp(name, kPFIterate8Suite) == 0 && version == kPFIterate8SuiteVersion1;
  *suite = iterate && !iterateGenericAvailable_ ? &iterateSuiteWithoutGeneric_ : entry.table;
  return kSPNoError;
}

SPErr HostState::releaseSuite(char const* name, int32_t version) {
  if (name == nullptr) {
    return kSuiteNotFoundError;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto const it = suites_.find({name, version});
  if (it == suites_.end() || it->second.stats.released >= it->second.stats.acquired) {
    ++unmatchedReleases_;
    return kSuiteNotFoundError;
  }
  ++it->second.stats.released;
  return kSPNoError;
}

SPErr HostState::allocateBlock(size_t size, void** block) {
  if (block == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *block = std::malloc(size == 0 ? 1 : size);
  if (*block == nullptr) {
    return PF_Err_OUT_OF_MEMORY;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  blocks_.insert(*block);
  return kSPNoError;
}

SPErr HostState::freeBlock(void* block) {
  if (block == nullptr) {
    return kSPNoError;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (blocks_.erase(block) == 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::free(block);
  return kSPNoError;
}

SPErr HostState::reallocateBlock(void* block, size_t size, void** newBlock) {
  if (newBlock == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (block != nullptr && blocks_.count(block) == 0) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  void* moved = std::realloc(block, size == 0 ? 1 : size);
  if (moved == nullptr) {
    return PF_Err_OUT_OF_MEMORY;
  }
  blocks_.erase(block);
  blocks_.insert(moved);
  *newBlock = moved;
  return kSPNoError;
}

}  // namespace testhost
