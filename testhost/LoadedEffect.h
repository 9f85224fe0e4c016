// An effect plug-in as a host holds it between frames: the library loaded,
// global and parameter setup sent, one instance on a layer with its sequence
// setup sent; the destructor sends sequence and global setdown.
//
//   testhost::Host host(testhost::App::AfterEffects);
//   testhost::LoadedEffect loaded(host, "ZarnitFringe.so", 64, 48);
//   loaded.instance().setFloat("Amount", 12.5);
//   testhost::World input(PF_PixelFormat_ARGB32, 64, 48), output(PF_PixelFormat_ARGB32, 64, 48);
//   testhost::FrameResult frame = loaded.render(testhost::RenderPath::Smart, input, output);
#ifndef ZF_TESTHOST_LOADEDEFFECT_H
#define ZF_TESTHOST_LOADEDEFFECT_H

#include <memory>
#include <stdexcept>
#include <string>

#include "testhost/Effect.h"
#include "testhost/Host.h"
#include "testhost/World.h"

namespace testhost {

// The two ways a host asks for a frame: PF_Cmd_RENDER, or smart pre-render
// and smart render (After Effects only, in the real applications).
enum class RenderPath { Plain, Smart };
char const* nameOf(RenderPath path);

// The plug-in answered a setup command with an error; what() names the
// command, the code and the message the plug-in showed, if any.
class SetupError : public std::runtime_error {
 public:
  SetupError(char const* command, CommandResult const& result);
  char const* command() const { return command_; }
  CommandResult const& result() const { return result_; }
  PF_Err err() const { return result_.err; }

 private:
  char const* command_;
  CommandResult result_;
};

// One frame: the first failing command's code, or 0, and whether the render
// command itself was sent (a smart render is not, when its pre-render fails).
struct FrameResult {
  PF_Err err = PF_Err_NONE;
  bool rendered = false;
};

// One frame of an instance by either path; the smart render's pre-render
// data is given back as the host does.
FrameResult renderFrame(Instance& instance, RenderPath path, World& input, World& output,
                        SmartRenderOptions const& options = {});

class LoadedEffect {
 public:
  // Throws LoadError when the library does not load, SetupError when a setup
  // command fails (setting down whatever was set up).
  LoadedEffect(Host& host, std::string const& libraryPath, A_long layerWidth, A_long layerHeight);
  ~LoadedEffect();
  LoadedEffect(LoadedEffect const&) = delete;
  LoadedEffect& operator=(LoadedEffect const&) = delete;

  Host& host() { return effect_.host(); }
  Effect& effect() { return effect_; }
  Instance& instance() { return *instance_; }
  // global setup's answer (version and flags)
  CommandResult const& globalSetupResult() const { return globalSetup_; }

  FrameResult render(RenderPath path, World& input, World& output, SmartRenderOptions const& options = {}) {
    return renderFrame(*instance_, path, input, output, options);
  }

  // What the host's books must show between commands: nothing left locked
  // or checked out, no handle alive but the instance's sequence data, every
  // suite released, no host world alive. "" when all is well.
  std::string imbalance() const;

 private:
  Effect effect_;
  CommandResult globalSetup_;
  std::unique_ptr<Instance> instance_;
};

}  // namespace testhost

#endif
