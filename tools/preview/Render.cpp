#include "Render.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include <OpenImageIO/parallel.h>
#include <tuple>
#include <vector>

#include <sys/stat.h>

#include "Frames.h"
#include "HostPixels.h"
#include "Progress.h"
#include "Sheet.h"

namespace preview {
namespace {

struct FrameJob {
  long frame;
  std::string input;
  std::string output;
};

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string sizeText(const OIIO::ImageBuf& image) {
  return std::to_string(image.spec().width) + "x" + std::to_string(image.spec().height);
}

// What a path names, however it is spelled: the file itself (through links)
// when it exists, else its folder and the name in it.
struct FileId {
  dev_t device;
  ino_t inode;
  std::string name;  // empty for an existing file
  bool operator<(FileId const& o) const {
    return std::tie(device, inode, name) < std::tie(o.device, o.inode, o.name);
  }
};

std::optional<FileId> fileId(std::string const& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) {
    return FileId{info.st_dev, info.st_ino, ""};
  }
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (stat(folder.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return FileId{info.st_dev, info.st_ino, slash == std::string::npos ? path : path.substr(slash + 1)};
}

// Refuses, before anything is written, an output that would replace an input
// or another output: a render over its own input destroys the original.
void refuseOverwriting(std::vector<FrameJob> const& jobs, std::string const& sheet) {
  std::map<FileId, std::string const*> inputs;
  std::map<FileId, std::string const*> outputs;
  for (FrameJob const& job : jobs) {
    if (auto const id = fileId(job.input)) {
      inputs.emplace(*id, &job.input);
    }
  }
  auto refuseInput = [&inputs](std::string const& path, std::string const& what) {
    const auto id = fileId(path);
    const auto hit = id ? inputs.find(*id) : inputs.end();
    if (hit != inputs.end()) {
      throw UsageError(what + " " + path + " is the input file " + *hit->second +
                       "; choose another name (the input is never overwritten)");
    }
    return id;
  };
  for (FrameJob const& job : jobs) {
    if (!job.output.empty()) {
      if (auto const id = refuseInput(job.output, "OUTPUT")) {
        outputs.emplace(*id, &job.output);
      }
    }
  }
  if (!sheet.empty()) {
    auto const id = refuseInput(sheet, "--sheet");
    auto const hit = id ? outputs.find(*id) : outputs.end();
    if (hit != outputs.end()) {
      throw UsageError("--sheet " + sheet + " is the same file as the output " + *hit->second);
    }
  }
}

// "2, 5-7, 12": the frames of range not in found (sorted), at most a few runs.
std::string missingFramesText(FrameRange const& range, std::vector<long> const& found) {
  constexpr int kMaxRuns = 8;
  std::string text;
  int runs = 0;
  long next = range.first;
  auto addRun = [&](long first, long last) {
    if (first > last) {
      return;
    }
    if (runs++ == kMaxRuns) {
      text += ", ...";
    } else if (runs <= kMaxRuns) {
      text += (text.empty() ? "" : ", ") + std::to_string(first) +
              (last > first ? "-" + std::to_string(last) : std::string());
    }
  };
  for (long f : found) {
    addRun(next, f - 1);
    next = f + 1;
  }
  addRun(next, range.last);
  return text;
}

// The frames of a sequence to render: --frames, or every frame from the first
// file found to the last. A frame without a file stops the render before it
// starts, unless --skip-missing accepts the gap.
std::vector<long> sequenceFrames(Options const& options, FramePattern const& pattern) {
  const std::vector<long> onDisk = pattern.framesOnDisk();
  FrameRange range;
  if (options.frames) {
    range = *options.frames;
  } else if (!onDisk.empty()) {
    range = {onDisk.front(), onDisk.back()};
  } else {
    throw ToolError("no input frames match " + options.input);
  }
  std::vector<long> frames;
  std::copy_if(onDisk.begin(), onDisk.end(), std::back_inserter(frames),
               [&range](long f) { return f >= range.first && f <= range.last; });
  long const missing = range.last - range.first + 1 - static_cast<long>(frames.size());
  if (missing > 0) {
    const std::string what = std::to_string(missing) + (missing == 1 ? " frame" : " frames") +
                             " missing from " + options.input + ": " + missingFramesText(range, frames);
    if (!options.skipMissing) {
      throw ToolError(what + " (--skip-missing renders the others)");
    }
    if (frames.empty()) {
      throw ToolError("no input frames match " + options.input + " in --frames " +
                      std::to_string(range.first) + "-" + std::to_string(range.last));
    }
    std::fprintf(stderr, "zarnit-render: skipping %s\n", what.c_str());
  }
  return frames;
}

// Renders the frames `jobs` at a time on the image library's thread pool,
// all through the one instance. The first failure stops the hand-out of
// further frames; frames already being rendered finish.
void renderFrames(std::vector<FrameJob> const& jobs, int threads, PluginSession& instance,
                  HostChoice const& choice, int width, int height) {
  Progress progress(static_cast<long>(jobs.size()), stderr);
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  std::string firstError;

  OIIO::paropt options(threads, OIIO::paropt::SplitDir::X, 1);
  OIIO::parallel_for(
      int64_t{0}, static_cast<int64_t>(jobs.size()),
      [&](int64_t i) {
        if (failed.load()) {
          return;
        }
        const FrameJob& job = jobs[static_cast<std::size_t>(i)];
        try {
          const Picture input = readImage(job.input);
          if (input.rgba.spec().width != width || input.rgba.spec().height != height) {
            throw ToolError(job.input + " is " + sizeText(input.rgba) + ", the sequence " +
                            std::to_string(width) + "x" + std::to_string(height));
          }
          writeImage(job.output, instance.render(input.rgba, *choice.format, choice.path, job.frame),
                     input.file.get());
          progress.frameDone(job.output);
        } catch (const std::exception& e) {
          std::lock_guard<std::mutex> lock(errorMutex);
          if (!failed.exchange(true)) {
            firstError = e.what();
          }
        }
      },
      options);
  if (failed) {
    progress.abandon();
    throw ToolError(firstError);
  }
  progress.finish();
}

}  // namespace

int iterateThreads(Options const& options) {
  if (options.threads > 0) {
    return options.threads;
  }
  unsigned const cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
}

std::string pluginPath(Options const& options) {
  return options.plugin.empty() ? defaultPluginPath() : options.plugin;
}

void warnIfUnbalanced(PluginSession const& session) {
  const std::string report = session.accountingReport();
  if (!report.empty()) {
    std::fprintf(stderr, "zarnit-render: warning: the plug-in left host resources out of balance:\n%s\n",
                 report.c_str());
  }
}

HostChoice chooseHost(Options const& options, OIIO::TypeDesc inputSamples) {
  HostChoice choice{};
  choice.host = options.host                ? *options.host
                : options.format != nullptr ? options.format->host
                                            : testhost::App::AfterEffects;
  choice.format = options.format != nullptr ? options.format : &defaultFormat(choice.host, inputSamples);
  // Premiere Pro has no smart render; After Effects prefers it when offered.
  choice.path = options.path                                ? *options.path
                : choice.host == testhost::App::PremierePro ? testhost::RenderPath::Plain
                                                            : testhost::RenderPath::Smart;
  return choice;
}

void writeContactSheet(std::string const& path, PluginSession& instance, const OIIO::ImageBuf& input,
                       EffectValues const& values, HostChoice const& choice) {
  int const columns = static_cast<int>(std::size(kScalings));
  // The original alone on the first row, above the renders, to compare with.
  std::vector<SheetTile> tiles(static_cast<std::size_t>(columns));
  tiles.front() = {input, "Original"};
  for (Choice const& mode : kModes) {
    for (Choice const& scaling : kScalings) {
      EffectValues tileValues = values;
      tileValues.mode = mode.hostValue;
      tileValues.scaling = scaling.hostValue;
      instance.setValues(tileValues);
      tiles.push_back({instance.render(input, *choice.format, choice.path, 0),
                       std::string(mode.label) + " / " + scaling.label});
    }
  }
  instance.setValues(values);

  const std::string subtitle =
      "Amount " + numberText(values.amount) + "   Show " + choiceFor(kShows, values.show).label +
      "   Sampling " + choiceFor(kSamplings, values.sampling).label + "   Spectrum samples " +
      numberText(values.samples) + "   Center " +
      numberText(centerFixedX(values.center, input.spec().width) / 65536.0) + "," +
      numberText(centerFixedY(values.center, input.spec().height) / 65536.0) + "   " + choice.format->option +
      " in " + hostName(choice.host) + ", " + testhost::nameOf(choice.path);
  writeImage(path, composeSheet(tiles, columns, "Zarnit Chromatic Aberration", subtitle));
}

void runRender(Options const& options) {
  const FramePattern inPattern(options.input);
  const FramePattern outPattern(options.output);
  if (inPattern.isSequence() != outPattern.isSequence() && !options.output.empty()) {
    throw UsageError(inPattern.isSequence() ? "INPUT is a sequence (" + options.input +
                                                  "); OUTPUT needs a frame number pattern too"
                                            : "OUTPUT has a frame number pattern but INPUT is one image");
  }
  if (options.frames && !inPattern.isSequence()) {
    throw UsageError("--frames needs an INPUT with a frame number pattern (%04d or ####)");
  }

  std::vector<FrameJob> jobs;
  if (inPattern.isSequence()) {
    for (long f : sequenceFrames(options, inPattern)) {
      jobs.push_back({f, inPattern.pathFor(f), outPattern.pathFor(f)});
    }
  } else {
    jobs.push_back({0, options.input, options.output});
  }

  // Everything that can be checked before the plug-in runs.
  refuseOverwriting(jobs, options.sheet);
  if (!options.output.empty()) {
    checkWritable(jobs.front().output);
  }
  if (!options.sheet.empty()) {
    checkWritable(options.sheet);
  }
  const Picture first = readImage(jobs.front().input);
  const OIIO::ImageSpec& size = first.rgba.spec();
  const HostChoice choice = chooseHost(options, size.format);

  PluginSession instance(pluginPath(options), choice.host, iterateThreads(options), size.width, size.height);
  {
    instance.setValues(options.effect);

    if (!options.output.empty()) {
      if (inPattern.isSequence()) {
        std::fprintf(stderr, "rendering %zu frame%s, %s, %s in %s, %s, %d job%s\n", jobs.size(),
                     jobs.size() == 1 ? "" : "s", sizeText(first.rgba).c_str(), choice.format->option,
                     hostName(choice.host), testhost::nameOf(choice.path), options.jobs,
                     options.jobs == 1 ? "" : "s");
        renderFrames(jobs, options.jobs, instance, choice, size.width, size.height);
      } else {
        writeImage(options.output, instance.render(first.rgba, *choice.format, choice.path, 0),
                   first.file.get());
        report("wrote %s (%s, %s in %s, %s)\n", options.output.c_str(), sizeText(first.rgba).c_str(),
               choice.format->option, hostName(choice.host), testhost::nameOf(choice.path));
      }
    }
    if (!options.sheet.empty()) {
      writeContactSheet(options.sheet, instance, first.rgba, options.effect, choice);
      report("wrote %s (contact sheet)\n", options.sheet.c_str());
    }
  }
  warnIfUnbalanced(instance);
}

}  // namespace preview
