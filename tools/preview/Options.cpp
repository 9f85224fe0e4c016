#include "Options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <regex>

#include <CLI/CLI.hpp>

namespace preview {
namespace {

// Whole pixels the host's 16.16 point values hold.
constexpr double kMaxPixels = 32767.0;

// A number as people write them: decimal, with an optional exponent. Not
// hexadecimal, infinity or NaN, which strtod would also take.
bool parseDecimal(std::string const& text, double& value) {
  static const std::regex kDecimal(R"([+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)?)");
  if (!std::regex_match(text, kDecimal)) {
    return false;
  }
  errno = 0;
  value = std::strtod(text.c_str(), nullptr);
  // Underflow (1e-320) is a number next to 0; overflow is no number we take.
  return std::isfinite(value);
}

// A file or folder name: not empty, and not an option, which a missing name
// would otherwise take (a file named like one can be given as ./--name).
CLI::Validator nameOf(std::string const& what) {
  return CLI::Validator(
      [what](std::string& value) -> std::string {
        if (value.empty() || value.rfind("--", 0) == 0) {
          return "needs " + what + (value.empty() ? std::string() : ", not the option " + value);
        }
        return "";
      },
      "", "");
}

// A popup's choices as an option: the name, any case, becomes the value the
// host sends.
template <std::size_t N>
void addChoice(CLI::App& app, std::string const& name, PF_ParamValue& value, const Choice (&choices)[N],
               std::string const& help) {
  std::string names;
  for (Choice const& c : choices) {
    names += (names.empty() ? "" : "|") + std::string(c.option);
  }
  Choice const* table = choices;
  auto toHostValue = [table, names](std::string& text) -> std::string {
    const std::string lower = CLI::detail::to_lower(text);
    for (std::size_t i = 0; i < N; ++i) {
      if (lower == table[i].option) {
        text = std::to_string(table[i].hostValue);
        return "";
      }
    }
    return "\"" + text + "\" is not one of " + names;
  };
  app.add_option(name, value, help + " (default " + choices[0].option + ")")
      ->transform(CLI::Validator(toHostValue, "", ""))
      ->option_text(names);
}

void parseCoordinate(std::string const& text, double& value, bool& percent) {
  percent = !text.empty() && text.back() == '%';
  const std::string number = percent ? text.substr(0, text.size() - 1) : text;
  if (!parseDecimal(number, value)) {
    throw UsageError("--center: \"" + text +
                     "\" is not a number of pixels or a percentage (e.g. 960 or 50%)");
  }
  if (!percent && std::fabs(value) > kMaxPixels) {
    throw UsageError("--center: \"" + text + "\" pixels is beyond the host's limit of 32767 pixels");
  }
  if (percent && std::fabs(value) > 10000.0) {
    throw UsageError("--center: \"" + text + "\" is beyond the limit of 10000%");
  }
}

CenterOption parseCenter(std::string const& text) {
  auto const comma = text.find(',');
  if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos) {
    throw UsageError("--center: \"" + text + "\" is not X,Y (pixels, or percentages such as 50%,50%)");
  }
  CenterOption center;
  parseCoordinate(text.substr(0, comma), center.x, center.xPercent);
  parseCoordinate(text.substr(comma + 1), center.y, center.yPercent);
  return center;
}

long parseFrame(std::string const& text) {
  constexpr long kMaxFrame = 99999999;
  if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError("--frames: \"" + text + "\" is not a frame number from 0 to " +
                     std::to_string(kMaxFrame));
  }
  return std::stol(text);
}

FrameRange parseFrames(std::string const& text) {
  auto const dash = text.find('-');
  FrameRange range;
  if (dash == std::string::npos) {
    range.first = range.last = parseFrame(text);
  } else {
    range.first = parseFrame(text.substr(0, dash));
    range.last = parseFrame(text.substr(dash + 1));
  }
  if (range.last < range.first) {
    throw UsageError("--frames: \"" + text + "\" ends before it starts");
  }
  return range;
}

PF_Fixed toFixed(double pixels) {
  if (!(std::fabs(pixels) <= kMaxPixels)) {
    throw UsageError("--center: " + std::to_string(std::lround(pixels)) +
                     " pixels is beyond the host's limit of 32767 pixels");
  }
  return static_cast<PF_Fixed>(std::lround(pixels * 65536.0));
}

// The whole file contract is README's ("Preview renderer"); this is its summary.
char const* const kFooter = R"(
Files: whatever OpenImageIO reads and writes, one image per file, channels by
name (R, G, B or Y, and A), values as stored (straight alpha). OUTPUT keeps
INPUT's data type, metadata, windows, tiling, compression and extra channels
as far as its format holds them; 16-bit files map 0..65535 to the host's
0..32768 rounding to nearest both ways. Sequences: %04d or #### in both
names. Files are written under a temporary name and renamed when complete;
the input is never overwritten. See README.md for the details.

Exit status 0 on success, 1 when reading, rendering or writing fails (the
plug-in's error code is named), 2 for a bad command line.
)";

}  // namespace

FormatInfo const* formatNamed(std::string const& name) {
  for (FormatInfo const& f : kFormats) {
    if (name == f.option) {
      return &f;
    }
  }
  return nullptr;
}

FormatInfo const& defaultFormat(testhost::App host, OIIO::TypeDesc fileSamples) {
  if (host == testhost::App::PremierePro) {
    return *formatNamed(fileSamples == OIIO::TypeDesc::UINT8 ? "pr8" : "pr32");
  }
  if (fileSamples == OIIO::TypeDesc::UINT8) {
    return *formatNamed("ae8");
  }
  if (fileSamples == OIIO::TypeDesc::UINT16) {
    return *formatNamed("ae16");
  }
  return *formatNamed("ae32");
}

char const* hostName(testhost::App host) {
  return host == testhost::App::PremierePro ? "Premiere Pro" : "After Effects";
}

PF_Fixed centerFixedX(CenterOption const& center, int width) {
  return toFixed(center.xPercent ? center.x * width / 100.0 : center.x);
}

PF_Fixed centerFixedY(CenterOption const& center, int height) {
  return toFixed(center.yPercent ? center.y * height / 100.0 : center.y);
}

Options parseOptions(std::vector<std::string> const& args) {
  Options options;
  CLI::App app(
      "zarnit-render: renders image files through the Zarnit Chromatic Aberration plug-in,\n"
      "loaded and driven by a stand-in After Effects / Premiere Pro host.\n\n"
      "  zarnit-render INPUT OUTPUT [options]\n"
      "  zarnit-render INPUT [OUTPUT] --sheet SHEET.png [options]\n"
      "  zarnit-render shot.%04d.exr out.####.exr --frames 1-120 --jobs 4 [options]\n"
      "  zarnit-render --demo FOLDER [effect options]\n"
      "  zarnit-render --version [--plugin PATH]",
      "zarnit-render");
  app.set_help_flag();  // answered below, to print our own way
  bool help = false;
  app.add_flag("-h,--help", help, "this text");
  app.footer(kFooter);
  app.get_formatter()->column_width(28);

  std::vector<std::string> files;
  app.add_option("files", files, "the image to render and the file to write")->option_text("INPUT [OUTPUT]");

  std::string center;
  app.add_option("--center", center,
                 "\"Frame center\" in pixels (960,540) or percent of the frame (50%,50%); default the "
                 "middle. The effect counts Y from the bottom edge: the point left in place is "
                 "(X, height - Y)")
      ->option_text("X,Y");
  addChoice(app, "--mode", options.effect.mode, kModes, "the channel pair that separates");
  addChoice(app, "--scaling", options.effect.scaling, kScalings, "how magnification grows from the centre");
  std::string amount;
  app.add_option("--amount", amount,
                 "-100 to 100 (default 25); a negative amount moves the two complementary channels "
                 "instead of the named primary")
      ->option_text("A");
  addChoice(app, "--show", options.effect.show, kShows, "the view of the result");
  addChoice(app, "--sampling", options.effect.sampling, kSamplings,
            "displaced channels read at whole pixels, or mixed smoothly from the four around");
  app.add_option("--samples", options.effect.samples,
                 "\"Spectrum samples\" of --mode spectrum: 3 to 64 reads between the pixel and its "
                 "displaced point (default 12)")
      ->check(CLI::Range(3.0, 64.0))
      ->option_text("N");

  std::string host;
  app.add_option("--host", host, "ae | premiere (default: the host of --format, else ae)")
      ->check(CLI::IsMember({"ae", "aftereffects", "premiere", "pr"}, CLI::ignore_case))
      ->option_text("H");
  std::string format;
  std::vector<std::string> formatNames;
  std::string formatHelp;
  for (FormatInfo const& f : kFormats) {
    formatNames.push_back(f.option);
    formatHelp += (formatHelp.empty() ? "" : ", ") + std::string(f.option) + " (" + f.description + ")";
  }
  app.add_option("--format", format, formatHelp + "; default from the input's depth")
      ->check(CLI::IsMember(formatNames, CLI::ignore_case))
      ->option_text("F");
  std::string path;
  app.add_option("--path", path,
                 "smart | plain: smart pre-render and smart render, or the plain render command "
                 "(default smart in After Effects, plain in Premiere Pro, which has no smart render)")
      ->check(CLI::IsMember({"smart", "plain"}, CLI::ignore_case))
      ->option_text("P");
  app.add_option("--plugin", options.plugin, "the plug-in library (default: the one next to this tool)")
      ->check(nameOf("a path"))
      ->option_text("PATH");
  app.add_option("--threads", options.threads,
                 "worker threads of the host's pixel iterators (default: the number of cores)")
      ->check(CLI::Range(1, kMaxThreads))
      ->option_text("N");
  auto* jobs = app.add_option("--jobs", options.jobs, "frames of a sequence rendered at once (default 1)")
                   ->check(CLI::Range(1, kMaxJobs))
                   ->option_text("N");
  std::string frames;
  auto* framesOption =
      app.add_option("--frames", frames,
                     "frames to render (default: from the first input frame found to the last); a frame "
                     "without a file stops the render before it starts")
          ->option_text("A-B");
  auto* skip = app.add_flag("--skip-missing", options.skipMissing,
                            "render the frames that exist and leave the missing ones out (they are named)");
  auto* sheet = app.add_option("--sheet", options.sheet,
                               "also write a contact sheet: the original, and the three Modes by the three "
                               "Scalings, labelled")
                    ->check(nameOf("a file name"))
                    ->option_text("FILE");
  auto* demo =
      app.add_option("--demo", options.demoDir,
                     "render a generated test chart in every format of both hosts, plus a contact sheet, "
                     "into FOLDER")
          ->check(nameOf("a folder"))
          ->option_text("FOLDER");
  auto* formatOption = app.get_option("--format");
  demo->excludes(formatOption)->excludes(framesOption)->excludes(jobs)->excludes(skip)->excludes(sheet);
  app.add_flag("--version", options.version,
               "this tool's version, and the plug-in's identity, version and About text as the plug-in "
               "reports them to the host");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    if (help) {
      options.help = true;
      options.helpText = app.help();
      return options;
    }
    throw UsageError(e.what());
  }
  if (help) {
    options.help = true;
    options.helpText = app.help();
    return options;
  }

  if (!center.empty() || app.count("--center") > 0) {
    options.effect.center = parseCenter(center);
  }
  if (app.count("--amount") > 0) {
    double value = 0.0;
    if (!parseDecimal(amount, value) || value < -100.0 || value > 100.0) {
      throw UsageError("--amount: \"" + amount + "\" is not a number from -100 to 100");
    }
    options.effect.amount = value;
  }
  if (!host.empty()) {
    const std::string h = CLI::detail::to_lower(host);
    options.host = h == "premiere" || h == "pr" ? testhost::App::PremierePro : testhost::App::AfterEffects;
  }
  if (!format.empty()) {
    options.format = formatNamed(CLI::detail::to_lower(format));
  }
  if (!path.empty()) {
    options.path =
        CLI::detail::to_lower(path) == "smart" ? testhost::RenderPath::Smart : testhost::RenderPath::Plain;
  }
  if (app.count("--frames") > 0) {
    options.frames = parseFrames(frames);
  }
  if (options.version) {
    return options;
  }

  if (!options.demoDir.empty()) {
    if (!files.empty()) {
      throw UsageError("--demo makes its own input: give no INPUT or OUTPUT");
    }
    return options;
  }
  if (files.empty()) {
    throw UsageError("no INPUT given (see --help)");
  }
  if (files.size() > 2) {
    throw UsageError("too many file names: \"" + files[2] + "\" (give INPUT and OUTPUT)");
  }
  // An empty name is most often an unset variable in a script: never read as "no OUTPUT".
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (files[i].empty()) {
      throw UsageError(std::string(i == 0 ? "INPUT" : "OUTPUT") + " is an empty file name");
    }
  }
  options.input = files[0];
  if (files.size() == 2) {
    options.output = files[1];
  } else if (options.sheet.empty()) {
    throw UsageError("no OUTPUT given (or --sheet SHEET.png)");
  }
  if (options.format != nullptr && options.host && options.format->host != *options.host) {
    throw UsageError(std::string("--format ") + options.format->option + " belongs to " +
                     hostName(options.format->host) + "; " + hostName(*options.host) + " does not send it");
  }
  bool const premiere = options.host
                            ? *options.host == testhost::App::PremierePro
                            : options.format != nullptr && options.format->host == testhost::App::PremierePro;
  if (premiere && options.path == testhost::RenderPath::Smart) {
    throw UsageError("--path smart: Premiere Pro has no smart render (it sends the plain render)");
  }
  return options;
}

}  // namespace preview
