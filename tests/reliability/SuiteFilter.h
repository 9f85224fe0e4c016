// A basic suite placed in front of the stand-in host's, serving its suites
// the way a broken or hostile host might: with chosen functions missing from
// a table, and with format answers for worlds the host does not know (memory
// laid out bottom up, or codes outside every table). Everything else goes to
// the real host unchanged, so its books still balance.
//
// Suite callbacks carry no context, so one filter at a time may exist in the
// process; it is used from the thread that sends the commands.
#ifndef ZF_TESTS_RELIABILITY_SUITE_FILTER_H
#define ZF_TESTS_RELIABILITY_SUITE_FILTER_H

#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "suites/HostInterface.h"

namespace zfrel {

class SuiteFilter {
 public:
  // Throws std::logic_error when another filter exists.
  explicit SuiteFilter(SPBasicSuite const* real);
  ~SuiteFilter();
  SuiteFilter(SuiteFilter const&) = delete;
  SuiteFilter& operator=(SuiteFilter const&) = delete;

  // The basic suite to put into in_data->pica_basicP.
  SPBasicSuite* basic() { return &basic_; }

  // The World Suite's and the Pixel Format Suite's format queries answer
  // `code` for a world whose data is `data`.
  void answerFormat(void const* data, PF_PixelFormat code);

  // The suite is served with the function pointer at byte `offset` of its
  // table set to null. Known suites: Handle 2, ANSI 1, World 2, Pixel
  // Format 1, Iterate8 1.
  void nullMember(char const* name, int32_t version, std::size_t offset);

  // Back to serving every suite as the host does.
  void clear();

 private:
  using Key = std::pair<std::string, int32_t>;
  static SPErr acquire(char const* name, int32_t version, void const** suite);
  static SPErr release(char const* name, int32_t version);
  static PF_Err worldFormat(PF_EffectWorld const* world, PF_PixelFormat* format);
  static PF_Err premiereFormat(PF_EffectWorld* world, PrPixelFormat* format);
  bool answer(PF_EffectWorld const* world, PF_PixelFormat* format);

  SPBasicSuite const* real_;
  SPBasicSuite basic_;
  std::mutex mutex_;
  std::map<void const*, PF_PixelFormat> formats_;
  std::map<Key, std::vector<std::size_t>> nulled_;
  std::map<Key, std::vector<unsigned char>> tables_;  // served copies; never move once made
  PF_Err (*realWorldFormat_)(PF_EffectWorld const*, PF_PixelFormat*) = nullptr;
  PF_Err (*realPremiereFormat_)(PF_EffectWorld*, PrPixelFormat*) = nullptr;
};

}  // namespace zfrel

#endif
