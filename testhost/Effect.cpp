// Sending commands to a loaded plug-in, as After Effects or Premiere Pro.
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "testhost/HostState.h"

namespace testhost {
namespace {

// Premiere Pro renders an effect only in a pixel format the effect announced
// in its global setup, 8-bit BGRA when it announced none.
void requireAnnounced(Host& host, World const& world) {
  if (host.app() != App::PremierePro || !host.announcedFormatsOnly()) {
    return;
  }
  std::vector<PrPixelFormat> offered = host.supportedPixelFormats();
  if (offered.empty()) {
    offered.push_back(PrPixelFormat_BGRA_4444_8u);
  }
  if (std::find(offered.begin(), offered.end(), world.format()) == offered.end()) {
    throw UnannouncedFormat(std::string("Premiere Pro does not render in ") + world.info().name +
                            ": the effect did not announce it");
  }
}

struct PluginDataRecorder {
  A_Err answer = PF_Err_NONE;
  std::vector<PluginDataCall> calls;
};

// The plug-in data callback carries only the host's opaque pointer, which
// the plug-in may have damaged; the recorder of the call in progress is
// found here instead.
thread_local PluginDataRecorder* t_recorder = nullptr;

std::string textOf(A_u_char const* s, bool& nullSeen) {
  if (s == nullptr) {
    nullSeen = true;
    return std::string();
  }
  return std::string(reinterpret_cast<char const*>(s));
}

A_Err recordPluginData(PF_PluginDataPtr inPtr, A_u_char const* name, A_u_char const* matchName,
                       A_u_char const* category, A_u_char const* entryPointName, A_long kind,
                       A_long apiVersionMajor, A_long apiVersionMinor, A_long reservedInfo) {
  PluginDataRecorder* recorder = t_recorder;
  if (recorder == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  try {
    PluginDataCall call;
    call.inPtrMatches = inPtr == static_cast<void*>(recorder);
    call.name = textOf(name, call.nullString);
    call.matchName = textOf(matchName, call.nullString);
    call.category = textOf(category, call.nullString);
    call.entryPointName = textOf(entryPointName, call.nullString);
    call.kind = kind;
    call.apiVersionMajor = apiVersionMajor;
    call.apiVersionMinor = apiVersionMinor;
    call.reservedInfo = reservedInfo;
    recorder->calls.push_back(call);
  } catch (...) {
    return PF_Err_OUT_OF_MEMORY;
  }
  return recorder->answer;
}

short bitDepthOf(World const& world) {
  switch (world.info().type) {
    case ChannelType::U8:
      return 8;
    case ChannelType::U16:
      return 16;
    case ChannelType::F32:
      return 32;
  }
  return 8;
}

// The host's parameter array of a render: the input layer, then copies of
// the current values.
struct ParamArray {
  std::vector<PF_ParamDef> defs;
  std::vector<PF_ParamDef*> pointers;
};

}  // namespace

// --- Effect ----------------------------------------------------------------

Effect::Effect(Host& host, std::string const& libraryPath) : host_(host), plugin_(libraryPath) {
  HostState& state = host_.state();
  std::lock_guard<std::mutex> lock(state.mutex_);
  state.effects_.insert(this);
}

Effect::~Effect() {
  HostState& state = host_.state();
  std::lock_guard<std::mutex> lock(state.mutex_);
  state.effects_.erase(this);
}

PluginDataResult Effect::declare(A_Err callbackResult) {
  PluginDataRecorder recorder;
  recorder.answer = callbackResult;
  bool const premiere = host_.app() == App::PremierePro;
  t_recorder = &recorder;
  PluginDataResult result;
  result.result = plugin_.pluginDataEntry()(&recorder, recordPluginData, host_.basicSuite(),
                                            premiere ? "Premiere Pro" : "AfterEffects", "13.0");
  t_recorder = nullptr;
  result.calls = std::move(recorder.calls);
  return result;
}

CommandResult Effect::sendCommand(PF_Cmd cmd, Instance* instance, PF_ParamDef** params, PF_LayerDef* output,
                                  void* extra, A_long width, A_long height, CommandHook const& hook,
                                  CommandContext* context) {
  HostState& state = host_.state();
  CommandContext standalone;
  CommandContext& ctx = context != nullptr ? *context : standalone;
  ctx.effect = this;
  ctx.instance = instance;
  ContextRegistration registration(state, ctx);

  CommandResult r;
  r.in = state.makeInData(&ctx, width, height);
  r.in.global_data = globalData();
  r.in.sequence_data = instance != nullptr ? instance->sequenceData() : nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    r.in.num_params = static_cast<A_long>(defs_.size());
  }
  r.out.global_data = r.in.global_data;
  r.out.sequence_data = r.in.sequence_data;
  r.out.num_params = r.in.num_params;
  r.out.width = width;
  r.out.height = height;
  if (hook) {
    hook(r.in, r.out);
  }
  r.err = plugin_.effectMain()(cmd, &r.in, &r.out, params, output, extra);
  return r;
}

CommandResult Effect::about(CommandHook const& hook) {
  return sendCommand(PF_Cmd_ABOUT, nullptr, nullptr, nullptr, nullptr, 0, 0, hook, nullptr);
}

CommandResult Effect::globalSetup(CommandHook const& hook) {
  CommandResult r = sendCommand(PF_Cmd_GLOBAL_SETUP, nullptr, nullptr, nullptr, nullptr, 0, 0, hook, nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  globalData_ = r.out.global_data;
  return r;
}

CommandResult Effect::globalSetdown(CommandHook const& hook) {
  CommandResult r =
      sendCommand(PF_Cmd_GLOBAL_SETDOWN, nullptr, nullptr, nullptr, nullptr, 0, 0, hook, nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  globalData_ = nullptr;
  return r;
}

CommandResult Effect::paramsSetup(CommandHook const& hook) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    defs_.assign(1, layerParamOf(nullptr));
  }
  return sendCommand(PF_Cmd_PARAMS_SETUP, nullptr, nullptr, nullptr, nullptr, 0, 0, hook, nullptr);
}

CommandResult Effect::send(PF_Cmd cmd, CommandHook const& hook) {
  return sendCommand(cmd, nullptr, nullptr, nullptr, nullptr, 0, 0, hook, nullptr);
}

std::vector<PF_ParamDef> Effect::paramDefs() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return defs_;
}

PF_Handle Effect::globalData() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return globalData_;
}

// --- Instance --------------------------------------------------------------

Instance::Instance(Effect& effect, A_long layerWidth, A_long layerHeight)
    : effect_(effect), layerWidth_(layerWidth), layerHeight_(layerHeight), values_(effect.paramDefs()) {
  HostState& state = effect_.host().state();
  std::lock_guard<std::mutex> lock(state.mutex_);
  state.instances_.insert(this);
}

Instance::Instance(Effect& effect, A_long layerWidth, A_long layerHeight, SavedParams const& project)
    : Instance(effect, layerWidth, layerHeight) {
  for (std::size_t index = 1; index < values_.size(); ++index) {
    auto const saved = project.find(values_[index].uu.id);
    values_[index] = saved != project.end() ? saved->second : valueForOldProject(values_[index]);
  }
}

PF_ParamDef valueForOldProject(PF_ParamDef const& def) {
  PF_ParamDef value = def;
  if ((def.flags & PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS) != 0) {
    return value;
  }
  switch (def.param_type) {
    case PF_Param_POPUP:
      value.u.pd.value = def.u.pd.dephault;
      break;
    case PF_Param_FLOAT_SLIDER:
      value.u.fs_d.value = def.u.fs_d.dephault;
      break;
    case PF_Param_POINT:
      value.u.td.x_value = def.u.td.x_dephault;
      value.u.td.y_value = def.u.td.y_dephault;
      break;
    default:
      break;
  }
  return value;
}

Instance::~Instance() {
  HostState& state = effect_.host().state();
  std::lock_guard<std::mutex> lock(state.mutex_);
  state.instances_.erase(this);
}

CommandResult Instance::sequenceSetup(CommandHook const& hook) {
  CommandResult r = send(PF_Cmd_SEQUENCE_SETUP, nullptr, nullptr, nullptr, hook);
  setSequenceData(r.out.sequence_data);
  return r;
}

CommandResult Instance::sequenceResetup(CommandHook const& hook) {
  CommandResult r = send(PF_Cmd_SEQUENCE_RESETUP, nullptr, nullptr, nullptr, hook);
  setSequenceData(r.out.sequence_data);
  return r;
}

CommandResult Instance::sequenceSetdown(CommandHook const& hook) {
  CommandResult r = send(PF_Cmd_SEQUENCE_SETDOWN, nullptr, nullptr, nullptr, hook);
  setSequenceData(nullptr);
  return r;
}

PF_Handle Instance::sequenceData() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sequenceData_;
}

void Instance::setSequenceData(PF_Handle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  sequenceData_ = handle;
}

void Instance::adoptNewDefinitions() const {
  const std::vector<PF_ParamDef> defs = effect_.paramDefs();
  if (values_.size() < defs.size()) {
    values_.insert(values_.end(), defs.begin() + static_cast<std::ptrdiff_t>(values_.size()), defs.end());
  }
}

std::size_t Param::indexIn(std::vector<PF_ParamDef> const& defs) const {
  // Index 0 is the input layer, which no test sets.
  for (std::size_t index = 1; index < defs.size(); ++index) {
    PF_ParamDef const& def = defs[index];
    bool const found = byPosition_ ? static_cast<std::size_t>(index_) == index
                       : byDiskId_ ? def.uu.id == diskId_
                                   : name_ == std::string(def.name, strnlen(def.name, sizeof def.name));
    if (found) {
      return index;
    }
  }
  throw std::out_of_range("testhost: the effect declared no parameter " + describe());
}

std::string Param::describe() const {
  if (byPosition_) {
    return "at position " + std::to_string(index_);
  }
  return byDiskId_ ? "with disk id " + std::to_string(diskId_) : "named \"" + name_ + "\"";
}

PF_ParamDef Instance::param(Param const& which) const {
  std::lock_guard<std::mutex> lock(mutex_);
  adoptNewDefinitions();
  return values_[which.indexIn(values_)];
}

void Instance::setParam(Param const& which, PF_ParamDef const& def) {
  std::lock_guard<std::mutex> lock(mutex_);
  adoptNewDefinitions();
  values_[which.indexIn(values_)] = def;
}

void Instance::setPoint(Param const& which, PF_Fixed x, PF_Fixed y) {
  PF_ParamDef def = param(which);
  def.u.td.x_value = x;
  def.u.td.y_value = y;
  setParam(which, def);
}

void Instance::setPopup(Param const& which, PF_ParamValue value) {
  PF_ParamDef def = param(which);
  def.u.pd.value = value;
  setParam(which, def);
}

void Instance::setFloat(Param const& which, PF_FpLong value) {
  PF_ParamDef def = param(which);
  def.u.fs_d.value = value;
  setParam(which, def);
}

void Instance::setKeyframes(Param const& which, std::vector<Keyframe> keyframes) {
  std::lock_guard<std::mutex> lock(mutex_);
  adoptNewDefinitions();
  const std::size_t index = which.indexIn(values_);
  if (keyframes.empty()) {
    keyframes_.erase(index);
  } else {
    keyframes_[index] = std::move(keyframes);
  }
}

PF_ParamDef Instance::valueAt(std::size_t index, A_long what_time, A_u_long time_scale) const {
  auto const animated = keyframes_.find(index);
  if (animated == keyframes_.end()) {
    return values_[index];
  }
  std::vector<Keyframe> const& keys = animated->second;
  // A time scale of 0 names no time; the first keyframe answers.
  Keyframe const* inForce = &keys.front();
  if (time_scale != 0) {
    double const seconds = static_cast<double>(what_time) / static_cast<double>(time_scale);
    for (Keyframe const& key : keys) {
      if (key.seconds <= seconds) {
        inForce = &key;
      }
    }
  }
  return inForce->value;
}

CommandResult Instance::render(World& input, World& output, CommandHook const& hook) {
  requireAnnounced(effect_.host(), input);
  requireAnnounced(effect_.host(), output);
  ParamArray params;
  {
    InDataSettings const& settings = effect_.host().settings();
    std::lock_guard<std::mutex> lock(mutex_);
    adoptNewDefinitions();
    for (std::size_t index = 0; index < values_.size(); ++index) {
      params.defs.push_back(valueAt(index, settings.current_time, settings.time_scale));
    }
  }
  if (params.defs.empty()) {
    params.defs.resize(1);
  }
  params.defs[0] = layerParamOf(&input);
  for (PF_ParamDef& def : params.defs) {
    params.pointers.push_back(&def);
  }
  CommandContext ctx;
  ctx.input = &input;
  return effect_.sendCommand(PF_Cmd_RENDER, this, params.pointers.data(), output.record(), nullptr,
                             input.width(), input.height(), hook, &ctx);
}

namespace {

PF_RenderRequest requestOf(SmartRenderOptions const& options, A_long width, A_long height) {
  if (options.setOutputRequest) {
    return options.outputRequest;
  }
  PF_RenderRequest request{};
  request.rect = PF_LRect{0, 0, width, height};
  request.field = PF_Field_FRAME;
  request.channel_mask = 0xF;  // alpha, red, green, blue
  return request;
}

}  // namespace

PreRenderResult Instance::smartPreRenderOnly(World& input, SmartRenderOptions const& options) {
  requireAnnounced(effect_.host(), input);
  const A_long width = options.layerWidth >= 0 ? options.layerWidth : input.width();
  const A_long height = options.layerHeight >= 0 ? options.layerHeight : input.height();
  CommandContext ctx;
  ctx.input = &input;
  ctx.smart = &options;

  PF_PreRenderInput preInput{};
  preInput.output_request = requestOf(options, width, height);
  preInput.bitdepth = bitDepthOf(input);
  PF_PreRenderOutput preOutput{};
  preOutput.result_rect = options.presetResultRect;
  preOutput.max_result_rect = options.presetMaxResultRect;
  preOutput.flags = options.presetFlags;
  PF_PreRenderCallbacks callbacks = effect_.host().state().preRenderCallbacks_;
  PF_PreRenderExtra extra{&preInput, &preOutput, &callbacks};

  PreRenderResult r;
  r.command = effect_.sendCommand(PF_Cmd_SMART_PRE_RENDER, this, nullptr, nullptr, &extra, width, height,
                                  options.hook, &ctx);
  r.output = preOutput;
  r.checkouts = ctx.layerCheckouts;
  return r;
}

SmartRenderResult Instance::smartRenderOnly(World& input, World& output, void* preRenderData,
                                            SmartRenderOptions const& options) {
  requireAnnounced(effect_.host(), input);
  requireAnnounced(effect_.host(), output);
  const A_long width = options.layerWidth >= 0 ? options.layerWidth : input.width();
  const A_long height = options.layerHeight >= 0 ? options.layerHeight : input.height();
  CommandContext ctx;
  ctx.input = &input;
  ctx.output = &output;
  ctx.smart = &options;
  ctx.checkoutIds.push_back(0);

  PF_SmartRenderInput renderInput{};
  renderInput.output_request = requestOf(options, width, height);
  renderInput.bitdepth = bitDepthOf(input);
  renderInput.pre_render_data = preRenderData;
  PF_SmartRenderCallbacks callbacks = effect_.host().state().smartRenderCallbacks_;
  PF_SmartRenderExtra extra{&renderInput, &callbacks};

  SmartRenderResult r;
  r.rendered = true;
  r.render = effect_.sendCommand(PF_Cmd_SMART_RENDER, this, nullptr, nullptr, &extra, width, height,
                                 options.hook, &ctx);
  r.layerPixelCheckouts = ctx.layerPixelCheckouts;
  r.outputCheckouts = ctx.outputCheckouts;
  r.layerPixelCheckins = ctx.layerPixelCheckins;
  return r;
}

SmartRenderResult Instance::smartRender(World& input, World& output, SmartRenderOptions const& options) {
  PreRenderResult pre = smartPreRenderOnly(input, options);
  SmartRenderResult r;
  if (pre.command.err == PF_Err_NONE) {
    r = smartRenderOnly(input, output, pre.output.pre_render_data, options);
  }
  r.deleteFuncCalled =
      pre.output.delete_pre_render_data_func != nullptr && pre.output.pre_render_data != nullptr;
  deletePreRenderData(pre.output);
  r.preRender = std::move(pre);
  return r;
}

void Instance::deletePreRenderData(PF_PreRenderOutput const& output) {
  if (output.delete_pre_render_data_func != nullptr && output.pre_render_data != nullptr) {
    output.delete_pre_render_data_func(output.pre_render_data);
  }
}

CommandResult Instance::send(PF_Cmd cmd, PF_ParamDef** params, PF_LayerDef* output, void* extra,
                             CommandHook const& hook) {
  return effect_.sendCommand(cmd, this, params, output, extra, layerWidth_, layerHeight_, hook, nullptr);
}

std::vector<ParamCheckout> Instance::checkoutLog() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return checkoutLog_;
}

long Instance::outstandingCheckouts() const {
  HostState& state = effect_.host().state();
  std::lock_guard<std::mutex> lock(state.mutex_);
  return static_cast<long>(std::count_if(state.checkedOut_.begin(), state.checkedOut_.end(),
                                         [this](auto const& entry) { return entry.second == this; }));
}

}  // namespace testhost
