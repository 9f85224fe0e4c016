// Frame number patterns, called directly.
#include <gtest/gtest.h>

#include <fstream>

#include "Frames.h"
#include "Options.h"
#include "ToolTestSupport.h"

namespace {

using preview::FramePattern;

TEST(FramePattern, NamesFramesAsThePatternSpells) {
  struct Case {
    char const* pattern;
    long frame;
    char const* path;
  };
  for (Case const& c :
       {Case{"shots/a.%04d.exr", 7, "shots/a.0007.exr"}, Case{"a.####.png", 12, "a.0012.png"},
        Case{"a.##.png", 12345, "a.12345.png"}, Case{"a_%d.tif", 9, "a_9.tif"}, Case{"%03d", 5, "005"},
        Case{"take#2/still.png", 3, "take#2/still.png"}, Case{"still.png", 3, "still.png"}}) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(FramePattern(c.pattern).pathFor(c.frame), c.path);
  }
  EXPECT_FALSE(FramePattern("take#2/still.png").isSequence());
  EXPECT_THROW(FramePattern("a.%04d.%04d.png"), preview::UsageError);
  EXPECT_THROW(FramePattern("a.##.#.png"), preview::UsageError);
}

TEST(FramePattern, FindsOnlyFilesSpelledByThePattern) {
  const tooltest::ScratchDir dir;
  for (char const* name :
       {"a.0001.png", "a.0010.png", "a.12345.png", "a.7.png", "a.0002.exr", "b.0003.png", "a.00x4.png"}) {
    std::ofstream(dir.path(name)) << "x";
  }
  EXPECT_EQ(FramePattern(dir.path("a.####.png")).framesOnDisk(), (std::vector<long>{1, 10, 12345}));
  EXPECT_EQ(FramePattern(dir.path("a.%d.png")).framesOnDisk(), (std::vector<long>{7, 12345}));
}

}  // namespace
