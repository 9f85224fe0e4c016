// What writing OUTPUT does to the files around it: an existing file keeps
// its mode and owner, one we may not write is refused, a link is written
// through, a signal or a closed pipe leaves no temporary file and no silent
// end, and names as long as the system allows work.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ToolTestSupport.h"

namespace {

namespace fs = std::filesystem;
using tooltest::runTool;
using tooltest::ScratchDir;

mode_t modeOf(std::string const& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

// Temporary files are hidden: any name starting with a dot.
bool hasTemporaryFile(ScratchDir const& dir) {
  for (std::string const& name : dir.listing()) {
    if (name[0] == '.') {
      return true;
    }
  }
  return false;
}

TEST(Output, AnExistingFileKeepsItsModeAndANewOneGetsTheUsualOne) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  tooltest::writeSmallPng(dir.path("private.png"));
  chmod(dir.path("private.png").c_str(), 0600);
  ASSERT_EQ(runTool({dir.path("in.png"), dir.path("private.png")}).exitCode, 0);
  EXPECT_EQ(modeOf(dir.path("private.png")), 0600u);
  ASSERT_EQ(runTool({dir.path("in.png"), dir.path("new.png")}, "umask 027;").exitCode, 0);
  EXPECT_EQ(modeOf(dir.path("new.png")), 0640u);
}

TEST(Output, AnExistingFileKeepsItsOwnerWhereTheProcessMaySetIt) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "only root may give a file to another user";
  }
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  tooltest::writeSmallPng(dir.path("theirs.png"));
  ASSERT_EQ(chown(dir.path("theirs.png").c_str(), 4321, 4321), 0);
  ASSERT_EQ(runTool({dir.path("in.png"), dir.path("theirs.png")}).exitCode, 0);
  struct stat info {};
  stat(dir.path("theirs.png").c_str(), &info);
  EXPECT_EQ(info.st_uid, 4321u);
  EXPECT_EQ(info.st_gid, 4321u);
}

TEST(Output, AFileWeMayNotWriteIsRefusedEvenInAWritableFolder) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  tooltest::writeSmallPng(dir.path("locked.png"), 2, 2);
  chmod(dir.path("locked.png").c_str(), 0444);
  auto const before = dir.snapshot();
  auto const r = runTool({dir.path("in.png"), dir.path("locked.png")}, tooltest::withoutPermissionOverride());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot write " + dir.path("locked.png") + ": permission denied"), std::string::npos)
      << r.err;
  EXPECT_EQ(dir.snapshot(), before);
}

TEST(Output, ALinkIsWrittenThroughToItsTarget) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  fs::create_directory(dir.path("renders"));
  fs::create_symlink("renders/shot.png", dir.path("latest.png"));  // dangling until written
  ASSERT_EQ(runTool({dir.path("in.png"), dir.path("latest.png")}).exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(dir.path("latest.png")));
  EXPECT_EQ(tooltest::readPng(dir.path("renders/shot.png")).width, 8);
  EXPECT_FALSE(hasTemporaryFile(dir));
}

TEST(Output, ANameAsLongAsTheSystemAllowsIsWritten) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  const std::string name = std::string(251, 'n') + ".png";  // 255 characters
  auto const r = runTool({dir.path("in.png"), dir.path(name)});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path(name)));
}

// A terminating signal at any moment of a sequence leaves the frames
// written so far and no temporary file.
TEST(Output, TerminatingSignalsLeaveNoTemporaryFile) {
  const ScratchDir dir;
  for (int f = 1; f <= 40; ++f) {
    char name[32];
    std::snprintf(name, sizeof name, "in.%04d.png", f);
    tooltest::writeSmallPng(dir.path(name), 256, 256);
  }
  int run = 0;
  for (int signal : {SIGHUP, SIGTERM, SIGINT, SIGQUIT, SIGUSR1}) {
    for (int delayMs : {150, 300, 450}) {
      SCOPED_TRACE(testing::Message() << "signal " << signal << " after " << delayMs << " ms");
      const std::string out = dir.path("out" + std::to_string(run++) + ".####.tif");
      const pid_t child = fork();
      if (child == 0) {
        execl(ZF_RENDER_TOOL, ZF_RENDER_TOOL, dir.path("in.%04d.png").c_str(), out.c_str(), "--jobs", "2",
              static_cast<char*>(nullptr));
        _exit(127);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      kill(child, signal);
      int status = 0;
      waitpid(child, &status, 0);
      EXPECT_FALSE(hasTemporaryFile(dir));
    }
  }
}

// A closed output stream, or a pipe whose reader has gone, is an error the
// tool reports, not a silent end by SIGPIPE (exit status 141).
TEST(Output, AClosedOutputStreamIsReportedAsAnError) {
  const ScratchDir dir;
  tooltest::writeSmallPng(dir.path("in.png"));
  for (char const* prefix :
       {"sh -c 'exec \"$0\" \"$@\" >&-'", "bash -c 'set -o pipefail; \"$0\" \"$@\" | (exec 0<&-)'"}) {
    SCOPED_TRACE(prefix);
    auto const r = runTool({dir.path("in.png"), dir.path("out.png")}, prefix);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot write to standard output"), std::string::npos) << r.err;
  }
}

}  // namespace
