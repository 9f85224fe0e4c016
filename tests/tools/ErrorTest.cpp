/* Every failure the tool reports: a clear message, a non-zero exit status,
 * and nothing left behind in the output folder, not even a temporary file. */
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ToolTestSupport.h"

namespace {

using tooltest::runTool;
using tooltest::ScratchDir;

struct ErrorCase {
  const char* name;
  std::vector<std::string> args;  // "{d}" stands for the scratch folder
  int exitCode;
  std::string message;             // expected in stderr, "{d}" replaced too
  std::vector<std::string> extra;  // files the run may leave besides the inputs
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
  *os << c.name;
}

std::string expand(std::string text, const std::string& dir) {
  for (std::size_t at = text.find("{d}"); at != std::string::npos; at = text.find("{d}", at + dir.size())) {
    text.replace(at, 3, dir);
  }
  return text;
}

/* The inputs every case starts from. */
std::vector<std::string> makeInputs(const ScratchDir& dir) {
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
  return dir.listing();
}

class Errors : public testing::TestWithParam<ErrorCase> {};

TEST_P(Errors, ExitNonZeroWithMessageAndLeaveNoOutput) {
  const ScratchDir dir;
  const std::string d = dir.path("");
  std::vector<std::string> expected = makeInputs(dir);
  std::vector<std::string> args;
  for (const std::string& a : GetParam().args) {
    args.push_back(expand(a, d.substr(0, d.size() - 1)));
  }
  const auto r = runTool(args);
  EXPECT_EQ(r.exitCode, GetParam().exitCode) << r.err;
  const std::string message = expand(GetParam().message, d.substr(0, d.size() - 1));
  EXPECT_NE(r.err.find(message), std::string::npos) << "stderr: " << r.err << "\nexpected: " << message;
  expected.insert(expected.end(), GetParam().extra.begin(), GetParam().extra.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.listing(), expected);
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
        ErrorCase{"inputIsFolder", {"{d}/sub", "{d}/out.png"}, 1, "cannot read {d}/sub: is a folder", {}},
        ErrorCase{"missingFrame",
                  {"{d}/seq.%04d.png", "{d}/out.%04d.png", "--frames", "1-3"},
                  1,
                  "cannot read {d}/seq.0002.png: no such file",
                  {"out.0001.png"}},
        ErrorCase{"noFramesFound", {"{d}/none.####.png", "{d}/out.####.png"}, 1, "no input frames match", {}},
        // Output
        ErrorCase{"outputFolderMissing",
                  {"{d}/in.png", "{d}/missing/out.png"},
                  1,
                  "folder {d}/missing does not exist",
                  {}},
        ErrorCase{"outputIsFolder", {"{d}/in.png", "{d}/sub"}, 1, "cannot write {d}/sub: is a folder", {}},
        ErrorCase{"outputUnknownFormat",
                  {"{d}/in.png", "{d}/out.xyz"},
                  1,
                  "no image format for the extension \".xyz\"",
                  {}},
        ErrorCase{"sheetFolderMissing",
                  {"{d}/in.png", "--sheet", "{d}/missing/sheet.png"},
                  1,
                  "does not exist",
                  {}},
        // Options
        ErrorCase{"noInput", {}, 2, "no INPUT given", {}},
        ErrorCase{"noOutput", {"{d}/in.png"}, 2, "no OUTPUT given", {}},
        ErrorCase{"tooManyFiles", {"{d}/in.png", "{d}/a.png", "{d}/b.png"}, 2, "too many file names", {}},
        ErrorCase{"amountTooLarge",
                  {"{d}/in.png", "{d}/out.png", "--amount", "101"},
                  2,
                  "--amount: \"101\" is not a number from -100 to 100",
                  {}},
        ErrorCase{
            "amountNotNumber", {"{d}/in.png", "{d}/out.png", "--amount=12x"}, 2, "--amount: \"12x\"", {}},
        ErrorCase{
            "amountMissing", {"{d}/in.png", "{d}/out.png", "--amount"}, 2, "--amount needs a value", {}},
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
        ErrorCase{"format", {"{d}/in.png", "{d}/out.png", "--format", "ae64"}, 2, "--format: \"ae64\"", {}},
        ErrorCase{"formatOfOtherHost",
                  {"{d}/in.png", "{d}/out.png", "--host", "premiere", "--format", "ae16"},
                  2,
                  "--format ae16 belongs to After Effects; Premiere Pro does not send it",
                  {}},
        ErrorCase{"host", {"{d}/in.png", "{d}/out.png", "--host", "nuke"}, 2, "--host: \"nuke\"", {}},
        ErrorCase{"path", {"{d}/in.png", "{d}/out.png", "--path", "fast"}, 2, "--path: \"fast\"", {}},
        ErrorCase{"centerOneNumber",
                  {"{d}/in.png", "{d}/out.png", "--center", "10"},
                  2,
                  "--center: \"10\" is not X,Y",
                  {}},
        ErrorCase{
            "centerNotNumber", {"{d}/in.png", "{d}/out.png", "--center", "10,y"}, 2, "--center: \"y\"", {}},
        ErrorCase{"centerBeyondHostRange",
                  {"{d}/in.png", "{d}/out.png", "--center", "40000,0"},
                  2,
                  "--center: \"40000\"",
                  {}},
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
                  "--jobs: \"0\" is not a whole number from 1 to 64",
                  {}},
        ErrorCase{"threads", {"{d}/in.png", "{d}/out.png", "--threads", "2.5"}, 2, "--threads: \"2.5\"", {}},
        ErrorCase{"unknownOption", {"{d}/in.png", "{d}/out.png", "--bogus"}, 2, "unknown option --bogus", {}},
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
        ErrorCase{"pluginFailsSequence",
                  {"{d}/seq.####.png", "{d}/out.####.png", "--plugin", kFailing, "--jobs", "2"},
                  1,
                  "PF_Err_OUT_OF_MEMORY (4)",
                  {}},
        ErrorCase{"pluginFailsSheet",
                  {"{d}/in.png", "--sheet", "{d}/sheet.png", "--plugin", kFailing},
                  1,
                  "PF_Err_OUT_OF_MEMORY (4)",
                  {}}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
