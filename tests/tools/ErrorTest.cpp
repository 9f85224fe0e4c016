// Every failure the tool reports: a clear message of its own (nothing from
// the libraries beneath it, no temporary file names), a non-zero exit status,
// nothing left behind in the output folder, not even a temporary file, and
// every input byte for byte as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "ToolTestSupport.h"

namespace {

using tooltest::runTool;
using tooltest::ScratchDir;

// How the tool is started: as it is, under the permissions that bind
// everyone but root, or with files limited to 8 KB.
enum class Launch { Plain, Unprivileged, SmallFiles };

struct ErrorCase {
  char const* name;
  std::vector<std::string> args;  // "{d}" stands for the scratch folder
  int exitCode;
  std::string message;             // expected in stderr, "{d}" replaced too
  std::vector<std::string> extra;  // files the run may leave besides the inputs
  Launch launch = Launch::Plain;
};

void PrintTo(ErrorCase const& c, std::ostream* os) {
  *os << c.name;
}

std::string expand(std::string text, std::string const& dir) {
  for (std::size_t at = text.find("{d}"); at != std::string::npos; at = text.find("{d}", at + dir.size())) {
    text.replace(at, 3, dir);
  }
  return text;
}

// The inputs every case starts from.
void makeInputs(ScratchDir const& dir) {
  std::vector<std::uint32_t> rgba;
  for (int i = 0; i < 8 * 6; ++i) {
    rgba.insert(rgba.end(), {static_cast<std::uint32_t>(i * 5), 100, 200, 255});
  }
  tooltest::writePng(dir.path("in.png"), 8, 6, 8, rgba);
  tooltest::writePng(dir.path("seq.0001.png"), 8, 6, 8, rgba);
  tooltest::writePng(dir.path("seq.0003.png"), 8, 6, 8, rgba);
  std::ofstream(dir.path("garbage.png")) << "not an image at all\n";
  std::ofstream(dir.path("notes.txt")) << "not a library either\n";
  std::filesystem::create_directory(dir.path("sub"));
  std::filesystem::create_symlink("in.png", dir.path("link.png"));
  std::filesystem::copy_file(dir.path("in.png"), dir.path("locked.png"));
  std::filesystem::permissions(dir.path("locked.png"), std::filesystem::perms::none);
  std::filesystem::copy_file(dir.path("in.png"), dir.path("truncated.png"));
  std::filesystem::resize_file(dir.path("truncated.png"), std::filesystem::file_size(dir.path("in.png")) / 2);
  std::filesystem::create_directory(dir.path("readonly"));
  std::filesystem::permissions(dir.path("readonly"),
                               std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  // Noise does not compress: its render is larger than the 8 KB file limit.
  std::vector<std::uint32_t> noise;
  std::minstd_rand rng(1);
  for (int i = 0; i < 128 * 64 * 4; ++i) {
    noise.push_back(static_cast<std::uint32_t>(rng() % 256));
  }
  tooltest::writePng(dir.path("noise.png"), 128, 64, 8, noise);
}

class Errors : public testing::TestWithParam<ErrorCase> {};

TEST_P(Errors, ExitNonZeroWithOwnMessageLeaveNoOutputAndKeepInputs) {
  const ScratchDir dir;
  const std::string d = dir.path("");
  makeInputs(dir);
  auto const before = dir.snapshot();
  std::vector<std::string> args;
  for (std::string const& a : GetParam().args) {
    args.push_back(expand(a, d.substr(0, d.size() - 1)));
  }
  const Launch launch = GetParam().launch;
  auto const r = runTool(args, launch == Launch::Unprivileged ? tooltest::withoutPermissionOverride()
                               : launch == Launch::SmallFiles ? "ulimit -f 16;"
                                                              : "");
  EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
  const std::string message = expand(GetParam().message, d.substr(0, d.size() - 1));
  EXPECT_NE(r.err.find(message), std::string::npos) << "stderr: " << r.err << "\nexpected: " << message;
  for (char const* leak : {"libpng", ".tmp-", "Sanitizer", "runtime error"}) {
    EXPECT_EQ(r.err.find(leak), std::string::npos) << "stderr: " << r.err;
  }
  auto after = dir.snapshot();
  for (std::string const& name : GetParam().extra) {
    EXPECT_EQ(after.erase(name), 1u) << name;
  }
  EXPECT_EQ(after, before);
}

const std::string kFailing = ZF_FAILING_EFFECT;
const std::string kNoEntry = ZF_NO_ENTRY_POINT;

INSTANTIATE_TEST_SUITE_P(
    Cases, Errors,
    testing::Values(
        // Input
        ErrorCase{"missingInput",
                  {"{d}/nosuch.png", "{d}/out.png"},
                  1,
                  "cannot read {d}/nosuch.png: no such file",
                  {}},
        ErrorCase{
            "unreadableInput", {"{d}/garbage.png", "{d}/out.png"}, 1, "cannot read {d}/garbage.png: ", {}},
        ErrorCase{"inputWithoutPermission",
                  {"{d}/locked.png", "{d}/out.png"},
                  1,
                  "cannot read {d}/locked.png: permission denied",
                  {},
                  Launch::Unprivileged},
        ErrorCase{"truncatedPng",
                  {"{d}/truncated.png", "{d}/out.png"},
                  1,
                  "zarnit-render: error: cannot read {d}/truncated.png: the file is truncated\n",
                  {}},
        ErrorCase{"inputIsFolder", {"{d}/sub", "{d}/out.png"}, 1, "cannot read {d}/sub: is a folder", {}},
        ErrorCase{"missingFrame",
                  {"{d}/seq.%04d.png", "{d}/out.%04d.png", "--frames", "1-6"},
                  1,
                  "4 frames missing from {d}/seq.%04d.png: 2, 4-6 (--skip-missing renders the others)",
                  {}},
        ErrorCase{"gapInSequence",
                  {"{d}/seq.####.png", "{d}/out.####.png"},
                  1,
                  "1 frame missing from {d}/seq.####.png: 2 (",
                  {}},
        ErrorCase{"noFramesFound", {"{d}/none.####.png", "{d}/out.####.png"}, 1, "no input frames match", {}},
        // Output
        ErrorCase{"outputFolderMissing",
                  {"{d}/in.png", "{d}/missing/out.png"},
                  1,
                  "folder {d}/missing does not exist",
                  {}},
        ErrorCase{"outputFolderNotWritable",
                  {"{d}/in.png", "{d}/readonly/out.png"},
                  1,
                  "cannot write {d}/readonly/out.png: folder {d}/readonly is not writable",
                  {},
                  Launch::Unprivileged},
        ErrorCase{"demoFolderNotWritable",
                  {"--demo", "{d}/readonly"},
                  1,
                  "cannot write {d}/readonly/chart.exr: folder {d}/readonly is not writable",
                  {},
                  Launch::Unprivileged},
        ErrorCase{"outputBeyondFileSizeLimit",
                  {"{d}/noise.png", "{d}/out.png"},
                  1,
                  "cannot write {d}/out.png: file too large",
                  {},
                  Launch::SmallFiles},
        ErrorCase{"outputIsFolder", {"{d}/in.png", "{d}/sub"}, 1, "cannot write {d}/sub: is a folder", {}},
        ErrorCase{"outputUnknownFormat",
                  {"{d}/in.png", "{d}/out.xyz"},
                  2,
                  "no image format for the extension \".xyz\"",
                  {}},
        ErrorCase{"outputIsInput",
                  {"{d}/in.png", "{d}/in.png"},
                  2,
                  "OUTPUT {d}/in.png is the input file {d}/in.png; choose another name",
                  {}},
        ErrorCase{"outputIsInputSpelledOtherwise",
                  {"{d}/in.png", "{d}/sub/../in.png"},
                  2,
                  "OUTPUT {d}/sub/../in.png is the input file {d}/in.png",
                  {}},
        ErrorCase{
            "outputLinksToInput", {"{d}/in.png", "{d}/link.png"}, 2, "is the input file {d}/in.png", {}},
        ErrorCase{"sequenceOverItself",
                  {"{d}/seq.%04d.png", "{d}/seq.####.png", "--skip-missing"},
                  2,
                  "OUTPUT {d}/seq.0001.png is the input file {d}/seq.0001.png",
                  {}},
        ErrorCase{"sheetIsInput",
                  {"{d}/in.png", "--sheet", "{d}/in.png"},
                  2,
                  "--sheet {d}/in.png is the input",
                  {}},
        ErrorCase{"sheetIsOutput",
                  {"{d}/in.png", "{d}/out.png", "--sheet", "{d}/./out.png"},
                  2,
                  "--sheet {d}/./out.png is the same file as the output {d}/out.png",
                  {}},
        ErrorCase{"sheetFolderMissing",
                  {"{d}/in.png", "--sheet", "{d}/missing/sheet.png"},
                  1,
                  "does not exist",
                  {}},
        // Options
        ErrorCase{"noInput", {}, 2, "no INPUT given", {}},
        ErrorCase{"noOutput", {"{d}/in.png"}, 2, "no OUTPUT given", {}},
        ErrorCase{"emptyOutput", {"{d}/in.png", ""}, 2, "OUTPUT is an empty file name", {}},
        ErrorCase{"tooManyFiles", {"{d}/in.png", "{d}/a.png", "{d}/b.png"}, 2, "too many file names", {}},
        ErrorCase{"amountTooLarge",
                  {"{d}/in.png", "{d}/out.png", "--amount", "101"},
                  2,
                  "--amount: \"101\" is not a number from -100 to 100",
                  {}},
        ErrorCase{
            "amountNotNumber", {"{d}/in.png", "{d}/out.png", "--amount=12x"}, 2, "--amount: \"12x\"", {}},
        ErrorCase{"amountMissing", {"{d}/in.png", "{d}/out.png", "--amount"}, 2, "--amount", {}},
        ErrorCase{"mode",
                  {"{d}/in.png", "{d}/out.png", "--mode", "pink"},
                  2,
                  "--mode: \"pink\" is not one of red-cyan|green-purple|blue-yellow",
                  {}},
        ErrorCase{"scaling",
                  {"{d}/in.png", "{d}/out.png", "--scaling", "quartic"},
                  2,
                  "--scaling: \"quartic\" is not one of linear|square|cubic",
                  {}},
        ErrorCase{"show",
                  {"{d}/in.png", "{d}/out.png", "--show", "all"},
                  2,
                  "--show: \"all\" is not one of final|just-ca|without-ca|alpha|full-alpha",
                  {}},
        ErrorCase{"format", {"{d}/in.png", "{d}/out.png", "--format", "ae64"}, 2, "--format: ae64", {}},
        ErrorCase{"formatOfOtherHost",
                  {"{d}/in.png", "{d}/out.png", "--host", "premiere", "--format", "ae16"},
                  2,
                  "--format ae16 belongs to After Effects; Premiere Pro does not send it",
                  {}},
        ErrorCase{"smartRenderInPremiere",
                  {"{d}/in.png", "{d}/out.png", "--host", "premiere", "--path", "smart"},
                  2,
                  "--path smart: Premiere Pro has no smart render",
                  {}},
        ErrorCase{"smartRenderOfPremiereFormat",
                  {"{d}/in.png", "{d}/out.png", "--format", "pr32", "--path", "smart"},
                  2,
                  "--path smart: Premiere Pro has no smart render",
                  {}},
        ErrorCase{"host", {"{d}/in.png", "{d}/out.png", "--host", "nuke"}, 2, "--host: nuke", {}},
        ErrorCase{"path", {"{d}/in.png", "{d}/out.png", "--path", "fast"}, 2, "--path: fast", {}},
        ErrorCase{"centerOneNumber",
                  {"{d}/in.png", "{d}/out.png", "--center", "10"},
                  2,
                  "--center: \"10\" is not X,Y",
                  {}},
        ErrorCase{
            "centerNotNumber", {"{d}/in.png", "{d}/out.png", "--center", "10,y"}, 2, "--center: \"y\"", {}},
        ErrorCase{"centerBeyondHostRange",
                  {"{d}/in.png", "{d}/out.png", "--center", "32768,0"},
                  2,
                  "--center: \"32768\" pixels is beyond the host's limit of 32767 pixels",
                  {}},
        ErrorCase{"amountHexadecimal",
                  {"{d}/in.png", "{d}/out.png", "--amount", "0x1p3"},
                  2,
                  "--amount: \"0x1p3\" is not a number from -100 to 100",
                  {}},
        // An option where a value belongs is not a file name.
        ErrorCase{"sheetWithoutName",
                  {"{d}/in.png", "--sheet", "--amount", "5"},
                  2,
                  "--sheet: needs a file name",
                  {}},
        // --demo makes its own frames: options about other frames are refused, not ignored.
        ErrorCase{"demoWithFormat", {"--demo", "{d}/demo", "--format", "ae8"}, 2, "--format", {}},
        ErrorCase{"demoWithFrames", {"--demo", "{d}/demo", "--frames", "1-2"}, 2, "--frames", {}},
        ErrorCase{"demoWithJobs", {"--demo", "{d}/demo", "--jobs", "2"}, 2, "--jobs", {}},
        ErrorCase{"framesBackwards",
                  {"{d}/seq.%04d.png", "{d}/out.%04d.png", "--frames", "5-2"},
                  2,
                  "--frames: \"5-2\" ends before it starts",
                  {}},
        ErrorCase{"framesWithoutSequence",
                  {"{d}/in.png", "{d}/out.png", "--frames", "1-2"},
                  2,
                  "--frames needs an INPUT with a frame number pattern",
                  {}},
        ErrorCase{"sequenceIntoOneFile",
                  {"{d}/seq.%04d.png", "{d}/out.png"},
                  2,
                  "OUTPUT needs a frame number pattern",
                  {}},
        ErrorCase{"jobs",
                  {"{d}/in.png", "{d}/out.png", "--jobs", "0"},
                  2,
                  "--jobs: Value 0 not in range 1 to 64",
                  {}},
        ErrorCase{
            "threads", {"{d}/in.png", "{d}/out.png", "--threads", "2.5"}, 2, "--threads: Value 2.5", {}},
        ErrorCase{"unknownOption", {"{d}/in.png", "{d}/out.png", "--bogus"}, 2, "--bogus", {}},
        // Plug-in
        ErrorCase{"pluginMissing",
                  {"{d}/in.png", "{d}/out.png", "--plugin", "{d}/nosuch.so"},
                  1,
                  "the plug-in failed to load: cannot load {d}/nosuch.so: "
                  "{d}/nosuch.so: cannot open shared object file",
                  {}},
        ErrorCase{"pluginNotALibrary",
                  {"{d}/in.png", "{d}/out.png", "--plugin", "{d}/notes.txt"},
                  1,
                  "the plug-in failed to load: cannot load {d}/notes.txt: ",
                  {}},
        ErrorCase{"pluginWithoutEntryPoint",
                  {"{d}/in.png", "{d}/out.png", "--plugin", kNoEntry},
                  1,
                  "lacks an entry point: " + kNoEntry + ": undefined symbol: EffectMain",
                  {}},
        ErrorCase{"pluginFailsSmartRender",
                  {"{d}/in.png", "{d}/out.png", "--plugin", kFailing},
                  1,
                  "the plug-in answered PF_Cmd_SMART_RENDER with PF_Err_OUT_OF_MEMORY (4)",
                  {}},
        ErrorCase{"pluginFailsPlainRender",
                  {"{d}/in.png", "{d}/out.png", "--plugin", kFailing, "--path", "plain"},
                  1,
                  "the plug-in answered PF_Cmd_RENDER with PF_Interrupt_CANCEL (517): \"Frame refused\"",
                  {}},
        ErrorCase{"pluginFailsInPremiere",
                  {"{d}/in.png", "{d}/out.png", "--plugin", kFailing, "--host", "premiere"},
                  1,
                  "PF_Cmd_RENDER with PF_Interrupt_CANCEL (517)",
                  {}},
        ErrorCase{
            "pluginFailsSequence",
            {"{d}/seq.####.png", "{d}/out.####.png", "--plugin", kFailing, "--jobs", "2", "--skip-missing"},
            1,
            "PF_Err_OUT_OF_MEMORY (4)",
            {}},
        ErrorCase{"pluginFailsSheet",
                  {"{d}/in.png", "--sheet", "{d}/sheet.png", "--plugin", kFailing},
                  1,
                  "PF_Err_OUT_OF_MEMORY (4)",
                  {}}),
    [](auto const& test) { return std::string(test.param.name); });

}  // namespace
