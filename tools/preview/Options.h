// Command line of zarnit-render: what to render, with which parameter values,
// in which host and pixel format. Parsed by CLI11 from one table, which also
// writes --help.
#ifndef ZF_TOOLS_PREVIEW_OPTIONS_H
#define ZF_TOOLS_PREVIEW_OPTIONS_H

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <OpenImageIO/typedesc.h>

#include "suites/HostInterface.h"
#include "testhost/LoadedEffect.h"

namespace preview {

// A bad command line: the message names the option and the value. Ends the
// tool with exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A popup choice: the name on our command line and the value the host sends
// for it (popups count from 1).
struct Choice {
  char const* option;
  char const* label;  // the popup's own text
  PF_ParamValue hostValue;
};

inline constexpr Choice kModes[] = {{"red-cyan", "Red-Cyan", 1},
                                    {"green-purple", "Green-Purple", 2},
                                    {"blue-yellow", "Blue-Yellow", 3},
                                    {"spectrum", "Spectrum", 4}};
inline constexpr Choice kScalings[] = {
    {"linear", "linear", 1}, {"square", "square", 2}, {"cubic", "cubic", 3}};
inline constexpr Choice kShows[] = {{"final", "Final", 1},
                                    {"just-ca", "Just CA", 2},
                                    {"without-ca", "Without CA", 3},
                                    {"alpha", "Alpha", 4},
                                    {"full-alpha", "Full Alpha", 5}};
inline constexpr Choice kSamplings[] = {{"nearest", "Nearest", 1}, {"smooth", "Smooth", 2}};

template <std::size_t N>
Choice const& choiceFor(const Choice (&choices)[N], PF_ParamValue hostValue) {
  for (Choice const& c : choices) {
    if (c.hostValue == hostValue) {
      return c;
    }
  }
  return choices[0];
}

// The frame layouts a host hands to the effect, by their option names.
struct FormatInfo {
  char const* option;
  testhost::App host;
  PF_PixelFormat code;
  OIIO::TypeDesc::BASETYPE samples;  // one channel in the host's world and in the file written
  char const* description;           // for --help
};

inline constexpr FormatInfo kFormats[] = {
    {"ae8", testhost::App::AfterEffects, PF_PixelFormat_ARGB32, OIIO::TypeDesc::UINT8,
     "After Effects ARGB 8 bit"},
    {"ae16", testhost::App::AfterEffects, PF_PixelFormat_ARGB64, OIIO::TypeDesc::UINT16,
     "After Effects ARGB 16 bit"},
    {"ae32", testhost::App::AfterEffects, PF_PixelFormat_ARGB128, OIIO::TypeDesc::FLOAT,
     "After Effects ARGB float"},
    {"pr8", testhost::App::PremierePro, PF_PixelFormat_BGRA32, OIIO::TypeDesc::UINT8,
     "Premiere Pro BGRA 8 bit"},
    {"pr32", testhost::App::PremierePro, PrPixelFormat_BGRA_4444_32f, OIIO::TypeDesc::FLOAT,
     "Premiere Pro BGRA float"},
    {"pr32-linear", testhost::App::PremierePro, PrPixelFormat_BGRA_4444_32f_Linear, OIIO::TypeDesc::FLOAT,
     "Premiere Pro BGRA float, linear"},
};

FormatInfo const* formatNamed(std::string const& name);
// The format a host uses for a file of the given depth: 8-bit files stay 8-bit,
// 16-bit ones go to After Effects' 16-bit or Premiere Pro's float frames, the
// rest to float.
FormatInfo const& defaultFormat(testhost::App host, OIIO::TypeDesc fileSamples);
char const* hostName(testhost::App host);

// "Frame center" as given: pixels or a percentage of the frame, per axis.
struct CenterOption {
  double x = 50.0;
  double y = 50.0;
  bool xPercent = true;
  bool yPercent = true;
};

// The parameter values, as the host sends them.
struct EffectValues {
  CenterOption center;
  PF_ParamValue mode = 1;
  PF_ParamValue scaling = 1;
  double amount = 25.0;
  PF_ParamValue show = 1;
  PF_ParamValue sampling = 1;
  double samples = 12.0;  // "Spectrum samples"
};

// The host's 16.16 fixed-point point value for a frame of the given size.
// Throws UsageError beyond the host's 32767 pixels.
PF_Fixed centerFixedX(CenterOption const& center, int width);
PF_Fixed centerFixedY(CenterOption const& center, int height);

struct FrameRange {
  long first = 0;
  long last = 0;
};

struct Options {
  bool help = false;
  std::string helpText;  // what --help prints
  bool version = false;
  std::string input;
  std::string output;
  std::string sheet;
  std::string demoDir;
  std::string plugin;
  EffectValues effect;
  std::optional<testhost::App> host;
  FormatInfo const* format = nullptr;  // null: from the input's depth
  std::optional<testhost::RenderPath> path;
  int threads = 0;  // 0: the machine's core count
  int jobs = 1;
  std::optional<FrameRange> frames;
  bool skipMissing = false;  // render a sequence with gaps, leaving the missing frames out
};

// Parses the arguments after the program name. Throws UsageError.
Options parseOptions(std::vector<std::string> const& args);

inline constexpr int kMaxJobs = 64;
inline constexpr int kMaxThreads = 64;

}  // namespace preview

#endif
