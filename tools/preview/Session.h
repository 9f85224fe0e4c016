/* The plug-in loaded into the stand-in host and driven as After Effects or
 * Premiere Pro drives it: global setup, parameter setup, one instance with
 * its sequence setup, then render commands, possibly from several threads at
 * once. */
#ifndef ZF_TOOLS_PREVIEW_SESSION_H
#define ZF_TOOLS_PREVIEW_SESSION_H

#include <memory>
#include <string>
#include <vector>

#include <OpenImageIO/imagebuf.h>

#include "ImageFile.h"
#include "Options.h"
#include "testhost/Effect.h"
#include "testhost/Host.h"

namespace preview {

/* The plug-in answered a command with a non-zero code. */
class PluginError : public ToolError {
 public:
  using ToolError::ToolError;
};

/* "PF_Err_OUT_OF_MEMORY (4)"; codes outside the host's list as "error N (N)". */
std::string errorCodeText(PF_Err code);

/* The plug-in library next to the running tool's own executable, found
 * through /proc or the path the system started it by; never the working
 * folder. Throws ToolError, pointing at --plugin, where neither tells. */
std::string defaultPluginPath();

class EffectInstance;

/* One host with the plug-in loaded and set up. Throws ToolError (the loader's
 * reason when the library cannot be loaded) or PluginError. */
class PluginHost {
 public:
  PluginHost(const std::string& pluginPath, HostApp app, int iterateWorkers);
  ~PluginHost();
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  HostApp app() const { return app_; }
  testhost::Effect& effect() { return *effect_; }
  /* The effect as PluginDataEntryFunction declared it, and the version its
   * global setup reported (the host's packing). */
  const testhost::PluginDataCall& identity() const { return identity_; }
  A_u_long version() const { return version_; }
  /* The About text, lines apart; none in Premiere Pro, which does not ask. */
  std::vector<std::string> aboutLines();
  /* What the host found out of balance after the plug-in's commands, or "". */
  std::string accountingReport() const { return host_.accountingReport(); }

 private:
  HostApp app_;
  testhost::Host host_;
  std::unique_ptr<testhost::Effect> effect_;
  testhost::PluginDataCall identity_;
  A_u_long version_ = 0;
};

/* The effect applied to one layer of a fixed size. Parameter values are set
 * between renders; render() may run on several threads at once. */
class EffectInstance {
 public:
  EffectInstance(PluginHost& host, int width, int height);
  ~EffectInstance();
  EffectInstance(const EffectInstance&) = delete;
  EffectInstance& operator=(const EffectInstance&) = delete;

  void setValues(const EffectValues& values);

  /* Renders one frame of this layer's size at the given frame number, in the
   * given host layout, by the given command path; the result has the
   * format's depth. Throws PluginError. */
  OIIO::ImageBuf render(const OIIO::ImageBuf& input, const FormatInfo& format, RenderPath path, long frame);

 private:
  int width_;
  int height_;
  std::unique_ptr<testhost::Instance> instance_;
};

}  // namespace preview

#endif
