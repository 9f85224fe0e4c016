#include "testhost/LoadedEffect.h"

#include <cstring>
#include <sstream>

namespace testhost {

char const* nameOf(RenderPath path) {
  return path == RenderPath::Plain ? "plain render" : "smart render";
}

namespace {

std::string setupMessage(char const* command, CommandResult const& result) {
  std::string message =
      std::string("the plug-in answered ") + command + " with " + std::to_string(result.err);
  std::size_t const length = strnlen(result.out.return_msg, sizeof result.out.return_msg);
  if ((result.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0 && length > 0)
    message += ": \"" + std::string(result.out.return_msg, length) + "\"";
  return message;
}

}  // namespace

SetupError::SetupError(char const* command, CommandResult const& result)
    : std::runtime_error(setupMessage(command, result)), command_(command), result_(result) {}

LoadedEffect::LoadedEffect(Host& host, std::string const& libraryPath, A_long layerWidth, A_long layerHeight)
    : effect_(host, libraryPath) {
  globalSetup_ = effect_.globalSetup();
  if (globalSetup_.err != PF_Err_NONE)
    throw SetupError("PF_Cmd_GLOBAL_SETUP", globalSetup_);
  CommandResult const params = effect_.paramsSetup();
  if (params.err != PF_Err_NONE) {
    effect_.globalSetdown();
    throw SetupError("PF_Cmd_PARAMS_SETUP", params);
  }
  instance_ = std::make_unique<Instance>(effect_, layerWidth, layerHeight);
  CommandResult const sequence = instance_->sequenceSetup();
  if (sequence.err != PF_Err_NONE) {
    effect_.globalSetdown();
    throw SetupError("PF_Cmd_SEQUENCE_SETUP", sequence);
  }
}

LoadedEffect::~LoadedEffect() {
  instance_->sequenceSetdown();
  effect_.globalSetdown();
}

FrameResult renderFrame(Instance& instance, RenderPath path, World& input, World& output,
                        SmartRenderOptions const& options) {
  FrameResult r;
  if (path == RenderPath::Plain) {
    r.err = instance.render(input, output, options.hook).err;
    r.rendered = true;
    return r;
  }
  SmartRenderResult const s = instance.smartRender(input, output, options);
  r.rendered = s.rendered;
  r.err = s.preRender.command.err != PF_Err_NONE ? s.preRender.command.err : s.render.err;
  return r;
}

std::string LoadedEffect::imbalance() const {
  std::ostringstream out;
  Host const& host = effect_.host();
  out << host.accountingReport();
  if (long const outstanding = instance_->outstandingCheckouts())
    out << outstanding << " parameters of the instance still checked out\n";
  long const held = instance_->sequenceData() != nullptr ? 1 : 0;
  if (host.handleStats().live != held)
    out << host.handleStats().live << " live handles, " << held << " held as sequence data\n";
  if (host.liveHostWorlds() != 0)
    out << host.liveHostWorlds() << " host worlds alive\n";
  return out.str();
}

}  // namespace testhost
