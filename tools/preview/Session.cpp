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
  char const* name;
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

void check(testhost::CommandResult const& result, char const* command) {
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
  for (ErrorName const& e : kErrorNames) {
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
    char const* started = reinterpret_cast<char const*>(getauxval(AT_EXECFN));
    if (started == nullptr || std::strchr(started, '/') == nullptr) {
      throw ToolError(
          "cannot tell which folder zarnit-render was started from (no /proc); give the plug-in "
          "with --plugin PATH");
    }
    self = std::filesystem::absolute(started, error);
  }
  return (self.parent_path() / ZF_PLUGIN_FILE_NAME).string();
}

PluginSession::PluginSession(std::string const& pluginPath, testhost::App app, int iterateWorkers, int width,
                             int height)
    : host_(app) {
  host_.setIterateWorkers(iterateWorkers);
  try {
    loaded_ = std::make_unique<testhost::LoadedEffect>(host_, pluginPath, width, height);
  } catch (testhost::LoadError const& e) {
    throw ToolError(std::string("the plug-in failed to load: ") + e.what());
  } catch (testhost::SetupError const& e) {
    check(e.result(), e.command());
  }
  testhost::PluginDataResult const declared = loaded_->effect().declare();
  if (declared.result != PF_Err_NONE)
    throw PluginError("the plug-in answered PluginDataEntryFunction with " + errorCodeText(declared.result));
  if (declared.calls.empty())
    throw PluginError("the plug-in declared no effect");
  identity_ = declared.calls.front();
}

std::vector<std::string> PluginSession::aboutLines() {
  testhost::CommandResult const about = loaded_->effect().about();
  check(about, "PF_Cmd_ABOUT");
  // The host's line break in this message is a carriage return.
  std::string const text(about.out.return_msg, strnlen(about.out.return_msg, sizeof about.out.return_msg));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t const end = std::min(text.find_first_of("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

void PluginSession::setValues(EffectValues const& values) {
  testhost::Instance& instance = loaded_->instance();
  int const width = instance.layerWidth();
  int const height = instance.layerHeight();
  instance.setPoint("Frame center", centerFixedX(values.center, width), centerFixedY(values.center, height));
  instance.setPopup("Mode", values.mode);
  instance.setPopup("Scaling", values.scaling);
  instance.setFloat("Amount", values.amount);
  instance.setPopup("Show", values.show);
  // A plug-in from before "Sampling" renders nearest, as that parameter would.
  std::size_t const declared = loaded_->effect().paramDefs().size();
  if (declared > 6)
    instance.setPopup("Sampling", values.sampling);
  else if (values.sampling != 1)
    throw ToolError("--sampling smooth: the plug-in has no \"Sampling\" parameter (an older version?)");
  if (declared > 7)
    instance.setFloat("Spectrum samples", values.samples);
  else if (values.mode == 4)
    throw ToolError("--mode spectrum: the plug-in has no \"Spectrum\" Mode (an older version?)");
}

OIIO::ImageBuf PluginSession::render(OIIO::ImageBuf const& input, FormatInfo const& format,
                                     testhost::RenderPath path, long frame) {
  testhost::World in(format.code, input.spec().width, input.spec().height);
  testhost::World out(format.code, input.spec().width, input.spec().height);
  fillWorld(input, in);
  out.fillBytes(0);
  testhost::SmartRenderOptions options;
  options.hook = [frame](PF_InData& in_data, PF_OutData&) {
    in_data.current_time = static_cast<A_long>(frame * in_data.time_step);
  };
  if (path == testhost::RenderPath::Smart) {
    testhost::SmartRenderResult const result = loaded_->instance().smartRender(in, out, options);
    check(result.preRender.command, "PF_Cmd_SMART_PRE_RENDER");
    check(result.render, "PF_Cmd_SMART_RENDER");
  } else {
    check(loaded_->instance().render(in, out, options.hook), "PF_Cmd_RENDER");
  }
  return imageFromWorld(out);
}

}  // namespace preview
