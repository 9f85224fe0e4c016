// The stand-in host's inner state and the host operations behind its
// callback tables. Private to testhost/: tests use Host.h and Effect.h.
#ifndef ZF_TESTHOST_HOST_STATE_H
#define ZF_TESTHOST_HOST_STATE_H

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "suites/HostInterface.h"
#include "testhost/Effect.h"
#include "testhost/Host.h"
#include "testhost/World.h"

namespace testhost {

// What the host knows about the command in progress; its address is the
// command's effect_ref.
struct CommandContext {
  HostState* host = nullptr;
  Effect* effect = nullptr;
  Instance* instance = nullptr;
  World* input = nullptr;   // input layer of a render command
  World* output = nullptr;  // output of a smart render
  SmartRenderOptions const* smart = nullptr;
  A_long layerWidth = 0;
  A_long layerHeight = 0;
  std::vector<A_long> checkoutIds;  // layer checkouts granted for the smart render
  std::vector<LayerCheckout> layerCheckouts;
  long layerPixelCheckouts = 0;
  long outputCheckouts = 0;
  long layerPixelCheckins = 0;
};

// Registers a command context for the length of one command.
class ContextRegistration {
 public:
  ContextRegistration(HostState& host, CommandContext& context);
  ~ContextRegistration();
  ContextRegistration(ContextRegistration const&) = delete;
  ContextRegistration& operator=(ContextRegistration const&) = delete;

 private:
  HostState& host_;
  CommandContext& context_;
};

struct HandleBlock {
  void* master = nullptr;  // the handle is the address of this field
  A_HandleSize size = 0;
  long locks = 0;
};

struct SuiteEntry {
  void const* table = nullptr;
  bool missing = false;
  SuiteStats stats;
};

class HostState {
 public:
  explicit HostState(App app);
  ~HostState();
  HostState(HostState const&) = delete;
  HostState& operator=(HostState const&) = delete;

  // Everything below the public tables is guarded by mutex_ unless noted.
  mutable std::mutex mutex_;

  App app_;
  InDataSettings settings_;
  Faults faults_;
  bool passBasicSuite_ = true;
  bool announcedFormatsOnly_ = true;
  int slot_ = -1;

  // Tables handed to the plug-in, bound to this host's slot.
  SPBasicSuite basic_{};
  _PF_UtilCallbacks utils_{};
  PF_InteractCallbacks inter_{};
  PF_PreRenderCallbacks preRenderCallbacks_{};
  PF_SmartRenderCallbacks smartRenderCallbacks_{};
  PF_HandleSuite1 handleSuite_{};
  PF_ANSICallbacksSuite1 ansiSuite_{};
  PF_WorldSuite2 worldSuite_{};
  PF_PixelFormatSuite1 pixelFormatSuite_{};
  PF_Iterate8Suite1 iterateSuite_{};
  PF_Iterate8Suite1 iterateSuiteWithoutGeneric_{};

  // Command contexts, the host's own standing one included.
  CommandContext hostContext_;
  std::set<CommandContext const*> contexts_;
  CommandContext* context(PF_ProgPtr effect_ref);

  std::set<Effect*> effects_;
  std::set<Instance*> instances_;

  // Basic suite.
  std::map<std::pair<std::string, int32_t>, SuiteEntry> suites_;
  std::set<void*> blocks_;
  long unmatchedReleases_ = 0;
  void registerSuites();
  SPErr acquireSuite(char const* name, int32_t version, void const** suite);
  SPErr releaseSuite(char const* name, int32_t version);
  SPErr allocateBlock(size_t size, void** block);
  SPErr freeBlock(void* block);
  SPErr reallocateBlock(void* block, size_t size, void** newBlock);

  // Handles.
  std::unordered_map<PF_Handle, std::unique_ptr<HandleBlock>> handles_;
  HandleStats handleStats_;
  A_HandleSize handleSizeLimit_ = A_HandleSize{1} << 40;
  long handleSuiteCallsUnheld_ = 0;
  void noteHandleSuiteCall();                 // counts a call made while the suite is not acquired
  HandleBlock* findHandle(PF_Handle handle);  // counts an invalid use when not found
  PF_Handle newHandle(A_HandleSize size);
  void* lockHandle(PF_Handle handle);
  void unlockHandle(PF_Handle handle);
  void disposeHandle(PF_Handle handle);
  A_HandleSize handleSize(PF_Handle handle);
  PF_Err resizeHandle(A_HandleSize size, PF_Handle* handle);

  // Worlds made by the host for the plug-in, keyed by their pixel memory.
  std::unordered_map<void const*, std::unique_ptr<World>> hostWorlds_;
  long invalidWorldDisposals_ = 0;
  PF_Err newWorld(PF_ProgPtr effect_ref, A_long width, A_long height, PF_PixelFormat format, bool clear,
                  PF_EffectWorld* world);
  PF_Err disposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  std::vector<PrPixelFormat> supportedFormats_;
  long clearSupportedCalls_ = 0;
  PF_Err addSupportedPixelFormat(PF_ProgPtr effect_ref, PrPixelFormat format);
  PF_Err clearSupportedPixelFormats(PF_ProgPtr effect_ref);

  // Iteration; iterateWorkers_ and iterateStats_ are guarded by mutex_.
  int iterateWorkers_ = 4;
  bool iterateGenericAvailable_ = true;
  IterateStats iterateStats_;
  PF_Err runOnWorkers(A_long count, std::function<PF_Err(A_long threadIndex, A_long index)> const& body);
  PF_Err iterateGeneric(A_long iterations, void* refcon, PF_IterateGenericFunc fn);
  PF_Err iteratePixels(PF_InData* in_data, PF_EffectWorld* src, PF_Rect const* area, void* refcon,
                       PF_IteratePixel8Func fn, PF_EffectWorld* dst);

  // Parameters and interaction.
  std::multimap<PF_ParamDef const*, Instance const*> checkedOut_;
  long strayCheckins_ = 0;
  long progressCalls_ = 0;
  PF_Err addParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
  PF_Err checkoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long time_step,
                       A_u_long time_scale, PF_ParamDef* param);
  PF_Err checkinParam(PF_ProgPtr effect_ref, PF_ParamDef* param);
  PF_Err abortPoll(PF_ProgPtr effect_ref);
  PF_Err progress(PF_ProgPtr effect_ref, A_long current, A_long total);

  // Smart render.
  PF_Err checkoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                       PF_RenderRequest const* req, A_long what_time, A_long time_step, A_u_long time_scale,
                       PF_CheckoutResult* result);
  PF_Err checkoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld** pixels);
  PF_Err checkinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id);
  PF_Err checkoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output);

  // A PF_InData for the command whose context is given.
  PF_InData makeInData(CommandContext* context, A_long width, A_long height);

  std::string accountingReport() const;
};

// Pixel format of a world by its pixel memory; PF_PixelFormat_INVALID when
// the world is not one of ours. Defined in World.cpp.
PF_PixelFormat registeredFormat(void const* data);
PF_Err getPixelFormat(PF_EffectWorld const* world, PF_PixelFormat* format);

// The input layer as a layer parameter (index 0); an empty layer without input.
PF_ParamDef layerParamOf(World const* input);

// Binds the host's tables to its slot; Host.cpp.
int claimSlot(HostState& host);
void releaseSlot(int slot);

// Stateless callbacks shared by every host; AnsiCallbacks.cpp.
void fillAnsiBlock(PF_ANSICallbacksBlock& block);
void fillAnsiSuite(PF_ANSICallbacksSuite1& suite);

}  // namespace testhost

#endif
