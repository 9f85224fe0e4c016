#include "Options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace preview {
namespace {

std::string lowered(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

std::string optionNames(const Choice* begin, const Choice* end) {
  std::string names;
  for (const Choice* c = begin; c != end; ++c) {
    names += (names.empty() ? "" : "|") + std::string(c->option);
  }
  return names;
}

template <std::size_t N>
PF_ParamValue parseChoice(const std::string& option, const std::string& value, const Choice (&choices)[N]) {
  const std::string name = lowered(value);
  for (const Choice& c : choices) {
    if (name == c.option) {
      return c.hostValue;
    }
  }
  throw UsageError(option + ": \"" + value + "\" is not one of " +
                   optionNames(std::begin(choices), std::end(choices)));
}

bool parseNumber(const std::string& text, double& value) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text.front()))) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

long parseWhole(const std::string& option, const std::string& text, long min, long max) {
  double value = 0.0;
  if (!parseNumber(text, value) || value != std::floor(value) || value < static_cast<double>(min) ||
      value > static_cast<double>(max) || text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError(option + ": \"" + text + "\" is not a whole number from " + std::to_string(min) +
                     " to " + std::to_string(max));
  }
  return static_cast<long>(value);
}

void parseCoordinate(const std::string& text, double& value, bool& percent) {
  percent = !text.empty() && text.back() == '%';
  const std::string number = percent ? text.substr(0, text.size() - 1) : text;
  // Pixels must fit the host's 16.16 point values; percentages are checked
  // once the frame size is known.
  if (!parseNumber(number, value) || std::fabs(value) > (percent ? 10000.0 : 32767.0)) {
    throw UsageError("--center: \"" + text +
                     "\" is not a number of pixels or a percentage (e.g. 960 or 50%)");
  }
}

CenterOption parseCenter(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) {
    throw UsageError("--center: \"" + text + "\" is not X,Y (pixels, or percentages such as 50%,50%)");
  }
  CenterOption center;
  parseCoordinate(text.substr(0, comma), center.x, center.xPercent);
  parseCoordinate(text.substr(comma + 1), center.y, center.yPercent);
  return center;
}

FrameRange parseFrames(const std::string& text) {
  constexpr long kMaxFrame = 99999999;
  const auto dash = text.find('-');
  FrameRange range;
  if (dash == std::string::npos) {
    range.first = range.last = parseWhole("--frames", text, 0, kMaxFrame);
  } else {
    range.first = parseWhole("--frames", text.substr(0, dash), 0, kMaxFrame);
    range.last = parseWhole("--frames", text.substr(dash + 1), 0, kMaxFrame);
  }
  if (range.last < range.first) {
    throw UsageError("--frames: \"" + text + "\" ends before it starts");
  }
  return range;
}

PF_Fixed toFixed(double pixels) {
  if (!(std::fabs(pixels) <= 32767.0)) {
    throw UsageError("--center: " + std::to_string(pixels) + " pixels is beyond the host's range of 32767");
  }
  return static_cast<PF_Fixed>(std::lround(pixels * 65536.0));
}

}  // namespace

const Choice& choiceFor(const Choice* begin, const Choice* end, PF_ParamValue hostValue) {
  for (const Choice* c = begin; c != end; ++c) {
    if (c->hostValue == hostValue) {
      return *c;
    }
  }
  return *begin;
}

const FormatInfo* formatNamed(const std::string& name) {
  for (const FormatInfo& f : kFormats) {
    if (name == f.option) {
      return &f;
    }
  }
  return nullptr;
}

const FormatInfo& defaultFormat(HostApp host, SampleType fileSamples) {
  if (host == HostApp::PremierePro) {
    return *formatNamed(fileSamples == SampleType::U8 ? "pr8" : "pr32");
  }
  switch (fileSamples) {
    case SampleType::U8:
      return *formatNamed("ae8");
    case SampleType::U16:
      return *formatNamed("ae16");
    case SampleType::F32:
      break;
  }
  return *formatNamed("ae32");
}

const char* hostName(HostApp host) {
  return host == HostApp::PremierePro ? "Premiere Pro" : "After Effects";
}

PF_Fixed centerFixedX(const CenterOption& center, int width) {
  return toFixed(center.xPercent ? center.x * width / 100.0 : center.x);
}

PF_Fixed centerFixedY(const CenterOption& center, int height) {
  return toFixed(center.yPercent ? center.y * height / 100.0 : center.y);
}

Options parseOptions(const std::vector<std::string>& args) {
  Options options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      if (arg.size() > 1 && arg[0] == '-') {
        throw UsageError("unknown option " + arg + " (see --help)");
      }
      positional.push_back(arg);
      continue;
    }
    std::string value;
    bool hasValue = false;
    const auto equals = arg.find('=');
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
      hasValue = true;
    }
    auto takeValue = [&]() -> const std::string& {
      if (!hasValue) {
        if (i + 1 >= args.size()) {
          throw UsageError(arg + " needs a value (see --help)");
        }
        value = args[++i];
        hasValue = true;
      }
      return value;
    };

    if (arg == "--center") {
      options.effect.center = parseCenter(takeValue());
    } else if (arg == "--mode") {
      options.effect.mode = parseChoice(arg, takeValue(), kModes);
    } else if (arg == "--scaling") {
      options.effect.scaling = parseChoice(arg, takeValue(), kScalings);
    } else if (arg == "--show") {
      options.effect.show = parseChoice(arg, takeValue(), kShows);
    } else if (arg == "--amount") {
      double amount = 0.0;
      if (!parseNumber(takeValue(), amount) || amount < -100.0 || amount > 100.0) {
        throw UsageError("--amount: \"" + value + "\" is not a number from -100 to 100");
      }
      options.effect.amount = amount;
    } else if (arg == "--format") {
      options.format = formatNamed(lowered(takeValue()));
      if (options.format == nullptr) {
        throw UsageError("--format: \"" + value + "\" is not one of ae8|ae16|ae32|pr8|pr32");
      }
    } else if (arg == "--host") {
      const std::string host = lowered(takeValue());
      if (host == "ae" || host == "aftereffects") {
        options.host = HostApp::AfterEffects;
      } else if (host == "premiere" || host == "pr") {
        options.host = HostApp::PremierePro;
      } else {
        throw UsageError("--host: \"" + value + "\" is not one of ae|premiere");
      }
    } else if (arg == "--path") {
      const std::string path = lowered(takeValue());
      if (path == "smart") {
        options.path = RenderPath::Smart;
      } else if (path == "plain") {
        options.path = RenderPath::Plain;
      } else {
        throw UsageError("--path: \"" + value + "\" is not one of smart|plain");
      }
    } else if (arg == "--plugin") {
      options.plugin = takeValue();
      if (options.plugin.empty()) {
        throw UsageError("--plugin needs a path");
      }
    } else if (arg == "--threads") {
      options.threads = static_cast<int>(parseWhole(arg, takeValue(), 1, kMaxThreads));
    } else if (arg == "--jobs") {
      options.jobs = static_cast<int>(parseWhole(arg, takeValue(), 1, kMaxJobs));
    } else if (arg == "--frames") {
      options.frames = parseFrames(takeValue());
    } else if (arg == "--skip-missing") {
      if (hasValue) {
        throw UsageError("--skip-missing takes no value");
      }
      options.skipMissing = true;
    } else if (arg == "--sheet") {
      options.sheet = takeValue();
      if (options.sheet.empty()) {
        throw UsageError("--sheet needs a file name");
      }
    } else if (arg == "--demo") {
      options.demoDir = takeValue();
      if (options.demoDir.empty()) {
        throw UsageError("--demo needs a folder");
      }
    } else {
      throw UsageError("unknown option " + arg + " (see --help)");
    }
  }
  if (options.help || options.version) {
    return options;
  }

  if (!options.demoDir.empty()) {
    if (!positional.empty()) {
      throw UsageError("--demo makes its own input: give no INPUT or OUTPUT");
    }
    return options;
  }
  if (positional.empty()) {
    throw UsageError("no INPUT given (see --help)");
  }
  if (positional.size() > 2) {
    throw UsageError("too many file names: \"" + positional[2] + "\" (give INPUT and OUTPUT)");
  }
  // An empty name is most often an unset variable in a script: never read as "no OUTPUT".
  for (std::size_t i = 0; i < positional.size(); ++i) {
    if (positional[i].empty()) {
      throw UsageError(std::string(i == 0 ? "INPUT" : "OUTPUT") + " is an empty file name");
    }
  }
  options.input = positional[0];
  if (positional.size() == 2) {
    options.output = positional[1];
  } else if (options.sheet.empty()) {
    throw UsageError("no OUTPUT given (or --sheet SHEET.png)");
  }
  if (options.format != nullptr && options.host && options.format->host != *options.host) {
    throw UsageError(std::string("--format ") + options.format->option + " belongs to " +
                     hostName(options.format->host) + "; " + hostName(*options.host) + " does not send it");
  }
  const bool premiere = options.host
                            ? *options.host == HostApp::PremierePro
                            : options.format != nullptr && options.format->host == HostApp::PremierePro;
  if (premiere && options.path == RenderPath::Smart) {
    throw UsageError("--path smart: Premiere Pro has no smart render (it sends the plain render)");
  }
  return options;
}

std::string usageText() {
  return R"(zarnit-render: renders image files through the Zarnit Chromatic Aberration
plug-in, loaded and driven by a stand-in After Effects / Premiere Pro host.

Usage:
  zarnit-render INPUT OUTPUT [options]
  zarnit-render INPUT [OUTPUT] --sheet SHEET.png [options]
  zarnit-render shot.%04d.exr out.####.exr --frames 1-120 --jobs 4 [options]
  zarnit-render --demo FOLDER
  zarnit-render --version [--plugin PATH]

Effect parameters (sent as the host sends them):
  --center X,Y      "Frame center" in pixels (960,540) or percent of the frame
                    (50%,50%); default the middle of the input. The effect
                    measures the vertical coordinate from the bottom edge, so
                    the point it leaves in place is (X, height - Y).
  --mode M          red-cyan | green-purple | blue-yellow    (default red-cyan)
  --scaling S       linear | square | cubic                  (default linear)
  --amount A        -100 to 100 (default 25); a negative amount moves the two
                    complementary channels instead of the named primary
  --show V          final | just-ca | without-ca | alpha | full-alpha
                    (default final)

Host:
  --host H          ae | premiere (default: the host of --format, else ae)
  --format F        ae8 | ae16 | ae32 (After Effects ARGB 8, 16 bit, float)
                    pr8 | pr32 (Premiere Pro BGRA 8 bit, float); default from
                    the input: 8-bit files ae8/pr8, 16-bit ae16 (pr32 in
                    Premiere Pro), anything else ae32/pr32
  --path P          smart | plain: smart pre-render and smart render, or the
                    plain render command (default smart in After Effects,
                    plain in Premiere Pro, which has no smart render: smart
                    is refused there)
  --plugin PATH     the plug-in library (default: the one next to this tool)
  --threads N       worker threads of the host's pixel iterators (default: the
                    number of cores)

Files:
  INPUT, OUTPUT     PNG (8/16 bit), TIFF, OpenEXR, JPEG and whatever else
                    OpenImageIO reads and writes. Pixel values reach the plug-in
                    as stored and are written as it returns them: straight
                    alpha, never (un)premultiplied. A file without alpha gets an
                    opaque one.
  Data type         OUTPUT keeps INPUT's data type when its format can store
                    it (half stays half, 16 bit stays 16 bit, 8 bit stays 8
                    bit), whatever --format rendered it in; otherwise it gets
                    the deepest type its format has: 16 bit for PNG, 8 bit for
                    JPEG, float for OpenEXR and TIFF. A SHEET is 8 bit.
  Kept from INPUT   metadata (colour space, frame rate, text...), compression,
                    tiling, the data window's origin and the display window
                    (the data window is the layer rendered), and extra channels
                    such as Z, unchanged: as far as OUTPUT's format holds them.
  16-bit files      file value v (0..65535) to host value h (0..32768) and back:
                      h = floor((2 * 32768 * v + 65535) / (2 * 65535))
                      v = floor((2 * 65535 * h + 32768) / (2 * 32768))
                    i.e. both rounded to nearest. Every host value survives
                    host -> file -> host exactly, so a file this tool wrote
                    reads back unchanged; any other 16-bit value comes back
                    within 1 (65536 file values share 32769 host values).
  Sequences         INPUT and OUTPUT with a frame number pattern, %04d or ####
  --frames A-B      frames to render (default: from the first input frame
                    found to the last). A frame without a file stops the
                    render before it starts, naming the missing frames
  --skip-missing    render the frames that exist and leave the missing ones
                    out (they are named)
  --jobs N          frames rendered at once, each from its own host thread
                    through the one loaded plug-in (default 1)
  --sheet FILE      also write a contact sheet: the original, and the three
                    Modes by the three Scalings, labelled
  --demo FOLDER     render a generated test chart in every format and both
                    hosts, plus a contact sheet, into FOLDER
  --version         this tool's version, and the plug-in's identity, version
                    and About text as the plug-in reports them to the host

An OUTPUT or SHEET that is the INPUT file, by whatever path or link, is
refused (exit status 2): the input is never overwritten.

Exit status 0 on success, 1 when rendering fails (the plug-in's error code is
named), 2 for a bad command line. No partial output file is left behind.
)";
}

}  // namespace preview
