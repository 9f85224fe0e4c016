#include "Session.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <sys/auxv.h>

#include "HostPixels.h"

namespace preview {
namespace {

struct ErrorName {
  PF_Err code;
  const char* name;
};

constexpr ErrorName kErrorNames[] = {
    {PF_Err_OUT_OF_MEMORY, "PF_Err_OUT_OF_MEMORY"},
    {PF_Err_INTERNAL_STRUCT_DAMAGED, "PF_Err_INTERNAL_STRUCT_DAMAGED"},
    {PF_Err_INVALID_INDEX, "PF_Err_INVALID_INDEX"},
    {PF_Err_UNRECOGNIZED_PARAM_TYPE, "PF_Err_UNRECOGNIZED_PARAM_TYPE"},
    {PF_Err_INVALID_CALLBACK, "PF_Err_INVALID_CALLBACK"},
    {PF_Err_BAD_CALLBACK_PARAM, "PF_Err_BAD_CALLBACK_PARAM"},
    {PF_Interrupt_CANCEL, "PF_Interrupt_CANCEL"},
    {PF_Err_CANNOT_PARSE_KEYFRAME_TEXT, "PF_Err_CANNOT_PARSE_KEYFRAME_TEXT"},
};

void check(const testhost::CommandResult& result, const char* command) {
  if (result.err == PF_Err_NONE) {
    return;
  }
  std::string message = std::string("the plug-in answered ") + command + " with " + errorCodeText(result.err);
  const std::size_t length = strnlen(result.out.return_msg, sizeof result.out.return_msg);
  if ((result.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) != 0 && length > 0) {
    message += ": \"" + std::string(result.out.return_msg, length) + "\"";
  }
  throw PluginError(message);
}

}  // namespace

std::string errorCodeText(PF_Err code) {
  for (const ErrorName& e : kErrorNames) {
    if (e.code == code) {
      return std::string(e.name) + " (" + std::to_string(code) + ")";
    }
  }
  return "error " + std::to_string(code) + " (" + std::to_string(code) + ")";
}

std::string defaultPluginPath() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    // Without /proc (a chroot, a minimal container): the path the system
    // started us by, when it names a folder. A bare name would be looked
    // up in the working folder, where anyone may have put a library.
    const char* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
    if (started == nullptr || std::strchr(started, '/') == nullptr) {
      throw ToolError(
          "cannot tell which folder zarnit-render was started from (no /proc); give the plug-in "
          "with --plugin PATH");
    }
    self = std::filesystem::absolute(started, error);
  }
  return (self.parent_path() / ZF_PLUGIN_FILE_NAME).string();
}

PluginHost::PluginHost(const std::string& pluginPath, HostApp app, int iterateWorkers)
    : app_(app),
      host_(app == HostApp::PremierePro ? testhost::App::PremierePro : testhost::App::AfterEffects) {
  host_.setIterateWorkers(iterateWorkers);
  try {
    effect_ = std::make_unique<testhost::Effect>(host_, pluginPath);
  } catch (const testhost::LoadError& e) {
    throw ToolError(std::string("the plug-in failed to load: ") + e.what());
  }
  const testhost::PluginDataResult declared = effect_->declare();
  if (declared.result != PF_Err_NONE) {
    throw PluginError("the plug-in answered PluginDataEntryFunction with " + errorCodeText(declared.result));
  }
  if (declared.calls.empty()) {
    throw PluginError("the plug-in declared no effect");
  }
  identity_ = declared.calls.front();
  const testhost::CommandResult setup = effect_->globalSetup();
  check(setup, "PF_Cmd_GLOBAL_SETUP");
  version_ = setup.out.my_version;
  check(effect_->paramsSetup(), "PF_Cmd_PARAMS_SETUP");
}

std::vector<std::string> PluginHost::aboutLines() {
  const testhost::CommandResult about = effect_->about();
  check(about, "PF_Cmd_ABOUT");
  // The host's line break in this message is a carriage return.
  const std::string text(about.out.return_msg, strnlen(about.out.return_msg, sizeof about.out.return_msg));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

PluginHost::~PluginHost() {
  if (effect_) {
    effect_->globalSetdown();
  }
}

EffectInstance::EffectInstance(PluginHost& host, int width, int height)
    : width_(width),
      height_(height),
      instance_(std::make_unique<testhost::Instance>(host.effect(), width, height)) {
  check(instance_->sequenceSetup(), "PF_Cmd_SEQUENCE_SETUP");
}

EffectInstance::~EffectInstance() {
  instance_->sequenceSetdown();
}

void EffectInstance::setValues(const EffectValues& values) {
  // Indices and popup values as the effect declares them; popups count from 1.
  instance_->setPoint(1, centerFixedX(values.center, width_), centerFixedY(values.center, height_));
  instance_->setPopup(2, values.mode);
  instance_->setPopup(3, values.scaling);
  instance_->setFloat(4, values.amount);
  instance_->setPopup(5, values.show);
  // A plug-in from before "Sampling" renders nearest, as that parameter would.
  const std::size_t declared = instance_->effect().paramDefs().size();
  if (declared > 6) {
    instance_->setPopup(6, values.sampling);
  } else if (values.sampling != 1) {
    throw ToolError("--sampling smooth: the plug-in has no \"Sampling\" parameter (an older version?)");
  }
  if (declared > 7) {
    instance_->setFloat(7, values.samples);
  } else if (values.mode == 4) {
    throw ToolError("--mode spectrum: the plug-in has no \"Spectrum\" Mode (an older version?)");
  }
}

OIIO::ImageBuf EffectInstance::render(const OIIO::ImageBuf& input, const FormatInfo& format, RenderPath path,
                                      long frame) {
  testhost::World in(format.code, input.spec().width, input.spec().height);
  testhost::World out(format.code, input.spec().width, input.spec().height);
  fillWorld(input, in);
  out.fillBytes(0);
  auto atFrame = [frame](PF_InData& in_data, PF_OutData&) {
    in_data.current_time = static_cast<A_long>(frame * in_data.time_step);
  };
  if (path == RenderPath::Smart) {
    testhost::SmartRenderOptions options;
    options.hook = atFrame;
    const testhost::SmartRenderResult result = instance_->smartRender(in, out, options);
    check(result.preRender.command, "PF_Cmd_SMART_PRE_RENDER");
    check(result.render, "PF_Cmd_SMART_RENDER");
  } else {
    check(instance_->render(in, out, atFrame), "PF_Cmd_RENDER");
  }
  return imageFromWorld(out);
}

}  // namespace preview
