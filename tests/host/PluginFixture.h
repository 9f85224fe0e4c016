/* The built plug-in, loaded into the stand-in host as After Effects or
 * Premiere Pro would load it. Every test ends with the host's books
 * balanced: no handle leaked or left locked, every suite released, every
 * parameter checked in. */
#ifndef ZF_TESTS_HOST_PLUGIN_FIXTURE_H
#define ZF_TESTS_HOST_PLUGIN_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "testhost/Effect.h"
#include "testhost/Host.h"
#include "testhost/World.h"

namespace zftest {

/* Host popup values count from 1. */
constexpr PF_ParamValue kRedCyan = 1;
constexpr PF_ParamValue kLinear = 1;
constexpr PF_ParamValue kFinal = 1;

/* Parameter positions in the host's array. */
constexpr PF_ParamIndex kCenter = 1;
constexpr PF_ParamIndex kMode = 2;
constexpr PF_ParamIndex kScaling = 3;
constexpr PF_ParamIndex kAmount = 4;
constexpr PF_ParamIndex kShow = 5;
constexpr PF_ParamIndex kSampling = 6;
constexpr PF_ParamValue kNearest = 1;
constexpr PF_ParamValue kSmooth = 2;

constexpr PF_Fixed pixels(int whole) {
  return whole * 65536;
}

template <class Record>
std::vector<unsigned char> bytesOf(const Record& record) {
  std::vector<unsigned char> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

class PluginTest : public ::testing::Test {
 protected:
  explicit PluginTest(testhost::App app = testhost::App::AfterEffects)
      : host(app), effect(host, ZF_PLUGIN_PATH) {}

  void TearDown() override { EXPECT_EQ(host.accountingReport(), ""); }

  /* Global and parameter setup, as a host does once per loaded effect. */
  void setUpEffect() {
    ASSERT_EQ(effect.globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effect.paramsSetup().err, PF_Err_NONE);
  }

  testhost::Host host;
  testhost::Effect effect;
};

/* Fills every pixel of a world from its coordinates. */
inline void fillWorld(testhost::World& world,
                      const std::function<testhost::Channels(A_long x, A_long y)>& pixel) {
  for (A_long y = 0; y < world.height(); ++y) {
    for (A_long x = 0; x < world.width(); ++x) {
      world.set(x, y, pixel(x, y));
    }
  }
}

}  // namespace zftest

#endif
