#include "SuiteFilter.h"

#include <atomic>
#include <cstring>
#include <stdexcept>

namespace zfrel {
namespace {

std::atomic<SuiteFilter*> g_active{nullptr};

std::size_t tableSize(std::string const& name, int32_t version) {
  struct Known {
    char const* name;
    int32_t version;
    std::size_t size;
  };
  const Known known[] = {
      {kPFHandleSuite, kPFHandleSuiteVersion2, sizeof(PF_HandleSuite1)},
      {kPFANSISuite, kPFANSISuiteVersion1, sizeof(PF_ANSICallbacksSuite1)},
      {kPFWorldSuite, kPFWorldSuiteVersion2, sizeof(PF_WorldSuite2)},
      {kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1, sizeof(PF_PixelFormatSuite1)},
      {kPFIterate8Suite, kPFIterate8SuiteVersion1, sizeof(PF_Iterate8Suite1)},
  };
  for (Known const& k : known) {
    if (name == k.name && version == k.version) {
      return k.size;
    }
  }
  return 0;
}

bool isSuite(std::string const& name, int32_t version, char const* suiteName, int32_t suiteVersion) {
  return name == suiteName && version == suiteVersion;
}

}  // namespace

SuiteFilter::SuiteFilter(SPBasicSuite const* real) : real_(real), basic_(*real) {
  SuiteFilter* none = nullptr;
  if (!g_active.compare_exchange_strong(none, this)) {
    throw std::logic_error("zfrel::SuiteFilter: one filter at a time");
  }
  basic_.AcquireSuite = acquire;
  basic_.ReleaseSuite = release;
}

SuiteFilter::~SuiteFilter() {
  g_active = nullptr;
}

void SuiteFilter::answerFormat(void const* data, PF_PixelFormat code) {
  std::lock_guard<std::mutex> lock(mutex_);
  formats_[data] = code;
}

void SuiteFilter::nullMember(char const* name, int32_t version, std::size_t offset) {
  if (offset + sizeof(void (*)()) > tableSize(name, version)) {
    throw std::invalid_argument("zfrel::SuiteFilter::nullMember: no such member");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  nulled_[{name, version}].push_back(offset);
}

void SuiteFilter::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  formats_.clear();
  nulled_.clear();
}

SPErr SuiteFilter::acquire(char const* name, int32_t version, void const** suite) {
  SuiteFilter* self = g_active.load();
  const SPErr err = self->real_->AcquireSuite(name, version, suite);
  if (err != kSPNoError || suite == nullptr || *suite == nullptr || name == nullptr) {
    return err;
  }
  const std::string suiteName = name;
  const std::size_t size = tableSize(suiteName, version);
  if (size == 0) {
    return err;
  }
  std::lock_guard<std::mutex> lock(self->mutex_);
  std::vector<unsigned char>& copy = self->tables_[{suiteName, version}];
  if (copy.empty()) {
    copy.resize(size);
  }
  std::memcpy(copy.data(), *suite, size);
  if (isSuite(suiteName, version, kPFWorldSuite, kPFWorldSuiteVersion2)) {
    auto* table = reinterpret_cast<PF_WorldSuite2*>(copy.data());
    self->realWorldFormat_ = static_cast<PF_WorldSuite2 const*>(*suite)->PF_GetPixelFormat;
    table->PF_GetPixelFormat = worldFormat;
  } else if (isSuite(suiteName, version, kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1)) {
    auto* table = reinterpret_cast<PF_PixelFormatSuite1*>(copy.data());
    self->realPremiereFormat_ = static_cast<PF_PixelFormatSuite1 const*>(*suite)->GetPixelFormat;
    table->GetPixelFormat = premiereFormat;
  }
  auto const nulled = self->nulled_.find({suiteName, version});
  if (nulled != self->nulled_.end()) {
    for (const std::size_t offset : nulled->second) {
      std::memset(copy.data() + offset, 0, sizeof(void (*)()));
    }
  }
  *suite = copy.data();
  return err;
}

SPErr SuiteFilter::release(char const* name, int32_t version) {
  return g_active.load()->real_->ReleaseSuite(name, version);
}

bool SuiteFilter::answer(PF_EffectWorld const* world, PF_PixelFormat* format) {
  if (world == nullptr || format == nullptr) {
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto const it = formats_.find(world->data);
  if (it == formats_.end()) {
    return false;
  }
  *format = it->second;
  return true;
}

PF_Err SuiteFilter::worldFormat(PF_EffectWorld const* world, PF_PixelFormat* format) {
  SuiteFilter* self = g_active.load();
  if (self->answer(world, format)) {
    return PF_Err_NONE;
  }
  return self->realWorldFormat_ != nullptr ? self->realWorldFormat_(world, format)
                                           : PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err SuiteFilter::premiereFormat(PF_EffectWorld* world, PrPixelFormat* format) {
  SuiteFilter* self = g_active.load();
  PF_PixelFormat code = 0;
  if (self->answer(world, &code)) {
    *format = code;
    return PF_Err_NONE;
  }
  return self->realPremiereFormat_ != nullptr ? self->realPremiereFormat_(world, format)
                                              : PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace zfrel
