// The plug-in loaded into the stand-in host and driven as After Effects or
// Premiere Pro drives it (testhost::LoadedEffect): one layer of a fixed
// size, parameter values set between renders, renders possibly from
// several threads at once.
#ifndef ZF_TOOLS_PREVIEW_SESSION_H
#define ZF_TOOLS_PREVIEW_SESSION_H

#include <memory>
#include <string>
#include <vector>

#include <OpenImageIO/imagebuf.h>

#include "ImageFile.h"
#include "Options.h"
#include "testhost/LoadedEffect.h"

namespace preview {

// The plug-in answered a command with a non-zero code.
class PluginError : public ToolError {
 public:
  using ToolError::ToolError;
};

// "PF_Err_OUT_OF_MEMORY (4)"; codes outside the host's list as "error N (N)".
std::string errorCodeText(PF_Err code);

// The plug-in library next to the running tool's own executable, found
// through /proc or the path the system started it by; never the working
// folder. Throws ToolError, pointing at --plugin, where neither tells.
std::string defaultPluginPath();

class PluginSession {
 public:
  // Throws ToolError (the loader's reason when the library cannot be
  // loaded) or PluginError.
  PluginSession(std::string const& pluginPath, testhost::App app, int iterateWorkers, int width, int height);

  testhost::App app() const { return host_.app(); }
  // The effect as PluginDataEntryFunction declared it, and the version its
  // global setup reported (the host's packing).
  testhost::PluginDataCall const& identity() const { return identity_; }
  A_u_long version() const { return loaded_->globalSetupResult().out.my_version; }
  // The About text, lines apart; none in Premiere Pro, which does not ask.
  std::vector<std::string> aboutLines();
  // What the host found out of balance after the plug-in's commands, or "".
  std::string accountingReport() const { return host_.accountingReport(); }

  void setValues(EffectValues const& values);
  // One frame of the layer at the given frame number, in the given host
  // layout, by the given path; the result has the format's depth. Throws
  // PluginError.
  OIIO::ImageBuf render(OIIO::ImageBuf const& input, FormatInfo const& format, testhost::RenderPath path,
                        long frame);

 private:
  testhost::Host host_;
  std::unique_ptr<testhost::LoadedEffect> loaded_;
  testhost::PluginDataCall identity_;
};

}  // namespace preview

#endif
