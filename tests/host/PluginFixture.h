// The built plug-in, loaded into the stand-in host as After Effects or
// Premiere Pro would load it. Every test ends with the host's books
// balanced: no handle leaked or left locked, every suite released, every
// parameter checked in.
#ifndef ZF_TESTS_HOST_PLUGIN_FIXTURE_H
#define ZF_TESTS_HOST_PLUGIN_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "testhost/Effect.h"
#include "testhost/Host.h"
#include "testhost/LoadedEffect.h"
#include "testhost/World.h"

#include "EffectParams.h"
#include "WorldFill.h"

namespace zftest {

template <class Record>
std::vector<unsigned char> bytesOf(Record const& record) {
  std::vector<unsigned char> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

class PluginTest : public ::testing::Test {
 protected:
  explicit PluginTest(testhost::App app = testhost::App::AfterEffects)
      : host(app), effect(host, ZF_PLUGIN_PATH) {}

  void TearDown() override { EXPECT_EQ(host.accountingReport(), ""); }

  // Global and parameter setup, as a host does once per loaded effect.
  void setUpEffect() {
    ASSERT_EQ(effect.globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
  }

  testhost::Host host;
  testhost::Effect effect;
};

}  // namespace zftest

#endif
