// Command lines and surroundings the tool must take: names after --,
// numbers as people write them, no /proc, too little memory, inputs too
// narrow for the contact sheet's labels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "Font.h"
#include "ToolTestSupport.h"

namespace {

namespace fs = std::filesystem;
using tooltest::runTool;
using tooltest::ScratchDir;

struct Accepted {
  char const* name;
  std::vector<std::string> args;  // "{d}" stands for the scratch folder
  char const* output;
};

void PrintTo(Accepted const& c, std::ostream* os) {
  *os << c.name;
}

class CommandLines : public testing::TestWithParam<Accepted> {};

TEST_P(CommandLines, AreTaken) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("-odd.png"));
  tooltest::writeSmallPng(dir.path("in.png"));
  std::vector<std::string> args;
  for (std::string a : GetParam().args) {
    if (a.rfind("{d}", 0) == 0) {
      a = dir.path(a.substr(4));
    }
    args.push_back(a);
  }
  // From the scratch folder, where "-odd.png" is.
  auto const r = runTool(args, "cd '" + dir.path("") + "' &&");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path(GetParam().output)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLines,
    testing::Values(
        // After --, names that look like options are names.
        Accepted{"dashDash", {"--amount", "3", "--", "-odd.png", "{d}/out.png"}, "out.png"},
        // A number next to 0 is a number; the exponent is how people write it.
        Accepted{"tinyAmount", {"{d}/in.png", "{d}/tiny.png", "--amount", "1e-320"}, "tiny.png"},
        Accepted{"exponent", {"{d}/in.png", "{d}/exp.png", "--amount", "2.5E1"}, "exp.png"}));

// Without /proc the plug-in is still found next to the tool, never in the
// working folder, where a library of the same name is planted here.
TEST(PluginLocation, WithoutProcTheWorkingFolderIsNeverSearched) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  fs::copy_file(ZF_FAILING_EFFECT, dir.path("ZarnitFringe.so"));
  // Root may make a mount namespace itself (also in a chroot, where user
  // namespaces are refused); anyone else through a user namespace.
  const std::string unshare = geteuid() == 0 ? "unshare --mount" : "unshare --mount --map-root-user";
  const std::string hideProc =
      unshare + " sh -c 'mount -t tmpfs none /proc && cd " + dir.path("") + " && exec \"$0\" \"$@\"'";
  if (std::system((unshare + " sh -c 'mount -t tmpfs none /proc' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "this machine cannot hide /proc from a process (unshare)";
  }
  auto const r = runTool({"in.png", "out.png"}, hideProc);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path("out.png")));
}

// Too little memory for a file's pixels is said, with the file and its
// size, not as the allocator's word.
TEST(Memory, TooLittleForAFileIsSaidWithTheFileAndItsSize) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers need the address space a memory limit takes away";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  GTEST_SKIP() << "sanitizers need the address space a memory limit takes away";
#endif
#endif
  const ScratchDir dir;
  // 20000 x 20000 of one grey: a file of half a megabyte whose pixels and
  // their RGBA take 2 GB, beyond a limit of 1.5 GB.
  tooltest::writeGreyPng(dir.path("large.png"), 20000, 20000);
  auto const r = runTool({dir.path("large.png"), dir.path("out.png")}, "ulimit -v 1500000;");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot read " + dir.path("large.png") + ": there is not enough memory"),
            std::string::npos)
      << r.err;
}

// However narrow the input, every label has room: the sheet is at least as
// wide as three of the longest label side by side.
TEST(ContactSheet, LabelsFitEvenForANarrowInput) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("narrow.png"), 3, 40);
  ASSERT_EQ(runTool({dir.path("narrow.png"), "--sheet", dir.path("sheet.png")}).exitCode, 0);
  int const label = preview::textWidth("Green-Purple / square", 2);
  EXPECT_GE(tooltest::readPng(dir.path("sheet.png")).width, 3 * label + 2 * 16);
}

}  // namespace
