#include <cstdio>
#include <filesystem>

#include "Chart.h"
#include "Progress.h"
#include "Render.h"

namespace preview {
namespace {

void listFile(std::string const& what, std::filesystem::path const& path) {
  report("  %-46s %s\n", what.c_str(), path.string().c_str());
}

}  // namespace

void runDemo(Options const& options) {
  const std::filesystem::path folder(options.demoDir);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder)) {
    throw ToolError("cannot make the folder " + folder.string() + (error ? ": " + error.message() : ""));
  }
  const std::string plugin = pluginPath(options);
  int const threads = iterateThreads(options);

  const OIIO::ImageBuf chart = makeChart();
  const std::filesystem::path chartPath = folder / "chart.exr";
  writeImage(chartPath.string(), chart);
  report("Zarnit Chromatic Aberration demo: a %dx%d test chart rendered in every host format\n",
         chart.spec().width, chart.spec().height);
  listFile("test chart (input, float)", chartPath);

  for (testhost::App app : {testhost::App::AfterEffects, testhost::App::PremierePro}) {
    PluginSession instance(plugin, app, threads, chart.spec().width, chart.spec().height);
    {
      instance.setValues(options.effect);
      Options hostOptions = options;
      hostOptions.host = app;
      if (app == testhost::App::PremierePro && hostOptions.path == testhost::RenderPath::Smart) {
        hostOptions.path.reset();  // --path smart is for After Effects: Premiere Pro has none
      }
      for (FormatInfo const& format : kFormats) {
        if (format.host != app) {
          continue;
        }
        hostOptions.format = &format;
        const HostChoice choice = chooseHost(hostOptions, OIIO::TypeDesc::FLOAT);
        const std::filesystem::path out =
            folder / (std::string("chart-") + format.option +
                      (format.samples == OIIO::TypeDesc::FLOAT ? ".exr" : ".png"));
        writeImage(out.string(), instance.render(chart, format, choice.path, 0));
        listFile(std::string(format.option) + ", " + hostName(app) + ", " + testhost::nameOf(choice.path),
                 out);
      }
      if (app == testhost::App::AfterEffects) {
        hostOptions.format = formatNamed("ae32");
        const std::filesystem::path sheet = folder / "contact-sheet.png";
        writeContactSheet(sheet.string(), instance, chart, options.effect,
                          chooseHost(hostOptions, OIIO::TypeDesc::FLOAT));
        listFile("contact sheet (original, every Mode by every Scaling)", sheet);
      }
    }
    warnIfUnbalanced(instance);
  }
}

}  // namespace preview
