#include "Render.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "Frames.h"
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

std::string sizeText(const Image& image) {
  return std::to_string(image.width) + "x" + std::to_string(image.height);
}

/* Renders the frames from `jobs` threads, all through the one instance. The
 * first failure stops the hand-out of further frames; frames already being
 * rendered finish. */
void renderFrames(const std::vector<FrameJob>& jobs, int threads, EffectInstance& instance,
                  const HostChoice& choice, int width, int height) {
  Progress progress(static_cast<long>(jobs.size()), stderr);
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex errorMutex;
  std::string firstError;

  auto work = [&]() {
    while (!failed.load()) {
      const std::size_t i = next.fetch_add(1);
      if (i >= jobs.size()) {
        return;
      }
      const FrameJob& job = jobs[i];
      try {
        const Image input = readImage(job.input);
        if (input.width != width || input.height != height) {
          throw ToolError(job.input + " is " + sizeText(input) + ", the sequence " + std::to_string(width) +
                          "x" + std::to_string(height));
        }
        writeImage(job.output, instance.render(input, *choice.format, choice.path, job.frame));
        progress.frameDone(job.output);
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(errorMutex);
        if (!failed.exchange(true)) {
          firstError = e.what();
        }
      }
    }
  };

  std::vector<std::thread> workers;
  const int count = std::min<int>(threads, static_cast<int>(jobs.size()));
  try {
    for (int t = 0; t < count; ++t) {
      workers.emplace_back(work);
    }
  } catch (...) {
    failed = true;
    for (std::thread& w : workers) {
      w.join();
    }
    throw ToolError("cannot start a render thread");
  }
  for (std::thread& w : workers) {
    w.join();
  }
  if (failed) {
    progress.abandon();
    throw ToolError(firstError);
  }
  progress.finish();
}

}  // namespace

int iterateThreads(const Options& options) {
  if (options.threads > 0) {
    return options.threads;
  }
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxThreads));
}

std::string pluginPath(const Options& options) {
  return options.plugin.empty() ? defaultPluginPath() : options.plugin;
}

void warnIfUnbalanced(const PluginHost& host) {
  const std::string report = host.accountingReport();
  if (!report.empty()) {
    std::fprintf(stderr, "zarnit-render: warning: the plug-in left host resources out of balance:\n%s\n",
                 report.c_str());
  }
}

const char* pathName(RenderPath path) {
  return path == RenderPath::Smart ? "smart render" : "plain render";
}

HostChoice chooseHost(const Options& options, SampleType inputSamples) {
  HostChoice choice{};
  choice.host = options.host                ? *options.host
                : options.format != nullptr ? options.format->host
                                            : HostApp::AfterEffects;
  choice.format = options.format != nullptr ? options.format : &defaultFormat(choice.host, inputSamples);
  // Premiere Pro has no smart render; After Effects prefers it when offered.
  choice.path = options.path                          ? *options.path
                : choice.host == HostApp::PremierePro ? RenderPath::Plain
                                                      : RenderPath::Smart;
  return choice;
}

void writeContactSheet(const std::string& path, EffectInstance& instance, const Image& input,
                       const EffectValues& values, const HostChoice& choice) {
  std::vector<SheetTile> tiles;
  for (const Choice& mode : kModes) {
    for (const Choice& scaling : kScalings) {
      EffectValues tileValues = values;
      tileValues.mode = mode.hostValue;
      tileValues.scaling = scaling.hostValue;
      instance.setValues(tileValues);
      tiles.push_back({instance.render(input, *choice.format, choice.path, 0),
                       std::string(mode.label) + " / " + scaling.label});
    }
  }
  instance.setValues(values);

  const Choice& show = choiceFor(std::begin(kShows), std::end(kShows), values.show);
  const std::string subtitle = "Amount " + numberText(values.amount) + "   Show " + show.label +
                               "   Center " + numberText(centerFixedX(values.center, input.width) / 65536.0) +
                               "," + numberText(centerFixedY(values.center, input.height) / 65536.0) + "   " +
                               choice.format->option + " in " + hostName(choice.host) + ", " +
                               pathName(choice.path);
  const int columns = static_cast<int>(std::size(kScalings));
  writeImage(path, composeSheet(tiles, columns, "Zarnit Chromatic Aberration", subtitle));
}

void runRender(const Options& options) {
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
    std::vector<long> frames;
    if (options.frames) {
      for (long f = options.frames->first; f <= options.frames->last; ++f) {
        frames.push_back(f);
      }
    } else {
      frames = inPattern.framesOnDisk();
      if (frames.empty()) {
        throw ToolError("no input frames match " + options.input);
      }
    }
    for (long f : frames) {
      jobs.push_back({f, inPattern.pathFor(f), outPattern.pathFor(f)});
    }
  } else {
    jobs.push_back({0, options.input, options.output});
  }

  // Everything that can be checked before the plug-in runs.
  if (!options.output.empty()) {
    checkWritable(jobs.front().output);
  }
  if (!options.sheet.empty()) {
    checkWritable(options.sheet);
  }
  const Image first = readImage(jobs.front().input);
  const HostChoice choice = chooseHost(options, first.type);

  PluginHost host(pluginPath(options), choice.host, iterateThreads(options));
  {
    EffectInstance instance(host, first.width, first.height);
    instance.setValues(options.effect);

    if (!options.output.empty()) {
      if (inPattern.isSequence()) {
        std::fprintf(stderr, "rendering %zu frames, %s, %s in %s, %s, %d job%s\n", jobs.size(),
                     sizeText(first).c_str(), choice.format->option, hostName(choice.host),
                     pathName(choice.path), options.jobs, options.jobs == 1 ? "" : "s");
        renderFrames(jobs, options.jobs, instance, choice, first.width, first.height);
      } else {
        writeImage(options.output, instance.render(first, *choice.format, choice.path, 0));
        std::printf("wrote %s (%s, %s in %s, %s)\n", options.output.c_str(), sizeText(first).c_str(),
                    choice.format->option, hostName(choice.host), pathName(choice.path));
      }
    }
    if (!options.sheet.empty()) {
      writeContactSheet(options.sheet, instance, first, options.effect, choice);
      std::printf("wrote %s (contact sheet)\n", options.sheet.c_str());
    }
  }
  warnIfUnbalanced(host);
}

}  // namespace preview
