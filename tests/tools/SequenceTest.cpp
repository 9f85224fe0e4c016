// Sequences rendered from several host threads at once through the one
// loaded plug-in give the same frames as rendering each file on its own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "ToolTestSupport.h"

namespace {

using tooltest::RawImage;
using tooltest::runTool;
using tooltest::ScratchDir;

constexpr int kFrames = 12;
constexpr int kWidth = 40;
constexpr int kHeight = 30;

std::string frameName(char const* stem, int frame) {
  char name[64];
  std::snprintf(name, sizeof name, "%s.%04d.png", stem, frame);
  return name;
}

// Frames that differ from each other everywhere, so a frame written under
// another frame's name cannot pass.
void writeFrames(ScratchDir const& dir) {
  for (int f = 1; f <= kFrames; ++f) {
    std::vector<std::uint32_t> rgba;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        auto const v = static_cast<std::uint32_t>((x * 1000 + y * 700 + f * 4099) % 65536);
        rgba.insert(rgba.end(), {v, 65535 - v, static_cast<std::uint32_t>(f * 5000), x == f ? 0u : 65535u});
      }
    }
    tooltest::writePng(dir.path(frameName("in", f)), kWidth, kHeight, 16, rgba);
  }
}

const std::vector<std::string> kEffect = {"--amount", "-30",  "--scaling", "square",
                                          "--center", "10,5", "--threads", "3"};

std::vector<std::string> with(std::vector<std::string> args, std::vector<std::string> const& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

TEST(Sequence, FourJobsGiveTheFramesRenderedOneByOne) {
  const ScratchDir dir;
  writeFrames(dir);
  auto const r = runTool(
      with({dir.path("in.%04d.png"), dir.path("seq.####.png"), "--frames", "1-12", "--jobs", "4"}, kEffect));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // Not a terminal: one plain line per frame, then the totals.
  for (int f = 1; f <= kFrames; ++f) {
    EXPECT_NE(r.err.find("wrote " + dir.path(frameName("seq", f))), std::string::npos) << r.err;
  }
  EXPECT_NE(r.err.find("12 frames in"), std::string::npos) << r.err;

  for (int f = 1; f <= kFrames; ++f) {
    SCOPED_TRACE(f);
    auto const single = runTool(with({dir.path(frameName("in", f)), dir.path(frameName("one", f))}, kEffect));
    ASSERT_EQ(single.exitCode, 0) << single.err;
    const RawImage together = tooltest::readPng(dir.path(frameName("seq", f)));
    const RawImage alone = tooltest::readPng(dir.path(frameName("one", f)));
    ASSERT_EQ(together.bitDepth, 16);
    EXPECT_EQ(together.samples, alone.samples);
  }
  EXPECT_NE(tooltest::readPng(dir.path(frameName("seq", 1))).samples,
            tooltest::readPng(dir.path(frameName("seq", 2))).samples);
}

TEST(Sequence, WithoutFramesRendersEveryInputFrameFound) {
  const ScratchDir dir;
  writeFrames(dir);
  auto const r = runTool({dir.path("in.####.png"), dir.path("out.%04d.png"), "--jobs", "3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> expected;
  for (int f = 1; f <= kFrames; ++f) {
    expected.push_back(frameName("in", f));
    expected.push_back(frameName("out", f));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.listing(), expected);
}

TEST(Sequence, SkipMissingRendersTheFramesFoundAndNamesTheGaps) {
  const ScratchDir dir;
  writeFrames(dir);
  for (int f : {3, 7, 8}) {
    std::remove(dir.path(frameName("in", f)).c_str());
  }
  auto const r =
      runTool({dir.path("in.####.png"), dir.path("out.####.png"), "--skip-missing", "--jobs", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("skipping 3 frames missing from " + dir.path("in.####.png") + ": 3, 7-8\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("rendering 9 frames,"), std::string::npos) << r.err;
  std::vector<std::string> expected;
  for (int f = 1; f <= kFrames; ++f) {
    if (f != 3 && f != 7 && f != 8) {
      expected.push_back(frameName("in", f));
      expected.push_back(frameName("out", f));
    }
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.listing(), expected);

  // A range with one frame left after the gap: counted in the singular.
  auto const one =
      runTool({dir.path("in.####.png"), dir.path("one.####.png"), "--frames", "7-9", "--skip-missing"});
  ASSERT_EQ(one.exitCode, 0) << one.err;
  EXPECT_NE(one.err.find("skipping 2 frames missing from " + dir.path("in.####.png") + ": 7-8\n"),
            std::string::npos)
      << one.err;
  EXPECT_NE(one.err.find("rendering 1 frame,"), std::string::npos) << one.err;
  EXPECT_NE(one.err.find("\n1 frame in "), std::string::npos) << one.err;
  EXPECT_EQ(tooltest::readPng(dir.path(frameName("one", 9))).samples,
            tooltest::readPng(dir.path(frameName("out", 9))).samples);
}

TEST(Demo, WritesEveryFormatOfBothHostsAndTheSheetAndPrintsTheirPaths) {
  const ScratchDir dir;
  auto const r = runTool({"--demo", dir.path("demo")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  struct Expected {
    char const* file;
    int bitDepth;
    char const* host;
  };
  const Expected renders[] = {{"chart-ae8.png", 8, "After Effects"},
                              {"chart-ae16.png", 16, "After Effects"},
                              {"chart-ae32.exr", 32, "After Effects"},
                              {"chart-pr8.png", 8, "Premiere Pro"},
                              {"chart-pr32.exr", 32, "Premiere Pro"}};
  for (Expected const& e : renders) {
    SCOPED_TRACE(e.file);
    const std::string path = dir.path(std::string("demo/") + e.file);
    const std::size_t line = r.out.find(path);
    ASSERT_NE(line, std::string::npos) << r.out;
    EXPECT_NE(r.out.rfind(e.host, line), std::string::npos);
    const RawImage image = e.bitDepth == 32 ? tooltest::readExr(path) : tooltest::readPng(path);
    EXPECT_EQ(image.bitDepth, e.bitDepth);
    EXPECT_EQ(image.width, 640);
  }
  EXPECT_NE(r.out.find(dir.path("demo/contact-sheet.png")), std::string::npos);
  const RawImage sheet = tooltest::readPng(dir.path("demo/contact-sheet.png"));
  EXPECT_GT(sheet.width, 3 * 640);
  EXPECT_GT(sheet.height, 4 * 360);

  // The original is on the sheet, once and unshrunk: the chart's opaque
  // inside (within its 16-pixel transparent border), each value v as
  // round(255 v), appears at exactly one place.
  const RawImage chart = tooltest::readExr(dir.path("demo/chart.exr"));
  int found = 0;
  for (int top = 0; top + chart.height <= sheet.height; ++top) {
    for (int left = 0; left + chart.width <= sheet.width; ++left) {
      bool same = true;
      for (int y = 16; same && y < chart.height - 16; ++y) {
        for (int x = 16; same && x < chart.width - 16; ++x) {
          for (int c = 0; same && c < 3; ++c) {
            same = sheet.at(left + x, top + y, c) == std::lround(chart.floatAt(x, y, c) * 255.0f);
          }
        }
      }
      found += same ? 1 : 0;
    }
  }
  EXPECT_EQ(found, 1);
}

}  // namespace
