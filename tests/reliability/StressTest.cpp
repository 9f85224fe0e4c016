// Many frames at once: two hosts (After Effects and Premiere Pro) in one
// process, eight host threads sending frames of every format, both render
// paths and random parameters. Every frame must come out exactly as the
// same frame rendered alone, and both hosts' books must balance. Under the
// thread sanitizer this is also the race check of the whole plug-in.
#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "Frames.h"

namespace zfrel {
namespace {

using testhost::App;
using testhost::World;

constexpr int kFrames = 200;
constexpr int kThreads = 8;

struct Job {
  RenderPath path = RenderPath::Plain;
  Params params;
  testhost::SmartRenderOptions options;
  std::unique_ptr<testhost::Instance> instance;
  std::unique_ptr<World> input;
  std::unique_ptr<World> alone;
  std::unique_ptr<World> together;
  FrameResult aloneResult;
  FrameResult togetherResult;
};

TEST(Stress, FramesFromEightThreadsEqualTheSameFramesRenderedAlone) {
  testhost::Host hosts[] = {testhost::Host(App::AfterEffects), testhost::Host(App::PremierePro)};
  std::unique_ptr<testhost::Effect> effects[2];
  for (int h = 0; h < 2; ++h) {
    effects[h] = std::make_unique<testhost::Effect>(hosts[h], ZF_PLUGIN_PATH);
    ASSERT_EQ(effects[h]->globalSetup().err, PF_Err_NONE);
    ASSERT_EQ(effects[h]->paramsSetup().err, PF_Err_NONE);
  }
  const PF_PixelFormat formats[2][3] = {
      {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128},
      {PF_PixelFormat_BGRA32, PrPixelFormat_BGRA_4444_32f, PrPixelFormat_BGRA_4444_32f_Linear}};

  std::mt19937 random(20240607);
  auto const uniform = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  std::vector<Job> jobs(kFrames);
  for (int i = 0; i < kFrames; ++i) {
    Job& job = jobs[static_cast<std::size_t>(i)];
    int const h = uniform(0, 1);
    const PF_PixelFormat format = formats[h][uniform(0, 2)];
    const A_long width = uniform(64, 160);
    const A_long height = uniform(48, 90);
    // Inputs of the output's size mostly, some larger or smaller.
    int const sizeKind = uniform(0, 3);
    const A_long inWidth = sizeKind == 1   ? width + uniform(1, 20)
                           : sizeKind == 2 ? width - uniform(1, 40)
                                           : width;
    const A_long inHeight = sizeKind == 1   ? height + uniform(1, 20)
                            : sizeKind == 2 ? height - uniform(1, 40)
                                            : height;
    job.path = uniform(0, 1) == 0 ? RenderPath::Plain : RenderPath::Smart;
    job.params.centerX = uniform(-20 * 65536, (width + 20) * 65536);
    job.params.centerY = uniform(-20 * 65536, (height + 20) * 65536);
    job.params.mode = uniform(1, 3);
    job.params.scaling = uniform(1, 3);
    job.params.amount = std::uniform_real_distribution<double>(-100.0, 100.0)(random);
    job.params.show = uniform(1, 5);
    if (job.path == RenderPath::Smart && uniform(0, 1) == 1) {
      job.options.setInputRect = true;
      const A_long left = uniform(-8, 8);
      const A_long top = uniform(-8, 8);
      job.options.inputRect = PF_LRect{left, top, left + inWidth, top + inHeight};
    }
    job.instance = std::make_unique<testhost::Instance>(*effects[h], inWidth, inHeight);
    ASSERT_EQ(job.instance->sequenceSetup().err, PF_Err_NONE);
    applyParams(*job.instance, job.params);
    job.input = std::make_unique<World>(format, inWidth, inHeight);
    fillPattern(*job.input, static_cast<unsigned>(i));
    job.alone = std::make_unique<World>(format, width, height);
    job.together = std::make_unique<World>(format, width, height);
  }

  for (Job& job : jobs) {
    job.aloneResult = renderFrame(*job.instance, job.path, *job.input, *job.alone, job.options);
  }

  std::atomic<int> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = next++; i < kFrames; i = next++) {
        Job& job = jobs[static_cast<std::size_t>(i)];
        job.togetherResult = renderFrame(*job.instance, job.path, *job.input, *job.together, job.options);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }

  int rendered = 0;
  for (int i = 0; i < kFrames; ++i) {
    SCOPED_TRACE(::testing::Message() << "frame " << i);
    Job& job = jobs[static_cast<std::size_t>(i)];
    EXPECT_EQ(job.aloneResult.err, PF_Err_NONE);
    EXPECT_EQ(job.togetherResult.err, PF_Err_NONE);
    EXPECT_TRUE(job.togetherResult.rendered);
    EXPECT_EQ(pixelDifference(*job.alone, *job.together), "")
        << nameOf(job.path) << ", " << job.input->info().name << " " << job.input->width() << "x"
        << job.input->height() << " into " << job.alone->width() << "x" << job.alone->height();
    rendered += (job.aloneResult.rendered ? 1 : 0) + (job.togetherResult.rendered ? 1 : 0);
    EXPECT_EQ(job.instance->sequenceSetdown().err, PF_Err_NONE);
    EXPECT_EQ(job.instance->outstandingCheckouts(), 0);
  }
  jobs.clear();
  for (testhost::Host const& host : hosts) {
    EXPECT_EQ(host.accountingReport(), "");
    EXPECT_EQ(host.handleStats().live, 0);
  }
  ::testing::Test::RecordProperty("frames", rendered);
  std::cout << "[ frames   ] " << rendered << " rendered (" << kFrames << " alone, " << kFrames << " from "
            << kThreads << " threads at once)\n";
}

}  // namespace
}  // namespace zfrel
