// Driving an effect plug-in the way After Effects or Premiere Pro does:
// load the library, ask for its identity, then send commands through its
// EffectMain.
//
// testhost::Host host(testhost::App::AfterEffects);
// testhost::Effect effect(host, ZF_PLUGIN_PATH);
// effect.globalSetup();
// effect.paramsSetup();
// testhost::Instance instance(effect, 64, 48);
// instance.sequenceSetup();
// testhost::World input(PF_PixelFormat_ARGB32, 64, 48), output(PF_PixelFormat_ARGB32, 64, 48);
// instance.setFloat("Amount", 12.5);
// auto result = instance.smartRender(input, output);
// instance.sequenceSetdown();
// EXPECT_EQ(host.accountingReport(), "");
//
// Every command gets its own PF_InData and PF_OutData and its own effect_ref
// (valid for that command only, naming the instance), so commands may be sent
// from several threads at once, also for the same instance.
#ifndef ZF_TESTHOST_EFFECT_H
#define ZF_TESTHOST_EFFECT_H

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "suites/HostInterface.h"
#include "testhost/Host.h"
#include "testhost/World.h"

namespace testhost {

// The library could not be loaded or lacks an entry point; what() carries
// the loader's own error text.
class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Premiere Pro was asked to render in a pixel format the effect did not
// announce (render, smartRender and their parts throw it before sending
// anything): the real application never does, so such a frame proves
// nothing.
class UnannouncedFormat : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// A loaded plug-in library (dlopen, LoadLibraryA on Windows), unloaded on
// destruction.
class Plugin {
 public:
  explicit Plugin(std::string const& path);
  ~Plugin();
  Plugin(Plugin const&) = delete;
  Plugin& operator=(Plugin const&) = delete;

  PF_EffectMainFunc effectMain() const { return effectMain_; }
  PF_PluginDataEntryFunc pluginDataEntry() const { return pluginDataEntry_; }
  std::string const& path() const { return path_; }
  // Any other exported symbol by name, or null: for test-only builds of a
  // plug-in that export hooks besides the two entry points.
  void* symbol(char const* name) const;

 private:
  std::string path_;
  void* library_ = nullptr;
  PF_EffectMainFunc effectMain_ = nullptr;
  PF_PluginDataEntryFunc pluginDataEntry_ = nullptr;
};

// One call of the plug-in data callback, as the plug-in made it. A null
// string argument is recorded as nullString set and the text empty.
struct PluginDataCall {
  bool inPtrMatches = false;  // the opaque pointer came back unchanged
  bool nullString = false;
  std::string name;
  std::string matchName;
  std::string category;
  std::string entryPointName;
  A_long kind = 0;
  A_long apiVersionMajor = 0;
  A_long apiVersionMinor = 0;
  A_long reservedInfo = 0;
};

struct PluginDataResult {
  PF_Err result = PF_Err_NONE;  // what PluginDataEntryFunction returned
  std::vector<PluginDataCall> calls;
};

// What one command left behind: EffectMain's result and the records as they
// were when it returned.
struct CommandResult {
  PF_Err err = PF_Err_NONE;
  PF_InData in{};
  PF_OutData out{};
};

// Called with the command's records just before EffectMain, to set fields a
// test wants different from the host's defaults.
using CommandHook = std::function<void(PF_InData&, PF_OutData&)>;

// One inter.checkout_param call.
struct ParamCheckout {
  PF_ParamIndex index;
  A_long what_time;
  A_long time_step;
  A_u_long time_scale;
};

// One pre-render checkout_layer call.
struct LayerCheckout {
  PF_ParamIndex index;
  A_long checkout_id;
  PF_RenderRequest request;
  A_long what_time;
  A_long time_step;
  A_u_long time_scale;
};

// A keyframe of an animated parameter: from `seconds` on, up to the next
// keyframe, the parameter holds `value` (hold interpolation).
struct Keyframe {
  double seconds;
  PF_ParamDef value;
};

// How the host answers a smart render.
struct SmartRenderOptions {
  // The host's request in extra->input->output_request; by default the whole
  // output world.
  bool setOutputRequest = false;
  PF_RenderRequest outputRequest{};
  // What the host presets in extra->output before the call (empty by default).
  PF_LRect presetResultRect{};
  PF_LRect presetMaxResultRect{};
  PF_RenderOutputFlags presetFlags = 0;
  // checkout_layer's result_rect and max_result_rect; by default the input
  // world's own rectangle (0, 0, width, height). May start at negative
  // coordinates or exceed the output.
  bool setInputRect = false;
  PF_LRect inputRect{};
  bool setInputMaxRect = false;
  PF_LRect inputMaxRect{};
  // in_data->width/height; by default the input world's size.
  A_long layerWidth = -1;
  A_long layerHeight = -1;
  CommandHook hook;
};

struct PreRenderResult {
  CommandResult command;
  PF_PreRenderOutput output{};           // extra->output after the call
  std::vector<LayerCheckout> checkouts;  // checkout_layer calls of the call
};

struct SmartRenderResult {
  PreRenderResult preRender;
  bool rendered = false;  // the smart render was sent (pre-render succeeded)
  CommandResult render;
  bool deleteFuncCalled = false;  // the host called delete_pre_render_data_func
  long layerPixelCheckouts = 0;   // checkout_layer_pixels calls
  long outputCheckouts = 0;       // checkout_output calls
  long layerPixelCheckins = 0;    // checkin_layer_pixels calls
};

// An effect plug-in loaded into a host. Owns the library; outlives its
// instances.
class Effect {
 public:
  Effect(Host& host, std::string const& libraryPath);
  ~Effect();
  Effect(Effect const&) = delete;
  Effect& operator=(Effect const&) = delete;

  Host& host() { return host_; }
  Host const& host() const { return host_; }
  Plugin const& plugin() const { return plugin_; }

  // Calls PluginDataEntryFunction with a recording callback that answers
  // callbackResult, the host's basic suite and the host's name and version.
  PluginDataResult declare(A_Err callbackResult = PF_Err_NONE);

  CommandResult about(CommandHook const& hook = {});
  CommandResult globalSetup(CommandHook const& hook = {});
  CommandResult globalSetdown(CommandHook const& hook = {});
  // add_param with index -1 (any other index is refused) appends a copy of
  // each definition; index 0, the input layer, is the host's own.
  CommandResult paramsSetup(CommandHook const& hook = {});
  // Any command without instance, parameters, output or extra.
  CommandResult send(PF_Cmd cmd, CommandHook const& hook = {});

  // The definitions from the last params setup; [0] is the input layer.
  std::vector<PF_ParamDef> paramDefs() const;
  // global_data as the plug-in left it after global setup.
  PF_Handle globalData() const;

 private:
  friend class Instance;
  friend class HostState;
  CommandResult sendCommand(PF_Cmd cmd, class Instance* instance, PF_ParamDef** params, PF_LayerDef* output,
                            void* extra, A_long width, A_long height, CommandHook const& hook,
                            struct CommandContext* context);

  Host& host_;
  Plugin plugin_;
  mutable std::mutex mutex_;
  std::vector<PF_ParamDef> defs_;
  PF_Handle globalData_ = nullptr;
};

// A project as the applications save an instance's parameters: each value
// under its parameter's disk id (uu.id).
using SavedParams = std::map<A_long, PF_ParamDef>;

// A parameter of an instance: by the name its definition carries
// ("Amount"), by its disk id (DiskId{5}), or, where the position itself is
// what a test is about, by its place in the parameter array (Position{4}).
struct DiskId {
  A_long id;
};
struct Position {
  PF_ParamIndex index;
};
class Param {
 public:
  Param(char const* name) : name_(name) {}  // NOLINT: names read best as they are
  Param(std::string const& name) : name_(name) {}
  Param(DiskId id) : diskId_(id.id), byDiskId_(true) {}
  Param(Position position) : index_(position.index), byPosition_(true) {}

  // Its place among defs (the effect's definitions, [0] the input layer);
  // throws std::out_of_range naming the parameter when there is none.
  std::size_t indexIn(std::vector<PF_ParamDef> const& defs) const;
  std::string describe() const;

 private:
  std::string name_;
  A_long diskId_ = 0;
  PF_ParamIndex index_ = 0;
  bool byDiskId_ = false;
  bool byPosition_ = false;
};

// What a parameter holds in a project saved before the parameter existed:
// its definition's value when the definition has
// PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, otherwise its default.
PF_ParamDef valueForOldProject(PF_ParamDef const& def);

// One use of the effect on a layer: its sequence data and parameter values.
class Instance {
 public:
  // Parameter values start at the defaults of the effect's params setup,
  // also when the setup comes after the instance was made.
  Instance(Effect& effect, A_long layerWidth, A_long layerHeight);
  // An instance opened from a saved project: each declared parameter takes
  // the value saved under its disk id, or valueForOldProject() when the
  // project has none. The effect's params setup must have been sent.
  Instance(Effect& effect, A_long layerWidth, A_long layerHeight, SavedParams const& project);
  ~Instance();
  Instance(Instance const&) = delete;
  Instance& operator=(Instance const&) = delete;

  Effect& effect() { return effect_; }
  A_long layerWidth() const { return layerWidth_; }
  A_long layerHeight() const { return layerHeight_; }

  // The host keeps the sequence handle the plug-in leaves in
  // out_data->sequence_data after setup and resetup, and passes it in
  // in_data->sequence_data; after setdown it holds none.
  CommandResult sequenceSetup(CommandHook const& hook = {});
  CommandResult sequenceResetup(CommandHook const& hook = {});
  CommandResult sequenceSetdown(CommandHook const& hook = {});
  PF_Handle sequenceData() const;
  void setSequenceData(PF_Handle handle);

  // Current parameter values, served by checkout_param as copies of the
  // stored definition. Not the input layer.
  PF_ParamDef param(Param const& which) const;
  void setParam(Param const& which, PF_ParamDef const& def);
  void setPoint(Param const& which, PF_Fixed x, PF_Fixed y);
  void setPopup(Param const& which, PF_ParamValue value);
  void setFloat(Param const& which, PF_FpLong value);
  // Animates a parameter. checkout_param at what_time answers the keyframe in
  // force at what_time / time_scale seconds (before the first keyframe, the
  // first); the plain render's params[] array holds the values at the
  // settings' current_time. Keyframes in time order; an empty list makes the
  // parameter static again, with its stored value.
  void setKeyframes(Param const& which, std::vector<Keyframe> keyframes);

  // PF_Cmd_RENDER: params[0] is the input layer (a layer parameter whose
  // u.ld is the input world's record), params[1..] the current values;
  // in_data->width/height are the input's. Acting as Premiere Pro, both
  // worlds must be in an announced format (UnannouncedFormat).
  CommandResult render(World& input, World& output, CommandHook const& hook = {});

  // PF_Cmd_SMART_PRE_RENDER, then PF_Cmd_SMART_RENDER with the pre-render
  // data (only when the pre-render succeeded), then the pre-render data's
  // delete_pre_render_data_func if the plug-in set one.
  SmartRenderResult smartRender(World& input, World& output, SmartRenderOptions const& options = {});
  // The two steps apart. After smartPreRenderOnly the test owns the
  // pre-render data: pass it to smartRenderOnly and then to
  // deletePreRenderData.
  PreRenderResult smartPreRenderOnly(World& input, SmartRenderOptions const& options = {});
  SmartRenderResult smartRenderOnly(World& input, World& output, void* preRenderData,
                                    SmartRenderOptions const& options = {});
  static void deletePreRenderData(PF_PreRenderOutput const& output);

  // Any command for this instance, records as given.
  CommandResult send(PF_Cmd cmd, PF_ParamDef** params, PF_LayerDef* output, void* extra,
                     CommandHook const& hook = {});

  // checkout_param calls made for this instance, in order.
  std::vector<ParamCheckout> checkoutLog() const;
  // Parameters checked out and not yet checked in.
  long outstandingCheckouts() const;

 private:
  friend class Effect;
  friend class HostState;
  // Appends the defaults of parameters declared since the instance was
  // made; mutex_ held.
  void adoptNewDefinitions() const;
  // The value of parameter index at what_time; mutex_ held, index valid.
  PF_ParamDef valueAt(std::size_t index, A_long what_time, A_u_long time_scale) const;

  Effect& effect_;
  A_long layerWidth_;
  A_long layerHeight_;
  mutable std::mutex mutex_;
  mutable std::vector<PF_ParamDef> values_;  // grows when parameters are declared later
  std::map<std::size_t, std::vector<Keyframe>> keyframes_;
  PF_Handle sequenceData_ = nullptr;
  std::vector<ParamCheckout> checkoutLog_;
};

}  // namespace testhost

#endif
