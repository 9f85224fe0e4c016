// What zarnit-render does with its command line.
#ifndef ZF_TOOLS_PREVIEW_RENDER_H
#define ZF_TOOLS_PREVIEW_RENDER_H

#include <string>

#include "ImageFile.h"
#include "Options.h"
#include "Session.h"

namespace preview {

// How frames reach the plug-in.
struct HostChoice {
  testhost::App host;
  FormatInfo const* format;
  testhost::RenderPath path;
};

// Fills in what the options leave open: the host from the format, the format
// from the input's depth, the path from the host.
HostChoice chooseHost(Options const& options, OIIO::TypeDesc inputSamples);

// --threads, or the machine's core count.
int iterateThreads(Options const& options);
// --plugin, or the library next to the tool. Throws ToolError.
std::string pluginPath(Options const& options);
// Tells the user when the host found the plug-in's resources out of balance
// (handles, suites, parameters, worlds left behind).
void warnIfUnbalanced(PluginSession const& session);

// Renders input under every Mode by every Scaling (the other values as
// given) and writes the labelled sheet, the original above them, to path.
void writeContactSheet(std::string const& path, PluginSession& session, const OIIO::ImageBuf& input,
                       EffectValues const& values, HostChoice const& choice);

// INPUT [OUTPUT] [--sheet]: one image or a sequence. Throws ToolError or
// UsageError.
void runRender(Options const& options);

// --demo FOLDER. Throws ToolError.
void runDemo(Options const& options);

// --version: the tool's version, then the plug-in's identity and version as
// it reports them. Throws ToolError when the plug-in cannot be loaded.
void printVersion(Options const& options);

}  // namespace preview

#endif
